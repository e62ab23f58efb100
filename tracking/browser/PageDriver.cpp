#include "tracking/browser/PageDriver.h"

#include "store/Cp1251.h"
#include "tracking/browser/SilentPage.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QUrl>
#include <QVariant>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include <algorithm>
#include <limits>

#include <csignal>

// The resources of a static library are not registered on their own.
static void initTrackingResources()
{
    Q_INIT_RESOURCE(tracking);
}

namespace {

using Kind = EPageError::Kind;

// A script of the driver's own, kept beside it as a resource.
QString resourceScript(const QString& name)
{
    initTrackingResources();
    QFile file(QStringLiteral(":/tracking/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

const QString& legacyWriterSource()
{
    static const QString source = resourceScript(QStringLiteral("legacy_writer.js"));
    return source;
}

// Run in the page's own world as each document is created, before the page's scripts: see the
// script for what it keeps out of this process.
const QString& quietPageSource()
{
    static const QString source = resourceScript(QStringLiteral("quiet_page.js"));
    return source;
}

// A script that every document of the page gets as it is created, in `world`.
QWebEngineScript documentScript(const QString& name, quint32 world, bool subFrames, const QString& source)
{
    QWebEngineScript script;
    script.setName(name);
    script.setWorldId(world);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setRunsOnSubFrames(subFrames);
    script.setSourceCode(source);
    return script;
}

const QString kWatcherName = QStringLiteral("kurierix-watcher");

// Run in the driver's world as each document is created: watches the results block (and the
// document around it, since the block may be replaced or come late) and tells the driver on
// the console at once when it changed. A look takes what has not been told yet, so that a
// change the look has seen is not told afterwards. Named elements of the page show through
// on the window object, hence the own, fixed property.
QString watcherSource(const QString& token)
{
    return QStringLiteral(R"((function () {
    "use strict";
    var token = "%1";
    var changes = 0;
    var results = null;
    function relevant(records) {
        if (records.length === 0)
            return false;
        var current = document.getElementById("results");
        if (current !== results) {
            results = current;
            return true;
        }
        if (!current)
            return true;
        for (var i = 0; i < records.length; i++) {
            if (current.contains(records[i].target))
                return true;
        }
        return false;
    }
    var observer = new MutationObserver(function (records) {
        if (relevant(records))
            console.debug(token + " " + (++changes));
    });
    observer.observe(document, {childList: true, subtree: true, characterData: true});
    Object.defineProperty(window, "kurierixWatcher", {value: Object.freeze({
        take: function () {
            if (relevant(observer.takeRecords()))
                ++changes;
            return changes;
        }
    })});
})();
)")
        .arg(token);
}

// A script that looks at the page: `body` runs inside a function that has look() at hand,
// which reads the page text, and the HTML too unless the text contains `htmlUnless` (a null
// string: never). Whatever `body` returns carries "seen", the changes the look has seen.
QString lookScript(const QString& body, const QString& htmlUnless, const QString& writer)
{
    const QJsonObject args{{QStringLiteral("htmlUnless"), htmlUnless.isNull() ? QJsonValue() : QJsonValue(htmlUnless)}};
    return QStringLiteral(R"((function (args) {
    "use strict";
    var watcher = Object.prototype.hasOwnProperty.call(window, "kurierixWatcher") ? window.kurierixWatcher : null;
    function seen() {
        return watcher ? watcher.take() : -1;
    }
    function look() {
        var changes = seen();
        var root = document.documentElement;
        var text = root ? root.innerText : "";
        var html = null;
        // A writer that fails leaves the HTML to a read of its own, which says why.
        if (args.htmlUnless !== null && typeof text === "string" && text.indexOf(args.htmlUnless) < 0) {
            try {
                html =
)") + (htmlUnless.isNull() || writer.isEmpty() ? QStringLiteral("null") : writer)
           + QStringLiteral(R"(;
            } catch (error) {
                html = null;
            }
        }
        return {seen: changes, text: text, html: html};
    }
)") + body + QStringLiteral("\n})(")
           + QString::fromUtf8(QJsonDocument(args).toJson(QJsonDocument::Compact)) + QStringLiteral(")");
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

PageDriver::PageDriver(QString storagePath)
    : m_storagePath(std::move(storagePath)),
      m_notifications(qEnvironmentVariableIsEmpty("KURIERIX_NO_PAGE_NOTIFICATIONS"))
{
    quint64 secret[2];
    QRandomGenerator::system()->fillRange(secret);
    m_token = QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(secret), sizeof secret).toHex());
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

void PageDriver::setChangeNotifications(bool on)
{
    m_notifications = on;
    m_unseenChange = false;
    if (m_page)
        installWatcher();
}

bool PageDriver::hasUnseenChange() const
{
    return m_notifications && m_unseenChange;
}

// In the page's own collection, so that every load and reload gets it.
void PageDriver::installWatcher()
{
    QWebEngineScriptCollection& scripts = m_page->scripts();
    for (const QWebEngineScript& old : scripts.find(kWatcherName))
        scripts.remove(old);
    if (!m_notifications)
        return;
    scripts.insert(documentScript(kWatcherName, QWebEngineScript::ApplicationWorld, false, watcherSource(m_token)));
}

void PageDriver::onConsoleMessage(const QString& message)
{
    if (message.size() <= m_token.size() || !message.startsWith(m_token) || message.at(m_token.size()) != u' ')
        return;
    bool ok = false;
    const qint64 count = QStringView(message).mid(m_token.size() + 1).toLongLong(&ok);
    if (ok)
        tellChange(count);
}

// `count` counts the document's changes; a change of the load or of the page itself is
// told with the largest count, which no look has seen.
void PageDriver::tellChange(qint64 count)
{
    if (m_lookInFlight)
        m_toldDuringLook = std::max(m_toldDuringLook, count);
    else if (count > m_seenChanges)
        m_unseenChange = true;
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

    connect(m_page.get(), &SilentPage::consoleMessage, this, &PageDriver::onConsoleMessage);
    m_page->scripts().insert(
        documentScript(QStringLiteral("kurierix-quiet"), QWebEngineScript::MainWorld, true, quietPageSource()));
    installWatcher();
    // Each address the page gives itself (a new fragment, a pushed state) becomes an entry of its
    // history, kept in this process: some fifty entries of up to 2 MB of address each, several
    // copies of every one. The run never goes back, so only the current entry is kept. (While the
    // page is being deleted there is nothing to clear.)
    connect(m_page.get(), &QWebEnginePage::urlChanged, this, [this] {
        if (m_page)
            m_page->history()->clear();
    });

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
    if (m_loadState == LoadState::Loading) {
        m_unseenChange = false;
        return 1;
    }
    bool navigated = false;
    const QString state = runLook(QStringLiteral("return {seen: seen(), state: document.readyState};"), QString(),
                                  "ready state", &navigated)
                              .toMap()
                              .value(QStringLiteral("state"))
                              .toString();
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
    return lookFrom(runLook(QStringLiteral("return look();"), QString(), "read page text"), "read page text").text;
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

void PageDriver::selectAndEnterNumber(const std::string& number)
{
    // As selectInternationalTracking and enterNumber would do them, in one round trip.
    const QByteArray literal = QJsonDocument(QJsonArray{fromCp1251(number)}).toJson(QJsonDocument::Compact);
    const QString outcome = runScript(QStringLiteral(R"((function (args) {
    var radio = document.getElementById("internal-2");
    if (!radio)
        return "no radio";
    radio.click();
    var element = document.getElementById("item");
    if (!element)
        return "no item";
    element.value = args[0];
    return "ok";
})()") + QString::fromUtf8(literal) + QStringLiteral(")"),
                                      "select and enter number")
                                .toString();
    if (outcome == QLatin1String("ok"))
        return;
    if (outcome == QLatin1String("no radio"))
        raise(Kind::PageChanged, "select international tracking",
              QStringLiteral("the page has no element with the id \"internal-2\""));
    if (outcome == QLatin1String("no item"))
        raise(Kind::PageChanged, "enter number", QStringLiteral("the page has no element with the id \"item\""));
    raise(Kind::PageChanged, "select and enter number", QStringLiteral("the page gave no usable answer"));
}

TrackingPage::Look PageDriver::readPage(const std::string& htmlUnless)
{
    return lookFrom(runLook(QStringLiteral("return look();"), fromCp1251(htmlUnless), "read page text"),
                    "read page text");
}

TrackingPage::Look PageDriver::startSearchAndReadPage(const std::string& htmlUnless)
{
    // The click and the first look in one script: nothing of the page's runs in between.
    bool navigated = false;
    const QVariant value = runLook(QStringLiteral(R"(    var inputs = document.getElementsByTagName("input");
    if (inputs.length == 0)
        return {seen: -1, missing: true};
    inputs[inputs.length - 1].click();
    return look();)"),
                                   fromCp1251(htmlUnless), "start search", &navigated);
    // A click that makes the page navigate has done its work; what shows now is read anew.
    if (navigated)
        return readPage(htmlUnless);
    if (value.toMap().value(QStringLiteral("missing")).toBool())
        raise(Kind::PageChanged, "start search", QStringLiteral("the page has no input element"));
    return lookFrom(value, "read page text");
}

QVariant PageDriver::runLook(const QString& body, const QString& htmlUnless, const char* operation, bool* navigated)
{
    m_lookInFlight = true;
    m_toldDuringLook = 0;
    QVariant value;
    try {
        value = runScript(lookScript(body, htmlUnless, legacyWriterSource()), operation, navigated);
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

TrackingPage::Look PageDriver::lookFrom(const QVariant& value, const char* operation)
{
    const QVariantMap look = value.toMap();
    const QVariant text = look.value(QStringLiteral("text"));
    if (text.typeId() != QMetaType::QString)
        raise(Kind::PageChanged, operation, QStringLiteral("the page gave no text"));
    Look result{toCp1251(text.toString()), std::nullopt};
    const QVariant html = look.value(QStringLiteral("html"));
    if (html.typeId() == QMetaType::QString)
        result.html = toCp1251(html.toString());
    return result;
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
    m_seenChanges = 0;
    tellChange(std::numeric_limits<qint64>::max());
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
    tellChange(std::numeric_limits<qint64>::max());
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
    tellChange(std::numeric_limits<qint64>::max());
}
