#pragma once

#include <cstdint>
#include <vector>

namespace testsupport {

// A socket of the system's own kind (a descriptor, or Winsock's SOCKET): LoopbackPorts_posix.cpp
// and LoopbackPorts_win.cpp.
using Socket = std::intptr_t;

// A port of 127.0.0.1 that is bound but not listening: a connect is refused at once.
class RefusingPort
{
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    int port() const { return m_port; }

private:
    Socket m_fd = -1;
    int m_port = 0;
};

// A listener on 127.0.0.1 that never accepts and whose accept queue is full: the kernel drops
// further SYNs, so a connect neither succeeds nor fails and can only time out.
class FullBacklogListener
{
public:
    FullBacklogListener();
    ~FullBacklogListener();
    FullBacklogListener(const FullBacklogListener&) = delete;
    FullBacklogListener& operator=(const FullBacklogListener&) = delete;
    int port() const { return m_port; }
    // False when the queue could not be filled (then a connect might still succeed).
    bool full() const { return m_full; }

private:
    Socket m_listener = -1;
    int m_port = 0;
    bool m_full = false;
    std::vector<Socket> m_clients;
};

} // namespace testsupport
