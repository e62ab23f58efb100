#pragma once

#include "tracking/TrackingSource.h"

#include <QByteArray>
#include <QString>

// Reads the tracking service's JSON answer for `number` into what the check run stores: the
// steps become the rows of an event table (date and time in Minsk time, event, post office),
// in the order of events, and the texts are built from them as from the tracking page's table.
// Lenient where the service may drift and the meaning is plain (unknown fields, numbers sent as
// text, a postcode sent as a number, ISO 8601 times, either of the two times, the list either
// way round), strict where a wrong reading would store wrong data (another number's events, a
// structure where a value belongs): anything else is Unreadable, with what could not be read.
TrackingAnswer readServiceAnswer(const QByteArray& body, const QString& number);

// The service's own words in an error answer ({"message": "...", "errors": {"field": [...]}}),
// on one line; empty when the body carries no message.
QString serviceRefusal(const QByteArray& body);
