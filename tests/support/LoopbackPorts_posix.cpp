#include "LoopbackPorts.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

// A TCP socket bound to a free port of 127.0.0.1; returns the port through `port`.
Socket boundSocket(int& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

} // namespace

RefusingPort::RefusingPort()
{
    m_fd = boundSocket(m_port);
}

RefusingPort::~RefusingPort()
{
    ::close(int(m_fd));
}

FullBacklogListener::FullBacklogListener()
{
    m_listener = boundSocket(m_port);
    ::listen(int(m_listener), 0);
    const sockaddr_in address = loopback(m_port);
    // Connect until one connection no longer completes: from then on the queue is full.
    for (int i = 0; i < 16 && !m_full; ++i) {
        const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        m_clients.push_back(client);
        ::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        pollfd wait{client, POLLOUT, 0};
        m_full = ::poll(&wait, 1, 500) == 0;
    }
}

FullBacklogListener::~FullBacklogListener()
{
    for (Socket client : m_clients)
        ::close(int(client));
    ::close(int(m_listener));
}

} // namespace testsupport
