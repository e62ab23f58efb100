#pragma once

#include <QString>

#include <optional>

// The check digit of an international postal item number: two letters, eight digits, the check
// digit and two letters ("RA123456785CN"). The eight digits are weighted 8 6 4 2 3 5 9 7; the
// check digit is 11 minus the sum modulo 11, 10 giving 0 and 11 giving 5. Domestic numbers have
// other forms and are never judged.
namespace numbercheck {

// The check digit `number` should have when it is of the international form and its own check
// digit is wrong; nothing for a number that passes or is of another form.
std::optional<int> expectedCheckDigit(const QString& number);

// What the parcel dialog and the grid say of a number whose check digit is wrong; empty for any
// other number.
QString typoText(const QString& number);

} // namespace numbercheck
