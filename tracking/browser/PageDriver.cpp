#include "tracking/browser/PageDriver.h"

#include "store/Cp1251.h"
#include "tracking/browser/SilentPage.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>
#include <QVariant>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>

#include <algorithm>

#include <csignal>

// The resources of a static library are not registered on their own.
static void initTrackingResources()
{
    Q_INIT_RESOURCE(tracking);
}

namespace {

using Kind = EPageError::Kind;

const QString& legacyWriterSource()
{
    static const QString source = [] {
        initTrackingResources();
        QFile file(QStringLiteral(":/tracking/legacy_writer.js"));
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(file.readAll());
    }();
    return source;
}

[[noreturn]] void raise(Kind kind, const char* operation, const QString& what)
{
    throw EPageError(kind, toCp1251(QStringLiteral("%1: %2").arg(QLatin1String(operation), what)));
}

// True while the process runs; a zombie has ended.
bool processRunning(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    // "pid (name) state ...": the name may hold blanks, so read after its closing bracket.
    const QByteArray line = stat.readAll();
    const QByteArray state = line.mid(line.lastIndexOf(')') + 2, 1);
    return !state.isEmpty() && state != "Z" && state != "X";
}

QString describeLoadFailure(const QWebEngineLoadingInfo& info)
{
    QString reason;
    if (info.status() == QWebEngineLoadingInfo::LoadStoppedStatus)
        reason = QStringLiteral("the load was stopped before the page was complete");
    else if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
        reason = QStringLiteral("the server answered with HTTP status %1").arg(info.errorCode());
    else if (info.isErrorPage())
        reason = QStringLiteral("the browser could only show an error page");
    else
        reason = QStringLiteral("%1 (error %2)").arg(info.errorString()).arg(info.errorCode());
    return QStringLiteral("the tracking page %1 could not be loaded: %2").arg(info.url().toDisplayString(), reason);
}

} // namespace

// One awaited script. Shared between the waiting operation and the script's callback, so that
// a callback that comes after the wait has ended (it may come very late, or with an empty
// value when the page goes away) finds the wait marked as over and touches nothing else.
struct PageDriver::ScriptWait
{
    bool answered = false;
    bool over = false;
    QVariant value;
    QString endReason; // set when something other than the answer ended the wait
    Kind endKind = Kind::BrowserFailed;
    bool endedByNavigation = false;
};

PageDriver::PageDriver(QString storagePath) : m_storagePath(std::move(storagePath))
{
}

PageDriver::~PageDriver()
{
    // A script still unanswered may be stuck behind a page script that never returns; that
    // render process must not outlive the program.
    const bool stuck = std::any_of(m_waits.begin(), m_waits.end(), [](const auto& w) { return !w.expired(); });
    dropPage(stuck);
    m_profile.reset();
}

void PageDriver::setStopCondition(std::function<bool()> stopRequested)
{
    m_wait.setStopCondition(std::move(stopRequested));
}

void PageDriver::setScriptTimeout(std::chrono::milliseconds timeout)
{
    m_scriptTimeout = timeout;
}

QWebEnginePage* PageDriver::webPage() const
{
    return m_page.get();
}

void PageDriver::createPage()
{
    QDir().mkpath(m_storagePath);
    // A profile without a name is off the record: cookies and cache stay in memory. The paths
    // point into the private folder anyway, so that nothing the engine might still write
    // lands in the user's home.
    m_profile = std::make_unique<QWebEngineProfile>();
    m_profile->setPersistentStoragePath(QDir(m_storagePath).filePath(QStringLiteral("storage")));
    m_profile->setCachePath(QDir(m_storagePath).filePath(QStringLiteral("cache")));
    m_profile->setDownloadPath(QDir(m_storagePath).filePath(QStringLiteral("downloads")));
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    connect(m_profile.get(), &QWebEngineProfile::downloadRequested, this,
            [](QWebEngineDownloadRequest* download) { download->cancel(); });

    m_page = std::make_unique<SilentPage>(m_profile.get());
    QWebEngineSettings* settings = m_page->settings();
    // A failed load must stay a failure, not become a browser-made page that reads as an answer.
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    settings->setAttribute(QWebEngineSettings::AutoLoadImages, false);
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);

    connect(m_page.get(), &QWebEnginePage::loadStarted, this, &PageDriver::onLoadStarted);
    connect(m_page.get(), &QWebEnginePage::loadingChanged, this, &PageDriver::onLoadingChanged);
    connect(m_page.get(), &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
                onRenderProcessTerminated(static_cast<int>(status), exitCode);
            });
}

void PageDriver::loadPage(const std::string& address)
{
    const QUrl url(fromCp1251(address), QUrl::StrictMode);
    static const QStringList kSchemes = {QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("file"),
                                         QStringLiteral("data")};
    if (!url.isValid() || !kSchemes.contains(url.scheme()))
        raise(Kind::NotLoaded, "load page",
              QStringLiteral("\"%1\" is not an address a page can be loaded from").arg(fromCp1251(address)));

    if (!m_page)
        createPage();
    m_renderProcessGone.clear();
    m_loadError.clear();
    m_awaitingStart = !m_page->isLoading();
    m_loadState = LoadState::Loading;
    m_page->load(url);
    // A page without a view counts as hidden, and Chromium throttles the timers of hidden
    // pages to one tick a second. Before the first load the page has nothing to make visible.
    if (!m_page->isVisible())
        m_page->setVisible(true);
}

int PageDriver::readyState()
{
    if (!m_page)
        return 0;
    requireUsablePage("ready state");
    // Right after a load is requested the old document still reports "complete".
    if (m_loadState == LoadState::Loading)
        return 1;
    bool navigated = false;
    const QString state = runScript(QStringLiteral("document.readyState"), "ready state", &navigated).toString();
    if (navigated || m_loadState == LoadState::Loading)
        return 1;
    requireUsablePage("ready state");
    if (state == QLatin1String("complete"))
        return 4;
    if (state == QLatin1String("interactive"))
        return 3;
    return 1;
}

void PageDriver::selectInternationalTracking()
{
    runElementScript(QStringLiteral(R"((function () {
    var element = document.getElementById("internal-2");
    if (!element)
        return "missing";
    element.click();
    return "ok";
})())"),
                     "select international tracking", "element with the id \"internal-2\"");
}

void PageDriver::enterNumber(const std::string& number)
{
    // The number travels as a JSON string literal: whatever it holds (quotes, backslashes,
    // line breaks, markup) stays data and is never read as script.
    const QByteArray literal = QJsonDocument(QJsonArray{fromCp1251(number)}).toJson(QJsonDocument::Compact);
    runElementScript(QStringLiteral(R"((function (args) {
    var element = document.getElementById("item");
    if (!element)
        return "missing";
    element.value = args[0];
    return "ok";
})()") + QString::fromUtf8(literal)
                         + QStringLiteral(")"),
                     "enter number", "element with the id \"item\"");
}

void PageDriver::startSearch()
{
    // The last input of the whole document, whatever it is: on the tracking page that is the
    // search button. A click that makes the page navigate has done its work.
    runElementScript(QStringLiteral(R"((function () {
    var inputs = document.getElementsByTagName("input");
    if (inputs.length == 0)
        return "missing";
    inputs[inputs.length - 1].click();
    return "ok";
})())"),
                     "start search", "input element", true);
}

std::string PageDriver::readPageText()
{
    const QVariant text = runScript(QStringLiteral(R"((function () {
    var root = document.documentElement;
    return root ? root.innerText : "";
})())"),
                                    "read page text");
    if (text.typeId() != QMetaType::QString)
        raise(Kind::PageChanged, "read page text", QStringLiteral("the page gave no text"));
    return toCp1251(text.toString());
}

std::string PageDriver::readPageHtml()
{
    const QString& writer = legacyWriterSource();
    if (writer.isEmpty())
        raise(Kind::BrowserFailed, "read page HTML", QStringLiteral("the HTML writer is missing from the program"));
    const QVariant html = runScript(writer, "read page HTML");
    if (html.typeId() != QMetaType::QString)
        raise(Kind::PageChanged, "read page HTML", QStringLiteral("the page gave no HTML"));
    return toCp1251(html.toString());
}

void PageDriver::requireUsablePage(const char* operation) const
{
    if (!m_page)
        raise(Kind::NotLoaded, operation, QStringLiteral("no tracking page has been loaded"));
    if (!m_renderProcessGone.isEmpty())
        raise(Kind::BrowserFailed, operation, m_renderProcessGone);
    if (m_loadState == LoadState::Failed)
        raise(m_loadErrorKind, operation, m_loadError);
}

void PageDriver::runElementScript(const QString& source, const char* operation, const char* missing,
                                  bool navigationCompletes)
{
    bool navigated = false;
    const QString outcome = runScript(source, operation, navigationCompletes ? &navigated : nullptr).toString();
    if (navigated || outcome == QLatin1String("ok"))
        return;
    if (outcome == QLatin1String("missing"))
        raise(Kind::PageChanged, operation, QStringLiteral("the page has no %1").arg(QLatin1String(missing)));
    raise(Kind::PageChanged, operation, QStringLiteral("the page gave no usable answer"));
}

QVariant PageDriver::runScript(const QString& source, const char* operation, bool* navigated)
{
    requireUsablePage(operation);

    auto wait = std::make_shared<ScriptWait>();
    m_waits.erase(std::remove_if(m_waits.begin(), m_waits.end(), [](const auto& w) { return w.expired(); }),
                  m_waits.end());
    m_waits.push_back(wait);

    // The callback comes as an event, and the wait looks at `over` after every event.
    m_page->runJavaScript(source, QWebEngineScript::ApplicationWorld, [wait](const QVariant& value) {
        if (wait->over)
            return;
        wait->value = value;
        wait->answered = true;
        wait->over = true;
    });

    const QDeadlineTimer deadline(m_scriptTimeout);
    EventWait::Outcome outcome;
    do
        outcome = m_wait.until([&wait] { return wait->over; }, deadline);
    while (outcome == EventWait::Outcome::Woken);
    if (outcome == EventWait::Outcome::Stopped) {
        wait->over = true;
        raise(Kind::Stopped, operation, QStringLiteral("the check was stopped while the page was awaited"));
    }
    if (outcome == EventWait::Outcome::TimedOut) {
        // A page script that never returns keeps its render process busy for good, and the
        // page takes nothing more: the page goes now, and the next load starts a new one.
        wait->over = true;
        dropPage(true);
        raise(Kind::NoAnswer, operation,
              QStringLiteral("the page gave no answer within %1 ms and was closed").arg(m_scriptTimeout.count()));
    }

    if (!wait->answered) {
        if (wait->endedByNavigation && navigated) {
            *navigated = true;
            return {};
        }
        raise(wait->endKind, operation, wait->endReason);
    }
    return wait->value;
}

void PageDriver::endWaits(const QString& reason, Kind kind, bool navigation)
{
    // The list keeps the scripts that have not answered, ended or not: see the destructor.
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

void PageDriver::dropPage(bool stuck)
{
    if (!m_page)
        return;
    endWaits(QStringLiteral("the tracking page was closed"), Kind::BrowserFailed, false);
    const qint64 renderer = m_page->renderProcessPid();
    m_page.reset();
    m_loadState = LoadState::None;
    m_renderProcessGone.clear();
    m_loadError.clear();
    // Deleting the page makes the engine end its render process within milliseconds, a busy
    // one too. One stuck in a script is ended here at once all the same, so that the program is
    // idle as soon as the page is gone, whatever the engine's timing.
    if (stuck && renderer > 0 && processRunning(renderer))
        ::kill(static_cast<pid_t>(renderer), SIGKILL);
}

void PageDriver::onLoadStarted()
{
    m_awaitingStart = false;
    m_loadState = LoadState::Loading;
    m_loadError.clear();
    // A script sent to the old document may never answer once it is torn down.
    endWaits(QStringLiteral("the page began loading another document"), Kind::PageChanged, true);
}

void PageDriver::onLoadingChanged(const QWebEngineLoadingInfo& info)
{
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus || m_awaitingStart)
        return;
    if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus && !info.isErrorPage()) {
        m_loadState = LoadState::Finished;
        return;
    }
    m_loadState = LoadState::Failed;
    m_loadError = describeLoadFailure(info);
    m_loadErrorKind =
        info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain ? Kind::ErrorAnswer : Kind::NotLoaded;
}

void PageDriver::onRenderProcessTerminated(int status, int exitCode)
{
    static const char* const kHow[] = {"ended", "ended abnormally", "crashed", "was killed"};
    const char* how = status >= 0 && status < 4 ? kHow[status] : "ended";
    m_renderProcessGone = QStringLiteral("the page's render process %1 (exit code %2); the page must be loaded again")
                              .arg(QLatin1String(how))
                              .arg(exitCode);
    endWaits(m_renderProcessGone, Kind::BrowserFailed, false);
}
