#include "tracking/ReachabilityProbe.h"

#include "store/Cp1251.h"

#include <QDeadlineTimer>
#include <QTcpSocket>

#include <netdb.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// The answer of one name lookup, shared with the thread that waits on the resolver: the probe
// may give up on it and return while the thread is still blocked in the system.
struct Lookup
{
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    QList<QHostAddress> addresses;
};

} // namespace

ReachabilityProbe::ReachabilityProbe(std::string host, int port, int timeoutMs)
    : m_host(std::move(host)), m_port(port), m_timeoutMs(timeoutMs), m_resolver(systemResolver)
{
}

void ReachabilityProbe::setResolver(Resolver resolver)
{
    m_resolver = resolver ? std::move(resolver) : Resolver(systemResolver);
}

bool ReachabilityProbe::isReachable() const
{
    if (m_host.empty() || m_port < 1 || m_port > 65535)
        return false;

    const QDeadlineTimer deadline(m_timeoutMs);
    for (const QHostAddress& address : resolve(m_timeoutMs)) {
        if (deadline.hasExpired())
            return false;
        QTcpSocket socket;
        socket.connectToHost(address, static_cast<quint16>(m_port));
        // A refused connection fails early; a silent host runs into the time-out.
        const bool connected = socket.waitForConnected(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))
                               && socket.state() == QAbstractSocket::ConnectedState;
        socket.abort();
        if (connected)
            return true;
    }
    return false;
}

QList<QHostAddress> ReachabilityProbe::resolve(int timeoutMs) const
{
    QHostAddress literal;
    if (literal.setAddress(fromCp1251(m_host)))
        return {literal};

    // The system's resolver knows no time-out of ours: with an unreachable name server it
    // would hold the window for many seconds. It runs on a thread of its own, which is left
    // to finish by itself when the time is up.
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, resolver = m_resolver, host = m_host] {
        QList<QHostAddress> addresses = resolver(host);
        std::lock_guard lock(lookup->mutex);
        lookup->addresses = std::move(addresses);
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();

    std::unique_lock lock(lookup->mutex);
    lookup->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return lookup->finished; });
    return lookup->finished ? lookup->addresses : QList<QHostAddress>();
}

QList<QHostAddress> ReachabilityProbe::systemResolver(const std::string& host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0)
        return {};
    QList<QHostAddress> addresses;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        const QHostAddress address(entry->ai_addr);
        if (!address.isNull() && !addresses.contains(address))
            addresses.append(address);
    }
    ::freeaddrinfo(found);
    return addresses;
}
