#pragma once

#include <QHostAddress>
#include <QList>

#include <functional>
#include <string>

// Tells whether a host accepts TCP connections on a port. Only a connect is made: nothing is
// sent or received, and the connection is dropped straight away. Blocks for at most about
// `timeoutMs`, name lookup included, without processing window messages.
class ReachabilityProbe
{
public:
    static constexpr int kDefaultTimeoutMs = 3000;
    // Gives the addresses of a host name; may block for as long as the system's resolver does.
    using Resolver = std::function<QList<QHostAddress>(const std::string& host)>;

    ReachabilityProbe(std::string host, int port, int timeoutMs = kDefaultTimeoutMs);
    // Tests resolve names without asking the network.
    void setResolver(Resolver resolver);

    bool isReachable() const;

    static QList<QHostAddress> systemResolver(const std::string& host);

private:
    QList<QHostAddress> resolve(int timeoutMs) const;

    std::string m_host;
    int m_port;
    int m_timeoutMs;
    Resolver m_resolver;
};
