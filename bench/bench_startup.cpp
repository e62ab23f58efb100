// Start-up: from process start to the main window on screen, with a database.db of 1,000
// parcels and 200 recorded check runs (the status bar reads the newest), against a bare Qt Widgets window of the same
// size started the same way (the floor). Both are started by this driver as child processes, alternately, after one
// warm-up start each; each reports the monotonic clock when its window is first exposed and drawn. The program's
// harness also lists the processes it has started by 1.5 s after that: no browser-engine process may be among them
// before the first check run.
#include "bench/harness/BenchParcels.h"
#include "bench/support/BenchArguments.h"
#include "bench/support/BenchReport.h"
#include "bench/support/Samples.h"
#include "store/RunHistory.h"
#include "store/SQLiteDatabase.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <map>
#include <set>

namespace {

constexpr double kTargetRatio = 1.6;

struct Launch
{
    double shownMs = 0;
    std::map<std::string, long long> values; // "webengine", "children", "rss_kib", ...
    std::vector<std::string> children;
    // Milliseconds from the start to each step the harness reports, in its order.
    std::vector<std::pair<std::string, double>> phases;
    std::string error;
};

// Medians of each step's time, in the order the harness reports them.
class PhaseTimes
{
public:
    void add(const Launch& launch)
    {
        for (const auto& [name, ms] : launch.phases) {
            if (!m_samples.count(name))
                m_order.push_back(name);
            m_samples[name].add(ms);
        }
    }
    std::string describe() const
    {
        std::string text;
        char item[96];
        for (const std::string& name : m_order) {
            std::snprintf(item, sizeof item, "%s%s %.1f", text.empty() ? "" : ", ", name.c_str(),
                          m_samples.at(name).median());
            text += item;
        }
        return text;
    }

private:
    std::vector<std::string> m_order;
    std::map<std::string, Samples> m_samples;
};

Launch launch(const QString& executable, const QString& directory)
{
    Launch result;
    QProcess process;
    process.setProgram(executable);
    process.setWorkingDirectory(directory);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const auto started = std::chrono::steady_clock::now();
    process.start();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        result.error = executable.toStdString() + " did not finish within a minute";
        return result;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        result.error = executable.toStdString() + " failed (exit code " + std::to_string(process.exitCode()) + ")";
        return result;
    }
    const long long startedNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(started.time_since_epoch()).count();
    bool exposed = false;
    for (const QByteArray& raw : process.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> words = raw.trimmed().split(' ');
        if (words.size() < 2)
            continue;
        if (words[0] == "phase" && words.size() >= 3) {
            result.phases.emplace_back(words[1].toStdString(), double(words[2].toLongLong() - startedNs) / 1e6);
        } else if (words[0] == "exposed") {
            result.shownMs = double(words[1].toLongLong() - startedNs) / 1e6;
            exposed = true;
        } else if (words[0] == "child" && words.size() >= 3) {
            result.children.push_back(words[2].toStdString());
        } else {
            result.values[words[0].toStdString()] = words[1].toLongLong();
        }
    }
    if (!exposed)
        result.error = executable.toStdString() + " reported no exposed window";
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    BenchReport report("startup");
    report.command(argc, argv);

    const BenchArguments args(QCoreApplication::arguments());
    const int runs = std::max(1, args.intValue(QStringLiteral("--runs"), 11));
    const int rows = args.intValue(QStringLiteral("--rows"), 1000);
    const QString programHarness = args.stringValue(QStringLiteral("--app"), QStringLiteral(KURIERIX_STARTUP_APP));
    const QString bareHarness = args.stringValue(QStringLiteral("--bare"), QStringLiteral(KURIERIX_STARTUP_BARE));

    QTemporaryDir directory;
    if (!directory.isValid()) {
        report.failure("no temporary directory");
        return report.exitCode();
    }
    const std::string database = QDir(directory.path()).filePath(QStringLiteral("database.db")).toStdString();
    BenchParcels::writeDatabase(database, rows, true);
    // A file in use has its runs table full: the status bar's query at start reads the newest.
    const int recordedRuns = args.intValue(QStringLiteral("--recorded-runs"), RunHistory::kKept);
    {
        TSQLiteDatabase db(database);
        RunRecord run;
        run.road = QStringLiteral("service");
        run.origin = RunRecord::Origin::Timer;
        run.asked = rows;
        run.stored = rows;
        for (int i = 0; i < recordedRuns; ++i) {
            run.started = QDateTime::currentDateTimeUtc().addSecs(-6 * 3600 * (recordedRuns - i));
            run.ended = run.started.addSecs(rows);
            run.changed = i % 7;
            RunHistory::record(db, run);
        }
    }
    report.info("database.db with " + std::to_string(rows) + " checked parcels and " + std::to_string(recordedRuns)
                + " recorded check runs; " + std::to_string(runs) + " starts of each after one warm-up start");

    // Warm-up: the first start of each reads its libraries from disk.
    for (const QString& harness : {bareHarness, programHarness}) {
        const Launch warm = launch(harness, directory.path());
        if (!warm.error.empty()) {
            report.failure(warm.error);
            return report.exitCode();
        }
    }

    Samples bare;
    Samples program;
    PhaseTimes barePhases;
    PhaseTimes programPhases;
    Samples programPeakMiB;
    Samples barePeakMiB;
    int engineStarts = 0;
    std::set<std::string> childNames;
    for (int run = 0; run < runs; ++run) {
        const Launch floor = launch(bareHarness, directory.path());
        const Launch full = launch(programHarness, directory.path());
        for (const Launch* result : {&floor, &full}) {
            if (!result->error.empty()) {
                report.failure(result->error);
                return report.exitCode();
            }
        }
        bare.add(floor.shownMs);
        program.add(full.shownMs);
        barePhases.add(floor);
        programPhases.add(full);
        barePeakMiB.add(double(floor.values.at("peak_rss_kib")) / 1024.0);
        programPeakMiB.add(double(full.values.at("peak_rss_kib")) / 1024.0);
        engineStarts += int(full.values.at("webengine"));
        childNames.insert(full.children.begin(), full.children.end());
    }

    report.figure("bare window shown", bare, "ms", 1);
    report.figure("program's main window shown", program, "ms", 1);
    report.info("bare window, ms from the start to: " + barePhases.describe() + ", exposed "
                + std::to_string(int(bare.median())));
    report.info("program, ms from the start to: " + programPhases.describe() + ", exposed "
                + std::to_string(int(program.median())));
    report.figure("peak resident memory of the bare window", barePeakMiB, "MiB", 1);
    report.figure("peak resident memory of the program at start", programPeakMiB, "MiB", 1);
    std::string names;
    for (const std::string& name : childNames) {
        if (!names.empty())
            names += ", ";
        names += name;
    }
    report.info("processes the program had started 1.5 s after its window was shown: "
                + (names.empty() ? std::string("none") : names));

    const double ratio = program.median() / bare.median();
    char measured[64];
    std::snprintf(measured, sizeof measured, "%.2f x (%.1f ms / %.1f ms)", ratio, program.median(), bare.median());
    report.verdict("start-up at most 1.6 x the bare window", measured, ratio <= kTargetRatio);
    report.verdict("no browser-engine process before the first check run",
                   std::to_string(engineStarts) + " started in " + std::to_string(runs) + " starts", engineStarts == 0);
    return report.exitCode();
}
