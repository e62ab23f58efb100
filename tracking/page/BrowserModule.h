#pragma once

#include "tracking/page/TrackingPageFactory.h"
#include "tracking/TrackingSettings.h"

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
    // A module file named here is the only one looked at (tests; a module kept elsewhere); the
    // settings carry it.
    static constexpr char kOverrideVariable[] = "KURIERIX_BROWSER_MODULE";

    // The files looked at, in order: `named` alone when it is not empty; else the module beside
    // the program (the build tree), then where the install puts it, found from the program's
    // own folder so that any install prefix works.
    static QStringList candidates(const QString& named);

    // Loads the module unless it is loaded already and makes a page with it. Raises EPageError
    // with the reason: NotPackaged when no module is where the program looks for it (its package
    // is not installed), NotInstalled when the module named is missing, is no plugin, or is
    // another plugin than the tracking page's, or when the process was not set up for the engine.
    // The settings name the module (browserModule) and whether the page tells of its changes.
    static std::unique_ptr<TrackingPage> createPage(const QString& storageDir, const TrackingSettings& settings);

    // What the engine needs of the process, settled before the application object exists: no
    // sandbox for root (Chromium refuses it; the hidden browser only ever loads the tracking
    // page), and OpenGL contexts shared with the application, without which an engine loaded
    // after the application object brings the process down.
    // `sandboxChosen`: the session said itself whether the engine has its sandbox.
    static void prepareProcess(bool sandboxChosen);

    // What the user is told when no module is where the program looks for it: the package to
    // install, or, on Windows, which has none, that the page road is not there.
    static QString missingSentence();

    // The graphical application object the engine needs, made by the module for a program that
    // links no Qt Gui itself; nullptr when the module cannot be had (createPage then says why).
    static std::unique_ptr<QCoreApplication> createApplication(int& argc, char** argv, const QString& named);
};

// The program's own pages: each call makes one through the browser module, keeping its browser
// files under `storageDir`.
TrackingPageFactory browserPageFactory(QString storageDir, TrackingSettings settings);
