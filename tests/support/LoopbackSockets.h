#pragma once

#include "LoopbackPorts.h"

// The few socket calls the loopback ports are made of, one file for each system's sockets
// (LoopbackPorts_posix.cpp, LoopbackPorts_win.cpp); LoopbackPorts.cpp puts them together.
namespace testsupport::sockets {

// A TCP socket bound to a free port of 127.0.0.1; returns the port through `port`.
Socket bound(int& port);
// Listens with the smallest accept queue the system gives.
void listenBriefly(Socket socket);
// A non-blocking TCP socket whose connect to `port` of 127.0.0.1 has begun.
Socket connecting(int port);
// Whether the connect of `socket` has neither completed nor failed after `milliseconds`.
bool stillConnecting(Socket socket, int milliseconds);
void close(Socket socket);

} // namespace testsupport::sockets
