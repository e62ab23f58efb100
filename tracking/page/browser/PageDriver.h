#pragma once

#include "tracking/page/TrackingPage.h"
#include "tracking/page/browser/ChangeWatch.h"
#include "tracking/page/browser/ScriptCall.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QUrl;
class QVariant;
class QWebEngineLoadingInfo;
class QWebEnginePage;
class QWebEngineProfile;
class SilentPage;

// What the maker of a PageDriver may set besides the defaults.
struct PageDriverOptions
{
    // How long one operation waits for the page to answer before it closes the page and
    // raises; asked at each operation. Empty: PageDriver::kDefaultScriptTimeout.
    std::function<std::chrono::milliseconds()> scriptTimeout;
    // Told of each browser page as it is made; the page lives until the driver closes it.
    std::function<void(QWebEnginePage*)> pageCreated;
    // Whether the program's script in the page tells of changes, or the results are only
    // read every half second.
    bool changeNotifications = true;
};

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

    explicit PageDriver(QString storagePath, PageDriverOptions options = {});
    ~PageDriver() override;

    void loadPage(const QString& url) override;
    int readyState() override;
    void selectInternationalTracking() override;
    void enterNumber(const QString& number) override;
    void startSearch() override;
    QString readPageText() override;
    QString readPageHtml() override;
    void selectAndEnterNumber(const QString& number) override;
    Look readPage(const QString& htmlUnless) override;
    Look startSearchAndReadPage(const QString& htmlUnless) override;
    bool hasUnseenChange() const override;
    void setStopCondition(std::function<bool()> stopRequested) override;

    // Whether the page tells of its changes: a script in the driver's world watches the
    // results block and says at once when it changed. On unless the constructor says otherwise
    // (KURIERIX_NO_PAGE_NOTIFICATIONS, to run the tests on the fallback looks alone).
    // Takes effect from the next load.
    void setChangeNotifications(bool on);

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
    PageDriverOptions m_options;
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
