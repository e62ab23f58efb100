#pragma once

#include <functional>
#include <string>
#include <vector>

// Tells whether a host accepts TCP connections on a port. Only a connect is made: nothing is
// sent or received, and the connection is dropped straight away. Blocks for at most about
// `timeoutMs`, name lookup included, without processing window messages. Plain sockets: the
// program needs no network library of its own until the browser engine comes.
class ReachabilityProbe
{
public:
    static constexpr int kDefaultTimeoutMs = 3000;
    // Gives the addresses of a host name as numeric texts ("192.0.2.1", "2001:db8::1"); may
    // block for as long as the system's resolver does.
    using Resolver = std::function<std::vector<std::string>(const std::string& host)>;

    // Names are resolved by `resolver`, the system's when it is empty.
    ReachabilityProbe(std::string host, int port, int timeoutMs = kDefaultTimeoutMs, Resolver resolver = {});

    bool isReachable() const;

    static std::vector<std::string> systemResolver(const std::string& host);

private:
    std::vector<std::string> resolve(int timeoutMs) const;

    std::string m_host;
    int m_port;
    int m_timeoutMs;
    Resolver m_resolver;
};
