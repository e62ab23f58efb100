#include "bench/support/Samples.h"

#include <algorithm>
#include <cstdio>

double Samples::median() const
{
    if (m_values.empty())
        return 0.0;
    std::vector<double> sorted = m_values;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t middle = sorted.size() / 2;
    return sorted.size() % 2 == 1 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2.0;
}

double Samples::min() const
{
    return m_values.empty() ? 0.0 : *std::min_element(m_values.begin(), m_values.end());
}

double Samples::max() const
{
    return m_values.empty() ? 0.0 : *std::max_element(m_values.begin(), m_values.end());
}

std::string Samples::describe(int decimals) const
{
    char text[128];
    std::snprintf(text, sizeof text, "%.*f (%.*f .. %.*f, %zu runs)", decimals, median(), decimals, min(), decimals,
                  max(), m_values.size());
    return text;
}
