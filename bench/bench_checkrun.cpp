// Check runs of the program against the tracking-site double, started as a user starts them
// (the grid menu's "Проверить посылки", which clicks `Button_Check`), in the main window the
// program builds. The double runs as a process of its own. One measurement per mode:
//
//   --throughput  200 parcels answered at once: the time per parcel, from the start of the first
//                 parcel to the end of the run, for the first run (which also starts the browser
//                 engine) and for the runs after it. With --reference-ms the median of the later
//                 runs is judged against the reference's time per parcel (at most 0.7 x).
//   --held        20 parcels whose answers the double holds 300 ms, then 20 answered at once, in
//                 one run: the time per parcel of each kind. A held answer may cost at most its
//                 300 ms, the time of an answer given at once and 5 ms more: the run must see it
//                 as it comes.
//   --waiting     10 parcels whose answers take 2 s each: CPU seconds of the program and of its
//                 browser-engine helper processes during a run, against the run's wall time
//                 (at most 1 % of one core).
//   --memory      resident memory of the program's own process before the first run (at most
//                 45 MB) and at the start of each parcel of 200-parcel runs: the 200th parcel
//                 may cost no more than the 20th. The helper processes are reported apart.
//                 With --without-log, a control: the run's lines are kept out of the status log,
//                 which otherwise keeps every line (three per parcel) by design.
//   --write-fixture PATH
//                 writes the double's fixture for --parcels numbers (and --latency-ms), for the
//                 reference that drives the same double in Chromium.
//
// --parcels, --runs and (for --waiting and --held) --latency-ms change the counts; --trace prints
// the timed status-log lines of the first parcels of the last run (throughput and held);
// --fallback-ms sets the check run's fallback look interval instead of the program's own, and
// KURIERIX_NO_PAGE_NOTIFICATIONS=1 leaves the run to the fallback looks alone (experiments).
#include "app/ProcessSetup.h"
#include "tests/support/RecordingPrompts.h"
#include "bench/harness/BenchParcels.h"
#include "bench/harness/SiteDoubleProcess.h"
#include "bench/harness/TimedMainForm.h"
#include "bench/support/BenchArguments.h"
#include "bench/support/BenchReport.h"
#include "bench/support/ProcessProbe.h"
#include "bench/support/Samples.h"
#include "store/Cp1251.h"
#include "tests/support/MainFormView.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kThroughputRatio = 0.7;
constexpr double kWaitingCorePercent = 1.0;
// What a held answer may cost beyond its own wait and the time of an answer given at once.
constexpr double kHeldOverheadMs = 5.0;
constexpr double kMemoryBeforeRunMB = 45.0;
// Resident memory moves in 4-KiB pages and the allocator keeps what it has been given back, so
// a run that keeps nothing still moves by a few pages over 180 parcels (well under this); what
// is kept for every parcel shows above it from a quarter of a KiB each.
constexpr double kNoGrowthKiB = 0.25;

double seconds(Clock::duration span)
{
    return std::chrono::duration<double>(span).count();
}

// Handles events for `ms`, sleeping in the dispatcher between them.
void idle(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(std::max<qint64>(1, deadline.remainingTime()), &loop, &QEventLoop::quit);
        loop.exec();
    }
}

// CPU nanoseconds of each process of the program: its own and every process below it except
// the double, which the benchmark started and which stands in for the remote site.
std::map<pid_t, std::int64_t> programCpu(pid_t siteDouble)
{
    std::map<pid_t, std::int64_t> cpu;
    const pid_t self = ::getpid();
    cpu[self] = ProcessProbe::cpuNanoseconds(self);
    for (const pid_t child : ProcessProbe::descendants(self)) {
        if (child != siteDouble)
            cpu[child] = ProcessProbe::cpuNanoseconds(child);
    }
    return cpu;
}

// CPU nanoseconds spent between two readings, all processes together and the own one alone.
struct CpuSpent
{
    std::int64_t all = 0;
    std::int64_t own = 0;
};

CpuSpent cpuSpent(const std::map<pid_t, std::int64_t>& before, const std::map<pid_t, std::int64_t>& after)
{
    CpuSpent spent;
    for (const auto& [pid, ns] : after) {
        const auto earlier = before.find(pid);
        const std::int64_t delta = ns - (earlier == before.end() ? 0 : earlier->second);
        spent.all += delta;
        if (pid == ::getpid())
            spent.own = delta;
    }
    return spent;
}

std::vector<pid_t> helperProcesses(pid_t siteDouble)
{
    std::vector<pid_t> helpers;
    for (const pid_t child : ProcessProbe::descendants(::getpid())) {
        if (child != siteDouble)
            helpers.push_back(child);
    }
    return helpers;
}

std::string formatted(const char* pattern, double value)
{
    char text[96];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// The program's window over a database of `parcels` parcels and the double serving their
// answers, each after `latencyMs`.
class Bench
{
public:
    explicit Bench(BenchReport& report) : m_report(report) {}

    // Overrides the check run's fallback look interval (ms), for experiments; 0 keeps the program's.
    void setFallbackMs(int fallbackMs) { m_fallbackMs = fallbackMs; }

    // `parcels` parcels, each answer held `latencyMs`, those of the first `heldFirst` `heldMs`.
    bool prepare(int parcels, int latencyMs, int heldFirst = 0, int heldMs = 0)
    {
        m_parcels = parcels;
        if (!m_directory.isValid())
            return fail("no temporary directory");
        m_databasePath = QDir(m_directory.path()).filePath(QStringLiteral("database.db")).toStdString();
        const QString fixture = QDir(m_directory.path()).filePath(QStringLiteral("fixture.json"));
        BenchParcels::writeDatabase(m_databasePath, parcels, false);
        BenchParcels::writeFixture(fixture.toStdString(), parcels, latencyMs, heldFirst, heldMs);
        QString error;
        if (!m_double.start(QStringLiteral(KURIERIX_SITEDOUBLE), fixture, &error))
            return fail(error.toStdString());

        MainFormOptions options;
        options.endpoints.trackingUrl = m_double.url().toStdString();
        options.endpoints.probeHost = "127.0.0.1";
        options.endpoints.probePort = QUrl(m_double.url()).port();
        options.databasePath = m_databasePath;
        options.browserStorageDir = QDir(m_directory.path()).filePath(QStringLiteral("browser"));
        options.prompts = &m_prompts;
        if (m_fallbackMs > 0)
            options.checkRunLimits.fallbackLookMs = m_fallbackMs;
        m_window = std::make_unique<TimedMainForm>(std::move(options));
        if (m_window->startupFailed())
            return fail("the main window could not open its database");
        m_window->show();
        const QDeadlineTimer shown(10000);
        while (!(m_window->windowHandle() && m_window->windowHandle()->isExposed()) && !shown.hasExpired())
            idle(10);
        // Let start-up work that follows the first frame finish before anything is measured.
        idle(1500);
        return true;
    }

    // One check run as the menu starts it. False, with the reason reported, when the run did
    // not store every parcel or showed a box.
    bool run()
    {
        BenchParcels::clearResults(m_databasePath);
        m_window->resetMarks();
        m_prompts.clear();
        m_started = Clock::now();
        m_window->N4Click();
        m_ended = Clock::now();
        if (!m_prompts.shown().empty())
            return fail("the run showed the box \"" + m_prompts.shown().front().text.toStdString() + "\"");
        const int checked = BenchParcels::checkedRows(m_databasePath);
        if (checked != m_parcels || int(m_window->parcelStarts().size()) != m_parcels || !m_window->runEnd())
            return fail("the run stored " + std::to_string(checked) + " of " + std::to_string(m_parcels)
                        + " parcels; the status log says: " + ui(*m_window).Memo_Status->toPlainText().toStdString());
        return true;
    }

    // From the start of the first parcel to the end of the run, per parcel.
    double perParcelMs() const
    {
        const auto span = *m_window->runEnd() - m_window->parcelStarts().front().at;
        return seconds(span) * 1000.0 / m_parcels;
    }
    double runSeconds() const { return seconds(m_ended - m_started); }

    // The status-log lines of the last run's first `parcels` parcels, each with the
    // milliseconds since the line before it.
    void traceLines(int parcels) const
    {
        const auto& lines = m_window->lines();
        for (std::size_t i = 1; i < lines.size(); ++i) {
            if (m_window->parcelStarts().size() > std::size_t(parcels)
                && lines[i].first >= m_window->parcelStarts()[std::size_t(parcels)].at)
                break;
            std::printf("  %+8.2f ms  %s\n", seconds(lines[i].first - lines[i - 1].first) * 1000.0,
                        fromCp1251(lines[i].second).toStdString().c_str());
        }
        std::fflush(stdout);
    }

    TimedMainForm& window() { return *m_window; }
    pid_t siteDouble() const { return m_double.pid(); }

    bool fail(const std::string& why)
    {
        m_report.failure(why);
        return false;
    }

private:
    BenchReport& m_report;
    QTemporaryDir m_directory;
    std::string m_databasePath;
    int m_parcels = 0;
    int m_fallbackMs = 0;
    SiteDoubleProcess m_double;
    RecordingPrompts m_prompts;
    std::unique_ptr<TimedMainForm> m_window;
    Clock::time_point m_started;
    Clock::time_point m_ended;
};

int throughput(BenchReport& report, const BenchArguments& args)
{
    const int parcels = args.intValue(QStringLiteral("--parcels"), 200);
    const int runs = std::max(1, args.intValue(QStringLiteral("--runs"), 5));
    Bench bench(report);
    bench.setFallbackMs(args.intValue(QStringLiteral("--fallback-ms"), 0));
    if (!bench.prepare(parcels, 0))
        return report.exitCode();
    report.info(std::to_string(parcels) + " parcels answered at once; one first run, then " + std::to_string(runs)
                + " runs with the browser engine already running");

    if (!bench.run())
        return report.exitCode();
    report.figure("first run (starts the browser engine), whole run", bench.runSeconds(), "s", 2);
    report.figure("first run, per parcel", bench.perParcelMs(), "ms", 2);

    Samples perParcel;
    Samples whole;
    Samples cpuPerParcel;
    Samples ownCpuPerParcel;
    for (int i = 0; i < runs; ++i) {
        const auto before = programCpu(bench.siteDouble());
        if (!bench.run())
            return report.exitCode();
        const CpuSpent spent = cpuSpent(before, programCpu(bench.siteDouble()));
        perParcel.add(bench.perParcelMs());
        whole.add(bench.runSeconds());
        cpuPerParcel.add(double(spent.all) / 1e6 / parcels);
        ownCpuPerParcel.add(double(spent.own) / 1e6 / parcels);
    }
    report.figure("later runs, whole run", whole, "s", 2);
    report.figure("later runs, per parcel", perParcel, "ms", 2);
    report.figure("later runs, CPU per parcel, own process", ownCpuPerParcel, "ms", 2);
    report.figure("later runs, CPU per parcel, all processes", cpuPerParcel, "ms", 2);
    if (args.has(QStringLiteral("--trace"))) {
        report.info("the last run's first parcels, with the time since the line before:");
        bench.traceLines(3);
    }

    const double reference = args.doubleValue(QStringLiteral("--reference-ms"), 0.0);
    if (reference > 0) {
        const double ratio = perParcel.median() / reference;
        report.verdict("per parcel at most 0.7 x the bare Chromium reference",
                       formatted("%.2f x", ratio) + formatted(" (%.2f ms", perParcel.median())
                           + formatted(" / %.2f ms)", reference),
                       ratio <= kThroughputRatio);
    }
    return report.exitCode();
}

int held(BenchReport& report, const BenchArguments& args)
{
    const int parcels = args.intValue(QStringLiteral("--parcels"), 20);
    const int latencyMs = args.intValue(QStringLiteral("--latency-ms"), 300);
    const int runs = std::max(1, args.intValue(QStringLiteral("--runs"), 5));
    Bench bench(report);
    bench.setFallbackMs(args.intValue(QStringLiteral("--fallback-ms"), 0));
    if (!bench.prepare(2 * parcels, 0, parcels, latencyMs))
        return report.exitCode();
    report.info(std::to_string(parcels) + " parcels answered after " + std::to_string(latencyMs) + " ms, then "
                + std::to_string(parcels) + " answered at once, in each run; one first run, then "
                + std::to_string(runs) + " runs");

    if (!bench.run())
        return report.exitCode();
    Samples heldPerParcel;
    Samples instantPerParcel;
    Samples overhead;
    for (int i = 0; i < runs; ++i) {
        if (!bench.run())
            return report.exitCode();
        const auto& starts = bench.window().parcelStarts();
        const auto firstInstant = starts[std::size_t(parcels)].at;
        const double heldMs = seconds(firstInstant - starts.front().at) * 1000.0 / parcels;
        const double instantMs = seconds(*bench.window().runEnd() - firstInstant) * 1000.0 / parcels;
        heldPerParcel.add(heldMs);
        instantPerParcel.add(instantMs);
        overhead.add(heldMs - latencyMs - instantMs);
    }
    report.figure("held answers, per parcel", heldPerParcel, "ms", 2);
    report.figure("answers at once, per parcel", instantPerParcel, "ms", 2);
    report.figure("held, beyond the wait and the time of an answer at once", overhead, "ms", 2);
    if (args.has(QStringLiteral("--trace"))) {
        report.info("the last run's first parcels, with the time since the line before:");
        bench.traceLines(3);
    }
    const double limit = latencyMs + instantPerParcel.median() + kHeldOverheadMs;
    report.verdict("per parcel at most " + std::to_string(latencyMs) + " ms + an answer at once + 5 ms",
                   formatted("%.2f ms", heldPerParcel.median()) + formatted(" (limit %.2f ms)", limit),
                   heldPerParcel.median() <= limit);
    return report.exitCode();
}

int waiting(BenchReport& report, const BenchArguments& args)
{
    const int parcels = args.intValue(QStringLiteral("--parcels"), 10);
    const int latencyMs = args.intValue(QStringLiteral("--latency-ms"), 2000);
    const int runs = std::max(1, args.intValue(QStringLiteral("--runs"), 3));
    Bench bench(report);
    bench.setFallbackMs(args.intValue(QStringLiteral("--fallback-ms"), 0));
    if (!bench.prepare(parcels, latencyMs))
        return report.exitCode();
    report.info(std::to_string(parcels) + " parcels answered after " + std::to_string(latencyMs)
                + " ms each; one first run, then " + std::to_string(runs) + " runs");

    Samples percent;
    Samples ownSeconds;
    Samples allSeconds;
    Samples wall;
    for (int i = 0; i <= runs; ++i) {
        const auto before = programCpu(bench.siteDouble());
        if (!bench.run())
            return report.exitCode();
        const auto [all, own] = cpuSpent(before, programCpu(bench.siteDouble()));
        const double runSeconds = bench.runSeconds();
        const double share = double(all) / 1e9 / runSeconds * 100.0;
        if (i == 0) {
            report.figure("first run (starts the browser engine), CPU of all processes", double(all) / 1e9, "s", 3);
            report.figure("first run, share of one core", share, "%", 2);
            continue;
        }
        percent.add(share);
        ownSeconds.add(double(own) / 1e9);
        allSeconds.add(double(all) / 1e9);
        wall.add(runSeconds);
    }
    // For comparison: the same processes with nothing to do, the page loaded and no run going.
    {
        const int idleMs = 10000;
        const auto before = programCpu(bench.siteDouble());
        idle(idleMs);
        const CpuSpent spent = cpuSpent(before, programCpu(bench.siteDouble()));
        report.figure("idle after the runs (page loaded, no run), share of one core",
                      double(spent.all) / 1e9 / (idleMs / 1000.0) * 100.0, "%", 2);
    }
    report.figure("later runs, wall time", wall, "s", 2);
    report.figure("later runs, CPU of the program's own process", ownSeconds, "s", 3);
    report.figure("later runs, CPU of all its processes", allSeconds, "s", 3);
    report.figure("later runs, share of one core", percent, "%", 2);
    report.verdict("waiting costs at most 1 % of one core", formatted("%.2f %%", percent.median()),
                   percent.median() <= kWaitingCorePercent);
    return report.exitCode();
}

int memory(BenchReport& report, const BenchArguments& args)
{
    const int parcels = args.intValue(QStringLiteral("--parcels"), 200);
    const int runs = std::max(1, args.intValue(QStringLiteral("--runs"), 3));
    const int early = std::min(20, parcels);
    Bench bench(report);
    bench.setFallbackMs(args.intValue(QStringLiteral("--fallback-ms"), 0));
    if (!bench.prepare(parcels, 0))
        return report.exitCode();
    bench.window().setSampleMemory(true);
    const bool withoutLog = args.has(QStringLiteral("--without-log"));
    bench.window().setKeepLogLines(!withoutLog);
    report.info(std::to_string(parcels) + " parcels answered at once; " + std::to_string(runs)
                + " runs in one process; resident memory of the program's own process"
                + (withoutLog ? "; CONTROL: the run's lines are kept out of the status log" : ""));

    const pid_t self = ::getpid();
    const double peakBeforeMiB = double(ProcessProbe::peakResidentKiB(self)) / 1024.0;
    report.figure("before the first run, resident", double(ProcessProbe::residentKiB(self)) / 1024.0, "MiB", 1);
    report.figure("before the first run, peak", peakBeforeMiB, "MiB", 1);
    if (!withoutLog)
        report.verdict("peak before the first run at most 45 MB", formatted("%.1f MB", peakBeforeMiB * 1.048576),
                       peakBeforeMiB * 1.048576 <= kMemoryBeforeRunMB);

    Samples growth;
    for (int i = 0; i < runs; ++i) {
        if (!bench.run())
            return report.exitCode();
        const auto& marks = bench.window().parcelStarts();
        const double atEarly = double(marks[std::size_t(early - 1)].residentKiB);
        const double atLast = double(marks.back().residentKiB);
        const double perParcel = (atLast - atEarly) / double(parcels - early);
        growth.add(perParcel);
        std::int64_t helperRss = 0;
        std::int64_t helperPeak = 0;
        for (const pid_t helper : helperProcesses(bench.siteDouble())) {
            helperRss += ProcessProbe::residentKiB(helper);
            helperPeak = std::max(helperPeak, ProcessProbe::peakResidentKiB(helper));
        }
        char line[256];
        std::snprintf(line, sizeof line,
                      "run %d: own process at parcel %d %.1f MiB, at parcel %d %.1f MiB (%+.2f KiB per parcel), "
                      "peak %.1f MiB; helper processes %.1f MiB together, the largest peaked at %.1f MiB",
                      i + 1, early, atEarly / 1024.0, parcels, atLast / 1024.0, perParcel,
                      double(ProcessProbe::peakResidentKiB(self)) / 1024.0, double(helperRss) / 1024.0,
                      double(helperPeak) / 1024.0);
        report.info(line);
    }
    report.figure("growth per parcel from the " + std::to_string(early) + "th to the " + std::to_string(parcels) + "th",
                  growth, "KiB", 2);
    report.figure("peak of the own process over all runs", double(ProcessProbe::peakResidentKiB(self)) / 1024.0, "MiB",
                  1);
    if (withoutLog)
        return report.exitCode(); // a control, for comparison with the program's own figure
    report.verdict("no growth per parcel (the " + std::to_string(parcels) + "th costs no more than the "
                       + std::to_string(early) + "th)",
                   formatted("%+.2f KiB per parcel", growth.median()), growth.median() <= kNoGrowthKiB);
    return report.exitCode();
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const BenchArguments args(arguments);
    if (args.has(QStringLiteral("--write-fixture"))) {
        // Needs no display: the reference's driver calls this before any window exists.
        BenchParcels::writeFixture(args.stringValue(QStringLiteral("--write-fixture"), QString()).toStdString(),
                                   args.intValue(QStringLiteral("--parcels"), 200),
                                   args.intValue(QStringLiteral("--latency-ms"), 0));
        return 0;
    }

    ProcessSetup::beforeApplication({}); // as the program starts, in an environment that sets none of its variables
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kurierix"));
    QGuiApplication::setQuitOnLastWindowClosed(false);
    const char* mode = args.has(QStringLiteral("--waiting"))       ? "waiting"
                       : args.has(QStringLiteral("--held"))        ? "held"
                       : args.has(QStringLiteral("--without-log")) ? "memory-control"
                       : args.has(QStringLiteral("--memory"))      ? "memory"
                                                                   : "throughput";
    BenchReport report(mode);
    report.command(argc, argv);
    if (args.has(QStringLiteral("--waiting")))
        return waiting(report, args);
    if (args.has(QStringLiteral("--held")))
        return held(report, args);
    if (args.has(QStringLiteral("--memory")))
        return memory(report, args);
    return throughput(report, args);
}
