// The run lock as each system's file locks make it: held while a live process holds it, by this
// process or another, and taken over once nobody does, whatever was left at its path.
#include "tracking/RunLock.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

namespace {

constexpr char kHoldVariable[] = "KURIERIX_TEST_HOLD_RUN_LOCK";

// Another process of this program holding the lock of `database`, until it is killed.
class OtherHolder
{
public:
    explicit OtherHolder(const QString& database)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kHoldVariable), database);
        m_process.setProcessEnvironment(environment);
        m_process.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--gtest_also_run_disabled_tests"),
                         QStringLiteral("--gtest_filter=RunLockHolder.DISABLED_HoldsUntilKilled")});
    }
    ~OtherHolder()
    {
        m_process.kill();
        m_process.waitForFinished(10'000);
    }
    bool holding()
    {
        return testsupport::waitUntil([&] {
                   m_process.waitForReadyRead(0);
                   m_output += m_process.readAllStandardOutput();
                   return m_output.contains("held") || m_process.state() == QProcess::NotRunning;
               })
               && m_process.state() == QProcess::Running;
    }
    qint64 pid() const { return m_process.processId(); }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(10'000);
    }

private:
    QProcess m_process;
    QByteArray m_output;
};

class RunLockTest : public ::testing::Test
{
protected:
    std::string database() const { return QDir(m_dir.path()).filePath(QStringLiteral("database.db")).toStdString(); }
    QString lockPath() const { return RunLock::pathFor(database()); }
    void leave(const QByteArray& bytes) const
    {
        QFile file(lockPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QTemporaryDir m_dir;
};

TEST_F(RunLockTest, HeldByOneRunOfThisProcessAtATimeAndGoneOnRelease)
{
    RunLock first(database());
    ASSERT_EQ(first.take(), RunLock::Taken::Yes) << first.problem().cause.toStdString();
    ASSERT_TRUE(QFileInfo::exists(lockPath()));
    QFile written(lockPath());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readLine().trimmed().toLongLong(), QCoreApplication::applicationPid());
    written.close();

    RunLock second(database());
    EXPECT_EQ(second.take(), RunLock::Taken::HeldByOther);
    EXPECT_EQ(second.holder(), QCoreApplication::applicationPid());
    EXPECT_EQ(first.take(), RunLock::Taken::HeldByOther); // taking it twice is not holding it twice
    // This process's own run is no other process's.
    EXPECT_FALSE(RunLock::heldByAnotherProcess(lockPath()));

    first.release();
    EXPECT_FALSE(QFileInfo::exists(lockPath()));
    EXPECT_EQ(second.take(), RunLock::Taken::Yes);
    second.release();
    EXPECT_FALSE(QFileInfo::exists(lockPath()));
}

TEST_F(RunLockTest, AnotherProcessHoldsItUntilItIsKilledThenItIsTakenOver)
{
    OtherHolder other(QString::fromStdString(database()));
    ASSERT_TRUE(other.holding());

    RunLock mine(database());
    EXPECT_EQ(mine.take(), RunLock::Taken::HeldByOther);
    EXPECT_EQ(mine.holder(), other.pid());
    EXPECT_TRUE(RunLock::heldByAnotherProcess(lockPath()));

    // Killed, it removes nothing: the file stays, and holds nobody up.
    other.kill();
    EXPECT_TRUE(QFileInfo::exists(lockPath()));
    EXPECT_TRUE(testsupport::waitUntil([&] { return !RunLock::heldByAnotherProcess(lockPath()); }));
    EXPECT_EQ(mine.take(), RunLock::Taken::Yes) << mine.problem().cause.toStdString();
    QFile written(lockPath());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readLine().trimmed().toLongLong(), QCoreApplication::applicationPid());
}

TEST_F(RunLockTest, WhateverNobodyHoldsAtItsPathIsTakenOver)
{
    const auto takenOver = [&](const char* what) {
        RunLock lock(database());
        EXPECT_EQ(lock.take(), RunLock::Taken::Yes) << what << ": " << lock.problem().cause.toStdString();
        EXPECT_FALSE(RunLock::heldByAnotherProcess(lockPath())) << what;
        lock.release();
        EXPECT_FALSE(QFileInfo::exists(lockPath())) << what;
    };
    leave("");
    takenOver("an empty file");
    leave("not a lock at all\n\xff\xfe");
    takenOver("another program's bytes");
    leave("1\nkurierix\nsomewhere\n"); // a process id that is surely not this program
    takenOver("a file naming a process that holds nothing");
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QFileInfo(lockPath()).fileName()));
    takenOver("a folder");
    leave("read-only leftover");
    ASSERT_TRUE(QFile::setPermissions(lockPath(), QFileDevice::ReadOwner));
    takenOver("a read-only file");
}

// Not a test of its own (disabled): the process OtherHolder starts.
TEST(RunLockHolder, DISABLED_HoldsUntilKilled)
{
    const QString database = qEnvironmentVariable(kHoldVariable);
    ASSERT_FALSE(database.isEmpty()) << kHoldVariable << " names the database";
    RunLock lock(database.toStdString());
    ASSERT_EQ(lock.take(), RunLock::Taken::Yes) << lock.problem().cause.toStdString();
    std::puts("held");
    std::fflush(stdout);
    testsupport::waitUntil([] { return false; }, std::chrono::minutes(5));
}

} // namespace
