#include "support/PrivateBus.h"

#include <QDBusConnection>
#include <QFile>
#include <QMutexLocker>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

namespace testsupport {

bool NotificationService::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    QMutexLocker lock(&m_mutex);
    m_calls += message;
    if (m_answer == Answer::Error)
        connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.Failed"),
                                                 QStringLiteral("refused by the test")));
    else if (m_answer == Answer::Reply && message.member() == u"GetCapabilities")
        connection.send(message.createReply(QStringList{QStringLiteral("body"), QStringLiteral("body-markup")}));
    else if (m_answer == Answer::Reply)
        connection.send(message.createReply(uint(m_calls.size())));
    return true;
}

void NotificationService::reset(Answer answer)
{
    QMutexLocker lock(&m_mutex);
    m_calls.clear();
    m_answer = answer;
}

QList<QDBusMessage> NotificationService::calls(const QString& member) const
{
    QMutexLocker lock(&m_mutex);
    QList<QDBusMessage> found;
    for (const QDBusMessage& call : m_calls)
        if (member.isEmpty() || call.member() == member)
            found += call;
    return found;
}

PrivateBus::PrivateBus() = default;

PrivateBus::~PrivateBus()
{
    QDBusConnection::disconnectFromBus(kServiceConnection);
    if (m_serviceThread) {
        m_serviceThread->quit();
        m_serviceThread->wait();
    }
    m_service.reset();
    if (m_daemon) {
        m_daemon->kill();
        m_daemon->waitForFinished();
    }
}

bool PrivateBus::start(QString* error)
{
    m_dir = std::make_unique<QTemporaryDir>();
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) {
        *error = QStringLiteral("dbus-daemon is missing: run scripts/setup");
        return false;
    }
    QFile config(m_dir->filePath(QStringLiteral("bus.conf")));
    if (!config.open(QIODevice::WriteOnly)) {
        *error = config.errorString();
        return false;
    }
    config.write(QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
                     .arg(m_dir->filePath(QStringLiteral("bus")))
                     .toUtf8());
    config.close();

    m_daemon = std::make_unique<QProcess>();
    m_daemon->start(daemon, {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                             QStringLiteral("--print-address")});
    while (!m_daemon->canReadLine() && m_daemon->waitForReadyRead(10000)) {
    }
    m_address = QString::fromUtf8(m_daemon->readLine()).trimmed();
    if (m_address.isEmpty()) {
        *error = QStringLiteral("dbus-daemon gave no address: ") + QString::fromUtf8(m_daemon->readAllStandardError());
        return false;
    }

    m_service = std::make_unique<NotificationService>();
    m_serviceThread = std::make_unique<QThread>();
    m_service->moveToThread(m_serviceThread.get());
    m_serviceThread->start();
    QDBusConnection serviceSide = QDBusConnection::connectToBus(m_address, kServiceConnection);
    if (!serviceSide.registerVirtualObject(NotificationService::kPath, m_service.get())
        || !serviceSide.registerService(NotificationService::kService)) {
        *error =
            QStringLiteral("the notification service could not be registered: ") + serviceSide.lastError().message();
        return false;
    }
    return true;
}

bool PrivateBus::serve(const QString& service, const QStringList& paths, QDBusVirtualObject* object, QString* error)
{
    object->moveToThread(m_serviceThread.get());
    QDBusConnection serviceSide(kServiceConnection);
    for (const QString& path : paths) {
        if (!serviceSide.registerVirtualObject(path, object)) {
            *error = QStringLiteral("%1 could not be registered: %2").arg(path, serviceSide.lastError().message());
            return false;
        }
    }
    if (!serviceSide.registerService(service)) {
        *error = QStringLiteral("%1 could not be registered: %2").arg(service, serviceSide.lastError().message());
        return false;
    }
    return true;
}

QString PrivateBus::deadAddress() const
{
    return QStringLiteral("unix:path=") + m_dir->filePath(QStringLiteral("no-bus"));
}

} // namespace testsupport
