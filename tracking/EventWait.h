#pragma once

#include <QDeadlineTimer>

#include <functional>

// Waits on the UI thread while its events are handled: sleeps in the event dispatcher until a
// condition holds, a deadline passes, a stop is requested or someone calls wake(). It never
// spins and never runs a nested QEventLoop::exec(), which returns at once (and so turns every
// wait into a busy loop) once the application has begun to quit.
//
// The condition and the stop are looked at before the first sleep and after every batch of
// events, so whatever an event changes ends the wait at once: a page that keeps "changed since
// last looked at" as a state ends the check run's wait through its condition. A wake() ends
// the current wait, or the next one when nobody waits, so that an event between two waits is
// not missed.
class EventWait
{
public:
    enum class Outcome { Met, Woken, TimedOut, Stopped };
    using Condition = std::function<bool()>;

    explicit EventWait(Condition stopRequested = {});

    // A stop ends every wait at once with Stopped; empty: nothing stops them.
    void setStopCondition(Condition stopRequested);
    bool stopRequested() const;

    // Handles events until `condition` holds (Met), wake() is called (Woken), `deadline`
    // passes (TimedOut) or a stop is requested (Stopped), looked at in that order after the
    // stop. An empty condition never holds.
    Outcome until(const Condition& condition, QDeadlineTimer deadline);
    // Handles events until `deadline` passes, a wake or a stop.
    Outcome sleep(QDeadlineTimer deadline);
    // Handles the events already pending and returns without sleeping.
    static void handlePending();

    // Ends the current wait, or the next one, with Woken. On the waiting thread only.
    void wake();

private:
    Condition m_stopRequested;
    bool m_woken = false;
};
