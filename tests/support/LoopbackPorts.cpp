#include "LoopbackPorts.h"

#include "LoopbackSockets.h"

namespace testsupport {

RefusingPort::RefusingPort()
{
    m_fd = sockets::bound(m_port);
}

RefusingPort::~RefusingPort()
{
    sockets::close(m_fd);
}

// Windows itself keeps a queue of at least a few connections whatever the backlog asked for; Wine
// passes the backlog to the host's kernel, which fills as on Linux.
FullBacklogListener::FullBacklogListener()
{
    m_listener = sockets::bound(m_port);
    sockets::listenBriefly(m_listener);
    // Connect until one connection no longer completes: from then on the queue is full.
    for (int i = 0; i < 16 && !m_full; ++i) {
        const Socket client = sockets::connecting(m_port);
        m_clients.push_back(client);
        m_full = sockets::stillConnecting(client, 500);
    }
}

FullBacklogListener::~FullBacklogListener()
{
    for (Socket client : m_clients)
        sockets::close(client);
    sockets::close(m_listener);
}

} // namespace testsupport
