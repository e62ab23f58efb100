#include "console/StopSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

int s_pipe[2] = {-1, -1};
volatile std::sig_atomic_t s_received = 0;
struct sigaction s_oldTerm = {};
struct sigaction s_oldInt = {};

void onSignal(int signal)
{
    const int savedErrno = errno;
    s_received = signal;
    const char byte = 1;
    // A full pipe already holds a wake-up; nothing is lost.
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

StopSignals::StopSignals(std::function<void()> onStop, QObject* parent) : QObject(parent), m_onStop(std::move(onStop))
{
    s_received = 0;
    if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        s_pipe[0] = s_pipe[1] = -1;
        return;
    }
    auto* notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
    m_wake = notifier;
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(s_pipe[0], bytes, sizeof bytes) > 0) {
        }
        if (m_onStop)
            m_onStop();
    });

    struct sigaction action = {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, &s_oldTerm);
    ::sigaction(SIGINT, &action, &s_oldInt);
}

StopSignals::~StopSignals()
{
    if (s_pipe[0] < 0)
        return;
    ::sigaction(SIGTERM, &s_oldTerm, nullptr);
    ::sigaction(SIGINT, &s_oldInt, nullptr);
    delete m_wake;
    m_wake = nullptr;
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
}

int StopSignals::received() const
{
    return s_received;
}

void StopSignals::endBySignal(int signal)
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    ::sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    ::raise(signal);
    std::_Exit(128 + signal);
}
