#include "store/PlainLine.h"

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
    QString line;
    line.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'<') {
            // A "<" with no ">" after it is no tag and stays, as the history view keeps it.
            const qsizetype close = text.indexOf(u'>', i + 1);
            if (close >= 0) {
                i = close;
                continue;
            }
        } else if (c == u'&') {
            const qsizetype semicolon = text.indexOf(u';', i + 1);
            if (semicolon > i + 1 && semicolon - i <= 10) {
                const QString decoded = decodeEntity(QStringView(text).mid(i + 1, semicolon - i - 1));
                if (!decoded.isNull()) {
                    line += decoded;
                    i = semicolon;
                    continue;
                }
            }
        }
        line += c;
    }
    return line.simplified();
}
