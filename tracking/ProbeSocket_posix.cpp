// The reachability probe's sockets on POSIX systems.
#include "tracking/ProbeSocketCalls.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace probesocket {

bool socketsReady()
{
    return true;
}

bool connectsTo(const addrinfo& address, std::chrono::steady_clock::time_point deadline)
{
    using Clock = std::chrono::steady_clock;
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

} // namespace probesocket
