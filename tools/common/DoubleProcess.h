#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <csignal>
#include <cstdio>
#include <optional>

#include <pthread.h>

// What the doubles' command-line tools share: the port option and the wait for SIGINT/SIGTERM.
namespace doubleprocess {

// The port the option gives, 0..65535; nothing (and a line on standard error) otherwise.
inline std::optional<quint16> port(const QCommandLineParser& parser, const QCommandLineOption& option, const char* tool)
{
    bool ok = false;
    const uint value = parser.value(option).toUInt(&ok);
    if (!ok || value > 65535) {
        std::fprintf(stderr, "%s: --port wants a number from 0 to 65535\n", tool);
        return std::nullopt;
    }
    return static_cast<quint16>(value);
}

// Blocks the stop signals; called before the server threads start, so that they all inherit the
// mask and the signal is taken by waitForStop() alone.
inline sigset_t blockStopSignals()
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return stopSignals;
}

inline void waitForStop(const sigset_t& stopSignals)
{
    int signal = 0;
    sigwait(&stopSignals, &signal);
}

} // namespace doubleprocess
