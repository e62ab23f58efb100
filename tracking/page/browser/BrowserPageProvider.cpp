#include "tracking/page/browser/BrowserPageProvider.h"

#include "tracking/page/browser/PageDriver.h"

std::unique_ptr<TrackingPage> BrowserPageProvider::create(const QString& storageDir)
{
    return std::make_unique<PageDriver>(storageDir);
}
