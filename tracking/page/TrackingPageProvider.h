#pragma once

#include <QString>
#include <QtPlugin>

#include <memory>

class QCoreApplication;
class TrackingPage;

// What the browser module offers the program: pages over the browser engine, which only the
// module links. The module is a Qt plugin; its root object implements this interface.
class TrackingPageProvider
{
public:
    virtual ~TrackingPageProvider() = default;

    // A new page that keeps its browser files under `storageDir`, telling of its changes unless
    // `changeNotifications` is false. The engine starts with the page's first load, not here.
    virtual std::unique_ptr<TrackingPage> create(const QString& storageDir, bool changeNotifications) = 0;
    // The graphical application object the engine needs, for a program that links no Qt Gui of
    // its own (`kurierix --check` on the page road).
    virtual std::unique_ptr<QCoreApplication> createApplication(int& argc, char** argv) = 0;
};

#define TrackingPageProvider_iid "org.kurierix.TrackingPageProvider/2"
Q_DECLARE_INTERFACE(TrackingPageProvider, TrackingPageProvider_iid)
