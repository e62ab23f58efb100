#pragma once

#include <QString>
#include <QVariant>

#include <functional>

class QWebEngineScriptCollection;

// What makes the driver's hasUnseenChange() true: a script in the driver's world watches the
// results block and says at once, on the console, when it changed ("<token> <count>", counting
// the changes of the current document); a load, its end and the render process's end are
// changes of their own. A look gives the count it has seen; a notification at or below it is old
// news. The token is secret to the driver's world, so that the page's own scripts cannot pass
// for the watcher (even if they could, they would only cause a look).
class ChangeWatch
{
public:
    // Off where the settings say KURIERIX_NO_PAGE_NOTIFICATIONS (to run the tests on the fallback
    // looks alone).
    explicit ChangeWatch(bool enabled);

    bool enabled() const { return m_enabled; }
    // Forgets an unseen change; takes effect in the page with the next install().
    void setEnabled(bool on);
    // Puts the watcher into the page's own collection, so that every load and reload gets it,
    // or takes it out when the watch is off.
    void install(QWebEngineScriptCollection& scripts) const;

    bool hasUnseenChange() const { return m_enabled && m_unseenChange; }
    void forgetUnseenChange() { m_unseenChange = false; }

    // A message on the page's console: the watcher's, or anybody's.
    void onConsoleMessage(const QString& message);
    // A change of the load or of the page itself, which no look has seen.
    void pageChanged();
    // A new document: its changes are counted from none.
    void documentStarted();

    // Runs `look`, a look script whose value carries "seen" (see look.js), and gives its value;
    // what the watcher told meanwhile is unseen only if newer than what the look saw.
    QVariant look(const std::function<QVariant()>& look);

private:
    void tell(qint64 count);

    bool m_enabled;
    QString m_token;
    qint64 m_seenChanges = 0;
    bool m_lookInFlight = false;
    qint64 m_toldDuringLook = 0;
    bool m_unseenChange = false;
};
