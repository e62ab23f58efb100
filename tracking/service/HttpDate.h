#pragma once

#include <QByteArrayView>
#include <QDateTime>

#include <optional>

// A date as HTTP headers carry it (Retry-After), in any of the three forms HTTP allows: the
// usual "Sun, 06 Nov 1994 08:49:37 GMT", the obsolete "Sunday, 06-Nov-94 08:49:37 GMT" and
// C's asctime() form "Sun Nov  6 08:49:37 1994"; all are UTC. A two-digit year more than 50
// years after `now` is taken for the century before. The weekday is not checked against the date.
std::optional<QDateTime> parseHttpDate(QByteArrayView text, const QDateTime& now = QDateTime::currentDateTimeUtc());
