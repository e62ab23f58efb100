// The program killed with SIGKILL at a random moment of a check run over 50 parcels. Whatever
// the moment, database.db must stay sound: PRAGMA integrity_check says "ok", no row is lost,
// and every row holds either its values from before the run or those the run gives it, never
// a mix of the two.
//
// The program runs as a process of its own (`kurierix --check --quiet`, the same check run as the
// window's menu, without the window) against the tracking-site double in this process. The
// moment of the kill: after a random number of the 50 searches has reached the double, plus a
// random few milliseconds, so that kills land before, between and inside the writes. Each run
// after a kill finds the killed run's lock beside the database and must not be held up by it.
//
// KURIERIX_FAULTS_KILL_RUNS sets the number of kills (default 3; scripts/faults runs 100),
// KURIERIX_FAULTS_SEED the random seed (printed, so that a failing series can be repeated).
#include "FaultFiles.h"

#include "app/AppTestHarness.h"
#include "store/ParcelStore.h"
#include "tools/sitedouble/SiteDouble.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <csignal>
#include <cstdio>
#include <random>
#include <set>

using apptest::cp;
using apptest::Row;

namespace {

constexpr int kParcels = 50;

QString numberOf(int i)
{
    return QStringLiteral("RK%1CN").arg(i, 9, 10, QLatin1Char('0'));
}

int setting(const char* name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

// Processes whose parent is `pid`: the browser engine's helpers of a running program.
std::set<qint64> childrenOf(qint64 pid)
{
    std::set<qint64> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 child = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks, so count from its closing bracket.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == pid)
            children.insert(child);
    }
    return children;
}

bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const QByteArray state = line.mid(line.lastIndexOf(')') + 2, 1);
    return state == "Z" || state == "X";
}

class KillDuringCheckRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_site.start());
        m_original = m_dir.filePath(QStringLiteral("original.db"));

        ParcelStore store;
        ASSERT_EQ(store.open(m_original.toStdString()), ParcelStore::OpenResult::Created);
        for (int i = 0; i < kParcels; ++i) {
            const QString number = numberOf(i);
            store.insert(Parcel::typed(number, QStringLiteral("Shop %1").arg(i), QStringLiteral("Товар %1").arg(i)));
            // Values before the run that the run replaces in every column it writes.
            testsupport::storeResultBytes(store, std::to_string(i + 1), cp("старый статус ") + std::to_string(i),
                                          "2012-12-" + std::to_string(10 + i % 20) + " 00:00:00",
                                          cp("старая история ") + std::to_string(i));
            if (i % 5 == 4) {
                m_site.setNotFound(number);
                continue;
            }
            QList<SiteDouble::Event> events;
            for (int e = 0; e <= i % 4; ++e)
                events.append({QStringLiteral("2013-03-%1 %2:00:00").arg(10 + e).arg(10 + i % 10),
                               QStringLiteral("Событие %1 посылки %2").arg(e).arg(i),
                               QStringLiteral("OFFICE %1").arg(i)});
            m_site.setAnswer(number, events);
        }
        store.close();
        m_before = apptest::Database(m_original.toStdString()).rows();
        ASSERT_EQ(m_before.size(), std::size_t(kParcels));
    }

    void TearDown() override { m_site.stop(); }

    // A fresh copy of the database in a directory of its own, for one run of the program.
    QString prepareRun(const QString& name)
    {
        const QString dir = m_dir.filePath(name);
        EXPECT_TRUE(QDir().mkpath(dir));
        const QString database = dir + QStringLiteral("/database.db");
        EXPECT_TRUE(faultfiles::copyFile(m_original, database));
        return database;
    }

    void startProgram(QProcess& program, const QString& database)
    {
        m_site.resetCounters();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KURIERIX_TRACKING_URL"), m_site.url());
        environment.insert(QStringLiteral("KURIERIX_PROBE"), QStringLiteral("127.0.0.1:%1").arg(m_site.port()));
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(QFileInfo(database).absolutePath());
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(KURIERIX_PROGRAM), {QStringLiteral("--check"), QStringLiteral("--quiet")});
        ASSERT_TRUE(program.waitForStarted(10000)) << program.errorString().toStdString();
    }

    // The rows a whole run leaves, from an undisturbed run of the program.
    std::vector<Row> referenceRun()
    {
        const QString database = prepareRun(QStringLiteral("reference"));
        QProcess program;
        startProgram(program, database);
        EXPECT_TRUE(
            testsupport::waitUntil([&] { return program.state() == QProcess::NotRunning; }, std::chrono::seconds(120)));
        const QByteArray output = program.readAllStandardOutput();
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        // --quiet: the summary alone, a line per parcel, each of which changed.
        EXPECT_EQ(output.count('\n'), kParcels) << output.toStdString();
        return apptest::Database(database.toStdString()).rows();
    }

    QTemporaryDir m_dir;
    SiteDouble m_site;
    QString m_original;
    std::vector<Row> m_before;
};

TEST_F(KillDuringCheckRun, DatabaseStaysSoundAndEveryRowIsOldOrNewWheneverTheProgramIsKilled)
{
    const std::vector<Row> after = referenceRun();
    ASSERT_EQ(after.size(), std::size_t(kParcels));
    for (int i = 0; i < kParcels; ++i) {
        // Old and new differ in every column the run writes, so a mix cannot pass for either.
        EXPECT_NE(after[i].at("s_status"), m_before[i].at("s_status")) << i;
        if (i % 5 != 4) {
            EXPECT_NE(after[i].at("s_date"), m_before[i].at("s_date")) << i;
            EXPECT_NE(after[i].at("s_trackfull"), m_before[i].at("s_trackfull")) << i;
        }
    }

    const int runs = setting("KURIERIX_FAULTS_KILL_RUNS", 3);
    const unsigned seed = static_cast<unsigned>(setting("KURIERIX_FAULTS_SEED", int(std::random_device{}() >> 1)));
    std::printf("kill: %d runs, seed %u\n", runs, seed);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> searchesBeforeKill(0, kParcels);
    std::uniform_int_distribution<int> extraMs(0, 60);

    int killedMidRun = 0;
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        SCOPED_TRACE("run " + std::to_string(run) + " of seed " + std::to_string(seed));
        const QString database = prepareRun(QStringLiteral("run-%1").arg(run));
        const int searches = searchesBeforeKill(random);
        const int extra = extraMs(random);

        QProcess program;
        startProgram(program, database);
        const qint64 pid = program.processId();
        const auto ended = [&] { return program.state() == QProcess::NotRunning; };
        EXPECT_TRUE(testsupport::waitUntil([&] { return ended() || m_site.totalSearches() >= searches; },
                                           std::chrono::seconds(120)));
        testsupport::waitUntil(ended, std::chrono::milliseconds(extra));
        const std::set<qint64> helpers = childrenOf(pid);
        const bool wasRunning = !ended();
        if (wasRunning) {
            ::kill(static_cast<pid_t>(pid), SIGKILL);
            program.waitForFinished(10000);
            ++killedMidRun;
        }

        // What is wrong with the file after this kill, if anything.
        std::vector<std::string> problems;
        const std::string integrity = faultfiles::integrityCheck(database);
        if (integrity != "ok")
            problems.push_back("integrity_check: " + integrity);
        const std::vector<Row> rows = apptest::Database(database.toStdString()).rows();
        int newRows = 0;
        if (rows.size() != std::size_t(kParcels)) {
            problems.push_back(std::to_string(rows.size()) + " rows instead of " + std::to_string(kParcels));
        } else {
            for (int i = 0; i < kParcels; ++i) {
                const bool isOld = rows[i] == m_before[i];
                const bool isNew = rows[i] == after[i];
                if (!isOld && !isNew)
                    problems.push_back("row " + std::to_string(i) + " holds a mix of old and new values");
                // The run goes in row order: a new row follows only new rows.
                if (isNew && !isOld && i > 0 && rows[i - 1] != after[i - 1])
                    problems.push_back("row " + std::to_string(i) + " is new but the row before it is not");
                newRows += isNew && !isOld ? 1 : 0;
            }
        }
        // The browser engine's helpers go with the program, not left behind one set per kill.
        for (const qint64 helper : helpers) {
            if (!testsupport::waitUntil([&] { return processGone(helper); }, std::chrono::seconds(20)))
                problems.push_back("helper process " + std::to_string(helper) + " outlived the killed program");
        }
        for (const std::string& problem : problems)
            ADD_FAILURE() << problem;
        failures += problems.empty() ? 0 : 1;
        std::printf("kill run %d: after %d searches + %d ms, %s, %d of %d rows new\n", run, searches, extra,
                    wasRunning ? "killed" : "had already finished", newRows, kParcels);
    }
    std::printf("kill: %d runs, %d killed mid-run, %d with failures\n", runs, killedMidRun, failures);
}

} // namespace
