#include "tracking/browser/BrowserPageProvider.h"

#include "tracking/browser/PageDriver.h"

#include <QGuiApplication>

std::unique_ptr<TrackingPage> BrowserPageProvider::create(const QString& storageDir, bool changeNotifications)
{
    return std::make_unique<PageDriver>(storageDir, changeNotifications);
}

std::unique_ptr<QCoreApplication> BrowserPageProvider::createApplication(int& argc, char** argv)
{
    return std::make_unique<QGuiApplication>(argc, argv);
}
