// The reachability probe's address calls, the same on both systems' sockets.
#include "tracking/ProbeSocket.h"

#include "tracking/ProbeSocketCalls.h"

#include <algorithm>

namespace {

// `text` as a socket address when it is a numeric IPv4 or IPv6 address (a scope such as
// "%eth0" included); never asks a name server.
struct NumericAddress
{
    explicit NumericAddress(const std::string& text, int port)
    {
        if (!probesocket::socketsReady())
            return;
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

} // namespace

namespace probesocket {

bool isNumeric(const std::string& text)
{
    return NumericAddress(text, 0).found != nullptr;
}

bool connects(const std::string& text, int port, std::chrono::steady_clock::time_point deadline)
{
    const NumericAddress address(text, port);
    return address.found && connectsTo(*address.found, deadline);
}

std::vector<std::string> resolve(const std::string& host)
{
    if (!socketsReady())
        return {};
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0)
        return {};
    std::vector<std::string> addresses;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        char text[NI_MAXHOST];
        if (::getnameinfo(entry->ai_addr, socklen_t(entry->ai_addrlen), text, sizeof text, nullptr, 0, NI_NUMERICHOST)
            != 0)
            continue;
        if (std::find(addresses.begin(), addresses.end(), text) == addresses.end())
            addresses.emplace_back(text);
    }
    ::freeaddrinfo(found);
    return addresses;
}

} // namespace probesocket
