#pragma once

// A stand-in for the user's systemd manager (org.freedesktop.systemd1) on a private bus: the
// calls of its Manager interface that the program makes about one timer, and the properties of
// that timer's unit. It records every call and keeps the timer's state as the real manager would
// after each; a call can be made to fail with an error of the manager's kind.
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

namespace testsupport {

class UserManagerDouble : public QDBusVirtualObject
{
public:
    static inline const QString kService = QStringLiteral("org.freedesktop.systemd1");
    static inline const QString kPath = QStringLiteral("/org/freedesktop/systemd1");
    static inline const QString kUnitPath = QStringLiteral("/org/freedesktop/systemd1/unit/kurierix_2dcheck_2etimer");
    // The manager's object and the timer's unit.
    static inline const QStringList kPaths{kPath, kUnitPath};

    struct Timer
    {
        bool installed = true;
        QString fileState = QStringLiteral("disabled");
        QString activeState = QStringLiteral("inactive");
        quint64 nextElapseUSec = 0;
        // What a start gives the next elapse.
        quint64 nextElapseOnStart = 0;
    };

    UserManagerDouble();

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

    void setTimer(const Timer& timer);
    Timer timer() const;
    // The next call of `member` answers with this error.
    void failNext(const QString& member, const QString& errorName, const QString& message);
    // The Manager calls so far, as "Member arg arg …" (lists joined with ",").
    QStringList calls() const;
    void clearCalls();

private:
    QDBusMessage answer(const QDBusMessage& message);

    mutable QMutex m_mutex;
    Timer m_timer;
    QStringList m_calls;
    QString m_failMember;
    QString m_failName;
    QString m_failMessage;
};

} // namespace testsupport
