#include "tracking/page/browser/PageDriver.h"

#include "tracking/page/browser/PageScripts.h"
#include "tracking/page/browser/PageSetup.h"
#include "tracking/page/browser/SilentPage.h"

#include <QFile>
#include <QJsonValue>
#include <QUrl>
#include <QVariant>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>

#include <csignal>

namespace {

using Kind = EPageError::Kind;

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

// The number travels as a script literal: whatever it holds stays data.
QString numberLiteral(const QString& number)
{
    return PageScripts::literal(number);
}

} // namespace

PageDriver::PageDriver(QString storagePath, PageDriverOptions options)
    : m_storagePath(std::move(storagePath)), m_options(std::move(options)), m_calls([this] { dropPage(true); }),
      m_watch(m_options.changeNotifications)
{
}

PageDriver::~PageDriver()
{
    // A script still unanswered may be stuck behind a page script that never returns; that
    // render process must not outlive the program.
    dropPage(m_calls.anyUnanswered());
    m_profile.reset();
}

void PageDriver::setStopCondition(std::function<bool()> stopRequested)
{
    m_calls.setStopCondition(std::move(stopRequested));
}

void PageDriver::setChangeNotifications(bool on)
{
    m_watch.setEnabled(on);
    if (m_page)
        m_watch.install(m_page->scripts());
}

bool PageDriver::hasUnseenChange() const
{
    return m_watch.hasUnseenChange();
}

void PageDriver::createPage()
{
    m_profile = PageSetup::createProfile(m_storagePath);
    m_page = PageSetup::createPage(*m_profile);
    connect(m_page.get(), &SilentPage::consoleMessage, this,
            [this](const QString& message) { m_watch.onConsoleMessage(message); });
    m_watch.install(m_page->scripts());
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
    if (m_options.pageCreated)
        m_options.pageCreated(m_page.get());
}

void PageDriver::loadPage(const QString& address)
{
    const QUrl url(address, QUrl::StrictMode);
    static const QStringList kSchemes = {QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("file"),
                                         QStringLiteral("data")};
    if (!url.isValid() || !kSchemes.contains(url.scheme()))
        raisePageError(Kind::NotLoaded, "load page",
                       QStringLiteral("\"%1\" is not an address a page can be loaded from").arg(address));

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
        m_watch.forgetUnseenChange();
        return 1;
    }
    bool navigated = false;
    const QString state =
        runLook("state", QString(), "ready state", &navigated).toMap().value(QStringLiteral("state")).toString();
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
    runElementScript(PageScripts::call(PageScript::SelectInternational), "select international tracking",
                     "element with the id \"internal-2\"");
}

void PageDriver::enterNumber(const QString& number)
{
    runElementScript(PageScripts::call(PageScript::EnterNumber, {numberLiteral(number)}), "enter number",
                     "element with the id \"item\"");
}

void PageDriver::startSearch()
{
    // A click that makes the page navigate has done its work.
    runElementScript(PageScripts::call(PageScript::StartSearch), "start search", "input element", true);
}

QString PageDriver::readPageText()
{
    return lookFrom(runLook("read", QString(), "read page text"), "read page text").text;
}

QString PageDriver::readPageHtml()
{
    if (PageScripts::source(PageScript::LegacyWriter).isEmpty())
        raisePageError(Kind::BrowserFailed, "read page HTML",
                       QStringLiteral("the HTML writer is missing from the program"));
    const QVariant html = runScript(PageScripts::call(PageScript::LegacyWriter), "read page HTML");
    if (html.typeId() != QMetaType::QString)
        raisePageError(Kind::PageChanged, "read page HTML", QStringLiteral("the page gave no HTML"));
    return html.toString();
}

void PageDriver::selectAndEnterNumber(const QString& number)
{
    // As selectInternationalTracking and enterNumber would do them, in one round trip.
    const QString outcome =
        runScript(PageScripts::call(PageScript::SelectAndEnter, {numberLiteral(number)}), "select and enter number")
            .toString();
    if (outcome == QLatin1String("ok"))
        return;
    if (outcome == QLatin1String("no radio"))
        raisePageError(Kind::PageChanged, "select international tracking",
                       QStringLiteral("the page has no element with the id \"internal-2\""));
    if (outcome == QLatin1String("no item"))
        raisePageError(Kind::PageChanged, "enter number",
                       QStringLiteral("the page has no element with the id \"item\""));
    raisePageError(Kind::PageChanged, "select and enter number", QStringLiteral("the page gave no usable answer"));
}

TrackingPage::Look PageDriver::readPage(const QString& htmlUnless)
{
    return lookFrom(runLook("read", htmlUnless, "read page text"), "read page text");
}

TrackingPage::Look PageDriver::startSearchAndReadPage(const QString& htmlUnless)
{
    // The click and the first look in one script: nothing of the page's runs in between.
    bool navigated = false;
    const QVariant value = runLook("search", htmlUnless, "start search", &navigated);
    // A click that makes the page navigate has done its work; what shows now is read anew.
    if (navigated)
        return readPage(htmlUnless);
    if (value.toMap().value(QStringLiteral("missing")).toBool())
        raisePageError(Kind::PageChanged, "start search", QStringLiteral("the page has no input element"));
    return lookFrom(value, "read page text");
}

QVariant PageDriver::runLook(const char* action, const QString& htmlUnless, const char* operation, bool* navigated)
{
    // The writer travels only with a look that may want the HTML.
    const QString& writer = PageScripts::source(PageScript::LegacyWriter);
    const QString source = PageScripts::call(
        PageScript::Look, {PageScripts::literal(QLatin1String(action)),
                           PageScripts::literal(htmlUnless.isNull() ? QJsonValue() : QJsonValue(htmlUnless)),
                           htmlUnless.isNull() || writer.isEmpty() ? QStringLiteral("null") : writer});
    return m_watch.look([&] { return runScript(source, operation, navigated); });
}

TrackingPage::Look PageDriver::lookFrom(const QVariant& value, const char* operation)
{
    const QVariantMap look = value.toMap();
    const QVariant text = look.value(QStringLiteral("text"));
    if (text.typeId() != QMetaType::QString)
        raisePageError(Kind::PageChanged, operation, QStringLiteral("the page gave no text"));
    Look result{text.toString(), std::nullopt};
    const QVariant html = look.value(QStringLiteral("html"));
    if (html.typeId() == QMetaType::QString)
        result.html = html.toString();
    return result;
}

void PageDriver::requireUsablePage(const char* operation) const
{
    if (!m_page)
        raisePageError(Kind::NotLoaded, operation, QStringLiteral("no tracking page has been loaded"));
    if (!m_renderProcessGone.isEmpty())
        raisePageError(Kind::BrowserFailed, operation, m_renderProcessGone);
    if (m_loadState == LoadState::Failed)
        raisePageError(m_loadErrorKind, operation, m_loadError);
}

QVariant PageDriver::runScript(const QString& source, const char* operation, bool* navigated)
{
    requireUsablePage(operation);
    if (m_options.scriptTimeout)
        m_calls.setTimeout(m_options.scriptTimeout());
    return m_calls.run(*m_page, source, operation, navigated);
}

void PageDriver::runElementScript(const QString& source, const char* operation, const char* missing,
                                  bool navigationCompletes)
{
    bool navigated = false;
    const QString outcome = runScript(source, operation, navigationCompletes ? &navigated : nullptr).toString();
    if (navigated || outcome == QLatin1String("ok"))
        return;
    if (outcome == QLatin1String("missing"))
        raisePageError(Kind::PageChanged, operation, QStringLiteral("the page has no %1").arg(QLatin1String(missing)));
    raisePageError(Kind::PageChanged, operation, QStringLiteral("the page gave no usable answer"));
}

void PageDriver::dropPage(bool stuck)
{
    if (!m_page)
        return;
    m_calls.endAll(QStringLiteral("the tracking page was closed"), Kind::BrowserFailed, false);
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
    m_watch.documentStarted();
    m_awaitingStart = false;
    m_loadState = LoadState::Loading;
    m_loadError.clear();
    // A script sent to the old document may never answer once it is torn down.
    m_calls.endAll(QStringLiteral("the page began loading another document"), Kind::PageChanged, true);
}

void PageDriver::onLoadingChanged(const QWebEngineLoadingInfo& info)
{
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus || m_awaitingStart)
        return;
    m_watch.pageChanged();
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
    m_calls.endAll(m_renderProcessGone, Kind::BrowserFailed, false);
    m_watch.pageChanged();
}
