#include "tracking/ReachabilityProbe.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
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

// `text` as a socket address when it is a numeric IPv4 or IPv6 address (a scope such as
// "%eth0" included); never asks a name server.
struct NumericAddress
{
    explicit NumericAddress(const std::string& text, int port)
    {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
        const std::string service = std::to_string(port);
        if (::getaddrinfo(text.c_str(), service.c_str(), &hints, &found) != 0)
            found = nullptr;
    }
    ~NumericAddress()
    {
        if (found)
            ::freeaddrinfo(found);
    }
    NumericAddress(const NumericAddress&) = delete;
    NumericAddress& operator=(const NumericAddress&) = delete;

    addrinfo* found = nullptr;
};

// A connect to `address` that gives up at `deadline`; a refused connection fails early, a
// silent host runs into the deadline.
bool connects(const addrinfo& address, Clock::time_point deadline)
{
    const int fd = ::socket(address.ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool connected = false;
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0) {
        connected = true;
    } else if (errno == EINPROGRESS) {
        pollfd waiting{fd, POLLOUT, 0};
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            const int ready = ::poll(&waiting, 1, int(std::max<std::int64_t>(1, left)));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready > 0) {
                int error = 0;
                socklen_t length = sizeof error;
                connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
            }
            break;
        }
    }
    ::close(fd);
    return connected;
}

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
        const NumericAddress address(text, m_port);
        if (address.found && connects(*address.found, deadline))
            return true;
    }
    return false;
}

std::vector<std::string> ReachabilityProbe::resolve(int timeoutMs) const
{
    if (NumericAddress(m_host, m_port).found)
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
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0)
        return {};
    std::vector<std::string> addresses;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        char text[NI_MAXHOST];
        if (::getnameinfo(entry->ai_addr, entry->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
            continue;
        if (std::find(addresses.begin(), addresses.end(), text) == addresses.end())
            addresses.emplace_back(text);
    }
    ::freeaddrinfo(found);
    return addresses;
}
