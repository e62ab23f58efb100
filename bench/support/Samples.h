#pragma once

#include <string>
#include <vector>

// The values of one figure over several runs; benchmarks quote the median.
class Samples
{
public:
    void add(double value) { m_values.push_back(value); }
    bool empty() const { return m_values.empty(); }
    std::size_t size() const { return m_values.size(); }
    double median() const;
    double min() const;
    double max() const;
    // "12.3 (11.9 .. 13.0, 7 runs)" with `decimals` places.
    std::string describe(int decimals) const;

private:
    std::vector<double> m_values;
};
