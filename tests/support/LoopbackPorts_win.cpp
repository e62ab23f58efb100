#include "LoopbackSockets.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace testsupport::sockets {

namespace {

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    return address;
}

} // namespace

Socket bound(int& port)
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

void listenBriefly(Socket socket)
{
    ::listen(SOCKET(socket), 0);
}

Socket connecting(int port)
{
    const SOCKET client = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long nonBlocking = 1;
    ::ioctlsocket(client, FIONBIO, &nonBlocking);
    const sockaddr_in address = loopback(port);
    ::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return Socket(client);
}

bool stillConnecting(Socket socket, int milliseconds)
{
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(SOCKET(socket), &writable);
    timeval wait{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return ::select(0, nullptr, &writable, nullptr, &wait) == 0;
}

void close(Socket socket)
{
    ::closesocket(SOCKET(socket));
}

} // namespace testsupport::sockets
