#pragma once

#include <QString>

#include <string>

// A parcel whose stored status changed in a check run, in the words the desktop notification
// shows. The caller converts the stored Windows-1251 texts.
struct ChangedParcel
{
    QString track; // the tracking number
    QString shop;
    QString title;  // what the parcel holds
    QString status; // the new status as stored: it may span lines and carry the page's tags

    // From the texts as `tracks` stores them (Windows-1251).
    static ChangedParcel fromStored(const std::string& track, const std::string& shop, const std::string& title,
                                    const std::string& status);
};
