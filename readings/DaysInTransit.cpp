#include "readings/DaysInTransit.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <array>
#include <limits>
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

// Where the system zone's offset from UTC no longer changes (Minsk since 2011, UTC always):
// from `settledFromMsecs` on, a local date and time is that moment less `offsetMsecs`, worked out
// without a zone lookup per date. Zones that still change their clocks have no such point, and
// every date goes through the zone. Worked out once, like the zone.
struct SettledOffset
{
    bool known = false;
    std::int64_t settledFromMsecs = 0;
    std::int64_t offsetMsecs = 0;
};

const SettledOffset& settledOffset()
{
    static const SettledOffset settled = [] {
        SettledOffset result;
        const QTimeZone& zone = systemZone();
        if (!zone.isValid())
            return result;
        const QDateTime farFuture(QDate(2400, 1, 1), QTime(0, 0), QTimeZone::utc());
        const QTimeZone::OffsetData last = zone.previousTransition(farFuture);
        if (!last.atUtc.isValid()) {
            // No transition at all: one offset for every moment, as long as the zone says so at
            // both ends of the dates a parcel can have.
            const int offset = zone.offsetFromUtc(farFuture);
            if (offset != zone.offsetFromUtc(QDateTime(QDate(1970, 1, 2), QTime(0, 0), QTimeZone::utc())))
                return result;
            result.known = true;
            result.settledFromMsecs = std::numeric_limits<std::int64_t>::min();
            result.offsetMsecs = std::int64_t(offset) * 1000;
            return result;
        }
        // A rule that goes on changing the clocks yields transitions up to the far future.
        if (zone.nextTransition(last.atUtc).atUtc.isValid() || last.atUtc.date().year() > 2200)
            return result;
        result.known = true;
        // A day's margin keeps local times near the last change out of the shortcut.
        result.settledFromMsecs = last.atUtc.toMSecsSinceEpoch() + kMsecsPerDay;
        result.offsetMsecs = std::int64_t(last.offsetFromUtc) * 1000;
        return result;
    }();
    return settled;
}

// The moment of a local date and time in milliseconds since the epoch, where the shortcut above
// applies.
std::optional<std::int64_t> settledLocalMsecs(const QDate& date, const QTime& time)
{
    const SettledOffset& settled = settledOffset();
    if (!settled.known || !date.isValid() || !time.isValid())
        return std::nullopt;
    constexpr std::int64_t kEpochJulianDay = 2440588; // 1970-01-01
    const std::int64_t asUtc = (date.toJulianDay() - kEpochJulianDay) * kMsecsPerDay + time.msecsSinceStartOfDay();
    const std::int64_t msecs = asUtc - settled.offsetMsecs;
    if (msecs < settled.settledFromMsecs)
        return std::nullopt;
    return msecs;
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
bool isStoredForm(QStringView text)
{
    static constexpr std::string_view kShape = "0000-00-00 00:00:00";
    if (std::size_t(text.size()) != kShape.size())
        return false;
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        const char16_t c = text[qsizetype(i)].unicode();
        const bool digit = c >= u'0' && c <= u'9';
        if (kShape[i] == '0' ? !digit : c != char16_t(kShape[i]))
            return false;
    }
    return true;
}

int number(QStringView text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i)
        value = value * 10 + (text[i].unicode() - u'0');
    return value;
}

// readLocalDateTime(); with `inZone`, local times come in the system zone (see localDateTime).
std::optional<QDateTime> readDateTime(QStringView text, const QLocale& locale, bool inZone)
{
    // The form every stored first-event date has, read without the patterns below: the grid
    // reads one date per parcel at every refresh.
    if (isStoredForm(text)) {
        const QTime time(number(text, 11, 2), number(text, 14, 2), number(text, 17, 2));
        return combine(QDate(number(text, 0, 4), number(text, 5, 2), number(text, 8, 2)),
                       time.isValid() ? std::optional<QTime>(time) : std::nullopt, false, inZone);
    }

    const QString s = text.trimmed().toString();

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

std::optional<QDateTime> readLocalDateTime(const QString& text, const QLocale& locale)
{
    return readDateTime(text, locale, false);
}

std::int64_t daysInTransit(const QString& dateText, const QDateTime& now, const QLocale& locale)
{
    // The grid counts one date per parcel at every refresh, nearly all of them in the stored
    // form and long after the zone's last change of offset: those are counted by arithmetic.
    if (now.timeSpec() == Qt::LocalTime && isStoredForm(dateText)) {
        const auto from = settledLocalMsecs(now.date(), now.time());
        const auto moment =
            settledLocalMsecs(QDate(number(dateText, 0, 4), number(dateText, 5, 2), number(dateText, 8, 2)),
                              QTime(number(dateText, 11, 2), number(dateText, 14, 2), number(dateText, 17, 2)));
        if (from && moment) {
            const std::int64_t ms = *moment - *from;
            return (ms < 0 ? -ms : ms) / kMsecsPerDay;
        }
    }
    const auto moment = readDateTime(dateText, locale, true);
    if (!moment)
        throw std::runtime_error("'" + dateText.toStdString() + "' is not a valid date and time");
    const QDateTime from = now.timeSpec() == Qt::LocalTime ? localDateTime(now.date(), now.time()) : now;
    const std::int64_t ms = from.msecsTo(*moment);
    return (ms < 0 ? -ms : ms) / kMsecsPerDay;
}
