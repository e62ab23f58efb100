#include "tracking/service/HttpDate.h"

#include <QRegularExpression>
#include <QTimeZone>

namespace {

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int monthNumber(QStringView name)
{
    for (int i = 0; i < 12; ++i) {
        if (name == QLatin1StringView(kMonths[i]))
            return i + 1;
    }
    return 0;
}

std::optional<QDateTime> utc(int year, int month, int day, int hour, int minute, int second)
{
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, QTimeZone::utc());
}

} // namespace

std::optional<QDateTime> parseHttpDate(QByteArrayView text, const QDateTime& now)
{
    static const QString days = QStringLiteral("(?:Mon|Tue|Wed|Thu|Fri|Sat|Sun)");
    static const QString longDays = QStringLiteral("(?:Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday)");
    static const QString months = QStringLiteral("(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)");
    static const QString clock = QStringLiteral("(\\d{2}):(\\d{2}):(\\d{2})");
    static const QRegularExpression imf(QStringLiteral("^%1, (\\d{2}) %2 (\\d{4}) %3 GMT$").arg(days, months, clock));
    static const QRegularExpression rfc850(
        QStringLiteral("^%1, (\\d{2})-%2-(\\d{2}) %3 GMT$").arg(longDays, months, clock));
    static const QRegularExpression asctime(QStringLiteral("^%1 %2 ([ \\d]\\d) %3 (\\d{4})$").arg(days, months, clock));

    const QString value = QString::fromLatin1(text.data(), text.size()).trimmed();
    const auto number = [](const QRegularExpressionMatch& match, int group) {
        return match.capturedView(group).trimmed().toInt();
    };
    QRegularExpressionMatch match = imf.match(value);
    if (match.hasMatch())
        return utc(number(match, 3), monthNumber(match.capturedView(2)), number(match, 1), number(match, 4),
                   number(match, 5), number(match, 6));
    match = rfc850.match(value);
    if (match.hasMatch()) {
        // The most recent year with these two digits that is not more than 50 years ahead.
        const int thisYear = now.toUTC().date().year();
        int year = thisYear - thisYear % 100 + number(match, 3);
        if (year > thisYear + 50)
            year -= 100;
        return utc(year, monthNumber(match.capturedView(2)), number(match, 1), number(match, 4), number(match, 5),
                   number(match, 6));
    }
    match = asctime.match(value);
    if (match.hasMatch())
        return utc(number(match, 6), monthNumber(match.capturedView(1)), number(match, 2), number(match, 3),
                   number(match, 4), number(match, 5));
    return std::nullopt;
}
