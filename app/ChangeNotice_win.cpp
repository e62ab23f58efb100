#include "app/ChangeNotice.h"

#include "notify/DesktopNotifier.h"

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>

namespace {

const QString kIconName = QStringLiteral("changeNoticeIcon");
constexpr int kShownMs = 10000;

} // namespace

void ChangeNotice::show(const QList<ChangedParcel>& parcels) const
{
    if (parcels.isEmpty() || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    // A balloon belongs to an icon in the notification area, shown before it and kept: taken
    // away at once, it would take its balloon with it. One icon for the window's whole life.
    auto* icon = m_owner->findChild<QSystemTrayIcon*>(kIconName, Qt::FindDirectChildrenOnly);
    if (!icon) {
        icon = new QSystemTrayIcon(QIcon(QStringLiteral(":/images/parcel.bmp")), m_owner);
        icon->setObjectName(kIconName);
        icon->setToolTip(QStringLiteral("Курьерикс"));
        icon->show();
    }
    icon->showMessage(DesktopNotifier::summary(parcels.size()), DesktopNotifier::body(parcels),
                      QSystemTrayIcon::Information, kShownMs);
}
