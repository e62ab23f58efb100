// A stored text on one line (`plainLine`): what `--list` does to every status, and the window,
// on its user-interface thread, to the statuses in the notification of changed parcels. A
// megabyte of text, of one "<" or "&" after another with no ">" or ";" to close them, of markup
// and entities, and of plain words, each against the same target; the verdict names the slowest.
#include "readings/PlainLine.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr qsizetype kTextLength = 1 << 20;
constexpr double kTargetMs = 50;

QString repeated(const QString& piece)
{
    QString text;
    text.reserve(kTextLength);
    while (text.size() + piece.size() <= kTextLength)
        text += piece;
    return text;
}

const QString& allLessThan()
{
    static const QString text = repeated(QStringLiteral("<"));
    return text;
}

const QString& allAmpersands()
{
    static const QString text = repeated(QStringLiteral("&"));
    return text;
}

// What a status holds when the page marks up its cells: tags, entities, line breaks.
const QString& markup()
{
    static const QString text = repeated(QStringLiteral("<B>Вручение</B> адресату&nbsp;&#8470; 5 &amp; "
                                                        "<span style=\"x\">MINSK</span>\r\n&lt;220030&gt; "));
    return text;
}

const QString& plainWords()
{
    static const QString text = repeated(QStringLiteral("Отправка отправления из учреждения обмена BEIJING "));
    return text;
}

void BM_PlainLine(benchmark::State& state, const QString* text)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(plainLine(*text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text->size())
                            * static_cast<int64_t>(sizeof(QChar)));
    state.counters["characters"] = static_cast<double>(text->size());
}

// The console report as usual, keeping each case's median in seconds (its only time without
// repetitions).
class MedianReporter : public benchmark::ConsoleReporter
{
public:
    MedianReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const double seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                mediansS[run.run_name.function_name] = seconds;
            else if (run.run_type == Run::RT_Iteration && run.repetitions <= 1)
                mediansS.try_emplace(run.run_name.function_name, seconds);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, double> mediansS;
};

} // namespace

BENCHMARK_CAPTURE(BM_PlainLine, all_less_than_1MB, &allLessThan())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainLine, all_ampersands_1MB, &allAmpersands())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainLine, markup_1MB, &markup())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainLine, plain_1MB, &plainWords())->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    // In the form the other benchmarks print, so that scripts/bench collects it.
    if (!reporter.mediansS.empty()) {
        auto slowest = reporter.mediansS.begin();
        for (auto it = reporter.mediansS.begin(); it != reporter.mediansS.end(); ++it) {
            if (it->second > slowest->second)
                slowest = it;
        }
        const double ms = slowest->second * 1000;
        std::printf("[plainline] verdict: a megabyte of any text on one line in at most %.0f ms: slowest %s "
                    "%.2f ms -> %s\n",
                    kTargetMs, slowest->first.c_str(), ms, ms <= kTargetMs ? "met" : "MISSED");
    }
    return 0;
}
