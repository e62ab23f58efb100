#pragma once

#include "tracking/page/TrackingPageProvider.h"

#include <QObject>

// The root object of the browser module: it makes page drivers for the program's check runs,
// and the application object they need for a program without one of its own.
class BrowserPageProvider : public QObject, public TrackingPageProvider
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TrackingPageProvider_iid)
    Q_INTERFACES(TrackingPageProvider)
public:
    std::unique_ptr<TrackingPage> create(const QString& storageDir, bool changeNotifications) override;
    std::unique_ptr<QCoreApplication> createApplication(int& argc, char** argv) override;
};
