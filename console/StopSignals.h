#pragma once

#include <QObject>

#include <functional>

// What stops a check that runs without a window: SIGTERM (systemd stopping the service, `kill`)
// and SIGINT (Ctrl+C) on POSIX systems; on Windows Ctrl+C and Ctrl+Break (as SIGINT), and the
// console's window closed, the user logging off or the system shutting down (as SIGTERM). The
// handler only notes what came and wakes the event loop; `onStop` runs on the event loop's thread
// when the run next handles events. One object at a time; what handled these before comes back
// with its end.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(std::function<void()> onStop, QObject* parent = nullptr);
    ~StopSignals() override;

    // The signal that came, 0 while none did (also before `onStop` has run).
    int received() const;
    // Ends the process as `signal` would have ended it had it not been caught: the parent (a
    // shell, systemd) sees the process end by that signal. On Windows the process ends with
    // the status of a console program stopped by Ctrl+C (STATUS_CONTROL_C_EXIT).
    [[noreturn]] static void endBySignal(int signal);

private:
    std::function<void()> m_onStop;
    // What wakes the event loop: a notifier on POSIX systems' self-pipe, or this object itself.
    QObject* m_wake = nullptr;
};
