#include "tracking/CheckSession.h"

#include "tracking/TrackingPage.h"

#include <utility>

CheckSession::CheckSession(std::string databasePath, TrackingPageFactory pageFactory, Endpoints endpoints)
    : m_pageFactory(std::move(pageFactory)), m_endpoints(std::move(endpoints)), m_lock(databasePath)
{
}

CheckSession::~CheckSession() = default;

CheckOutcome CheckSession::run(ParcelStore& store, CheckRunHost& host, const std::function<void()>& whenLocked)
{
    CheckOutcome refused;
    if (m_running) {
        refused.end = CheckOutcome::End::AlreadyRunning;
        return refused;
    }
    if (m_stopped) {
        refused.end = CheckOutcome::End::Stopped;
        return refused;
    }
    // Held for the whole run, the snapshot included; a run never goes on without it, and one
    // refused for it has done nothing at all.
    switch (m_lock.take()) {
    case RunLock::Taken::Yes:
        break;
    case RunLock::Taken::HeldByOther:
        refused.end = CheckOutcome::End::LockHeld;
        if (m_lock.holder() > 0)
            refused.cause = "PID " + std::to_string(m_lock.holder());
        return refused;
    case RunLock::Taken::Unavailable:
        refused.end = CheckOutcome::End::LockUnavailable;
        refused.cause = m_lock.problem().toStdString();
        return refused;
    }

    struct RunEnd
    {
        CheckSession& session;
        ~RunEnd()
        {
            session.m_running = false;
            session.m_store = nullptr;
            session.m_lock.release();
        }
    } runEnd{*this};
    m_running = true;
    m_store = &store;
    if (whenLocked)
        whenLocked();

    // However the run ends, nothing of the page outlives it: its scripts, timers and workers
    // would go on in the background, in a render process of their own, for as long as the
    // program runs. The next run makes a new page, as the first one did.
    struct PageEnd
    {
        std::unique_ptr<TrackingPage>& page;
        ~PageEnd() { page.reset(); }
    } pageEnd{m_page};

    CheckRun checkRun(*this, host, m_endpoints);
    checkRun.setLimits(m_limits);
    checkRun.execute();
    return checkRun.outcome();
}

TrackingPage& CheckSession::trackingPage()
{
    if (!m_page) {
        m_page = m_pageFactory ? m_pageFactory() : nullptr;
        if (!m_page)
            throw EPageError(EPageError::Kind::BrowserFailed, "The tracking page could not be created");
    }
    return *m_page;
}

ParcelStore* CheckSession::store()
{
    return m_stopped ? nullptr : m_store;
}
