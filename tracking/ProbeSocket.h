#pragma once

#include <chrono>
#include <string>
#include <vector>

// The few socket calls of the reachability probe: the address calls once for both systems
// (ProbeSocket.cpp), the connect once for each system's sockets (ProbeSocket_posix.cpp,
// ProbeSocket_win.cpp).
namespace probesocket {

// Whether `text` is a numeric IPv4 or IPv6 address (a scope such as "%eth0" included); never
// asks a name server.
bool isNumeric(const std::string& text);

// Whether the numeric address `text` accepts a TCP connection on `port` before `deadline`: a
// refused connection fails early, a silent host runs into the deadline. Nothing is sent.
bool connects(const std::string& text, int port, std::chrono::steady_clock::time_point deadline);

// The addresses of a host name as numeric texts, each once, as the system's resolver gives them.
std::vector<std::string> resolve(const std::string& host);

} // namespace probesocket
