#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

// How often background checks run: the choices of "Проверять в фоне…". Every six hours is what
// the timer the program installs does by itself.
enum class CheckInterval { Hour, ThreeHours, SixHours, TwelveHours, Day };

namespace checkintervals {

inline constexpr std::array<CheckInterval, 5> kAll = {CheckInterval::Hour, CheckInterval::ThreeHours,
                                                      CheckInterval::SixHours, CheckInterval::TwelveHours,
                                                      CheckInterval::Day};
inline constexpr CheckInterval kDefault = CheckInterval::SixHours;

int hours(CheckInterval interval);
std::optional<CheckInterval> fromHours(int hours);
// "каждый час", "каждые 3 часа", "каждые 6 часов", "каждые 12 часов", "раз в день".
QString caption(CheckInterval interval);
// The timer's calendar for it, in local time, as systemd.time(7) writes one.
QByteArray calendar(CheckInterval interval);

} // namespace checkintervals
