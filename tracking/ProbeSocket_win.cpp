// The reachability probe's sockets on Windows (Winsock).
#include "tracking/ProbeSocket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

namespace {

using Clock = std::chrono::steady_clock;

// Winsock is started once for the process, on the first call; Qt's own network code starts it
// again when it needs it, which Winsock counts.
bool winsockStarted()
{
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

// `text` as a socket address when it is a numeric IPv4 or IPv6 address (a scope included);
// never asks a name server.
struct NumericAddress
{
    explicit NumericAddress(const std::string& text, int port)
    {
        if (!winsockStarted())
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

// A connect to `address` that gives up at `deadline`. A failed connection shows in select()'s
// exception set (WSAPoll does not report it on older Windows).
bool connectsTo(const addrinfo& address, Clock::time_point deadline)
{
    const SOCKET socket =
        ::WSASocketW(address.ai_family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET)
        return false;
    u_long nonBlocking = 1;
    bool connected = false;
    if (::ioctlsocket(socket, FIONBIO, &nonBlocking) == 0) {
        if (::connect(socket, address.ai_addr, int(address.ai_addrlen)) == 0) {
            connected = true;
        } else if (::WSAGetLastError() == WSAEWOULDBLOCK) {
            const auto left =
                std::max<long long>(1, std::chrono::ceil<std::chrono::microseconds>(deadline - Clock::now()).count());
            timeval wait{long(left / 1000000), long(left % 1000000)};
            fd_set writable;
            fd_set failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(socket, &writable);
            FD_SET(socket, &failed);
            if (::select(0, nullptr, &writable, &failed, &wait) > 0 && FD_ISSET(socket, &writable)) {
                int error = 0;
                int length = sizeof error;
                connected = ::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0
                            && error == 0;
            }
        }
    }
    ::closesocket(socket);
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
    if (!winsockStarted())
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
