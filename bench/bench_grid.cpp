// Grid refresh: `RefreshGrid` of the main window over 10,000 parcels that all have a first-event
// date, so that every row's days in transit is computed. The window is the program's own, shown,
// over a database.db in a temporary directory. Three cases:
//   refill        the grid already shows the 10,000 rows (every refresh after the first)
//   from_empty    the grid has no rows yet (the first refresh at start-up)
//   with_repaint  a refill and then the pending events, the repaint of the visible rows included
// Target: the median of refill under 50 ms.
#include "app/ProcessSetup.h"
#include "tests/support/RecordingPrompts.h"
#include "app/TMainForm.h"
#include "tests/support/MainFormView.h"
#include "bench/harness/BenchParcels.h"
#include "bench/support/BenchReport.h"
#include "parcels/ParcelGrid.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>

namespace {

constexpr int kParcels = 10000;
constexpr double kTargetMs = 50.0;

struct Fixture
{
    QTemporaryDir directory;
    RecordingPrompts prompts;
    std::unique_ptr<TMainForm> window;
};

Fixture* fixture = nullptr;

void BM_RefreshGrid_refill(benchmark::State& state)
{
    TMainForm& window = *fixture->window;
    for (auto _ : state)
        window.RefreshGrid();
    state.counters["rows"] = ui(window).StringGrid2->parcelRowCount();
}

void BM_RefreshGrid_from_empty(benchmark::State& state)
{
    TMainForm& window = *fixture->window;
    for (auto _ : state) {
        state.PauseTiming();
        ui(window).StringGrid2->fill({}, QDateTime::currentDateTime(), QLocale::c());
        state.ResumeTiming();
        window.RefreshGrid();
    }
    state.counters["rows"] = ui(window).StringGrid2->parcelRowCount();
}

void BM_RefreshGrid_with_repaint(benchmark::State& state)
{
    TMainForm& window = *fixture->window;
    for (auto _ : state) {
        window.RefreshGrid();
        QCoreApplication::processEvents();
    }
    state.counters["rows"] = ui(window).StringGrid2->parcelRowCount();
}

BENCHMARK(BM_RefreshGrid_refill)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_RefreshGrid_from_empty)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_RefreshGrid_with_repaint)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

// The console report as usual, keeping the medians for the verdict.
class MedianReporter : public benchmark::ConsoleReporter
{
public:
    // Without colours, so that the lines can be searched in a saved log.
    MedianReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, double> medians; // in the benchmark's unit, ms
};

} // namespace

int main(int argc, char** argv)
{
    ProcessSetup::beforeApplication({}); // as the program starts, in an environment that sets none of its variables
    QApplication app(argc, argv);
    BenchReport report("grid");
    report.command(argc, argv);
    benchmark::Initialize(&argc, argv);

    Fixture setup;
    fixture = &setup;
    if (!setup.directory.isValid()) {
        report.failure("no temporary directory");
        return report.exitCode();
    }
    const std::string database = QDir(setup.directory.path()).filePath(QStringLiteral("database.db")).toStdString();
    BenchParcels::writeDatabase(database, kParcels, true);
    MainFormOptions options;
    options.databasePath = database;
    options.prompts = &setup.prompts;
    options.browserStorageDir = QDir(setup.directory.path()).filePath(QStringLiteral("browser"));
    setup.window = std::make_unique<TMainForm>(std::move(options));
    setup.window->show();
    QCoreApplication::processEvents();
    if (ui(*setup.window).StringGrid2->parcelRowCount() != kParcels || !setup.prompts.shown().empty()) {
        report.failure("the grid did not fill with " + std::to_string(kParcels) + " parcels");
        return report.exitCode();
    }
    report.info("the program's window over " + std::to_string(kParcels) + " parcels with first-event dates");

    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (!setup.prompts.shown().empty()) {
        report.failure("a refresh showed the box \"" + setup.prompts.shown().front().text.toStdString() + "\"");
        return report.exitCode();
    }

    for (const auto& [name, ms] : reporter.medians)
        report.figure(name + ", median of the repetitions", ms, "ms", 2);
    const auto refill = reporter.medians.find("BM_RefreshGrid_refill");
    if (refill != reporter.medians.end()) {
        char measured[32];
        std::snprintf(measured, sizeof measured, "%.2f ms", refill->second);
        report.verdict("RefreshGrid over 10,000 parcels under 50 ms", measured, refill->second < kTargetMs);
    }
    return report.exitCode();
}
