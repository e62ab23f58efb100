// The notification through the freedesktop notification service, spoken over the session bus's
// socket (BusConnection): no D-Bus library is mapped for it.
#include "notify/DesktopNotifier.h"

#include "notify/BusConnection.h"

#include <QDeadlineTimer>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

QString describeFailure(const BusConnection::Reply& reply)
{
    if (reply.kind == BusConnection::Reply::Kind::NoReply
        || reply.errorName == QStringLiteral("org.freedesktop.DBus.Error.NoReply")
        || reply.errorName == QStringLiteral("org.freedesktop.DBus.Error.Timeout")
        || reply.errorName == QStringLiteral("org.freedesktop.DBus.Error.TimedOut"))
        return QStringLiteral("служба уведомлений не ответила за %1 с").arg(DesktopNotifier::kReplyTimeoutMs / 1000);
    if (reply.errorName == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"))
        return QStringLiteral("на сеансовой шине D-Bus нет службы уведомлений");
    return QStringLiteral("служба уведомлений ответила ошибкой (%1: %2)").arg(reply.errorName, reply.errorMessage);
}

// The body of Notify: the program's name, no notification to replace, its icon, the texts, no
// actions, the hints, the server's own time-out.
QByteArray notifyArguments(const QString& summary, const QString& body)
{
    BusWriter out;
    out.string(QStringLiteral("Курьерикс"));
    out.u32(0);
    out.string(QStringLiteral("kurierix"));
    out.string(summary);
    out.string(body);
    out.endArray(out.beginArray(4));
    const BusWriter::Array hints = out.beginArray(8);
    out.align(8);
    out.string(QStringLiteral("urgency"));
    out.signature("y");
    out.byte(1); // normal
    out.align(8);
    out.string(QStringLiteral("desktop-entry"));
    out.signature("s");
    out.string(QStringLiteral("kurierix"));
    out.endArray(hints);
    out.i32(-1);
    return out.data();
}

} // namespace

bool DesktopNotifier::available()
{
    return true;
}

DesktopNotifier::Result DesktopNotifier::notify(const QList<ChangedParcel>& parcels) const
{
    Result result;
    if (parcels.isEmpty())
        return result;
    // One time limit for all of it: a check run must not wait long on the desktop.
    const QDeadlineTimer deadline(kReplyTimeoutMs);
    BusConnection bus;
    QString cause = QStringLiteral("the session has no bus address");
    if (m_busAddress.isEmpty() || !bus.open(m_busAddress, deadline, &cause)) {
        result.failure = QStringLiteral("нет сеансовой шины D-Bus (%1)").arg(cause);
        return result;
    }
    const BusConnection::Reply capabilities =
        bus.call(kService, kPath, kService, QStringLiteral("GetCapabilities"), {}, {}, deadline);
    if (capabilities.kind != BusConnection::Reply::Kind::Returned) {
        result.failure = describeFailure(capabilities);
        return result;
    }
    // A service that reads markup in the body would take a "<" or "&" of a shop's name for its own.
    const bool markup = capabilities.strings.contains(QStringLiteral("body-markup"));
    const QString text = body(parcels);
    const BusConnection::Reply reply =
        bus.call(kService, kPath, kService, QStringLiteral("Notify"), "susssasa{sv}i",
                 notifyArguments(summary(parcels.size()), markup ? text.toHtmlEscaped() : text), deadline);
    if (reply.kind != BusConnection::Reply::Kind::Returned) {
        result.failure = describeFailure(reply);
        return result;
    }
    result.sent = true;
    return result;
}
