#include "LoopbackPorts.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace testsupport {

namespace {

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    return address;
}

// A TCP socket bound to a free port of 127.0.0.1; returns the port through `port`.
Socket boundSocket(int& port)
{
    WSADATA data{};
    ::WSAStartup(MAKEWORD(2, 2), &data); // counted; never undone in a test program
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = loopback(0);
    ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return Socket(socket);
}

} // namespace

RefusingPort::RefusingPort()
{
    m_fd = boundSocket(m_port);
}

RefusingPort::~RefusingPort()
{
    ::closesocket(SOCKET(m_fd));
}

// Windows itself keeps a queue of at least a few connections whatever the backlog asked for; Wine
// passes the backlog to the host's kernel, which fills as on Linux.
FullBacklogListener::FullBacklogListener()
{
    m_listener = boundSocket(m_port);
    ::listen(SOCKET(m_listener), 0);
    const sockaddr_in address = loopback(m_port);
    for (int i = 0; i < 16 && !m_full; ++i) {
        const SOCKET client = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        m_clients.push_back(Socket(client));
        u_long nonBlocking = 1;
        ::ioctlsocket(client, FIONBIO, &nonBlocking);
        ::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(client, &writable);
        timeval wait{0, 500000};
        m_full = ::select(0, nullptr, &writable, nullptr, &wait) == 0;
    }
}

FullBacklogListener::~FullBacklogListener()
{
    for (Socket client : m_clients)
        ::closesocket(SOCKET(client));
    ::closesocket(SOCKET(m_listener));
}

} // namespace testsupport
