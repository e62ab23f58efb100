#include "store/DaysInTransit.h"

#include "store/Cp1251.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <array>
#include <stdexcept>
#include <string>

namespace {

constexpr std::int64_t kMsecsPerDay = 24LL * 60 * 60 * 1000;

int fullYear(const QString& digits)
{
    const int year = digits.toInt();
    if (digits.size() > 2)
        return year;
    // Two-digit years, as short locale formats write them: this century up to 49.
    return year < 50 ? 2000 + year : 1900 + year;
}

// Where day, month and year stand in the locale's short date format (0, 1, 2).
struct FieldOrder
{
    int day = 0;
    int month = 1;
    int year = 2;
};

FieldOrder fieldOrder(const QLocale& locale)
{
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    const qsizetype d = format.indexOf(QLatin1Char('d'));
    const qsizetype m = format.indexOf(QLatin1Char('M'));
    const qsizetype y = format.indexOf(QLatin1Char('y'));
    if (d < 0 || m < 0 || y < 0)
        return {};
    FieldOrder order;
    order.day = int(d > m) + int(d > y);
    order.month = int(m > d) + int(m > y);
    order.year = int(y > d) + int(y > m);
    return order;
}

std::optional<QTime> readTime(const QString& hours, const QString& minutes, const QString& seconds,
                              const QString& millis, const QString& meridiem, const QLocale& locale)
{
    if (hours.isEmpty())
        return QTime(0, 0);
    int h = hours.toInt();
    if (!meridiem.isEmpty()) {
        const bool pm = meridiem.compare(locale.pmText(), Qt::CaseInsensitive) == 0
                        || meridiem.compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0;
        if (h < 1 || h > 12)
            return std::nullopt;
        h = h % 12 + (pm ? 12 : 0);
    }
    const int ms = millis.isEmpty() ? 0 : millis.leftJustified(3, QLatin1Char('0')).toInt();
    QTime time(h, minutes.toInt(), seconds.isEmpty() ? 0 : seconds.toInt(), ms);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

// The system's time zone, read once, when it gives the same offsets as the C library's local
// time; otherwise an invalid zone, and local time it is. A local date and time asks the C
// library for its offset at every use, and without TZ in the environment (most desktops) the
// library then checks the zone file on disk each time: the grid converts one date per parcel,
// and at 10,000 parcels those checks took most of a refresh.
const QTimeZone& systemZone()
{
    static const QTimeZone zone = [] {
        const QTimeZone system = QTimeZone::systemTimeZone();
        if (!system.isValid())
            return QTimeZone();
        const QDateTime now = QDateTime::currentDateTime();
        for (const QDateTime& probe : {now, now.addDays(-182), QDateTime(QDate(2013, 1, 15), QTime(12, 0))}) {
            if (system.offsetFromUtc(probe) != probe.offsetFromUtc())
                return QTimeZone();
        }
        return system;
    }();
    return zone;
}

// A local date and time; with `inZone`, in the system zone where that zone can stand in for
// local time: the same moment, worked out without the C library.
QDateTime localDateTime(const QDate& date, const QTime& time, bool inZone = true)
{
    if (inZone && systemZone().isValid()) {
        QDateTime zoned(date, time, systemZone());
        if (zoned.isValid())
            return zoned;
    }
    return QDateTime(date, time);
}

std::optional<QDateTime> combine(const QDate& date, const std::optional<QTime>& time, bool utc, bool inZone)
{
    if (!date.isValid() || !time)
        return std::nullopt;
    QDateTime result = utc ? QDateTime(date, *time, QTimeZone::utc()) : localDateTime(date, *time, inZone);
    if (!result.isValid())
        return std::nullopt;
    return result;
}

// "yyyy-MM-dd HH:mm:ss" as the check run stores it: the digits at their places, nothing else.
bool isStoredForm(std::string_view text)
{
    static constexpr std::string_view kShape = "0000-00-00 00:00:00";
    if (text.size() != kShape.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == '0' ? !digit : text[i] != kShape[i])
            return false;
    }
    return true;
}

int number(std::string_view text, std::size_t from, std::size_t count)
{
    int value = 0;
    for (std::size_t i = from; i < from + count; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

// readLocalDateTime(); with `inZone`, local times come in the system zone (see localDateTime).
std::optional<QDateTime> readDateTime(std::string_view text, const QLocale& locale, bool inZone)
{
    // The form every stored first-event date has, read without the patterns below: the grid
    // reads one date per parcel at every refresh.
    if (isStoredForm(text)) {
        const QTime time(number(text, 11, 2), number(text, 14, 2), number(text, 17, 2));
        return combine(QDate(number(text, 0, 4), number(text, 5, 2), number(text, 8, 2)),
                       time.isValid() ? std::optional<QTime>(time) : std::nullopt, false, inZone);
    }

    const QString s = fromCp1251(text).trimmed();

    static const QRegularExpression hyphenForm(QStringLiteral(
        R"(^(\d{4})-(\d{1,2})-(\d{1,2})(?:[ T](\d{1,2}):(\d{2})(?::(\d{2})(?:[.,](\d{1,3}))?)?)?(Z?)$)"));
    if (const auto m = hyphenForm.match(s); m.hasMatch()) {
        const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        return combine(date, readTime(m.captured(4), m.captured(5), m.captured(6), m.captured(7), {}, locale),
                       !m.captured(8).isEmpty(), inZone);
    }

    static const QRegularExpression numericForm(QStringLiteral(
        R"(^(\d{1,4})([./\-])(\d{1,4})\2(\d{1,4})(?:\s+(\d{1,2}):(\d{2})(?::(\d{2})(?:[.,](\d{1,3}))?)?(?:\s*(\S+))?)?$)"));
    if (const auto m = numericForm.match(s); m.hasMatch()) {
        const std::array<QString, 3> fields = {m.captured(1), m.captured(3), m.captured(4)};
        const FieldOrder order = fieldOrder(locale);
        const QString& day = fields[std::size_t(order.day)];
        const QString& month = fields[std::size_t(order.month)];
        const QString& year = fields[std::size_t(order.year)];
        if (day.size() > 2 || month.size() > 2 || year.size() == 3)
            return std::nullopt;
        const QString meridiem = m.captured(9);
        if (!meridiem.isEmpty() && meridiem.compare(locale.amText(), Qt::CaseInsensitive) != 0
            && meridiem.compare(locale.pmText(), Qt::CaseInsensitive) != 0
            && meridiem.compare(QLatin1String("AM"), Qt::CaseInsensitive) != 0
            && meridiem.compare(QLatin1String("PM"), Qt::CaseInsensitive) != 0)
            return std::nullopt;
        const QDate date(fullYear(year), month.toInt(), day.toInt());
        return combine(date, readTime(m.captured(5), m.captured(6), m.captured(7), m.captured(8), meridiem, locale),
                       false, inZone);
    }

    // Whatever else the locale itself writes (its short and long date-time forms).
    for (const auto format : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QDateTime dt = locale.toDateTime(s, format);
        if (dt.isValid())
            return dt;
    }
    return std::nullopt;
}

} // namespace

std::optional<QDateTime> readLocalDateTime(std::string_view text, const QLocale& locale)
{
    return readDateTime(text, locale, false);
}

std::int64_t daysInTransit(std::string_view dateText, const QDateTime& now, const QLocale& locale)
{
    const auto moment = readDateTime(dateText, locale, true);
    if (!moment)
        throw std::runtime_error("'" + std::string(dateText) + "' is not a valid date and time");
    const QDateTime from = now.timeSpec() == Qt::LocalTime ? localDateTime(now.date(), now.time()) : now;
    const std::int64_t ms = from.msecsTo(*moment);
    return (ms < 0 ? -ms : ms) / kMsecsPerDay;
}
