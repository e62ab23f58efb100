// Windows has no notification service that a program without a window could reach: a
// notification there belongs to a tray icon, which only the window has.
#include "notify/DesktopNotifier.h"

bool DesktopNotifier::available()
{
    return false;
}

DesktopNotifier::Result DesktopNotifier::notify(const QList<ChangedParcel>& parcels) const
{
    Result result;
    if (!parcels.isEmpty())
        result.failure = QStringLiteral("в Windows программа без окна не показывает уведомлений");
    return result;
}
