#pragma once

// The address calls (getaddrinfo and its kin) are the same on both systems, only declared in other
// headers; the rest of the probe's socket calls differ, and each system's file gives them
// (ProbeSocket_posix.cpp, ProbeSocket_win.cpp) to ProbeSocket.cpp, which holds what is shared.
#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

#include <chrono>

namespace probesocket {

// Whether the system's sockets can be used at all (Winsock started); always so on POSIX.
bool socketsReady();

// A connect to `address` that gives up at `deadline`; a refused connection fails early, a
// silent host runs into the deadline.
bool connectsTo(const addrinfo& address, std::chrono::steady_clock::time_point deadline);

} // namespace probesocket
