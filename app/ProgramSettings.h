#pragma once

#include "tracking/TrackingSettings.h"

#include <QString>

// What the environment says, read once by main() as the program starts and handed down to the
// window or the command: no other part of the program reads the environment.
struct ProgramSettings
{
    TrackingSettings tracking;
    // KURIERIX_CHECK_ORIGIN: "timer" when the background check's unit runs `kurierix --check`.
    QString checkOrigin;
    // Variables of Qt and of the browser engine that the program sets for itself unless the
    // session chose: QTWEBENGINE_DISABLE_SANDBOX (not empty), QT_XCB_GL_INTEGRATION and
    // QT_LOGGING_RULES (set).
    bool sandboxChosen = false;
    bool glIntegrationChosen = false;
    bool loggingRulesChosen = false;
    // XDG_RUNTIME_DIR and DBUS_SESSION_BUS_ADDRESS (set and not empty): whether the session has a
    // bus, which the window asks for the user's systemd manager.
    QString runtimeDir;
    bool sessionBusAddressSet = false;
    // The session bus's address: the one set, else the bus that listens in the runtime folder;
    // empty when the session has neither.
    QString sessionBusAddress;
    // XDG_CONFIG_HOME: the user's configuration, where the background timer's drop-in goes.
    QString configHome;

    static ProgramSettings fromEnvironment();
};
