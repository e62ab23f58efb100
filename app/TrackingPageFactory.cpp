#include "app/TrackingPageFactory.h"

#include "tracking/PageDriver.h"

std::unique_ptr<TrackingPage> createPageDriver(const QString& storageDir, QObject* parent)
{
    return std::make_unique<PageDriver>(storageDir, parent);
}
