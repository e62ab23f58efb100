// The run lock on Windows: LockFileEx on the file, which the system lets go of when the handle
// closes, the process's end included.
#include "tracking/RunLock.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

// A lock found held is tried again this many times, this far apart: the window's probe
// (heldByAnotherProcess) holds it for a moment now and then. A file another run is removing
// cannot be opened for as long as that run still has it open.
constexpr int kProbeRetries = 5;
constexpr std::chrono::milliseconds kProbeRetryPause(4);

// Windows' locks keep everyone else from reading what they cover, and the holder's lines at the
// file's start must stay readable: the locked byte lies far past anything the file holds.
constexpr DWORD kLockOffsetHigh = 0x7fffffff;

std::wstring native(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

// The file at `path`, shared with every other run (which may read it, lock it, and remove it
// when it lets go); INVALID_HANDLE_VALUE with the system's error otherwise. No handle asks to
// delete: other programs that read the file (QFile, which does not share deletion) may open it
// while it is held.
HANDLE openLockFile(const std::wstring& path, DWORD access, DWORD disposition)
{
    return ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

class Handle
{
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    ~Handle()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE release()
    {
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return handle;
    }

private:
    HANDLE m_handle;
};

OVERLAPPED lockedRange()
{
    OVERLAPPED range = {};
    range.OffsetHigh = kLockOffsetHigh;
    return range;
}

bool tryLock(HANDLE file, DWORD flags)
{
    OVERLAPPED range = lockedRange();
    return ::LockFileEx(file, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range) != 0;
}

void unlock(HANDLE file)
{
    OVERLAPPED range = lockedRange();
    ::UnlockFileEx(file, 0, 1, 0, &range);
}

bool lockExclusively(HANDLE file)
{
    for (int attempt = 0;; ++attempt) {
        if (tryLock(file, LOCKFILE_EXCLUSIVE_LOCK))
            return true;
        if (::GetLastError() != ERROR_LOCK_VIOLATION || attempt == kProbeRetries)
            return false;
        std::this_thread::sleep_for(kProbeRetryPause);
    }
}

// Whether the file is on its way out: a run that lets go marks its file for removal while it
// still holds the lock, so a lock won on a file opened before that is a lock on a removed one.
bool removalPending(HANDLE file)
{
    FILE_STANDARD_INFO info = {};
    return ::GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info) == 0 || info.DeletePending;
}

// What QLockFile writes on Windows: the process id, the program's file name and the host.
QByteArray holderLines()
{
    wchar_t program[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    const QString name = QFileInfo(QString::fromWCharArray(program, int(length))).fileName();
    return QByteArray::number(QCoreApplication::applicationPid()) + '\n' + name.toUtf8() + '\n'
           + QSysInfo::machineHostName().toUtf8() + '\n';
}

// The process id on the file's first line, 0 when there is none.
qint64 namedHolder(HANDLE file)
{
    char bytes[32] = {};
    DWORD read = 0;
    OVERLAPPED start = {};
    if (!::ReadFile(file, bytes, sizeof bytes - 1, &read, &start) || read == 0)
        return 0;
    const QByteArray first = QByteArray(bytes, int(read)).split('\n').value(0).trimmed();
    bool number = false;
    const qint64 pid = first.toLongLong(&number);
    return number && pid > 0 ? pid : 0;
}

} // namespace

std::optional<RunLock::Taken> RunLock::look(bool lastLook)
{
    const std::wstring path = native(m_path);
    constexpr Problem::Kind cannotReplace = Problem::Kind::Unreplaceable;
    constexpr std::optional<Taken> lookAgain;

    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
            // A folder or a link: no lock of this program is ever one. A link is removed
            // itself; what it points to is never opened.
            const bool folderEntry = attributes & FILE_ATTRIBUTE_DIRECTORY;
            if (!(folderEntry ? ::RemoveDirectoryW(path.c_str()) : ::DeleteFileW(path.c_str())))
                return unavailable(cannotReplace, folderEntry ? "RemoveDirectoryW" : "DeleteFileW",
                                   int(::GetLastError()));
            return lookAgain;
        }
        // A read-only file left behind is made writable again, so that it can be taken over.
        if ((attributes & FILE_ATTRIBUTE_READONLY)
            && !::SetFileAttributesW(path.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)))
            return unavailable(cannotReplace, "SetFileAttributesW", int(::GetLastError()));
    }

    Handle file(openLockFile(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS));
    const DWORD opened = ::GetLastError();
    if (!file.valid()) {
        if (attributes == INVALID_FILE_ATTRIBUTES && opened != ERROR_ACCESS_DENIED) {
            m_problem.diskFull = opened == ERROR_DISK_FULL || opened == ERROR_HANDLE_DISK_FULL;
            return unavailable(Problem::Kind::Uncreatable, "CreateFileW", int(opened));
        }
        if (opened == ERROR_ACCESS_DENIED && !lastLook) {
            // Another run is removing it and still has it open, or it may not be written
            // here at all: the next looks tell which.
            std::this_thread::sleep_for(kProbeRetryPause);
            return lookAgain;
        }
        return unavailable(attributes == INVALID_FILE_ATTRIBUTES ? Problem::Kind::Uncreatable : cannotReplace,
                           "CreateFileW", int(opened));
    }
    const bool fresh = opened != ERROR_ALREADY_EXISTS;
    if (!lockExclusively(file.get())) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_LOCK_VIOLATION) {
            return unavailable(Problem::Kind::NoLocking, "LockFileEx", int(error));
        }
        m_holder = namedHolder(file.get());
        return Taken::HeldByOther;
    }
    if (removalPending(file.get()))
        return lookAgain; // the run that let go of it removes it as this one closes it
    // Nobody holds it: a run that ended without removing it left it (killed, a power cut
    // between making and writing it), whatever it says.
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file.get()), _O_RDWR | _O_BINARY);
    if (fd < 0)
        return unavailable(cannotReplace, "_open_osfhandle", int(ERROR_TOO_MANY_OPEN_FILES));
    file.release();
    return hold(fd, fresh);
}

RunLock::Taken RunLock::hold(int fd, bool fresh)
{
    m_fd = fd;
    // The lock is held whatever the file says; what it says only names the holder. A file that
    // cannot be written (a full disk) names nobody, and the lock still holds.
    const HANDLE file = handleOf(m_fd);
    const QByteArray lines = holderLines();
    LARGE_INTEGER start = {};
    const bool emptied = fresh || (::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && ::SetEndOfFile(file));
    DWORD written = 0;
    OVERLAPPED at = {};
    if (emptied && !::WriteFile(file, lines.constData(), DWORD(lines.size()), &written, &at)) {
        // Names nobody: the messages say less, nothing else changes.
    }
    return Taken::Yes;
}

RunLock::Taken RunLock::unavailable(Problem::Kind kind, const char* call, int error)
{
    m_problem.kind = kind;
    m_problem.folder = QDir::toNativeSeparators(QFileInfo(m_path).absolutePath());
    m_problem.file = QDir::toNativeSeparators(m_path);
    m_problem.cause = QStringLiteral("%1: %2").arg(QString::fromLatin1(call), qt_error_string(error));
    return Taken::Unavailable;
}

void RunLock::release()
{
    if (m_fd < 0)
        return;
    // Removed before the lock goes: a run that opened the file meanwhile finds, once it has the
    // lock, that the file is on its way out, and looks again. Where it cannot be removed (another
    // program has it open without sharing deletion), the next run takes it over.
    const HANDLE file = handleOf(m_fd);
    ::DeleteFileW(native(m_path).c_str());
    unlock(file);
    ::_close(m_fd);
    m_fd = -1;
}

bool RunLock::heldByAnotherProcess(const QString& lockPath)
{
    const Handle file(openLockFile(native(lockPath), GENERIC_READ, OPEN_EXISTING));
    if (!file.valid())
        return false;
    // This process's own run holds it through another handle, which a probe would take for
    // another process's lock.
    if (namedHolder(file.get()) == QCoreApplication::applicationPid())
        return false;
    // A shared lock for a moment: granted unless a run holds the file. A run that tries to take
    // it at this very moment tries again shortly (lockExclusively).
    if (tryLock(file.get(), 0)) {
        unlock(file.get());
        return false;
    }
    return ::GetLastError() == ERROR_LOCK_VIOLATION;
}
