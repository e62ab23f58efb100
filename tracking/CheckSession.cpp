#include "tracking/CheckSession.h"

#include "tracking/CheckRun.h"

#include <utility>

CheckSession::CheckSession(std::string databasePath, std::unique_ptr<TrackingSource> source, TickSource ticks,
                           QObject* parent)
    : QObject(parent), m_source(std::move(source)), m_ticks(std::move(ticks)), m_lock(databasePath)
{
    qRegisterMetaType<ParcelOutcome>();
    qRegisterMetaType<CheckOutcome>();
    qRegisterMetaType<CheckEvent>();
    m_source->setLimits(m_limits);
}

CheckSession::~CheckSession() = default;

void CheckSession::setLimits(const CheckLimits& limits)
{
    m_limits = limits;
    m_source->setLimits(limits);
}

CheckOutcome CheckSession::run(ParcelStore& store, const std::function<void()>& whenLocked)
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
            refused.cause = QStringLiteral("PID %1").arg(m_lock.holder());
        return refused;
    case RunLock::Taken::Unavailable:
        refused.end = CheckOutcome::End::LockUnavailable;
        refused.lockProblem = m_lock.problem();
        refused.cause = m_lock.problem().cause;
        if (m_recorder)
            m_recorder(store, refused);
        return refused;
    }

    // However the run ends, nothing of the source's outlives it (the page's scripts, timers and
    // workers would go on in a render process of their own), and the database is free again.
    struct RunEnd
    {
        CheckSession& session;
        ~RunEnd()
        {
            session.m_source->finishRun();
            session.m_source->setStopCondition({});
            session.m_source->setReporter({});
            session.m_running = false;
            session.m_store = nullptr;
            session.m_lock.release();
        }
    } runEnd{*this};
    m_running = true;
    m_store = &store;
    m_source->setStopCondition([this] { return m_stopped; });
    m_source->setReporter([this](const SourceNotice& notice) {
        CheckEvent event = CheckEvent::of(notice.kind == SourceNotice::Kind::Waiting ? CheckEvent::Kind::Waiting
                                                                                     : CheckEvent::Kind::SourceProblem);
        event.seconds = notice.seconds;
        event.problem = notice.problem;
        tell(event);
    });
    if (whenLocked)
        whenLocked();
    if (!m_stopped)
        emit started();

    CheckRun checkRun({*m_source, m_limits, m_copies, [this] { return this->store(); }, m_ticks,
                       [this](const CheckEvent& event) { tell(event); }});
    const CheckOutcome outcome = checkRun.execute();
    if (m_recorder && !m_stopped)
        m_recorder(store, outcome);
    emit finished(outcome);
    return outcome;
}

void CheckSession::tell(const CheckEvent& event)
{
    if (!m_stopped)
        emit happened(event);
}
