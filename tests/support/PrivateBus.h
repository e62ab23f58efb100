#pragma once

// A session bus of the test's own (a dbus-daemon without service folders, so that no
// notification daemon of the machine is started in place of the stand-in) with a stand-in for the
// desktop's notification service that records every call and answers as the test tells it to.
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <memory>

class QProcess;
class QTemporaryDir;
class QThread;

namespace testsupport {

class NotificationService : public QDBusVirtualObject
{
public:
    static inline const QString kService = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

    enum class Answer { Reply, Error, Silence };

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

    void reset(Answer answer);
    // The calls received so far, of `member` only when given.
    QList<QDBusMessage> calls(const QString& member = {}) const;

private:
    mutable QMutex m_mutex;
    QList<QDBusMessage> m_calls;
    Answer m_answer = Answer::Reply;
};

class PrivateBus
{
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Starts the daemon and registers the service on it (in a thread of its own, so that it
    // answers while a caller in the test's thread blocks); false with `error` set when it cannot.
    bool start(QString* error);
    // Registers another stand-in, answering at each of `paths` under the name `service`, in the
    // same thread; it must outlive the bus.
    bool serve(const QString& service, const QStringList& paths, QDBusVirtualObject* object, QString* error);
    // The bus address, for QDBusConnection::connectToBus or DBUS_SESSION_BUS_ADDRESS.
    const QString& address() const { return m_address; }
    NotificationService& service() { return *m_service; }
    // The service's own connection, registered under this name.
    static inline const QString kServiceConnection = QStringLiteral("test-notification-service");
    // An address where no bus listens.
    QString deadAddress() const;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_daemon;
    std::unique_ptr<NotificationService> m_service;
    std::unique_ptr<QThread> m_serviceThread;
    QString m_address;
};

} // namespace testsupport
