#include "tracking/ReachabilityProbe.h"

#include "tracking/ProbeSocket.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The answer of one name lookup, shared with the thread that waits on the resolver: the probe
// may give up on it and return while the thread is still blocked in the system.
struct Lookup
{
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::vector<std::string> addresses;
};

} // namespace

ReachabilityProbe::ReachabilityProbe(std::string host, int port, int timeoutMs, Resolver resolver)
    : m_host(std::move(host)), m_port(port), m_timeoutMs(timeoutMs),
      m_resolver(resolver ? std::move(resolver) : Resolver(systemResolver))
{
}

bool ReachabilityProbe::isReachable() const
{
    if (m_host.empty() || m_port < 1 || m_port > 65535)
        return false;

    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_timeoutMs);
    for (const std::string& text : resolve(m_timeoutMs)) {
        if (Clock::now() >= deadline)
            return false;
        if (probesocket::connects(text, m_port, deadline))
            return true;
    }
    return false;
}

std::vector<std::string> ReachabilityProbe::resolve(int timeoutMs) const
{
    if (probesocket::isNumeric(m_host))
        return {m_host};

    // The system's resolver knows no time-out of ours: with an unreachable name server it
    // would hold the window for many seconds. It runs on a thread of its own, which is left
    // to finish by itself when the time is up.
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, resolver = m_resolver, host = m_host] {
        std::vector<std::string> addresses = resolver(host);
        std::lock_guard lock(lookup->mutex);
        lookup->addresses = std::move(addresses);
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();

    std::unique_lock lock(lookup->mutex);
    lookup->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return lookup->finished; });
    return lookup->finished ? lookup->addresses : std::vector<std::string>();
}

std::vector<std::string> ReachabilityProbe::systemResolver(const std::string& host)
{
    return probesocket::resolve(host);
}
