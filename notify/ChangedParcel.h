#pragma once

#include <QString>

// A parcel whose stored status changed in a check run, in the words the desktop notification
// shows. The caller converts the stored Windows-1251 texts.
struct ChangedParcel
{
    QString track; // the tracking number
    QString shop;
    QString title;  // what the parcel holds
    QString status; // the new status as stored: it may span lines and carry the page's tags
};
