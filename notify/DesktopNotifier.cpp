#include "DesktopNotifier.h"

#include "store/PlainLine.h"
#include "tracking/CheckWords.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QStringList>
#include <QVariantMap>

#include <initializer_list>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// `text` cut to `maxLength` characters, the last of them an ellipsis, never splitting a pair of
// UTF-16 surrogates.
QString cut(const QString& text, qsizetype maxLength)
{
    if (text.size() <= maxLength)
        return text;
    qsizetype keep = maxLength - 1;
    if (keep > 0 && text.at(keep - 1).isHighSurrogate())
        --keep;
    return text.left(keep).trimmed() + QChar(0x2026);
}

QString parcelLine(const ChangedParcel& parcel)
{
    QStringList label;
    for (const QString* part : {&parcel.track, &parcel.shop, &parcel.title}) {
        const QString line = cut(plainLine(*part), DesktopNotifier::kMaxLabelPartLength);
        if (!line.isEmpty())
            label += line;
    }
    QStringList line{label.join(QStringLiteral(", "))};
    line += cut(plainLine(parcel.status), DesktopNotifier::kMaxStatusLength);
    line.removeAll(QString());
    return line.join(QStringLiteral(": "));
}

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

DesktopNotifier::DesktopNotifier(QDBusConnection connection) : m_connection(std::move(connection))
{
}

DesktopNotifier::Result DesktopNotifier::notify(const QList<ChangedParcel>& parcels) const
{
    Result result;
    if (parcels.isEmpty())
        return result;
    if (!m_connection.isConnected()) {
        const QString cause = m_connection.lastError().message();
        result.failure = QStringLiteral("нет сеансовой шины D-Bus");
        if (!cause.isEmpty())
            result.failure += QStringLiteral(" (%1)").arg(cause);
        return result;
    }

    // Both calls share one time limit: a check run must not wait long on the desktop.
    const QDeadlineTimer deadline(kReplyTimeoutMs);
    const QDBusMessage capabilities =
        m_connection.call(QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("GetCapabilities")),
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
    const QDBusMessage reply = m_connection.call(call, QDBus::Block, remainingMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        result.failure = describeFailure(reply);
        return result;
    }
    result.sent = true;
    return result;
}

QString DesktopNotifier::summary(qsizetype count)
{
    return QStringLiteral("Статус изменился: ") + parcelCount(count);
}

QString DesktopNotifier::body(const QList<ChangedParcel>& parcels)
{
    const qsizetype shown = parcels.size() <= kMaxBodyLines ? parcels.size() : kMaxBodyLines - 1;
    QStringList lines;
    for (qsizetype i = 0; i < shown; ++i)
        lines += parcelLine(parcels.at(i));
    if (shown < parcels.size())
        lines += QStringLiteral("и ещё ") + parcelCount(parcels.size() - shown);
    return lines.join(u'\n');
}

QString DesktopNotifier::parcelCount(qsizetype count)
{
    return checkwords::parcelCount(count);
}
