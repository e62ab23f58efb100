#pragma once

#include "store/RunHistory.h"
#include "tracking/CheckLimits.h"
#include "tracking/CheckOutcome.h"
#include "tracking/CheckSession.h"
#include "tracking/Endpoints.h"
#include "tracking/page/TrackingPageFactory.h"
#include "tracking/TrackingSettings.h"

#include <QString>

#include <string>

// `kurierix --check`: one check run without a window, on the terminal. Every status-log line goes
// to standard output as it happens (not with `quiet`); the error boxes become lines on standard
// error, their text followed by the cause; at the end comes one line per parcel whose stored
// status changed, then one that none did or what kept the run from storing what it asked, and a
// desktop notification of those parcels. The run leaves a row of what it did in the database.
class ConsoleCheck
{
public:
    struct Settings
    {
        bool quiet = false;
        std::string databasePath = "database.db";
        TrackingSettings tracking;
        Endpoints endpoints;
        CheckLimits limits;
        TrackingPageFactory pageFactory;
        // Who the run's record names: the background check's unit, or someone at a terminal.
        RunRecord::Origin origin = RunRecord::Origin::Terminal;
        // The session bus's D-Bus address, where the notification goes; empty: there is none.
        QString sessionBus;
    };

    // For a run that shows no window: the offscreen platform and no display whatever the
    // environment says, so that a timer or an ssh session can run it, and no logging but the
    // program's own, unless the session chose its own rules. Called before the application object
    // exists.
    static void prepareProcess(bool loggingRulesChosen);

    // Runs the check and gives the exit status (ExitStatus). Needs the application object the
    // page needs. Ended by SIGTERM or SIGINT, the process ends by that signal once the run has
    // stopped, having written nothing more.
    static int run(const Settings& settings);

    // The background check's unit says so in KURIERIX_CHECK_ORIGIN=timer; any other run is a
    // terminal's.
    static RunRecord::Origin originNamed(const QString& origin);

private:
    ConsoleCheck(const Settings& settings, CheckSession& session);
    int finish(const CheckOutcome& outcome);
    bool silent() const;
    // The status log's lines on standard output (not with `quiet`), the boxes and reports on
    // standard error.
    void show(const CheckEvent& event);

    const Settings& m_settings;
    CheckSession& m_session;
};
