#include "tracking/page/PageSource.h"

#include "store/Cp1251.h"
#include "tracking/extraction/Extraction.h"
#include "tracking/page/BrowserModule.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <utility>

namespace {

constexpr int kReadyStateComplete = 4;

// While the page shows this, its answer is outstanding.
const QString& loadingMarker()
{
    static const QString marker = QStringLiteral("Загрузка");
    return marker;
}

TrackingSourceError endOfRun(const EPageError& error)
{
    return TrackingSourceError(TrackingSourceError::Kind::Failed, PageSource::failureOf(error.kind()), error.message());
}

TrackingAnswer answerOf(TrackingAnswer::Kind kind)
{
    return TrackingAnswer::of(kind);
}

} // namespace

PageSource::PageSource(TrackingPageFactory pageFactory, Endpoints endpoints)
    : m_pageFactory(std::move(pageFactory)), m_endpoints(std::move(endpoints))
{
}

PageSource::~PageSource() = default;

void PageSource::setStopCondition(std::function<bool()> stopRequested)
{
    m_stopRequested = std::move(stopRequested);
    m_wait.setStopCondition(m_stopRequested);
    if (m_page)
        m_page->setStopCondition(m_stopRequested);
}

SourceFailure PageSource::failureOf(EPageError::Kind kind)
{
    switch (kind) {
    case EPageError::Kind::NotLoaded:
        return SourceFailure::SiteNotLoaded;
    case EPageError::Kind::ErrorAnswer:
        return SourceFailure::SiteErrorAnswer;
    case EPageError::Kind::PageChanged:
        return SourceFailure::SitePageChanged;
    case EPageError::Kind::NoAnswer:
        return SourceFailure::SiteNoAnswer;
    case EPageError::Kind::BrowserFailed:
        return SourceFailure::BrowserFailed;
    case EPageError::Kind::NotInstalled:
        return SourceFailure::BrowserModuleMissing;
    case EPageError::Kind::NotPackaged:
        return SourceFailure::BrowserNotPackaged;
    case EPageError::Kind::Stopped:
        break;
    }
    return SourceFailure::Stopped;
}

TrackingPage& PageSource::page()
{
    if (!m_page) {
        m_page = m_pageFactory ? m_pageFactory() : nullptr;
        if (!m_page)
            throw EPageError(EPageError::Kind::BrowserFailed, "The tracking page could not be created");
        // While the run drives the page, the page's own waits end with the run's stop.
        m_page->setStopCondition(m_stopRequested);
    }
    return *m_page;
}

void PageSource::finishRun()
{
    // Nothing of the run is left in the page, and nothing of the page outlives the run: the next
    // run makes a new one.
    if (m_page)
        m_page->setStopCondition({});
    m_page.reset();
}

bool PageSource::stopped() const
{
    return m_stopRequested && m_stopRequested();
}

void PageSource::prepare()
{
    try {
        if (loadPage() == Wait::TimedOut)
            throw TrackingSourceError(TrackingSourceError::Kind::DidNotAnswer, SourceFailure::None,
                                      QStringLiteral("The tracking page did not load"));
    } catch (const EPageError& error) {
        throw endOfRun(error);
    }
}

TrackingAnswer PageSource::ask(const QString& number, const std::function<void()>& sent)
{
    try {
        return askPage(number, sent);
    } catch (const EPageError& error) {
        // The page stopped answering (a script of its own that never returns) and was closed:
        // like a search whose answer never came, the parcel is passed over and the page is
        // loaded afresh for the next one.
        if (error.kind() == EPageError::Kind::NoAnswer && !stopped())
            return answerOf(TrackingAnswer::Kind::NoAnswer);
        throw endOfRun(error);
    }
}

// Sleeps until the page tells of a change no look has seen, or until the fallback look is due
// (a notification may be lost, or the page may tell nothing at all), or until `deadline`.
// Each look is a round trip to the browser engine: between changes there is nothing to see.
bool PageSource::awaitChange(QDeadlineTimer deadline)
{
    const QDeadlineTimer fallback(m_limits.fallbackLookMs, Qt::PreciseTimer);
    const TrackingPage& watched = *m_page;
    return m_wait.until([&watched] { return watched.hasUnseenChange(); }, std::min(deadline, fallback))
           != EventWait::Outcome::Stopped;
}

PageSource::Wait PageSource::loadPage()
{
    TrackingPage& loading = page();
    loading.loadPage(QString::fromStdString(m_endpoints.trackingUrl));
    const QDeadlineTimer deadline(m_limits.pageLoadMs, Qt::PreciseTimer);
    for (;;) {
        if (stopped())
            return Wait::Stopped;
        if (loading.readyState() == kReadyStateComplete)
            return stopped() ? Wait::Stopped : Wait::Ready;
        if (deadline.hasExpired())
            return Wait::TimedOut;
        if (!awaitChange(deadline))
            return Wait::Stopped;
    }
}

// `look` is the first look, taken with the click; the page is looked at again while it shows
// the loading text.
PageSource::Wait PageSource::waitForAnswer(TrackingPage::Look& look)
{
    const QDeadlineTimer deadline(m_limits.searchMs, Qt::PreciseTimer);
    while (look.text.contains(loadingMarker())) {
        if (stopped())
            return Wait::Stopped;
        if (deadline.hasExpired())
            return Wait::TimedOut;
        if (!awaitChange(deadline))
            return Wait::Stopped;
        look = m_page->readPage(loadingMarker());
    }
    return stopped() ? Wait::Stopped : Wait::Ready;
}

TrackingAnswer PageSource::askPage(const QString& number, const std::function<void()>& sent)
{
    static const QString nothingFoundMarker = QStringLiteral("По вашему запросу ничего не найдено");
    // A stopped run looks at the stop before it uses the answer; any answer will do.
    const TrackingAnswer stoppedAnswer = answerOf(TrackingAnswer::Kind::NoAnswer);
    TrackingPage& asked = page();
    asked.selectAndEnterNumber(number);
    if (stopped())
        return stoppedAnswer;
    if (sent)
        sent();
    // The first look comes with the click, before any event is handled: a page that shows no
    // loading text is taken as it is.
    TrackingPage::Look look = asked.startSearchAndReadPage(loadingMarker());
    if (stopped())
        return stoppedAnswer;

    const Wait answered = waitForAnswer(look);
    if (answered != Wait::Ready)
        return stoppedAnswer; // no answer within the bound, or stopped
    if (look.text.contains(nothingFoundMarker))
        return answerOf(TrackingAnswer::Kind::NothingFound);
    // The HTML of the same look as the text, when the page gave it along.
    const QString pageHtml = look.html ? std::move(*look.html) : asked.readPageHtml();
    if (stopped())
        return stoppedAnswer;
    // The extraction reads the page as the Windows-1251 bytes the old browser control gave, the
    // form whose bytes its pattern was written for; its texts come back the same way.
    const std::string html = toCp1251(pageHtml);
    const ExtractedResults results = ExtractResults(html);
    // Any event cell leaves text in the history; none at all means the answer did not have the
    // expected table (changed markup, a cut-off page). Storing three empty texts would wipe what
    // an earlier check found, and a table read only in part would store an old event as the
    // status and a short history.
    if (results.history.empty() || !results.readWhole)
        return TrackingAnswer::unreadable(UnreadableReason::of(results.history.empty()
                                                                   ? UnreadableReason::Kind::NoEventOnPage
                                                                   : UnreadableReason::Kind::RowsPassedOver),
                                          fromCp1251(html).toUtf8());
    TrackingAnswer found = answerOf(TrackingAnswer::Kind::Found);
    found.status = fromCp1251(results.status);
    found.history = fromCp1251(results.history);
    found.firstDate = fromCp1251(results.firstEventDate);
    return found;
}
