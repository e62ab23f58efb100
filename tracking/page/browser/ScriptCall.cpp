#include "tracking/page/browser/ScriptCall.h"

#include <QDeadlineTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include <algorithm>

using Kind = EPageError::Kind;

void raisePageError(Kind kind, const char* operation, const QString& what)
{
    throw EPageError(kind, QStringLiteral("%1: %2").arg(QLatin1String(operation), what));
}

// One awaited script. Shared between the waiting operation and the script's callback, so that
// a callback that comes after the wait has ended (it may come very late, or with an empty
// value when the page goes away) finds the wait marked as over and touches nothing else.
struct ScriptCall::Wait
{
    bool answered = false;
    bool over = false;
    QVariant value;
    QString endReason; // set when something other than the answer ended the wait
    Kind endKind = Kind::BrowserFailed;
    bool endedByNavigation = false;
};

ScriptCall::ScriptCall(std::function<void()> closeStuckPage) : m_closeStuckPage(std::move(closeStuckPage))
{
}

void ScriptCall::setTimeout(std::chrono::milliseconds timeout)
{
    m_timeout = timeout;
}

void ScriptCall::setStopCondition(std::function<bool()> stopRequested)
{
    m_wait.setStopCondition(std::move(stopRequested));
}

QVariant ScriptCall::run(QWebEnginePage& page, const QString& source, const char* operation, bool* navigated)
{
    auto wait = std::make_shared<Wait>();
    m_waits.erase(std::remove_if(m_waits.begin(), m_waits.end(), [](const auto& w) { return w.expired(); }),
                  m_waits.end());
    m_waits.push_back(wait);

    // The callback comes as an event, and the wait looks at `over` after every event.
    page.runJavaScript(source, QWebEngineScript::ApplicationWorld, [wait](const QVariant& value) {
        if (wait->over)
            return;
        wait->value = value;
        wait->answered = true;
        wait->over = true;
    });

    const QDeadlineTimer deadline(m_timeout);
    EventWait::Outcome outcome;
    do
        outcome = m_wait.until([&wait] { return wait->over; }, deadline);
    while (outcome == EventWait::Outcome::Woken);
    if (outcome == EventWait::Outcome::Stopped) {
        wait->over = true;
        raisePageError(Kind::Stopped, operation, QStringLiteral("the check was stopped while the page was awaited"));
    }
    if (outcome == EventWait::Outcome::TimedOut) {
        // The page takes nothing more: it goes now, and the next load starts a new one.
        wait->over = true;
        m_closeStuckPage();
        raisePageError(Kind::NoAnswer, operation,
                       QStringLiteral("the page gave no answer within %1 ms and was closed").arg(m_timeout.count()));
    }

    if (!wait->answered) {
        if (wait->endedByNavigation && navigated) {
            *navigated = true;
            return {};
        }
        raisePageError(wait->endKind, operation, wait->endReason);
    }
    return wait->value;
}

void ScriptCall::endAll(const QString& reason, Kind kind, bool navigation)
{
    // The list keeps the scripts that have not answered, ended or not: see anyUnanswered().
    for (const auto& weak : m_waits) {
        const auto wait = weak.lock();
        if (!wait || wait->over)
            continue;
        wait->over = true;
        wait->endReason = reason;
        wait->endKind = kind;
        wait->endedByNavigation = navigation;
    }
}

bool ScriptCall::anyUnanswered() const
{
    return std::any_of(m_waits.begin(), m_waits.end(), [](const auto& w) { return !w.expired(); });
}
