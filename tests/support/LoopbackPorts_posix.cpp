#include "LoopbackSockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport::sockets {

namespace {

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

} // namespace

Socket bound(int& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

void listenBriefly(Socket socket)
{
    ::listen(int(socket), 0);
}

Socket connecting(int port)
{
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    const sockaddr_in address = loopback(port);
    ::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return client;
}

bool stillConnecting(Socket socket, int milliseconds)
{
    pollfd wait{int(socket), POLLOUT, 0};
    return ::poll(&wait, 1, milliseconds) == 0;
}

void close(Socket socket)
{
    ::close(int(socket));
}

} // namespace testsupport::sockets
