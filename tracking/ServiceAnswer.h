#pragma once

#include "tracking/TrackingSource.h"

#include <QByteArray>
#include <QString>

// Reads the tracking service's JSON answer for `number` into what the check run stores: the
// steps become the rows of an event table (date and time in Minsk time, event, post office),
// oldest first, and the texts are built from them as from the tracking page's table. Lenient
// where the service may drift (unknown fields, numbers sent as text, either of the two times),
// strict where a wrong reading would store wrong data: anything else is Unreadable.
TrackingAnswer readServiceAnswer(const QByteArray& body, const QString& number);
