#include "app/WindowSchedule.h"

#include <QElapsedTimer>

#include <algorithm>

#include <utility>

WindowSchedule::WindowSchedule(std::function<bool()> free, std::function<void()> run, QObject* parent)
    : QObject(parent), m_free(std::move(free)), m_run(std::move(run))
{
    m_looks.setInterval(kLookMs);
    connect(&m_looks, &QTimer::timeout, this, &WindowSchedule::look);
}

void WindowSchedule::setTickSource(TickSource ticks)
{
    m_ticks = std::move(ticks);
    if (m_interval)
        ranNow();
}

std::int64_t WindowSchedule::now() const
{
    if (m_ticks)
        return m_ticks();
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

void WindowSchedule::setInterval(std::optional<std::chrono::minutes> interval)
{
    const bool changed = interval != m_interval;
    m_interval = interval;
    if (!m_interval) {
        m_looks.stop();
        return;
    }
    if (changed || !m_looks.isActive())
        ranNow();
    m_looks.start();
}

void WindowSchedule::ranNow()
{
    if (m_interval)
        m_due = now() + std::chrono::duration_cast<std::chrono::milliseconds>(*m_interval).count();
}

std::optional<std::int64_t> WindowSchedule::untilNext() const
{
    if (!m_interval)
        return std::nullopt;
    return std::max<std::int64_t>(0, m_due - now());
}

void WindowSchedule::look()
{
    if (!m_interval || m_running || now() < m_due || !m_free())
        return;
    m_running = true;
    m_run();
    m_running = false;
    // Whatever became of it (a run refused for another process's is said by the run): the next
    // one an interval from now.
    ranNow();
}
