#include "DesktopNotifier.h"

#include "readings/PlainLine.h"
#include "tracking/CheckWords.h"

#include <QStringList>

#include <initializer_list>

namespace {

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

} // namespace

DesktopNotifier::DesktopNotifier(QString busAddress) : m_busAddress(std::move(busAddress))
{
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
