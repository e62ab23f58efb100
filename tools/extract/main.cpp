// kurierix-extract: prints what the program would store for a saved tracking page.
//
//   kurierix-extract [--utf8] [--field status|date|history] PAGE.html
//
// PAGE.html is read as Windows-1251 (as the program gets it from the page), or as UTF-8 with
// --utf8; "-" reads standard input. Without --field the three results are printed in UTF-8,
// each under a header line with its byte count, and a line says so when the event table was read
// only in part (the check run then stores nothing). With --field only that result is written, as the
// Windows-1251 bytes the program stores, nothing added, so scripts can compare byte for byte.
#include "BinaryStreams.h"

#include "store/Cp1251.h"
#include "tracking/extraction/Extraction.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct Options
{
    bool utf8 = false;
    std::string field;
    std::string path;
};

void printUsage()
{
    std::cerr << "usage: kurierix-extract [--utf8] [--field status|date|history] PAGE.html\n"
                 "  PAGE.html  a saved tracking page in Windows-1251 (\"-\" reads standard input)\n"
                 "  --utf8     the page is UTF-8 instead\n"
                 "  --field    write only that result, as the stored Windows-1251 bytes\n";
}

std::optional<Options> parseArguments(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--utf8") {
            options.utf8 = true;
        } else if (arg == "--field" && i + 1 < argc) {
            options.field = argv[++i];
            if (options.field != "status" && options.field != "date" && options.field != "history")
                return std::nullopt;
        } else if ((arg.size() > 1 && arg.front() == '-') || !options.path.empty()) {
            return std::nullopt;
        } else {
            options.path = arg;
        }
    }
    if (options.path.empty())
        return std::nullopt;
    return options;
}

std::optional<std::string> readAll(const std::string& path)
{
    if (path == "-")
        return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return std::nullopt;
    return bytes;
}

bool writeBytes(const std::string& bytes)
{
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
}

// One result for reading: a header with the stored size, the text in UTF-8 with its CR LF line
// breaks as plain line breaks, and a line break before the next header if the text lacks one.
std::string section(const char* name, const std::string& text)
{
    QString shown = fromCp1251(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (!shown.isEmpty() && !shown.endsWith(QLatin1Char('\n')))
        shown += QLatin1Char('\n');
    return "=== " + std::string(name) + " (" + std::to_string(text.size()) + " bytes) ===\n"
           + shown.toUtf8().toStdString();
}

} // namespace

int main(int argc, char** argv)
{
    useBinaryStandardStreams();
    const std::optional<Options> options = parseArguments(argc, argv);
    if (!options) {
        printUsage();
        return kExitUsage;
    }
    const std::optional<std::string> read = readAll(options->path);
    if (!read) {
        std::cerr << "kurierix-extract: cannot read " << options->path << "\n";
        return kExitFailed;
    }
    const std::string page = options->utf8 ? toCp1251(QString::fromUtf8(read->data(), qsizetype(read->size()))) : *read;

    if (options->field == "status")
        return writeBytes(ExtractStatus(page)) ? kExitOk : kExitFailed;
    if (options->field == "date")
        return writeBytes(ExtractFirstEventDate(page)) ? kExitOk : kExitFailed;
    if (options->field == "history")
        return writeBytes(ExtractHistory(page)) ? kExitOk : kExitFailed;

    // As the check run reads the page; shown as stored.
    const ExtractedResults results = ExtractResults(page);
    std::string report = section("status", results.status) + section("date", results.firstEventDate)
                         + section("history", results.history);
    if (!results.readWhole)
        report += "=== the event table was read only in part: a check run leaves the parcel as it was ===\n";
    report += "=== end ===\n";
    return writeBytes(report) ? kExitOk : kExitFailed;
}
