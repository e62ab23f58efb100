#pragma once

#include "tracking/CheckOutcome.h"
#include "tracking/CheckRun.h"
#include "tracking/CheckRunHost.h"
#include "tracking/CheckSession.h"
#include "tracking/Endpoints.h"
#include "tracking/TrackingPageFactory.h"

#include <QString>

#include <string>

// `kurierix --check`: one check run without a window, on the terminal. Every status-log line goes
// to standard output as it happens (not with `quiet`); the error boxes become lines on standard
// error, their text followed by the cause; at the end comes one line per parcel whose stored
// status changed, then one that none did or what kept the run from storing what it asked, and a
// desktop notification of those parcels.
class ConsoleCheck : public CheckRunHost
{
public:
    struct Settings
    {
        bool quiet = false;
        std::string databasePath = "database.db";
        Endpoints endpoints;
        CheckRun::Limits limits;
        TrackingPageFactory pageFactory;
    };

    // Runs the check and gives the exit status (ExitStatus). Needs the application object the
    // page needs. Ended by SIGTERM or SIGINT, the process ends by that signal once the run has
    // stopped, having written nothing more.
    static int run(const Settings& settings);

    // The line of the summary for a parcel whose status changed: number, shop, what it holds and
    // the new status on one line without markup.
    static QString changedLine(const ParcelOutcome& parcel);

    void setCurrentResult(std::shared_ptr<TSQLiteTable> table) override;
    void appendStatusLine(const std::string& line) override;
    void setStatusLabel(const std::string& text) override;
    void setGridEnabled(bool enabled) override;
    void refreshGrid() override;
    void showErrorBox(const std::string& text, const std::string& cause) override;
    void reportError(const std::string& message) override;

private:
    ConsoleCheck(const Settings& settings, const CheckSession& session);
    int finish(const CheckOutcome& outcome);
    bool silent() const;

    const Settings& m_settings;
    const CheckSession& m_session;
    bool m_rowsRead = false;
};
