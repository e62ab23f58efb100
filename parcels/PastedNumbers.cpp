#include "parcels/PastedNumbers.h"

#include "parcels/NumberCheck.h"

#include <QRegularExpression>

#include <map>

namespace {

// Two letters, digits and two letters, blanks allowed inside; any count of digits from 6 to 12,
// so that a digit too many or too few is named rather than read as another kind of number.
const QRegularExpression& international()
{
    static const QRegularExpression pattern(
        QStringLiteral("(?<![A-Z0-9])[A-Z]{2}(?:\\s*[0-9]){6,12}\\s*[A-Z]{2}(?![A-Z0-9])"));
    return pattern;
}

const QRegularExpression& otherNumber()
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Z0-9]*[0-9][A-Z0-9]*$"));
    return pattern;
}

const QRegularExpression& word()
{
    static const QRegularExpression pattern(QStringLiteral("\\S+"));
    return pattern;
}

constexpr int kInternationalDigits = 9;
constexpr int kShortestOther = 8;

bool isNumberCharacter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

// A word without what stands around it: brackets, quotes, "№", a full stop.
QString trimmedWord(const QString& word)
{
    qsizetype first = 0;
    qsizetype last = word.size();
    while (first < last && !isNumberCharacter(word[first]))
        ++first;
    while (last > first && !isNumberCharacter(word[last - 1]))
        --last;
    return word.mid(first, last - first);
}

} // namespace

PastedNumbers PastedNumbers::read(const QString& text)
{
    PastedNumbers found;
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    static const QRegularExpression separator(QStringLiteral("[,;]"));
    for (const QString& typed : text.split(lineBreak)) {
        const QString line = typed.trimmed();
        if (line.isEmpty())
            continue;
        QString upper = line.toUpper();
        // Every kind of blank (a no-break space from a web page) counts as one.
        for (QChar& c : upper) {
            if (c.isSpace())
                c = u' ';
        }
        bool anyNumber = false;
        for (const QString& piece : upper.split(separator)) {
            // A label ends at its colon.
            const QString rest = piece.mid(piece.lastIndexOf(u':') + 1);
            // The numbers by where they stand, so that they keep the order of the text.
            std::map<qsizetype, QString> numbers;
            QString others = rest;
            QRegularExpressionMatchIterator matches = international().globalMatch(rest);
            while (matches.hasNext()) {
                const QRegularExpressionMatch match = matches.next();
                QString number = match.captured();
                number.remove(u' ');
                others.replace(match.capturedStart(), match.capturedLength(), QString(match.capturedLength(), u' '));
                anyNumber = true;
                if (number.size() - 4 != kInternationalDigits)
                    found.wrongLength += number;
                else
                    numbers.emplace(match.capturedStart(), number);
            }
            QRegularExpressionMatchIterator words = word().globalMatch(others);
            while (words.hasNext()) {
                const QRegularExpressionMatch match = words.next();
                const QString number = trimmedWord(match.captured());
                if (number.size() >= kShortestOther && otherNumber().match(number).hasMatch())
                    numbers.emplace(match.capturedStart(), number);
            }
            for (const auto& [at, number] : numbers) {
                anyNumber = true;
                found.numbers += number;
                if (numbercheck::expectedCheckDigit(number))
                    found.badCheckDigit += number;
            }
        }
        if (!anyNumber)
            found.lines += line;
    }
    return found;
}
