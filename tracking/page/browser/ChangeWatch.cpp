#include "tracking/page/browser/ChangeWatch.h"

#include "tracking/page/browser/PageScripts.h"

#include <QJsonValue>
#include <QRandomGenerator>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include <algorithm>
#include <limits>

namespace {

const QString kWatcherName = QStringLiteral("kurierix-watcher");

} // namespace

ChangeWatch::ChangeWatch(bool enabled) : m_enabled(enabled)
{
    quint64 secret[2];
    QRandomGenerator::system()->fillRange(secret);
    m_token = QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(secret), sizeof secret).toHex());
}

void ChangeWatch::setEnabled(bool on)
{
    m_enabled = on;
    m_unseenChange = false;
}

void ChangeWatch::install(QWebEngineScriptCollection& scripts) const
{
    for (const QWebEngineScript& old : scripts.find(kWatcherName))
        scripts.remove(old);
    if (!m_enabled)
        return;
    // Run as each document is created, in the driver's world.
    QWebEngineScript script;
    script.setName(kWatcherName);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(PageScripts::call(PageScript::ChangeWatch, {PageScripts::literal(m_token)}));
    scripts.insert(script);
}

void ChangeWatch::onConsoleMessage(const QString& message)
{
    if (message.size() <= m_token.size() || !message.startsWith(m_token) || message.at(m_token.size()) != u' ')
        return;
    bool ok = false;
    const qint64 count = QStringView(message).mid(m_token.size() + 1).toLongLong(&ok);
    if (ok)
        tell(count);
}

// Told with the largest count, which no look has seen.
void ChangeWatch::pageChanged()
{
    tell(std::numeric_limits<qint64>::max());
}

void ChangeWatch::documentStarted()
{
    m_seenChanges = 0;
    pageChanged();
}

void ChangeWatch::tell(qint64 count)
{
    if (m_lookInFlight)
        m_toldDuringLook = std::max(m_toldDuringLook, count);
    else if (count > m_seenChanges)
        m_unseenChange = true;
}

QVariant ChangeWatch::look(const std::function<QVariant()>& look)
{
    m_lookInFlight = true;
    m_toldDuringLook = 0;
    QVariant value;
    try {
        value = look();
    } catch (...) {
        m_lookInFlight = false;
        m_unseenChange = m_unseenChange || m_toldDuringLook > m_seenChanges;
        throw;
    }
    m_lookInFlight = false;
    // What was told while the look was under way may be what it saw, or newer.
    bool counted = false;
    const qint64 seen = value.toMap().value(QStringLiteral("seen")).toLongLong(&counted);
    if (counted && seen >= 0)
        m_seenChanges = seen;
    m_unseenChange = m_toldDuringLook > m_seenChanges;
    return value;
}
