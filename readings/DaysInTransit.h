#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

// Reads a first-event date as a local date and time. The tracking page's own form,
// "2013-03-16 12:30:00" (year-month-day with hyphens), is read under every locale; numeric
// dates with other separators ("16.03.2013 12:30:00") are read in the field order of the
// locale's short date format, so day first where the locale writes dates that way.
// Gives nothing when the text is no date.
std::optional<QDateTime> readLocalDateTime(const QString& text, const QLocale& locale);

// Whole days between `now` and the date in `dateText`, the fraction of a day dropped; a date
// in the future counts like one in the past. Throws std::runtime_error when the text is no date.
std::int64_t daysInTransit(const QString& dateText, const QDateTime& now, const QLocale& locale);
