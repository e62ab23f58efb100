#pragma once

#include <QLockFile>
#include <QString>

#include <string>

// The lock beside database.db that a check run holds for its whole length, whichever process
// runs it: the window's run and a run without a window (the background timer's) never work on
// one file at the same time. A lock left by a killed process is stale by its process id and is
// taken over; it never goes stale by age, however long a run takes.
class RunLock
{
public:
    enum class Taken {
        Yes,
        HeldByOther,  // another process, or another lock of this one, holds it
        NotAvailable, // the lock file cannot be made here (a read-only folder): run without it
    };

    explicit RunLock(const std::string& databasePath);
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    Taken take();
    void release();
    const QString& path() const { return m_path; }
    // The process that holds the lock, 0 when unknown.
    qint64 holder() const;

    // "<database>.kurierix-lock": not a name SQLite uses for files of its own (those end in
    // "-journal", "-wal", "-shm", or ".lock" with its dot-file locking).
    static QString pathFor(const std::string& databasePath);
    // Whether a live process other than this one holds the lock at `lockPath`. Cheap: one small
    // file read and a signal-0 probe.
    static bool heldByAnotherProcess(const QString& lockPath);

private:
    QString m_path;
    QLockFile m_lock;
};
