// Extraction throughput: the saved four-event page (about 8 KB), and a page of 500 events.
// Each benchmark reports the page bytes scanned per second; the check run's extractions of the
// saved page get a verdict against their target.
#include "tracking/extraction/Extraction.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string& fourEventPage()
{
    static const std::string page = [] {
        std::ifstream in(KURIERIX_TEST_DATA "/page_four_events.html", std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (bytes.empty()) {
            std::fprintf(stderr, "bench_extraction: the saved page is missing\n");
            std::exit(1);
        }
        return bytes;
    }();
    return page;
}

// The saved page's event table grown to `events` rows, the rest of the page kept around it.
std::string pageWithEvents(int events)
{
    const std::string& page = fourEventPage();
    const std::string tableStart = "<TR>\r\n<TD style=\"BACKGROUND: #8be3ff\">";
    const std::size_t first = page.find(tableStart);
    const std::size_t last = page.find("</TBODY></TABLE>", first);
    if (first == std::string::npos || last == std::string::npos)
        std::exit(1);
    const std::string rows = page.substr(first, last - first); // four events
    std::string grown = page.substr(0, first);
    for (int i = 0; i < events / 4; ++i)
        grown += rows;
    return grown + page.substr(last);
}

const std::string& fiveHundredEventPage()
{
    static const std::string page = pageWithEvents(500);
    return page;
}

using Extraction = std::string (*)(const std::string&);

void BM_Extraction(benchmark::State& state, Extraction extract, const std::string* page)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(extract(*page));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page->size()));
    state.counters["page_bytes"] = static_cast<double>(page->size());
}

// What the check run does per parcel: status, history and date from one scan of the page.
void BM_CheckRunExtractions(benchmark::State& state, const std::string* page)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ExtractResults(*page));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page->size()));
    state.counters["page_bytes"] = static_cast<double>(page->size());
}

// The console report as usual, keeping the median of the check run's extractions of the saved page.
class MedianReporter : public benchmark::ConsoleReporter
{
public:
    MedianReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median"
                && run.run_name.function_name == "BM_CheckRunExtractions/all_three_4_events")
                savedPageMedianNs = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double savedPageMedianNs = -1;
};

constexpr double kTargetUs = 50;

} // namespace

BENCHMARK_CAPTURE(BM_Extraction, status_4_events, &ExtractStatus, &fourEventPage());
BENCHMARK_CAPTURE(BM_Extraction, history_4_events, &ExtractHistory, &fourEventPage());
BENCHMARK_CAPTURE(BM_Extraction, date_4_events, &ExtractFirstEventDate, &fourEventPage());
BENCHMARK_CAPTURE(BM_CheckRunExtractions, all_three_4_events, &fourEventPage());
BENCHMARK_CAPTURE(BM_Extraction, status_500_events, &ExtractStatus, &fiveHundredEventPage());
BENCHMARK_CAPTURE(BM_Extraction, history_500_events, &ExtractHistory, &fiveHundredEventPage());
BENCHMARK_CAPTURE(BM_Extraction, date_500_events, &ExtractFirstEventDate, &fiveHundredEventPage());
BENCHMARK_CAPTURE(BM_CheckRunExtractions, all_three_500_events, &fiveHundredEventPage());

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    // In the form the other benchmarks print, so that scripts/bench collects it.
    if (reporter.savedPageMedianNs >= 0) {
        const double us = reporter.savedPageMedianNs / 1000;
        std::printf("[extraction] verdict: status, history and date of the saved %.1f KB answer in at most %.0f us: "
                    "%.1f us -> %s\n",
                    fourEventPage().size() / 1000.0, kTargetUs, us, us <= kTargetUs ? "met" : "MISSED");
    }
    return 0;
}
