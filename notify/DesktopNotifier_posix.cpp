// The notification through the freedesktop notification service on D-Bus.
#include "notify/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

QString describeFailure(const QDBusMessage& reply)
{
    const QDBusError error(reply);
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
        return QStringLiteral("на сеансовой шине D-Bus нет службы уведомлений");
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
        return QStringLiteral("служба уведомлений не ответила за %1 с").arg(DesktopNotifier::kReplyTimeoutMs / 1000);
    default:
        return QStringLiteral("служба уведомлений ответила ошибкой (%1: %2)").arg(error.name(), error.message());
    }
}

} // namespace

bool DesktopNotifier::available()
{
    return true;
}

DesktopNotifier::DesktopNotifier() : DesktopNotifier(QDBusConnection::sessionBus())
{
}

DesktopNotifier::DesktopNotifier(const QDBusConnection& connection)
    : m_connection(std::make_shared<const QDBusConnection>(connection))
{
}

DesktopNotifier::Result DesktopNotifier::notify(const QList<ChangedParcel>& parcels) const
{
    Result result;
    if (parcels.isEmpty())
        return result;
    if (!m_connection->isConnected()) {
        const QString cause = m_connection->lastError().message();
        result.failure = QStringLiteral("нет сеансовой шины D-Bus");
        if (!cause.isEmpty())
            result.failure += QStringLiteral(" (%1)").arg(cause);
        return result;
    }

    // Both calls share one time limit: a check run must not wait long on the desktop.
    const QDeadlineTimer deadline(kReplyTimeoutMs);
    const QDBusMessage capabilities =
        m_connection->call(QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("GetCapabilities")),
                           QDBus::Block, kReplyTimeoutMs);
    if (capabilities.type() != QDBusMessage::ReplyMessage) {
        result.failure = describeFailure(capabilities);
        return result;
    }
    const int remainingMs = int(deadline.remainingTime());
    if (remainingMs <= 0) {
        result.failure = describeFailure(QDBusMessage::createError(QDBusError::NoReply, {}));
        return result;
    }

    // A service that reads markup in the body would take a "<" or "&" of a shop's name for its own.
    const bool markup = capabilities.arguments().value(0).toStringList().contains(QStringLiteral("body-markup"));
    const QString text = body(parcels);
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(uchar(1))},
                            {QStringLiteral("desktop-entry"), QStringLiteral("kurierix")}};
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    call << QStringLiteral("Курьерикс") << uint(0) << QStringLiteral("kurierix") << summary(parcels.size())
         << (markup ? text.toHtmlEscaped() : text) << QStringList() << hints << int(-1);
    const QDBusMessage reply = m_connection->call(call, QDBus::Block, remainingMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        result.failure = describeFailure(reply);
        return result;
    }
    result.sent = true;
    return result;
}
