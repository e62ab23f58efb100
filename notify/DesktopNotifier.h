#pragma once

#include "notify/ChangedParcel.h"

#include <QList>
#include <QString>

// Tells the desktop which parcels changed status: one notification through the freedesktop
// notification service (org.freedesktop.Notifications) on the session bus. Without a bus,
// without a service or when the service refuses, nothing is shown and the result says why;
// nothing else is affected. A call waits for the desktop at most kReplyTimeoutMs in all. Windows
// has no such service: there the notifier shows nothing and says so (available()); a window shows
// its own through the tray icon.
class DesktopNotifier
{
public:
    struct Result
    {
        bool sent = false;
        // Why a notification that was due was not shown, in the program's language, with the
        // technical cause in parentheses where there is one.
        QString failure;
    };

    static constexpr int kReplyTimeoutMs = 3000;
    static constexpr int kMaxBodyLines = 6; // more parcels: the first lines and one "и ещё …" line
    static constexpr int kMaxStatusLength = 100;
    static constexpr int kMaxLabelPartLength = 40; // the number, the shop, what it holds

    // Whether this system can show a notification to a program without a window at all.
    static bool available();

    // `busAddress`: the session bus's D-Bus address; empty: the session has none.
    explicit DesktopNotifier(QString busAddress = {});

    // Sends one notification about `parcels`; an empty list sends nothing and is no failure.
    Result notify(const QList<ChangedParcel>& parcels) const;

    // "Статус изменился: 3 посылки".
    static QString summary(qsizetype count);
    // One plain-text line per parcel ("number, shop, what it holds: status"), capped.
    static QString body(const QList<ChangedParcel>& parcels);
    // "1 посылка", "3 посылки", "5 посылок": the count with the noun in its plural form.
    static QString parcelCount(qsizetype count);

private:
    QString m_busAddress;
};
