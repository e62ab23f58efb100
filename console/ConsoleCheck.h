#pragma once

#include "store/RunHistory.h"
#include "tracking/CheckLimits.h"
#include "tracking/CheckOutcome.h"
#include "tracking/CheckSession.h"
#include "tracking/Endpoints.h"
#include "tracking/TrackingPageFactory.h"

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
        Endpoints endpoints;
        CheckLimits limits;
        TrackingPageFactory pageFactory;
        // Who the run's record names: the background check's unit, or someone at a terminal.
        RunRecord::Origin origin = RunRecord::Origin::Terminal;
    };

    // Runs the check and gives the exit status (ExitStatus). Needs the application object the
    // page needs. Ended by SIGTERM or SIGINT, the process ends by that signal once the run has
    // stopped, having written nothing more.
    static int run(const Settings& settings);

    // The line of the summary for a parcel whose status changed: number, shop, what it holds and
    // the new status on one line without markup.
    static QString changedLine(const ParcelOutcome& parcel);

    // The background check's unit says so in KURIERIX_CHECK_ORIGIN=timer; any other run is a
    // terminal's.
    static RunRecord::Origin originFromEnvironment();

private:
    ConsoleCheck(const Settings& settings, CheckSession& session);
    int finish(const CheckOutcome& outcome);
    bool silent() const;
    void writeLine(const QString& line);
    void writeErrorBox(const QString& text, const QString& cause);
    void writeReport(const QString& message);

    const Settings& m_settings;
    CheckSession& m_session;
    bool m_asking = false;
};
