#pragma once

#include "tracking/CheckLimits.h"
#include "tracking/CheckOutcome.h"
#include "tracking/RunLock.h"
#include "tracking/TrackingSource.h"
#include "tracking/UnreadableCopies.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class ParcelStore;

// What check runs on one database need, whoever starts them (the window's menu or `kurierix
// --check`): the tracking source, the stop, the guard that lets one run go at a time, and the
// lock that keeps other processes' runs off the file meanwhile. A run tells of its progress in
// signals, as it goes, and returns what it did; whoever shows it connects to them.
//
// A run refused before it began (the lock, a run under way, a stop) emits nothing. Once stop()
// was called, a run under way emits nothing more but finished().
class CheckSession : public QObject
{
    Q_OBJECT

public:
    // A millisecond tick count that wraps at 2^32, as the elapsed time is measured.
    using TickSource = std::function<std::uint32_t()>;

    CheckSession(std::string databasePath, std::unique_ptr<TrackingSource> source, QObject* parent = nullptr);
    ~CheckSession() override;
    CheckSession(const CheckSession&) = delete;
    CheckSession& operator=(const CheckSession&) = delete;

    void setLimits(const CheckLimits& limits);
    const CheckLimits& limits() const { return m_limits; }
    // Where each run is recorded: called with what a run did once it is over, while it still holds
    // the database (so that the window's statements wait for the row as for the run's own), and
    // for a run refused because no lock can be had. Not for a run stopped, refused for another
    // run's lock, or for one under way already.
    using Recorder = std::function<void(ParcelStore& store, const CheckOutcome& outcome)>;
    void setRecorder(Recorder recorder) { m_recorder = std::move(recorder); }

    // Tests count the elapsed time on a clock of their own; empty: the monotonic clock.
    void setTickSource(TickSource ticks) { m_ticks = std::move(ticks); }
    const TickSource& tickSource() const { return m_ticks; }

    // One check run over the parcels of `store` (open on this session's database). Ends at once
    // with LockHeld when another process's run holds the database, with LockUnavailable when no
    // run lock can be had, with AlreadyRunning when this session runs one (a click handled
    // inside a run's wait); such a run has written nothing. `whenLocked` runs once the lock is
    // held, before the run reads or writes anything.
    CheckOutcome run(ParcelStore& store, const std::function<void()>& whenLocked = {});
    bool running() const { return m_running; }

    // From now on a run under way ends at its next step (a wait ends at once), touches the store
    // no more, and no run starts. For good: the window is closing, or the process was told to end.
    void stop() { m_stopped = true; }
    bool stopRequested() const { return m_stopped; }

    // The store of the run under way; nullptr when none goes or once stopped.
    ParcelStore* store() const { return m_stopped ? nullptr : m_store; }
    TrackingSource& source() const { return *m_source; }
    const RunLock& lock() const { return m_lock; }
    // Where the answers the run could not read are kept.
    const UnreadableCopies& unreadableCopies() const { return m_copies; }

signals:
    // The run holds the database and begins.
    void started();
    // A line of the status log.
    void progress(const QString& line);
    // The status label's new text.
    void statusLabel(const QString& text);
    // The site is reachable and the parcels are being asked about: the rows are the run's until
    // it ends, or until a statement fails (parcelChecked with StoreFailed).
    void askingStarted();
    // What became of one parcel, as soon as it is known (before the log lines that tell of it).
    void parcelChecked(const ParcelOutcome& parcel);
    // The modal "Ошибка" box; `cause` is the technical reason, which the window's box omits.
    void errorBox(const QString& text, const QString& cause);
    // The general error report, its caption the application title.
    void errorReport(const QString& message);
    // The run writes no more rows, and the table as it is now is its result: at the end of a run
    // that went through, and at an early end after something was stored.
    void resultsFinal();
    // The run is over; what it did.
    void finished(const CheckOutcome& outcome);

private:
    std::unique_ptr<TrackingSource> m_source;
    CheckLimits m_limits;
    TickSource m_ticks;
    Recorder m_recorder;
    RunLock m_lock;
    UnreadableCopies m_copies;
    ParcelStore* m_store = nullptr; // while a run goes
    bool m_running = false;
    bool m_stopped = false;
};
