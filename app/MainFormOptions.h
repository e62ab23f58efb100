#pragma once

#include "notify/ChangedParcel.h"
#include "tracking/CheckLimits.h"
#include "tracking/Endpoints.h"
#include "tracking/page/TrackingPageFactory.h"
#include "tracking/TrackingSettings.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QUrl>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

class Prompts;

// The three shop pages of the link-out controls: shop 1 for BitBtn4, BitBtn1 and BitBtn2,
// shop 2 for Label5, shop 3 for BitBtn6.
std::array<QUrl, 3> defaultShopPages();

// What the main window is built with. The running program takes the defaults (the postal
// operator's addresses, database.db in the current directory, the system clock and locale, real
// message boxes); tests put in a temporary directory, the site double, a fixed clock and a
// prompts recorder.
struct MainFormOptions
{
    Endpoints endpoints = Endpoints::postalOperator();
    // The roads' settings (which road, the service's address, the modules' files, ...).
    TrackingSettings tracking;
    // How long a check run waits on the site; tests shorten the bounds.
    CheckLimits checkRunLimits;
    // The database file; relative paths count from the current directory.
    std::string databasePath = "database.db";
    // Where the hidden browser keeps its files.
    QString browserStorageDir;
    // "Now" for the days in transit; empty: the system clock.
    std::function<QDateTime()> now;
    // The locale by whose conventions dates other than year-month-day are read.
    QLocale locale = QLocale::system();
    // nullptr: the window shows real message boxes.
    Prompts* prompts = nullptr;
    // Opens a shop page in the desktop's browser, false when it could not; empty:
    // QDesktopServices::openUrl.
    std::function<bool(const QUrl&)> openUrl;
    std::array<QUrl, 3> shopPages = defaultShopPages();
    // Makes the hidden tracking page on first use; empty: the browser module's page, its files
    // under browserStorageDir.
    TrackingPageFactory pageFactory;
    // Tells the desktop of the parcels whose status a check run changed; empty: a notification
    // through the notification service of notificationBus.
    std::function<void(const QList<ChangedParcel>&)> notifyChanged;
    // The session bus's D-Bus address, where that notification goes; empty: there is none.
    QString notificationBus;
    // The D-Bus address where the user's systemd manager is asked about the background timer;
    // empty: the session bus, where the session has one (sessionBus).
    QString userManagerBus;
    // Whether the session has a bus: its address is set, or it listens in the runtime folder.
    // Without one nothing of D-Bus is set up (Qt would have the desktop's bus started).
    bool sessionBus = false;
    // The folder of the user's configuration, where the timer's drop-in goes; empty: ~/.config.
    QString userUnitConfigHome;
    // Milliseconds of a monotonic clock for the window's own schedule; empty: the system's.
    std::function<std::int64_t()> scheduleTicks;
};
