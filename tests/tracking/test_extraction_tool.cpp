#include "tracking/extraction/Extraction.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <string>

namespace {

struct ToolRun
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

ToolRun runTool(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(KURIERIX_BINARY_DIR "/tools/extract/kurierix-extract"), arguments);
    ToolRun run;
    if (!process.waitForFinished(60'000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

std::string readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

const QString kFixture = QString::fromStdString(testsupport::dataPath("page_four_events.html"));

} // namespace

TEST(ExtractionTool, FieldsAreTheStoredBytesForEitherInputEncoding)
{
    const std::string page = readFile(kFixture);
    ASSERT_FALSE(page.empty());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString utf8Path = dir.filePath(QStringLiteral("page.utf8.html"));
    QFile utf8File(utf8Path);
    ASSERT_TRUE(utf8File.open(QIODevice::WriteOnly));
    utf8File.write(testsupport::fromCp1251(page).toUtf8());
    utf8File.close();

    const std::pair<const char*, std::string> expected[] = {
        {"status", ExtractStatus(page)}, {"date", ExtractFirstEventDate(page)}, {"history", ExtractHistory(page)}};
    for (const auto& [field, bytes] : expected) {
        const ToolRun cp1251Run = runTool({QStringLiteral("--field"), QString::fromLatin1(field), kFixture});
        EXPECT_EQ(cp1251Run.exitCode, 0) << field;
        EXPECT_EQ(cp1251Run.out, bytes) << field;
        const ToolRun utf8Run =
            runTool({QStringLiteral("--utf8"), QStringLiteral("--field"), QString::fromLatin1(field), utf8Path});
        EXPECT_EQ(utf8Run.exitCode, 0) << field;
        EXPECT_EQ(utf8Run.out, bytes) << field;
    }
}

TEST(ExtractionTool, PrintsTheThreeResultsInUtf8)
{
    const ToolRun run = runTool({kFixture});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string expected = "=== status (" + std::to_string(ExtractStatus(readFile(kFixture)).size())
                                 + " bytes) ===\n"
                                   "2013-04-02 10:47:00 Поступление в учреждение доставки МИНСК 90 \n"
                                   "=== date (19 bytes) ===\n"
                                   "2013-03-16 12:30:00\n"
                                   "=== history (";
    EXPECT_EQ(run.out.substr(0, expected.size()), expected);
    EXPECT_NE(run.out.find("2013-03-29 09:05:00 Поступление в учреждение обмена MINSK PI 2 \n"), std::string::npos);
    EXPECT_TRUE(run.out.ends_with("МИНСК 90 \n=== end ===\n"));

    // The plain rows styled otherwise: the report says the check run would store nothing.
    std::string restyled = readFile(kFixture);
    const std::string plain = "BACKGROUND: none transparent scroll repeat 0% 0%\">";
    for (std::size_t at = restyled.find(plain); at != std::string::npos; at = restyled.find(plain, at))
        restyled.replace(at, plain.size(), "BACKGROUND-COLOR: transparent\">");
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("restyled.html")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(restyled.data(), qint64(restyled.size()));
    file.close();
    EXPECT_TRUE(runTool({file.fileName()}).out.ends_with("a check run leaves the parcel as it was ===\n=== end ===\n"));
}

TEST(ExtractionTool, RefusesBadArgumentsAndMissingFiles)
{
    for (const QStringList& arguments :
         {QStringList(), QStringList{QStringLiteral("--field"), QStringLiteral("title"), kFixture},
          QStringList{QStringLiteral("--bogus"), kFixture}, QStringList{kFixture, kFixture}}) {
        const ToolRun run = runTool(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(run.out.empty());
        EXPECT_NE(run.err.find("usage:"), std::string::npos);
    }
    const ToolRun missing = runTool({QStringLiteral("/nonexistent/page.html")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.out.empty());
}
