// The run lock on POSIX systems: flock() on the file, /proc/locks for files this user may not open.
#include "tracking/RunLock.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

// A lock found held is tried again this many times, this far apart: the window's probe
// (heldByAnotherProcess) holds it for a moment now and then.
constexpr int kProbeRetries = 5;
constexpr std::chrono::milliseconds kProbeRetryPause(4);

class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
        return *this;
    }
    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `fd` is still the file at `path`: a run that lets go removes its file while it still
// holds the lock, so a lock won on a file just opened may be a lock on a removed one.
bool isEntry(int fd, const QByteArray& path)
{
    struct stat open = {};
    struct stat entry = {};
    return ::fstat(fd, &open) == 0 && ::lstat(path.constData(), &entry) == 0 && sameFile(open, entry);
}

bool lockExclusively(int fd)
{
    for (int attempt = 0;; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK || attempt == kProbeRetries)
            return false;
        std::this_thread::sleep_for(kProbeRetryPause);
    }
}

// What QLockFile writes: the process id, the program's file name, the host, the machine and the
// boot. An older copy of the program reads a lock as held while that process runs that program.
QByteArray holderLines()
{
    const QString program = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).fileName();
    return QByteArray::number(::getpid()) + '\n' + program.toUtf8() + '\n' + QSysInfo::machineHostName().toUtf8() + '\n'
           + QSysInfo::machineUniqueId() + '\n' + QSysInfo::bootUniqueId() + '\n';
}

// The process id on the file's first line, 0 when there is none.
qint64 namedHolder(int fd)
{
    char bytes[32] = {};
    const ssize_t read = ::pread(fd, bytes, sizeof bytes - 1, 0);
    if (read <= 0)
        return 0;
    const QByteArray first = QByteArray(bytes, read).split('\n').value(0);
    bool number = false;
    const qint64 pid = first.toLongLong(&number);
    return number && pid > 0 ? pid : 0;
}

// Whether a process holds a lock on the file `entry` describes, as /proc/locks lists them; for a
// file this process may not even open. Its lines read "1: FLOCK ADVISORY WRITE <pid>
// <major>:<minor>:<inode> 0 EOF". Only the inode is compared: some file systems (btrfs) give
// stat() another device number than the lock table. `holder` receives the locking process.
bool lockedInTable(const struct stat& entry, qint64& holder)
{
    QFile table(QStringLiteral("/proc/locks"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray inode = ':' + QByteArray::number(quint64(entry.st_ino));
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        for (qsizetype i = 1; i < fields.size(); ++i) {
            if (fields[i].count(':') == 2 && fields[i].endsWith(inode)) {
                holder = fields[i - 1].toLongLong();
                return true;
            }
        }
    }
    return false;
}

// Removes what stands at `path` if it is still `entry`. Runs that find the same unusable entry
// remove it one at a time, each under the folder's own lock, so that none removes what another
// put there meanwhile. False, with errno set, when it could not be removed.
bool removeEntry(const QByteArray& path, const struct stat& entry)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(path)).absolutePath());
    const Descriptor guard(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (guard.get() >= 0) {
        while (::flock(guard.get(), LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    struct stat now = {};
    if (::lstat(path.constData(), &now) != 0)
        return errno == ENOENT;
    if (!sameFile(now, entry))
        return true; // someone else removed it; look again
    return (S_ISDIR(now.st_mode) ? ::rmdir(path.constData()) : ::unlink(path.constData())) == 0;
}

} // namespace

std::optional<RunLock::Taken> RunLock::look(bool /*lastLook*/)
{
    const QByteArray path = QFile::encodeName(m_path);
    constexpr Problem::Kind cannotReplace = Problem::Kind::Unreplaceable;
    constexpr std::optional<Taken> lookAgain;

    Descriptor created(::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (created.get() >= 0) {
        if (::flock(created.get(), LOCK_EX | LOCK_NB) == 0 && isEntry(created.get(), path))
            return hold(created.release(), true);
        return lookAgain; // another run got at the new file first
    }
    if (errno != EEXIST) {
        const int error = errno;
        m_problem.diskFull = error == ENOSPC || error == EDQUOT;
        return unavailable(Problem::Kind::Uncreatable, "open", error);
    }

    struct stat entry = {};
    if (::lstat(path.constData(), &entry) != 0) {
        if (errno == ENOENT)
            return lookAgain;
        return unavailable(cannotReplace, "lstat", errno);
    }
    if (!S_ISREG(entry.st_mode)) {
        // A folder, a link, a pipe: no lock of this program is ever one. A link is removed
        // itself; what it points to is never opened.
        if (!removeEntry(path, entry))
            return unavailable(cannotReplace, S_ISDIR(entry.st_mode) ? "rmdir" : "unlink", errno);
        return lookAgain;
    }

    bool writable = true;
    Descriptor existing(::open(path.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (existing.get() < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        writable = false;
        existing = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    }
    if (existing.get() < 0) {
        if (errno == ENOENT || errno == ELOOP)
            return lookAgain; // gone, or replaced by a link, since it was looked at
        if (errno != EACCES && errno != EPERM)
            return unavailable(cannotReplace, "open", errno);
        // Another user's file that this one may not even read: held only if the system
        // lists a lock on it.
        if (lockedInTable(entry, m_holder))
            return Taken::HeldByOther;
        if (!removeEntry(path, entry))
            return unavailable(cannotReplace, "unlink", errno);
        return lookAgain;
    }
    struct stat opened = {};
    if (::fstat(existing.get(), &opened) != 0 || !sameFile(opened, entry))
        return lookAgain;
    if (!lockExclusively(existing.get())) {
        if (errno != EWOULDBLOCK) {
            return unavailable(Problem::Kind::NoLocking, "flock", errno);
        }
        m_holder = namedHolder(existing.get());
        return Taken::HeldByOther;
    }
    if (!isEntry(existing.get(), path))
        return lookAgain;
    // Nobody holds it: a run that ended without removing it left it (killed, a power cut
    // between making and writing it), whatever it says.
    if (writable)
        return hold(existing.release(), false);
    // Another user's file, which this one may only read: replaced while its lock is held, so
    // that no other run takes it meanwhile.
    if (::unlink(path.constData()) != 0)
        return unavailable(cannotReplace, "unlink", errno);
    return lookAgain;
}

RunLock::Taken RunLock::hold(int fd, bool fresh)
{
    m_fd = fd;
    // The lock is held whatever the file says; what it says only names the holder. A file that
    // cannot be written (a full disk) names nobody, and the lock still holds.
    const QByteArray lines = holderLines();
    const bool emptied = fresh || ::ftruncate(m_fd, 0) == 0;
    if (emptied && ::pwrite(m_fd, lines.constData(), std::size_t(lines.size()), 0) != lines.size()) {
        // Names nobody, or only part of the holder: the messages say less, nothing else changes.
    }
    return Taken::Yes;
}

RunLock::Taken RunLock::unavailable(Problem::Kind kind, const char* call, int error)
{
    m_problem.kind = kind;
    m_problem.folder = QFileInfo(m_path).absolutePath();
    m_problem.file = m_path;
    m_problem.cause =
        QStringLiteral("%1: %2").arg(QString::fromLatin1(call), QString::fromLocal8Bit(std::strerror(error)));
    return Taken::Unavailable;
}

void RunLock::release()
{
    if (m_fd < 0)
        return;
    // Removed before the lock goes: a run that opened the file meanwhile finds, once it has the
    // lock, that the file is no longer the lock's, and looks again. Where the folder keeps the
    // file (read-only, the lock was taken over in place), the next run takes it over again.
    const QByteArray path = QFile::encodeName(m_path);
    if (isEntry(m_fd, path))
        ::unlink(path.constData());
    ::close(m_fd);
    m_fd = -1;
}

bool RunLock::heldByAnotherProcess(const QString& lockPath)
{
    const Descriptor fd(
        ::open(QFile::encodeName(lockPath).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat entry = {};
    if (fd.get() < 0 || ::fstat(fd.get(), &entry) != 0 || !S_ISREG(entry.st_mode))
        return false;
    // This process's own run holds it through another descriptor, which a probe would take for
    // another process's lock.
    if (namedHolder(fd.get()) == QCoreApplication::applicationPid())
        return false;
    // A shared lock for a moment: granted unless a run holds the file. A run that tries to take
    // it at this very moment tries again shortly (lockExclusively).
    if (::flock(fd.get(), LOCK_SH | LOCK_NB) == 0) {
        ::flock(fd.get(), LOCK_UN);
        return false;
    }
    return errno == EWOULDBLOCK;
}
