#pragma once

#include "tracking/EventWait.h"
#include "tracking/page/TrackingPage.h"

#include <QString>
#include <QVariant>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QWebEnginePage;

// Raises the page error of `kind` for `operation`, `what` saying why.
[[noreturn]] void raisePageError(EPageError::Kind kind, const char* operation, const QString& what);

// Scripts run in the page and awaited: each in a world of its own so that the page's scripts
// cannot interfere, awaited on the calling (UI) thread while events are processed, within a
// bound, and given up at once when a stop is requested.
class ScriptCall
{
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{10000};

    // `closeStuckPage` closes the page, its render process with it, when a script let the
    // bound pass: a page script that never returns keeps that process busy for good.
    explicit ScriptCall(std::function<void()> closeStuckPage);

    void setTimeout(std::chrono::milliseconds timeout);
    void setStopCondition(std::function<bool()> stopRequested);

    // Runs `source` in `page` and waits for its value. A call that endAll ends raises its
    // reason; one ended by a navigation, with `navigated` given, sets it and gives an empty value.
    QVariant run(QWebEnginePage& page, const QString& source, const char* operation, bool* navigated = nullptr);
    // Ends every call still awaited: the page will not answer it.
    void endAll(const QString& reason, EPageError::Kind kind, bool navigation);
    // Whether a script sent to the page has not answered, awaited or given up on.
    bool anyUnanswered() const;

private:
    struct Wait;

    std::function<void()> m_closeStuckPage;
    std::chrono::milliseconds m_timeout = kDefaultTimeout;
    // Scripts sent to the page and not answered yet, awaited or given up on.
    std::vector<std::weak_ptr<Wait>> m_waits;
    EventWait m_wait;
};
