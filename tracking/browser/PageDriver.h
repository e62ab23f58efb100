#pragma once

#include "tracking/EventWait.h"
#include "tracking/TrackingPage.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <vector>

class QUrl;
class QVariant;
class QWebEngineLoadingInfo;
class QWebEnginePage;
class QWebEngineProfile;
class SilentPage;

// The tracking page in a hidden browser page. Every operation is a script run in the page, in
// a world of its own so that the page's scripts cannot interfere, and awaited on the calling
// (UI) thread while events are processed, within a deadline. A page that lets that deadline
// pass is closed at once, its render process with it; the next load starts a new page.
//
// The browser engine starts with the first loadPage, not before: a program that never runs a
// check never pays for it. Its profile keeps nothing on disk outside `storagePath`.
class PageDriver : public QObject, public TrackingPage
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kDefaultScriptTimeout{10000};

    explicit PageDriver(QString storagePath);
    ~PageDriver() override;

    void loadPage(const std::string& url) override;
    int readyState() override;
    void selectInternationalTracking() override;
    void enterNumber(const std::string& number) override;
    void startSearch() override;
    std::string readPageText() override;
    std::string readPageHtml() override;
    void selectAndEnterNumber(const std::string& number) override;
    Look readPage(const std::string& htmlUnless) override;
    Look startSearchAndReadPage(const std::string& htmlUnless) override;
    bool hasUnseenChange() const override;
    void setStopCondition(std::function<bool()> stopRequested) override;

    // Whether the page tells of its changes: a script in the driver's world watches the
    // results block and says at once when it changed. On by default, off when the environment
    // sets KURIERIX_NO_PAGE_NOTIFICATIONS (to run the tests on the fallback looks alone).
    // Takes effect from the next load.
    void setChangeNotifications(bool on);

    // How long one operation waits for the page to answer before it closes the page and raises.
    void setScriptTimeout(std::chrono::milliseconds timeout);
    // The browser page, or nullptr before the first load. For tests and diagnostics.
    QWebEnginePage* webPage() const;

private:
    struct ScriptWait;
    enum class LoadState { None, Loading, Finished, Failed };

    void createPage();
    void installWatcher();
    void requireUsablePage(const char* operation) const;
    // Runs a look script (see lookScript in the source) and notes how many of the page's
    // changes it has seen; gives the value the script's body returned.
    QVariant runLook(const QString& body, const QString& htmlUnless, const char* operation, bool* navigated = nullptr);
    Look lookFrom(const QVariant& value, const char* operation);
    void onConsoleMessage(const QString& message);
    void tellChange(qint64 count);
    // Runs `source` and waits for its value. A navigation that starts meanwhile ends the wait:
    // with `navigated` given, it is set and an empty value returned; otherwise it raises.
    QVariant runScript(const QString& source, const char* operation, bool* navigated = nullptr);
    // Runs a script that gives "ok" or the name of what the page lacks.
    void runElementScript(const QString& source, const char* operation, const char* missing,
                          bool navigationCompletes = false);
    void endWaits(const QString& reason, EPageError::Kind kind, bool navigation);
    // Deletes the page; with `stuck`, its render process is ended too.
    void dropPage(bool stuck);

    void onLoadStarted();
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void onRenderProcessTerminated(int status, int exitCode);

    QString m_storagePath;
    std::chrono::milliseconds m_scriptTimeout = kDefaultScriptTimeout;
    // Declared before the page: the page must go before its profile.
    std::unique_ptr<QWebEngineProfile> m_profile;
    std::unique_ptr<SilentPage> m_page;

    LoadState m_loadState = LoadState::None;
    // Set by loadPage while the page was idle: a finish reported before the new load has
    // started belongs to the previous document and is ignored.
    bool m_awaitingStart = false;
    QString m_loadError;
    EPageError::Kind m_loadErrorKind = EPageError::Kind::NotLoaded;
    QString m_renderProcessGone;
    // Scripts sent to the page and not answered yet, awaited or given up on.
    std::vector<std::weak_ptr<ScriptWait>> m_waits;
    EventWait m_wait;

    // Change notifications: "<token> <count>" on the console, from the watcher, counting the
    // changes of the current document. A look gives the count it has seen; a notification at
    // or below it is old news. The token is secret to the driver's world, so that the page's
    // own scripts cannot pass for the watcher (even if they could, they would only cause a look).
    bool m_notifications = true;
    QString m_token;
    qint64 m_seenChanges = 0;
    bool m_lookInFlight = false;
    qint64 m_toldDuringLook = 0;
    bool m_unseenChange = false;
};
