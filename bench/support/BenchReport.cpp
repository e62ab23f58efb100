#include "bench/support/BenchReport.h"

#include <cstdio>
#include <cstdlib>

void BenchReport::command(int argc, char** argv) const
{
    std::string line;
    if (const char* platform = std::getenv("QT_QPA_PLATFORM"); platform && *platform)
        line += std::string("QT_QPA_PLATFORM=") + platform + " ";
    else if (std::getenv("DISPLAY"))
        line += "xvfb-run -a "; // scripts/bench runs the window benchmarks on a virtual X display
    for (int i = 0; i < argc; ++i) {
        if (i > 0)
            line += ' ';
        line += argv[i];
    }
    std::printf("[%s] command: %s\n", m_name.c_str(), line.c_str());
    std::fflush(stdout);
}

void BenchReport::info(const std::string& text) const
{
    std::printf("[%s] %s\n", m_name.c_str(), text.c_str());
    std::fflush(stdout);
}

void BenchReport::figure(const std::string& what, const Samples& samples, const std::string& unit, int decimals) const
{
    std::printf("[%s] figure: %s: %s %s (median; min .. max)\n", m_name.c_str(), what.c_str(),
                samples.describe(decimals).c_str(), unit.c_str());
    std::fflush(stdout);
}

void BenchReport::figure(const std::string& what, double value, const std::string& unit, int decimals) const
{
    std::printf("[%s] figure: %s: %.*f %s\n", m_name.c_str(), what.c_str(), decimals, value, unit.c_str());
    std::fflush(stdout);
}

void BenchReport::verdict(const std::string& target, const std::string& measured, bool met)
{
    m_missed = m_missed || !met;
    std::printf("[%s] verdict: %s: %s -> %s\n", m_name.c_str(), target.c_str(), measured.c_str(),
                met ? "met" : "MISSED");
    std::fflush(stdout);
}

void BenchReport::failure(const std::string& why)
{
    m_failed = true;
    std::fprintf(stderr, "[%s] could not measure: %s\n", m_name.c_str(), why.c_str());
    std::printf("[%s] verdict: could not measure: %s -> FAILED\n", m_name.c_str(), why.c_str());
    std::fflush(stdout);
}
