#include "FloatText.h"

#include "Cp1251.h"

#include <QLocale>

#include <cmath>
#include <cstdio>
#include <cstdlib>

std::string floatToText(double value)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0.0)
        return "0";

    // Rounding to 15 significant digits first decides the exponent (9.999999999999999 -> 10).
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.14e", value);
    const std::string text(buffer);
    const bool negative = text.front() == '-';
    const std::size_t start = negative ? 1 : 0;
    const std::size_t ePos = text.find('e');
    std::string digits = text.substr(start, 1) + text.substr(start + 2, ePos - start - 2);
    const int exponent = std::atoi(text.c_str() + ePos + 1);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    const std::string separator = toCp1251(QLocale().decimalPoint());
    std::string out = negative ? "-" : "";
    const bool fixed = exponent < 15 && std::fabs(value) >= 1e-5;
    if (!fixed) {
        out += digits.substr(0, 1);
        if (digits.size() > 1)
            out += separator + digits.substr(1);
        out += 'E';
        out += std::to_string(exponent);
        return out;
    }
    if (exponent >= 0) {
        const auto intDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= intDigits) {
            out += digits + std::string(intDigits - digits.size(), '0');
        } else {
            out += digits.substr(0, intDigits) + separator + digits.substr(intDigits);
        }
    } else {
        out += "0" + separator + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    }
    return out;
}

QString floatText(double value)
{
    return fromCp1251(floatToText(value));
}
