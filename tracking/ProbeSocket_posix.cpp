// The reachability probe's sockets on POSIX systems.
#include "tracking/ProbeSocket.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace {

using Clock = std::chrono::steady_clock;

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
bool connectsTo(const addrinfo& address, Clock::time_point deadline)
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

} // namespace probesocket
