// Extraction throughput: the saved four-event page (about 8 KB), and a page of 500 events.
// Each benchmark reports the page bytes scanned per second.
#include "tracking/extraction/Extraction.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

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
    const std::string rows = page.substr(first, last - first);  // four events
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

// What the check run does per parcel: the three extractions over the same page.
void BM_CheckRunExtractions(benchmark::State& state, const std::string* page)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(ExtractStatus(*page));
        benchmark::DoNotOptimize(ExtractHistory(*page));
        benchmark::DoNotOptimize(ExtractFirstEventDate(*page));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page->size()));
    state.counters["page_bytes"] = static_cast<double>(page->size());
}

}  // namespace

BENCHMARK_CAPTURE(BM_Extraction, status_4_events, &ExtractStatus, &fourEventPage());
BENCHMARK_CAPTURE(BM_Extraction, history_4_events, &ExtractHistory, &fourEventPage());
BENCHMARK_CAPTURE(BM_Extraction, date_4_events, &ExtractFirstEventDate, &fourEventPage());
BENCHMARK_CAPTURE(BM_CheckRunExtractions, all_three_4_events, &fourEventPage());
BENCHMARK_CAPTURE(BM_Extraction, status_500_events, &ExtractStatus, &fiveHundredEventPage());
BENCHMARK_CAPTURE(BM_Extraction, history_500_events, &ExtractHistory, &fiveHundredEventPage());
BENCHMARK_CAPTURE(BM_Extraction, date_500_events, &ExtractFirstEventDate, &fiveHundredEventPage());
BENCHMARK_CAPTURE(BM_CheckRunExtractions, all_three_500_events, &fiveHundredEventPage());

BENCHMARK_MAIN();
