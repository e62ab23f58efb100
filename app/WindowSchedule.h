#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

// Check runs at an interval while the window is open, for a computer where no user manager runs
// the background timer. A run that falls due while the window is busy (a dialog or a box open, a
// run under way) waits until it is free; the interval counts from the end of the window's last
// run, whoever started it.
class WindowSchedule : public QObject
{
    Q_OBJECT

public:
    // Milliseconds of a monotonic clock; tests bring a clock of their own.
    using TickSource = std::function<std::int64_t()>;

    // `free` says whether the window may start a run now; `run` starts one and returns when it
    // is over.
    WindowSchedule(std::function<bool()> free, std::function<void()> run, QObject* parent = nullptr);

    void setTickSource(TickSource ticks);
    // The interval, or none: no runs.
    void setInterval(std::optional<std::chrono::minutes> interval);
    std::optional<std::chrono::minutes> interval() const { return m_interval; }

    // A run of the window ended, however it was started: the next is due an interval from now.
    void ranNow();
    // Milliseconds until the next run is due (0 when it is overdue); nothing when none is.
    std::optional<std::int64_t> untilNext() const;

    // Starts the run that is due, if the window is free. The schedule looks by itself every
    // kLookMs; tests call it after moving their clock.
    void look();

    static constexpr int kLookMs = 30000;

private:
    std::int64_t now() const;

    std::function<bool()> m_free;
    std::function<void()> m_run;
    TickSource m_ticks;
    std::optional<std::chrono::minutes> m_interval;
    std::int64_t m_due = 0;
    bool m_running = false;
    QTimer m_looks;
};
