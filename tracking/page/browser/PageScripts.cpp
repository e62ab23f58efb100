#include "tracking/page/browser/PageScripts.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <array>

// The resources of a static library are not registered on their own.
static void initTrackingResources()
{
    Q_INIT_RESOURCE(tracking);
}

namespace {

constexpr const char* kFiles[] = {
    "change_watch.js", "enter_number.js",     "legacy_writer.js",        "look.js",
    "quiet_page.js",   "select_and_enter.js", "select_international.js", "start_search.js"};
constexpr std::size_t kCount = std::size(kFiles);
static_assert(kCount == static_cast<std::size_t>(PageScript::StartSearch) + 1, "a file for every script");

std::array<QString, kCount> readAll()
{
    initTrackingResources();
    std::array<QString, kCount> sources;
    for (std::size_t i = 0; i < kCount; ++i) {
        QFile file(QStringLiteral(":/tracking/") + QLatin1String(kFiles[i]));
        if (file.open(QIODevice::ReadOnly))
            sources[i] = QString::fromUtf8(file.readAll());
    }
    return sources;
}

} // namespace

namespace PageScripts {

const QString& source(PageScript script)
{
    static const std::array<QString, kCount> sources = readAll();
    return sources.at(static_cast<std::size_t>(script));
}

QString call(PageScript script, std::initializer_list<QString> arguments)
{
    // The source ends on a line of its own: a comment in its last line cannot swallow the call.
    QString text = source(script) + QStringLiteral("\n(");
    bool first = true;
    for (const QString& argument : arguments) {
        if (!first)
            text += QStringLiteral(", ");
        text += argument;
        first = false;
    }
    return text + u')';
}

QString literal(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

} // namespace PageScripts
