// The user closes the window while the check run awaits a page script that never returns. The
// program ends as it does for a user, when its last window closes, in a process of its own
// (faults_checkrun), where the application's own event loop runs and is told to quit. Once
// that has happened a nested event loop returns at once, so a wait built on one would spin a
// core until the page operation's bound; the program must instead end at once.
#include "store/ParcelStore.h"
#include "tools/sitedouble/SiteDouble.h"

#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace {

TEST(Quit, ClosingTheWindowWhileAPageScriptIsAwaitedEndsTheProgramAtOnceWithoutSpinning)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SiteDouble site;
    ASSERT_TRUE(site.start());
    site.setAnswer(QStringLiteral("RQ000000001CN"),
                   {{QStringLiteral("2013-03-16 12:30:00"), QStringLiteral("Приём"), QStringLiteral("MINSK")}});
    SiteDouble::PageFaults looping;
    looping.loopingScript = true;
    site.setPageFaults(looping);
    const QString database = dir.filePath(QStringLiteral("database.db"));
    {
        ParcelStore store;
        ASSERT_EQ(store.open(database.toStdString()), ParcelStore::OpenResult::Created);
        store.insert("RQ000000001CN", "Shop", "Thing", "");
    }

    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The page operation's bound is far beyond what the test waits for.
    program.start(QStringLiteral(KURIERIX_FAULTS_CHECKRUN),
                  {database, site.url(), QString::number(site.port()), QStringLiteral("close-when-stuck"),
                   QStringLiteral("20000")});
    ASSERT_TRUE(program.waitForStarted(10000)) << program.errorString().toStdString();
    QByteArray output;
    const auto lineStarting = [&](const QByteArray& start) {
        output += program.readAllStandardOutput();
        for (const QByteArray& line : output.split('\n'))
            if (line.startsWith(start + ' '))
                return line.split(' ');
        return QList<QByteArray>();
    };

    ASSERT_TRUE(testsupport::waitUntil([&] { return !lineStarting("closing").isEmpty(); }, std::chrono::seconds(60)))
        << output.toStdString();
    QElapsedTimer sinceClose;
    sinceClose.start();
    const bool ended =
        testsupport::waitUntil([&] { return program.state() == QProcess::NotRunning; }, std::chrono::seconds(3));
    const qint64 wall = sinceClose.elapsed();
    if (!ended) {
        program.kill();
        program.waitForFinished(10000);
    }
    ASSERT_TRUE(ended) << "still running " << wall << " ms after the close";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);

    // closing <CPU ms> <clock ms> <render process>, ended <CPU ms> <clock ms>
    const QList<QByteArray> closing = lineStarting("closing");
    const QList<QByteArray> end = lineStarting("ended");
    ASSERT_EQ(closing.size(), 4) << output.toStdString();
    ASSERT_EQ(end.size(), 3) << output.toStdString();
    const qint64 cpu = end[1].toLongLong() - closing[1].toLongLong();
    const qint64 clock = end[2].toLongLong() - closing[2].toLongLong();
    EXPECT_LT(cpu, clock / 2 + 100) << cpu << " ms of CPU in " << clock << " ms";
    // The looping render process does not outlive the program.
    const qint64 renderer = closing[3].toLongLong();
    ASSERT_GT(renderer, 0);
    EXPECT_TRUE(testsupport::waitUntil([&] { return ::kill(static_cast<pid_t>(renderer), 0) != 0; }))
        << "render process " << renderer << " outlived the program";
}

} // namespace
