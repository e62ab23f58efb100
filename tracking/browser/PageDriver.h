#pragma once

#include "tracking/TrackingPage.h"
#include "tracking/browser/ChangeWatch.h"
#include "tracking/browser/ScriptCall.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

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
    static constexpr std::chrono::milliseconds kDefaultScriptTimeout = ScriptCall::kDefaultTimeout;

    explicit PageDriver(QString storagePath, bool changeNotifications = true);
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
    // results block and says at once when it changed. On unless the constructor says otherwise
    // (KURIERIX_NO_PAGE_NOTIFICATIONS, to run the tests on the fallback looks alone).
    // Takes effect from the next load.
    void setChangeNotifications(bool on);

    // How long one operation waits for the page to answer before it closes the page and raises.
    void setScriptTimeout(std::chrono::milliseconds timeout);
    // The browser page, or nullptr before the first load. For tests and diagnostics.
    QWebEnginePage* webPage() const;

private:
    enum class LoadState { None, Loading, Finished, Failed };

    void createPage();
    void requireUsablePage(const char* operation) const;
    // Runs `source` in the page (see ScriptCall::run).
    QVariant runScript(const QString& source, const char* operation, bool* navigated = nullptr);
    // Runs a look (see look.js) that does `action` and notes how many of the page's changes it
    // has seen; gives the look's value.
    QVariant runLook(const char* action, const QString& htmlUnless, const char* operation, bool* navigated = nullptr);
    Look lookFrom(const QVariant& value, const char* operation);
    // Runs a script that gives "ok" or "missing": the page lacks `missing`.
    void runElementScript(const QString& source, const char* operation, const char* missing,
                          bool navigationCompletes = false);
    // Deletes the page; with `stuck`, its render process is ended too.
    void dropPage(bool stuck);

    void onLoadStarted();
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void onRenderProcessTerminated(int status, int exitCode);

    QString m_storagePath;
    ScriptCall m_calls;
    ChangeWatch m_watch;
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
};
