#pragma once

#include <QString>
#include <QtPlugin>

#include <memory>

class TrackingPage;

// What the browser module offers the program: pages over the browser engine, which only the
// module links. The module is a Qt plugin; its root object implements this interface.
class TrackingPageProvider
{
public:
    virtual ~TrackingPageProvider() = default;

    // A new page that keeps its browser files under `storageDir`. The engine starts with the
    // page's first load, not here.
    virtual std::unique_ptr<TrackingPage> create(const QString& storageDir) = 0;
};

#define TrackingPageProvider_iid "org.kurierix.TrackingPageProvider/1"
Q_DECLARE_INTERFACE(TrackingPageProvider, TrackingPageProvider_iid)
