#include "LockHolder.h"

#include "support/TestSupport.h"

LockHolder::~LockHolder()
{
    release();
}

bool LockHolder::lock(const QString& databasePath, Mode mode)
{
    release();
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(
        QStringLiteral(KURIERIX_FAULTS_LOCKHOLDER),
        {databasePath, mode == Mode::Exclusive ? QStringLiteral("exclusive") : QStringLiteral("immediate")});
    const bool locked =
        testsupport::waitUntil([this] { return m_process.state() == QProcess::NotRunning || m_process.canReadLine(); });
    if (locked && m_process.state() == QProcess::Running && m_process.readLine().trimmed() == "locked")
        return true;
    m_error = QString::fromLocal8Bit(m_process.readAllStandardError()) + m_process.errorString();
    release();
    return false;
}

void LockHolder::release()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("\n");
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}
