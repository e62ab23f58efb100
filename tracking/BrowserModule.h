#pragma once

#include "tracking/TrackingPageFactory.h"

#include <QString>
#include <QStringList>

#include <memory>

class TrackingPage;

// The tracking page over the browser engine lives in a module of its own, a Qt plugin that alone
// links Qt WebEngine. The program loads it when a check run first needs the page, so that a
// start, or a session without a check, maps none of the engine's libraries.
class BrowserModule
{
public:
    // A module file named here is the only one looked at (tests; a module kept elsewhere).
    static constexpr char kOverrideVariable[] = "KURIERIX_BROWSER_MODULE";

    // The files looked at, in order: the override alone when it is set; else the module beside
    // the program (the build tree), then where the install puts it, found from the program's
    // own folder so that any install prefix works.
    static QStringList candidates();

    // Loads the module unless it is loaded already and makes a page with it. Raises EPageError
    // with the reason: NotPackaged when no module is where the program looks for it (its package
    // is not installed), NotInstalled when the module named is missing, is no plugin, or is
    // another plugin than the tracking page's, or when the process was not set up for the engine.
    static std::unique_ptr<TrackingPage> createPage(const QString& storageDir);
};

// The program's own pages: each call makes one through the browser module, keeping its browser
// files under `storageDir`.
TrackingPageFactory browserPageFactory(QString storageDir);
