#include "console/StopSignals.h"

#include <QMetaObject>

#include <atomic>
#include <csignal>
#include <mutex>

#include <windows.h>

namespace {

std::atomic<int> s_received = 0;
// The object to wake, while there is one; the handler runs on a thread of its own that Windows
// starts for it.
std::mutex s_lock;
StopSignals* s_instance = nullptr;
std::function<void()>* s_onStop = nullptr;

// How long the handler holds a closing console open for the run to stop and end the process:
// Windows ends it five seconds after a close, a logoff or a shutdown in any case.
constexpr DWORD kCloseGraceMs = 4500;

BOOL WINAPI onControl(DWORD type)
{
    const bool closing = type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT;
    {
        const std::lock_guard<std::mutex> held(s_lock);
        if (s_instance == nullptr)
            return FALSE;
        int expected = 0;
        s_received.compare_exchange_strong(expected, closing ? SIGTERM : SIGINT);
        std::function<void()>* onStop = s_onStop;
        QMetaObject::invokeMethod(
            s_instance,
            [onStop] {
                if (*onStop)
                    (*onStop)();
            },
            Qt::QueuedConnection);
    }
    // Returning from these events ends the process at once: the run is given the time it may
    // have to stop, and endBySignal() ends the process before this returns.
    if (closing)
        ::Sleep(kCloseGraceMs);
    return TRUE;
}

} // namespace

StopSignals::StopSignals(std::function<void()> onStop, QObject* parent) : QObject(parent), m_onStop(std::move(onStop))
{
    s_received = 0;
    {
        const std::lock_guard<std::mutex> held(s_lock);
        s_instance = this;
        s_onStop = &m_onStop;
    }
    m_wake = this;
    ::SetConsoleCtrlHandler(&onControl, TRUE);
}

StopSignals::~StopSignals()
{
    ::SetConsoleCtrlHandler(&onControl, FALSE);
    const std::lock_guard<std::mutex> held(s_lock);
    s_instance = nullptr;
    s_onStop = nullptr;
}

int StopSignals::received() const
{
    return s_received;
}

void StopSignals::endBySignal(int)
{
    // As a console program that Ctrl+C ended: cmd and PowerShell know the status.
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(STATUS_CONTROL_C_EXIT));
    ::ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
}
