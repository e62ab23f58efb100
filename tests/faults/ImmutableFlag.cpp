#include "ImmutableFlag.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

ImmutableFlag::ImmutableFlag(QString path) : m_path(std::move(path))
{
    m_set = change(true);
}

ImmutableFlag::~ImmutableFlag()
{
    if (m_set)
        change(false);
}

bool ImmutableFlag::change(bool immutable)
{
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_why = QStringLiteral("open %1: %2").arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    if (!done)
        m_why =
            QStringLiteral("immutable attribute on %1: %2").arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
    ::close(fd);
    return done;
}
