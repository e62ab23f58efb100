#include "bench/harness/SiteDoubleProcess.h"

#include <QUrl>

SiteDoubleProcess::~SiteDoubleProcess()
{
    stop();
}

bool SiteDoubleProcess::start(const QString& executable, const QString& fixture, QString* error)
{
    m_process.setProgram(executable);
    m_process.setArguments({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--fixture"), fixture});
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(10000)) {
        *error = QStringLiteral("%1 did not start: %2").arg(executable, m_process.errorString());
        return false;
    }
    // The double prints its address once it listens.
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(10000)) {
            *error = QStringLiteral("%1 printed no address").arg(executable);
            stop();
            return false;
        }
    }
    m_url = QString::fromUtf8(m_process.readLine()).trimmed();
    return true;
}

void SiteDoubleProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString SiteDoubleProcess::hostPort() const
{
    const QUrl url(m_url);
    return QStringLiteral("%1:%2").arg(url.host()).arg(url.port());
}

pid_t SiteDoubleProcess::pid() const
{
    return static_cast<pid_t>(m_process.processId());
}
