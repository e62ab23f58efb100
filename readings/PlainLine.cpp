#include "readings/PlainLine.h"

#include <QStringView>

namespace {

// What the stored texts carry of the page's HTML beyond tags; anything else stays as written.
QString decodeEntity(QStringView name)
{
    if (name == u"nbsp")
        return QStringLiteral(" ");
    if (name == u"amp")
        return QStringLiteral("&");
    if (name == u"lt")
        return QStringLiteral("<");
    if (name == u"gt")
        return QStringLiteral(">");
    if (name == u"quot")
        return QStringLiteral("\"");
    if (name == u"apos")
        return QStringLiteral("'");
    if (name.startsWith(u'#')) {
        bool ok = false;
        const bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
        const uint code = name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
        if (ok && code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
            const char32_t ucs4 = code;
            return QString::fromUcs4(&ucs4, 1);
        }
    }
    return {};
}

} // namespace

QString plainLine(const QString& text)
{
    // How far after its "&" the ";" of an entity may stand: a name of nine characters at most
    // ("#x10FFFF" and the like).
    constexpr qsizetype kEntityReach = 10;

    const QStringView all(text);
    // Where the next `wanted` stands from `from` on, -1 when none: looked up again only once the
    // text has passed the last one found, so that a text of many "<" and no ">" (or many "&" and
    // no ";") is read once, not once for each of them.
    const auto nextOf = [all](char16_t wanted, qsizetype& found, qsizetype from) {
        if (found >= 0 && found < from)
            found = all.indexOf(QChar(wanted), from);
        return found;
    };
    qsizetype nextClose = 0;
    qsizetype nextSemicolon = 0;

    QString line;
    line.reserve(all.size());
    // Characters from here on are kept as they are, and copied a run at a time.
    qsizetype kept = 0;
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (all[i] == u'<') {
            // A "<" with no ">" after it is no tag and stays, as the history view keeps it.
            const qsizetype close = nextOf(u'>', nextClose, i + 1);
            if (close >= 0) {
                line.append(all.mid(kept, i - kept));
                i = close;
                kept = close + 1;
            }
        } else if (all[i] == u'&') {
            const qsizetype semicolon = nextOf(u';', nextSemicolon, i + 1);
            if (semicolon > i + 1 && semicolon - i <= kEntityReach) {
                const QString decoded = decodeEntity(all.mid(i + 1, semicolon - i - 1));
                if (!decoded.isNull()) {
                    line.append(all.mid(kept, i - kept));
                    line += decoded;
                    i = semicolon;
                    kept = semicolon + 1;
                }
            }
        }
    }
    line.append(all.mid(kept));
    return line.simplified();
}
