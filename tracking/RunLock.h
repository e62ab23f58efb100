#pragma once

#include <QString>

#include <optional>
#include <string>

// The lock beside database.db that a check run holds for its whole length, whichever process
// runs it: the window's run and a run without a window (the background timer's) never work on
// one file at the same time.
//
// The lock is the system's lock on the file (flock, or LockFileEx on Windows: RunLock_posix.cpp
// and RunLock_win.cpp), which the system drops when its process ends however it ends: the lock
// is held while, and only while, a live process of this program holds it open. The file also
// names its process (id, program, host, as QLockFile writes them, so that an older copy of the
// program that locked with QLockFile sees it as held), but only for the messages: what the file
// says never makes it held. Whatever a run finds at the lock's path and nobody holds (a file left
// by a killed run or a power cut, empty, foreign, unreadable, a link, a folder) it takes over,
// replacing it where it cannot use it as it is. Never by age, however long a run takes.
class RunLock
{
public:
    enum class Taken {
        Yes,
        HeldByOther, // a live process holds it (this one too, through another RunLock)
        Unavailable, // no lock can be had here: problem() says why
    };

    // What keeps a run from its lock, for the user to act on.
    struct Problem
    {
        enum class Kind {
            Unreplaceable, // a file left by an interrupted run, or a damaged one, cannot be replaced
            Uncreatable,   // no file can be made in the folder
            NoLocking,     // the folder's file system locks no files
        };
        Kind kind = Kind::Unreplaceable;
        QString folder;
        QString file;
        bool diskFull = false; // Uncreatable: for want of space
        QString cause;         // the failed call and the system's words: "open: Permission denied"
    };

    explicit RunLock(const std::string& databasePath);
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    Taken take();
    // Removes the file and lets go of the lock.
    void release();
    const QString& path() const { return m_path; }
    // After HeldByOther: the holder's process id as the file gives it, 0 when it gives none.
    qint64 holder() const { return m_holder; }
    // After Unavailable: why.
    const Problem& problem() const { return m_problem; }

    // "<database>.kurierix-lock": not a name SQLite uses for files of its own (those end in
    // "-journal", "-wal", "-shm", or ".lock" with its dot-file locking).
    static QString pathFor(const std::string& databasePath);
    // Whether a process other than this one holds the lock at `lockPath`. Cheap: one small file
    // read and a probe of the lock that takes nothing another process would need.
    static bool heldByAnotherProcess(const QString& lockPath);

private:
    // One look at what stands at the lock's path, through the system's own calls (RunLock_posix.cpp,
    // RunLock_win.cpp): what take() answers, or nothing when what it found changed under it and
    // another look should tell. `lastLook`: no other look follows this one.
    std::optional<Taken> look(bool lastLook);
    Taken hold(int fd, bool fresh);
    Taken unavailable(Problem::Kind kind, const char* call, int error);

    QString m_path;
    int m_fd = -1;
    qint64 m_holder = 0;
    Problem m_problem;
};
