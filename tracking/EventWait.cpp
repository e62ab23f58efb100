#include "tracking/EventWait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <climits>

EventWait::EventWait(Condition stopRequested) : m_stopRequested(std::move(stopRequested))
{
}

void EventWait::setStopCondition(Condition stopRequested)
{
    m_stopRequested = std::move(stopRequested);
}

bool EventWait::stopRequested() const
{
    return m_stopRequested && m_stopRequested();
}

EventWait::Outcome EventWait::until(const Condition& condition, QDeadlineTimer deadline)
{
    // The alarm's own event ends the sleep at the deadline when nothing else comes first.
    QTimer alarm;
    alarm.setSingleShot(true);
    alarm.setTimerType(Qt::PreciseTimer);
    for (;;) {
        if (stopRequested())
            return Outcome::Stopped;
        if (condition && condition())
            return Outcome::Met;
        if (m_woken) {
            m_woken = false;
            return Outcome::Woken;
        }
        if (deadline.hasExpired())
            return Outcome::TimedOut;
        if (!alarm.isActive() && !deadline.isForever())
            alarm.start(static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 1, INT_MAX)));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        // Windows' dispatcher returns on the message that announces posted events (a precise
        // timer's among them) before it delivers them, and delivers them only as the next call
        // begins, which then sleeps on: they are delivered here, before the condition is asked.
        QCoreApplication::sendPostedEvents();
    }
}

EventWait::Outcome EventWait::sleep(QDeadlineTimer deadline)
{
    return until({}, deadline);
}

void EventWait::handlePending()
{
    QCoreApplication::processEvents();
}

void EventWait::wake()
{
    // Called from an event handler or a callback on this thread: the sleep that handles it
    // returns once it is done and finds the flag.
    m_woken = true;
}
