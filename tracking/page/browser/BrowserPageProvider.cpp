#include "tracking/page/browser/BrowserPageProvider.h"

#include "tracking/page/browser/PageDriver.h"

#include <QGuiApplication>

#include <utility>

std::unique_ptr<TrackingPage> BrowserPageProvider::create(const QString& storageDir, bool changeNotifications)
{
    PageDriverOptions options;
    options.changeNotifications = changeNotifications;
    return std::make_unique<PageDriver>(storageDir, std::move(options));
}

std::unique_ptr<QCoreApplication> BrowserPageProvider::createApplication(int& argc, char** argv)
{
    return std::make_unique<QGuiApplication>(argc, argv);
}
