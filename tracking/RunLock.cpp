#include "tracking/RunLock.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cerrno>
#include <csignal>

namespace {

// The process id the lock file names, or 0 when it names none.
qint64 holderOf(const QLockFile& lock)
{
    qint64 pid = 0;
    QString host;
    QString application;
    return lock.getLockInfo(&pid, &host, &application) ? pid : 0;
}

} // namespace

RunLock::RunLock(const std::string& databasePath) : m_path(pathFor(databasePath)), m_lock(m_path)
{
    m_lock.setStaleLockTime(0);
}

RunLock::Taken RunLock::take()
{
    if (m_lock.tryLock(0))
        return Taken::Yes;
    return m_lock.error() == QLockFile::LockFailedError ? Taken::HeldByOther : Taken::NotAvailable;
}

void RunLock::release()
{
    m_lock.unlock();
}

qint64 RunLock::holder() const
{
    return holderOf(m_lock);
}

QString RunLock::pathFor(const std::string& databasePath)
{
    return QFileInfo(QString::fromStdString(databasePath)).absoluteFilePath() + QStringLiteral(".kurierix-lock");
}

bool RunLock::heldByAnotherProcess(const QString& lockPath)
{
    if (!QFileInfo::exists(lockPath))
        return false;
    const qint64 pid = holderOf(QLockFile(lockPath));
    if (pid <= 0)
        return false;
    if (pid == QCoreApplication::applicationPid())
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}
