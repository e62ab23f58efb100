#include "support/UserManagerDouble.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QMutexLocker>
#include <QStringList>
#include <QVariantMap>

namespace {

// One entry of the changes EnableUnitFiles and DisableUnitFiles report: a(sss).
struct UnitFileChange
{
    QString type;
    QString file;
    QString destination;
};

QDBusArgument& operator<<(QDBusArgument& argument, const UnitFileChange& change)
{
    argument.beginStructure();
    argument << change.type << change.file << change.destination;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, UnitFileChange& change)
{
    argument.beginStructure();
    argument >> change.type >> change.file >> change.destination;
    argument.endStructure();
    return argument;
}

QString argumentText(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<QStringList>())
        return value.toStringList().join(u',');
    return value.toString();
}

} // namespace

Q_DECLARE_METATYPE(UnitFileChange)

namespace testsupport {

UserManagerDouble::UserManagerDouble()
{
    qDBusRegisterMetaType<UnitFileChange>();
    qDBusRegisterMetaType<QList<UnitFileChange>>();
}

void UserManagerDouble::setTimer(const Timer& timer)
{
    QMutexLocker lock(&m_mutex);
    m_timer = timer;
}

UserManagerDouble::Timer UserManagerDouble::timer() const
{
    QMutexLocker lock(&m_mutex);
    return m_timer;
}

void UserManagerDouble::failNext(const QString& member, const QString& errorName, const QString& message)
{
    QMutexLocker lock(&m_mutex);
    m_failMember = member;
    m_failName = errorName;
    m_failMessage = message;
}

QStringList UserManagerDouble::calls() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls;
}

void UserManagerDouble::clearCalls()
{
    QMutexLocker lock(&m_mutex);
    m_calls.clear();
}

bool UserManagerDouble::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    QMutexLocker lock(&m_mutex);
    connection.send(answer(message));
    return true;
}

QDBusMessage UserManagerDouble::answer(const QDBusMessage& message)
{
    const QString member = message.member();
    const QVariantList arguments = message.arguments();
    if (message.interface() == u"org.freedesktop.DBus.Properties") {
        if (message.path() != kUnitPath)
            return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"), message.path());
        const QVariantMap unit{{QStringLiteral("ActiveState"), m_timer.activeState},
                               {QStringLiteral("UnitFileState"), m_timer.fileState}};
        const QVariantMap timer{
            {QStringLiteral("NextElapseUSecRealtime"), QVariant::fromValue(m_timer.nextElapseUSec)}};
        const QVariantMap& properties = arguments.value(0).toString().endsWith(u".Timer") ? timer : unit;
        if (member == u"GetAll")
            return message.createReply(QVariant::fromValue(properties));
        return message.createReply(QVariant::fromValue(QDBusVariant(properties.value(arguments.value(1).toString()))));
    }

    QStringList call{member};
    for (const QVariant& argument : arguments)
        call += argumentText(argument);
    m_calls += call.join(u' ');
    if (member == m_failMember) {
        m_failMember.clear();
        return message.createErrorReply(m_failName, m_failMessage);
    }

    const QVariant job = QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/freedesktop/systemd1/job/1")));
    const QVariant noChanges = QVariant::fromValue(QList<UnitFileChange>{});
    if (!m_timer.installed && member != u"Reload")
        return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.FileNotFound"),
                                        QStringLiteral("No such file or directory"));
    if (member == u"GetUnitFileState")
        return message.createReply(m_timer.fileState);
    if (member == u"LoadUnit")
        return message.createReply(QVariant::fromValue(QDBusObjectPath(kUnitPath)));
    if (member == u"EnableUnitFiles") {
        m_timer.fileState = QStringLiteral("enabled");
        return message.createReply(QVariantList{true, noChanges});
    }
    if (member == u"DisableUnitFiles") {
        m_timer.fileState = QStringLiteral("disabled");
        return message.createReply(noChanges);
    }
    if (member == u"StartUnit" || member == u"RestartUnit") {
        m_timer.activeState = QStringLiteral("active");
        m_timer.nextElapseUSec = m_timer.nextElapseOnStart;
        return message.createReply(job);
    }
    if (member == u"StopUnit") {
        m_timer.activeState = QStringLiteral("inactive");
        m_timer.nextElapseUSec = 0;
        return message.createReply(job);
    }
    if (member == u"Reload")
        return message.createReply();
    return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"), member);
}

} // namespace testsupport
