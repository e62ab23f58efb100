#include "console/Console.h"

#include "console/HelpText.h"
#include "console/ParcelList.h"
#include "store/ParcelStore.h"
#include "store/SQLiteException.h"
#include "tracking/CheckWords.h"
#include "tracking/ExitStatus.h"

#include <cerrno>
#include <cstdio>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Standard output was closed by the caller (`>&-`).
bool g_outClosed = false;

// A standard stream the caller closed is held open on /dev/null, so that no file the program
// opens later (the run's lock file, a socket) takes its number and receives what was meant for
// the terminal. Output to a closed standard output still counts as failed.
void holdClosedStandardStreams()
{
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int held = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (held < 0)
            continue;
        if (held != fd) {
            ::dup2(held, fd);
            ::close(held);
        }
        if (fd == STDOUT_FILENO)
            g_outClosed = true;
    }
}

bool writeAll(std::FILE* stream, const QByteArray& bytes)
{
    return std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream) == std::size_t(bytes.size())
           && std::fflush(stream) == 0;
}

} // namespace

std::optional<int> Console::run(int argc, char** argv, const CheckCommand& check)
{
    if (argc < 2)
        return std::nullopt;
    holdClosedStandardStreams();
    const CommandLine line = CommandLine::parse(argc, argv);
    if (line.command == CommandLine::Command::Window)
        return std::nullopt;
    return run(line, check);
}

int Console::run(const CommandLine& line, const CheckCommand& check)
{
    switch (line.command) {
    case CommandLine::Command::Window:
        break;
    case CommandLine::Command::Help:
        return writeOut(HelpText::text(bool(check))) ? ExitStatus::Ok : ExitStatus::OutputFailed;
    case CommandLine::Command::List:
        return list(line.csv);
    case CommandLine::Command::Check:
        if (check)
            return check(line.quiet);
        writeError(QStringLiteral("эта сборка не проверяет посылки без окна"));
        return ExitStatus::Usage;
    case CommandLine::Command::Usage:
        writeError(line.error);
        writeAll(stderr, HelpText::hint().toUtf8());
        return ExitStatus::Usage;
    }
    return ExitStatus::Usage;
}

bool Console::writeOut(const QString& text)
{
    if (!g_outClosed && writeAll(stdout, text.toUtf8()))
        return true;
    // Said once: with standard output closed (`>&-`) every later line fails the same way.
    static bool told = false;
    if (!std::exchange(told, true))
        writeError(QStringLiteral("не удалось записать в стандартный вывод"));
    return false;
}

void Console::writeError(const QString& line)
{
    writeAll(stderr, (QStringLiteral("kurierix: ") + line + u'\n').toUtf8());
}

int Console::list(bool csv)
{
    QList<ParcelList::Row> rows;
    std::optional<RunRecord> newestRun;
    const QDateTime now = QDateTime::currentDateTime();
    try {
        rows = ParcelList::read(ParcelStore::kFileName, now, QLocale::system(), &newestRun);
    } catch (const ParcelList::Unreadable& e) {
        writeError(checkwords::databaseUnreadableLine(ParcelStore::kFileName, e.reason()));
        return ExitStatus::DatabaseUnreadable;
    } catch (const ESQLiteException& e) {
        writeError(checkwords::databaseUnreadableLine(ParcelStore::kFileName, {}, e.message()));
        return ExitStatus::DatabaseUnreadable;
    }
    if (csv)
        return writeOut(ParcelList::csv(rows)) ? ExitStatus::Ok : ExitStatus::OutputFailed;
    // Under the table, after an empty line, what the newest check run did; a file no run has
    // checked yet lists as it always did.
    QString text = ParcelList::table(rows);
    if (newestRun)
        text += u'\n' + checkwords::lastRunLine(newestRun, now) + u'\n';
    return writeOut(text) ? ExitStatus::Ok : ExitStatus::OutputFailed;
}
