// The reachability probe's sockets on Windows (Winsock).
#include "tracking/ProbeSocketCalls.h"

#include <algorithm>

namespace probesocket {

// Winsock is started once for the process, on the first call; Qt's own network code starts it
// again when it needs it, which Winsock counts.
bool socketsReady()
{
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

// A failed connection shows in select()'s exception set (WSAPoll does not report it on older
// Windows).
bool connectsTo(const addrinfo& address, std::chrono::steady_clock::time_point deadline)
{
    using Clock = std::chrono::steady_clock;
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

} // namespace probesocket
