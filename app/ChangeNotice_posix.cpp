#include "app/ChangeNotice.h"

#include "notify/DesktopNotifier.h"

void ChangeNotice::show(const QList<ChangedParcel>& parcels) const
{
    // The freedesktop service outlives the window: nothing to keep.
    DesktopNotifier(m_busAddress).notify(parcels);
}
