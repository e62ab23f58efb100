#pragma once

#include "store/RunHistory.h"
#include "tracking/CheckOutcome.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

class CheckSession;
class ParcelStore;

// What the window and `kurierix --check` both do at the end of a check run: word how it ended,
// by the same precedence as `--check`'s exit status, and leave one row of it in the database.
namespace runrecords {

// Store failures first, then no answer at all, a run cut short, answers that could not be read.
RunRecord::Ending endingOf(const CheckOutcome& outcome);
int exitStatusOf(RunRecord::Ending ending);

// A run refused because another run holds the database, or stopped from outside (the window
// closing, SIGTERM: nothing is written after that), leaves no row.
bool worthRecording(const CheckOutcome& outcome);

// The row of a run; `exitStatus` where the process has one of its own, or the ending's.
RunRecord recordOf(const CheckOutcome& outcome, RunRecord::Origin origin, const QString& road, const QDateTime& started,
                   const QDateTime& ended, std::optional<int> exitStatus = {});

// Writes `run`; false, with SQLite's words in `cause`, when it could not.
bool write(ParcelStore& store, const RunRecord& run, QString* cause = nullptr) noexcept;

} // namespace runrecords

// Leaves the row of every run of one session, as whoever started it: it notes when a run began
// and writes the row while the run still holds the database.
class RunRecorder
{
public:
    using Clock = std::function<QDateTime()>;

    // `clock` empty: the system clock.
    RunRecorder(CheckSession& session, RunRecord::Origin origin, Clock clock = {});
    ~RunRecorder();
    RunRecorder(const RunRecorder&) = delete;
    RunRecorder& operator=(const RunRecorder&) = delete;

    struct Recorded
    {
        RunRecord run;
        bool stored = false;
        QString failure; // why it could not be written, SQLite's words
    };
    // The row of the run recorded since this was last asked, if any.
    std::optional<Recorded> takeLast() { return std::exchange(m_last, std::nullopt); }

private:
    QDateTime now() const;

    CheckSession& m_session;
    QMetaObject::Connection m_startedConnection;
    RunRecord::Origin m_origin;
    Clock m_clock;
    std::optional<QDateTime> m_started;
    std::optional<Recorded> m_last;
};
