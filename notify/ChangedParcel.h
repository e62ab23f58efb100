#pragma once

#include <QList>
#include <QString>

struct CheckOutcome;

// A parcel whose stored status changed in a check run, in the words the desktop notification
// shows.
struct ChangedParcel
{
    QString track; // the tracking number
    QString shop;
    QString title;  // what the parcel holds
    QString status; // the new status as stored: it may span lines and carry the page's tags

    // The parcels whose stored status the run changed, in row order.
    static QList<ChangedParcel> fromOutcome(const CheckOutcome& outcome);
};
