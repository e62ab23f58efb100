#include "parcels/NumberCheck.h"

#include <array>

namespace numbercheck {

namespace {

bool isLatinLetter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

std::optional<int> expectedCheckDigit(const QString& number)
{
    // Blanks around a pasted number are not part of it.
    const QString text = number.trimmed();
    if (text.size() != 13 || !isLatinLetter(text[0]) || !isLatinLetter(text[1]) || !isLatinLetter(text[11])
        || !isLatinLetter(text[12]))
        return std::nullopt;
    for (int i = 2; i <= 10; ++i)
        if (!isDigit(text[i]))
            return std::nullopt;
    static constexpr std::array<int, 8> kWeights = {8, 6, 4, 2, 3, 5, 9, 7};
    int sum = 0;
    for (std::size_t i = 0; i < kWeights.size(); ++i)
        sum += kWeights[i] * (text[int(i) + 2].unicode() - u'0');
    int expected = 11 - sum % 11;
    if (expected == 10)
        expected = 0;
    else if (expected == 11)
        expected = 5;
    if (text[10].unicode() - u'0' == expected)
        return std::nullopt;
    return expected;
}

QString typoText(const QString& number)
{
    const std::optional<int> expected = expectedCheckDigit(number);
    if (!expected)
        return {};
    return QStringLiteral("Похоже, в номере опечатка: контрольная цифра должна быть %1").arg(*expected);
}

} // namespace numbercheck
