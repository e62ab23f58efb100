#include "schedule/CheckInterval.h"

namespace checkintervals {

int hours(CheckInterval interval)
{
    switch (interval) {
    case CheckInterval::Hour:
        return 1;
    case CheckInterval::ThreeHours:
        return 3;
    case CheckInterval::SixHours:
        return 6;
    case CheckInterval::TwelveHours:
        return 12;
    case CheckInterval::Day:
        return 24;
    }
    return 6;
}

std::optional<CheckInterval> fromHours(int count)
{
    for (const CheckInterval interval : kAll) {
        if (hours(interval) == count)
            return interval;
    }
    return std::nullopt;
}

QString caption(CheckInterval interval)
{
    switch (interval) {
    case CheckInterval::Hour:
        return QStringLiteral("каждый час");
    case CheckInterval::ThreeHours:
        return QStringLiteral("каждые 3 часа");
    case CheckInterval::SixHours:
        return QStringLiteral("каждые 6 часов");
    case CheckInterval::TwelveHours:
        return QStringLiteral("каждые 12 часов");
    case CheckInterval::Day:
        return QStringLiteral("раз в день");
    }
    return {};
}

QByteArray calendar(CheckInterval interval)
{
    // On whole hours from midnight, as the timer's own 00/6:00, so that every interval keeps the
    // same times from day to day; the timer's random delay spreads them out.
    switch (interval) {
    case CheckInterval::Hour:
        return "*-*-* *:00:00";
    case CheckInterval::Day:
        return "*-*-* 00:00:00";
    default:
        return "*-*-* 00/" + QByteArray::number(hours(interval)) + ":00:00";
    }
}

} // namespace checkintervals
