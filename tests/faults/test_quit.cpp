// The user closes the window while the check run awaits a page script that never returns. The
// program (faults_checkrun) ends as for a user, when its last window closes, with the
// application's own event loop told to quit. From then on a nested event loop returns at once,
// so a wait built on one would spin a core until the page operation's bound (20 s here).
#include "store/ParcelStore.h"
#include "tools/sitedouble/SiteDouble.h"

#include "support/TestSupport.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace {

TEST(Quit, ClosingTheWindowWhileAPageScriptIsAwaitedEndsTheProgramAtOnceWithoutSpinning)
{
    QTemporaryDir dir;
    SiteDouble site;
    ASSERT_TRUE(site.start());
    SiteDouble::PageFaults looping;
    looping.loopingScript = true;
    site.setPageFaults(looping);
    const QString database = dir.filePath(QStringLiteral("database.db"));
    {
        ParcelStore store;
        ASSERT_EQ(store.open(database.toStdString()), ParcelStore::OpenResult::Created);
        store.insert(Parcel::typed(QStringLiteral("RQ000000001CN"), QStringLiteral("Shop"), QStringLiteral("Thing")));
    }

    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(KURIERIX_FAULTS_CHECKRUN),
                  {database, site.url(), QString::number(site.port()), QStringLiteral("20000")});
    QByteArray output;
    // The fields of the output line that begins with `word`.
    const auto line = [&](const QByteArray& word) {
        output += program.readAllStandardOutput();
        for (const QByteArray& each : output.split('\n'))
            if (each.startsWith(word + ' '))
                return each.split(' ');
        return QList<QByteArray>();
    };
    ASSERT_TRUE(testsupport::waitUntil([&] { return !line("closing").isEmpty(); }, std::chrono::seconds(60)))
        << output.toStdString();
    const bool ended =
        testsupport::waitUntil([&] { return program.state() == QProcess::NotRunning; }, std::chrono::seconds(3));
    if (!ended)
        program.kill();
    ASSERT_TRUE(ended) << "still running 3 s after the close";
    EXPECT_EQ(program.exitCode(), 0);

    // "closing <CPU ms> <clock ms> <render process>", "ended <CPU ms> <clock ms>"
    const QList<QByteArray> closing = line("closing");
    const QList<QByteArray> end = line("ended");
    ASSERT_EQ(end.size(), 3) << output.toStdString();
    const qint64 cpu = end[1].toLongLong() - closing[1].toLongLong();
    const qint64 clock = end[2].toLongLong() - closing[2].toLongLong();
    EXPECT_LT(cpu, clock / 2 + 100) << cpu << " ms of CPU in " << clock << " ms";
    const qint64 renderer = closing[3].toLongLong();
    EXPECT_TRUE(testsupport::waitUntil([&] { return ::kill(static_cast<pid_t>(renderer), 0) != 0; }))
        << "the looping render process " << renderer << " outlived the program";
}

} // namespace
