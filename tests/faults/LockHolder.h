#pragma once

#include <QProcess>
#include <QString>

// Another process with the database open in a write transaction (faults_lockholder), for as
// long as the object lives or until release().
class LockHolder
{
public:
    enum class Mode { Immediate, Exclusive };

    LockHolder() = default;
    ~LockHolder();
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    // Returns once the other process holds the lock; false (with the reason in error()) when it
    // could not take it.
    bool lock(const QString& databasePath, Mode mode);
    // Ends the other process's transaction without changing anything and waits for it to exit.
    void release();
    bool holding() const { return m_process.state() != QProcess::NotRunning; }
    const QString& error() const { return m_error; }

private:
    QProcess m_process;
    QString m_error;
};
