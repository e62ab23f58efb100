#include "notify/BusSocket.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Waits for `events` on `fd` until the deadline; false when it passed or the wait failed.
bool waitFor(int fd, short events, QDeadlineTimer deadline)
{
    for (;;) {
        pollfd one{fd, events, 0};
        const int result = poll(&one, 1, int(qMax<qint64>(0, deadline.remainingTime())));
        if (result > 0)
            return true;
        if (result == 0 || errno != EINTR)
            return false;
    }
}

} // namespace

BusSocket::~BusSocket()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool BusSocket::connectUnix(const QByteArray& name, bool abstract, QDeadlineTimer deadline, QString* why)
{
    if (m_fd >= 0)
        ::close(m_fd);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const qsizetype offset = abstract ? 1 : 0;
    if (name.isEmpty() || name.size() + offset >= qsizetype(sizeof(address.sun_path))) {
        *why = QStringLiteral("Failed to connect to socket %1: the name is empty or too long")
                   .arg(QString::fromLocal8Bit(name));
        return false;
    }
    std::memcpy(address.sun_path + offset, name.constData(), size_t(name.size()));
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + offset + name.size() + (abstract ? 0 : 1));
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0 || (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 && errno != EINPROGRESS)
        || (errno == EINPROGRESS && !waitFor(m_fd, POLLOUT, deadline))) {
        *why = QStringLiteral("Failed to connect to socket %1: %2")
                   .arg(QString::fromLocal8Bit(name), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    int error = 0;
    socklen_t errorLength = sizeof(error);
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &errorLength) != 0 || error != 0) {
        *why =
            QStringLiteral("Failed to connect to socket %1: %2")
                .arg(QString::fromLocal8Bit(name), QString::fromLocal8Bit(std::strerror(error != 0 ? error : errno)));
        return false;
    }
    return true;
}

bool BusSocket::write(const QByteArray& data, QDeadlineTimer deadline)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t sent = ::send(m_fd, data.constData() + done, size_t(data.size() - done), MSG_NOSIGNAL);
        if (sent > 0) {
            done += sent;
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(m_fd, POLLOUT, deadline))
            continue;
        return false;
    }
    return true;
}

bool BusSocket::readSome(QByteArray& into, QDeadlineTimer deadline)
{
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::recv(m_fd, buffer, sizeof(buffer), 0);
        if (got > 0) {
            into.append(buffer, got);
            return true;
        }
        if (got == 0)
            return false;
        if (errno == EINTR)
            continue;
        if ((errno != EAGAIN && errno != EWOULDBLOCK) || !waitFor(m_fd, POLLIN, deadline))
            return false;
    }
}

QByteArray BusSocket::userId()
{
    return QByteArray::number(qulonglong(::getuid()));
}
