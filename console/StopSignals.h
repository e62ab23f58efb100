#pragma once

#include <QObject>

#include <csignal>
#include <functional>

class QSocketNotifier;

// SIGTERM (systemd stopping the service, `kill`) and SIGINT (Ctrl+C) while a check runs without a
// window: the handler only notes the signal and writes one byte to a pipe, both safe in a signal
// handler; `onStop` runs on the event loop's thread when the run next handles events. One object
// at a time; the previous dispositions come back with its end.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(std::function<void()> onStop, QObject* parent = nullptr);
    ~StopSignals() override;

    // The signal that came, 0 while none did (also before `onStop` has run).
    int received() const;
    // Ends the process by `signal` with its default action, as if it had not been caught: the
    // parent (a shell, systemd) sees the process end by that signal.
    [[noreturn]] static void endBySignal(int signal);

private:
    static void onSignal(int signal);

    std::function<void()> m_onStop;
    QSocketNotifier* m_notifier = nullptr;
    struct sigaction m_oldTerm = {};
    struct sigaction m_oldInt = {};
};
