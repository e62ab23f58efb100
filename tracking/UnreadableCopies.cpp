#include "tracking/UnreadableCopies.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTimeZone>

#include <utility>

namespace {

constexpr QFileDevice::Permissions kUserOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kUserOnlyFolder = kUserOnly | QFileDevice::ExeOwner;

// A name's part from the number: letters and digits only, so a typed number can never reach
// outside the folder or make a name the file system refuses.
QString safePart(const QString& number)
{
    QString part;
    for (const QChar c : number) {
        if (part.size() >= 40)
            break;
        if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
            part += c;
    }
    return part.isEmpty() ? QStringLiteral("number") : part;
}

// One header value on one line.
QByteArray headerValue(const QString& value)
{
    QString line = value;
    for (QChar& c : line) {
        if (c == u'\n' || c == u'\r' || c.category() == QChar::Other_Control)
            c = u' ';
    }
    return line.toUtf8();
}

bool makeFolder(const QString& path)
{
    QDir dir(path);
    if (dir.exists())
        return true;
    if (!makeFolder(QFileInfo(path).absolutePath()))
        return false;
    return QDir().mkdir(path, kUserOnlyFolder) || dir.exists();
}

} // namespace

UnreadableCopies::UnreadableCopies(QString folder) : m_folder(std::move(folder))
{
}

QByteArray UnreadableCopies::content(const Copy& copy)
{
    QByteArray text = "Kurierix: an answer this version could not read\n";
    const auto add = [&text](const char* name, const QString& value) {
        text += name;
        text += ": ";
        text += headerValue(value);
        text += '\n';
    };
    add("number", copy.number);
    add("road", copy.road);
    add("address", copy.address);
    add("http-status", copy.httpStatus > 0 ? QString::number(copy.httpStatus) : QStringLiteral("none"));
    add("time", copy.at.toOffsetFromUtc(copy.at.offsetFromUtc()).toString(Qt::ISODate));
    add("why", copy.why);
    add("bytes", QString::number(copy.received.size()));
    text += '\n';
    text += copy.received;
    return text;
}

QString UnreadableCopies::save(const Copy& copy, QString* error) const
{
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return QString();
    };
    if (!makeFolder(m_folder))
        return fail(QStringLiteral("папку %1 нельзя создать").arg(m_folder));

    // Names sort as the copies were made: the time in UTC to the millisecond, then a counter.
    const QString stamp = copy.at.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    const QString tail = QStringLiteral("-%1-%2.txt").arg(copy.road, safePart(copy.number));
    QString path;
    for (int n = 0; n < 100 && path.isEmpty(); ++n) {
        const QString candidate =
            QStringLiteral("%1/%2-%3%4").arg(m_folder, stamp).arg(n, 2, 10, QLatin1Char('0')).arg(tail);
        if (!QFile::exists(candidate))
            path = candidate;
    }
    if (path.isEmpty())
        return fail(QStringLiteral("слишком много копий за одну миллисекунду"));

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    file.setPermissions(kUserOnly);
    file.write(content(copy));
    if (!file.commit())
        return fail(file.errorString());
    prune();
    return path;
}

void UnreadableCopies::prune() const
{
    QDir dir(m_folder);
    // Only the copies' own names: nothing else that may lie in the folder is touched.
    static const QRegularExpression copyName(QStringLiteral("^\\d{8}-\\d{6}-\\d{3}-\\d{2}-.*\\.txt$"));
    const QStringList names = dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name).filter(copyName);
    for (qsizetype i = 0; i + kKept < names.size(); ++i)
        dir.remove(names[i]);
}
