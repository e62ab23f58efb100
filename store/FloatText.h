#pragma once

#include <QString>

#include <string>

// A number in its shortest general decimal form with at most 15 significant digits, no
// group separators and the decimal separator of the default locale (QLocale()):
// 5 -> "5", 0.75 -> "0,75" under a comma locale, 1e20 -> "1E20", 1.5e-7 -> "1,5E-7".
std::string floatToText(double value);

// The same text as a QString, for a person to read (the run's elapsed seconds).
QString floatText(double value);
