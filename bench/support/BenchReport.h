#pragma once

#include "bench/support/Samples.h"

#include <string>

// The lines a benchmark prints: how to run it again, what it measured, and whether each figure
// meets its target. Every line starts with "[<benchmark>]" so that scripts/bench can collect
// the verdicts from several benchmarks.
class BenchReport
{
public:
    explicit BenchReport(std::string name) : m_name(std::move(name)) {}

    // The command line that reproduces the figures, with the display it ran on.
    void command(int argc, char** argv) const;
    void info(const std::string& text) const;
    void figure(const std::string& what, const Samples& samples, const std::string& unit, int decimals) const;
    void figure(const std::string& what, double value, const std::string& unit, int decimals) const;
    // "verdict: <target>: <measured> -> met" (or MISSED); remembers a miss.
    void verdict(const std::string& target, const std::string& measured, bool met);
    // A benchmark that could not measure says why; its exit code then is 1.
    void failure(const std::string& why);

    bool anyMissed() const { return m_missed; }
    bool failed() const { return m_failed; }
    // 1 when the benchmark could not measure, 0 otherwise (a missed target is a result).
    int exitCode() const { return m_failed ? 1 : 0; }

private:
    std::string m_name;
    bool m_missed = false;
    bool m_failed = false;
};
