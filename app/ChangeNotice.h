#pragma once

#include "notify/ChangedParcel.h"

#include <QList>
#include <QString>

#include <utility>

class QObject;

// The window's word to the user, after a run, of the parcels whose status changed: where the
// desktop has a notification service, one notification through it; on Windows, a balloon of the
// program's icon in the notification area, which stays there while the window is open. Shown
// from the window only (a check from the command line shows none), and nothing is said when it
// cannot be shown.
class ChangeNotice
{
public:
    // What the notice needs to live as long as the window (the icon) is made a child of `owner`;
    // `busAddress` is the session bus of the desktop's notification service (empty: none).
    ChangeNotice(QObject* owner, QString busAddress) : m_owner(owner), m_busAddress(std::move(busAddress)) {}

    void show(const QList<ChangedParcel>& parcels) const;

private:
    QObject* m_owner;
    QString m_busAddress;
};
