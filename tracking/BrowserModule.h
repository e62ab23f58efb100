#pragma once

#include "tracking/TrackingPageFactory.h"

#include <QString>
#include <QStringList>

#include <memory>

class QCoreApplication;
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

    // What the engine needs of the process, settled before the application object exists: no
    // sandbox for root (Chromium refuses it; the hidden browser only ever loads the tracking
    // page), and OpenGL contexts shared with the application, without which an engine loaded
    // after the application object brings the process down.
    static void prepareProcess();

    // The graphical application object the engine needs, made by the module for a program that
    // links no Qt Gui itself; nullptr when the module cannot be had (createPage then says why).
    static std::unique_ptr<QCoreApplication> createApplication(int& argc, char** argv);
};

// The program's own pages: each call makes one through the browser module, keeping its browser
// files under `storageDir`.
TrackingPageFactory browserPageFactory(QString storageDir);
