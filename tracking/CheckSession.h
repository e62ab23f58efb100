#pragma once

#include "tracking/CheckOutcome.h"
#include "tracking/CheckRun.h"
#include "tracking/CheckRunContext.h"
#include "tracking/Endpoints.h"
#include "tracking/RunLock.h"
#include "tracking/TrackingPageFactory.h"

#include <functional>
#include <memory>
#include <string>

class CheckRunHost;
class ParcelStore;
class TrackingPage;

// What check runs on one database need, whoever starts them (the window's menu or `kurierix
// --check`): the tracking page, made when a run first needs it and discarded as the run ends,
// the stop, the guard that lets one run go at a time, and the lock that keeps other processes'
// runs off the file meanwhile. A run reports to the host it is given and returns what it did.
class CheckSession : private CheckRunContext
{
public:
    CheckSession(std::string databasePath, TrackingPageFactory pageFactory, Endpoints endpoints);
    ~CheckSession() override;
    CheckSession(const CheckSession&) = delete;
    CheckSession& operator=(const CheckSession&) = delete;

    void setLimits(const CheckRun::Limits& limits) { m_limits = limits; }

    // One check run over the parcels of `store` (open on this session's database), reported to
    // `host`. Ends at once with LockHeld when another process's run holds the database, with
    // LockUnavailable when no run lock can be had, with AlreadyRunning when this session runs one
    // (a click handled inside a run's wait); such a run has written nothing. `whenLocked` runs
    // once the lock is held, before the run reads or writes anything.
    CheckOutcome run(ParcelStore& store, CheckRunHost& host, const std::function<void()>& whenLocked = {});
    bool running() const { return m_running; }

    // From now on a run under way ends at its next step (a wait ends at once), touches the store
    // no more, and no run starts. For good: the window is closing, or the process was told to end.
    void stop() { m_stopped = true; }
    bool stopRequested() const override { return m_stopped; }

    // The tracking page, made on first use. Raises EPageError when it cannot be made.
    TrackingPage& trackingPage() override;
    // The page if it was made and its run has not ended yet, otherwise nullptr.
    TrackingPage* existingPage() const { return m_page.get(); }

    const RunLock& lock() const { return m_lock; }

private:
    ParcelStore* store() override;

    TrackingPageFactory m_pageFactory;
    Endpoints m_endpoints;
    CheckRun::Limits m_limits;
    RunLock m_lock;
    std::unique_ptr<TrackingPage> m_page;
    ParcelStore* m_store = nullptr; // while a run goes
    bool m_running = false;
    bool m_stopped = false;
};
