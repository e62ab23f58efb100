#pragma once

#include <QString>
#include <QStringList>

// Tracking numbers read out of a text pasted from a shop's e-mail or a web page, line by line.
// Letters are upper-cased. A number of the international form (two letters, nine digits, two
// letters) may stand with blanks inside ("RZ 2468 1357 6 CN"); a label before a colon is left out
// ("Трек: RR999999995BY"); several numbers on one line are split at commas, semicolons and blanks.
// Any other number is one run of Latin letters and digits, at least eight long and with a digit
// in it; words, dates and short figures ("3 шт.") are no numbers.
struct PastedNumbers
{
    // The numbers found, in the order of the text; those with a check digit that does not fit too.
    QStringList numbers;
    // Lines with no number in them, as typed (without blanks around them).
    QStringList lines;
    // Numbers of the international form with too few or too many digits, which are not numbers.
    QStringList wrongLength;
    // Numbers among `numbers` whose check digit does not fit the other eight digits.
    QStringList badCheckDigit;

    static PastedNumbers read(const QString& text);
};
