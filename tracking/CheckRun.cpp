#include "tracking/CheckRun.h"

#include "store/Cp1251.h"
#include "store/DatabaseErrorText.h"
#include "store/FloatText.h"
#include "store/ParcelStore.h"
#include "tracking/CheckRunContext.h"
#include "tracking/CheckRunHost.h"
#include "tracking/extraction/Extraction.h"
#include "tracking/ReachabilityProbe.h"
#include "tracking/TrackingPage.h"

#include <QDeadlineTimer>
#include <QString>

#include <algorithm>
#include <memory>

namespace {

constexpr int kReadyStateComplete = 4;

std::string text(const QString& utf16)
{
    return toCp1251(utf16);
}

// While the page shows this, its answer is outstanding.
const std::string& loadingMarker()
{
    static const std::string marker = text(QStringLiteral("Загрузка"));
    return marker;
}

bool contains(const std::string& haystack, const std::string& needle)
{
    return haystack.find(needle) != std::string::npos;
}

// Milliseconds of the monotonic clock, which counts from system start on this platform.
std::uint32_t systemTicks()
{
    return static_cast<std::uint32_t>(QDeadlineTimer::current(Qt::PreciseTimer).deadline());
}

bool stopRequestedOf(CheckRunContext& context)
{
    return context.stopRequested() || context.store() == nullptr;
}

// A field of the snapshot for the outcome; a table that lacks the column gives an empty text (the
// run itself reads only `id` and `s_track`, and says so when it cannot).
std::string fieldOf(const TSQLiteTable& table, const char* column)
{
    try {
        return table.FieldText(column);
    } catch (const std::exception&) {
        return {};
    }
}

// While the run drives the page, the page's own waits end with the run's stop; afterwards
// nothing of the run is left in the page.
class PageStopsWithRun
{
public:
    PageStopsWithRun(TrackingPage& page, CheckRunContext& context) : m_page(page)
    {
        page.setStopCondition([&context] { return stopRequestedOf(context); });
    }
    ~PageStopsWithRun() { m_page.setStopCondition({}); }
    PageStopsWithRun(const PageStopsWithRun&) = delete;
    PageStopsWithRun& operator=(const PageStopsWithRun&) = delete;

private:
    TrackingPage& m_page;
};

// In place of what a parcel's answer would have changed, when its row was deleted meanwhile.
std::string noLongerListedLine()
{
    return text(QStringLiteral("- посылки больше нет в списке, ничего не записано"));
}

// What the user is told of a page failure: one sentence to act on, then the technical detail.
std::string forTheUser(const EPageError& error)
{
    QString sentence;
    switch (error.kind()) {
    case EPageError::Kind::NotLoaded:
        sentence = QStringLiteral("Не удалось загрузить сайт БелПочты: проверьте подключение к интернету и повторите "
                                  "проверку позже");
        break;
    case EPageError::Kind::ErrorAnswer:
        sentence = QStringLiteral("Сайт БелПочты ответил ошибкой: повторите проверку позже");
        break;
    case EPageError::Kind::PageChanged:
        sentence = QStringLiteral("Сайт БелПочты изменил свою страницу, и на ней нет нужного программе поля: "
                                  "проверьте посылки на самом сайте");
        break;
    case EPageError::Kind::NoAnswer:
        sentence = QStringLiteral("Сайт БелПочты не ответил вовремя: повторите проверку позже");
        break;
    case EPageError::Kind::BrowserFailed:
        sentence = QStringLiteral("Встроенный браузер программы перестал работать: повторите проверку, а если это не "
                                  "поможет, перезапустите программу");
        break;
    case EPageError::Kind::NotInstalled:
        sentence = QStringLiteral("Не удалось загрузить компонент проверки посылок: установите программу заново");
        break;
    case EPageError::Kind::Stopped:
        sentence = QStringLiteral("Проверка посылок остановлена");
        break;
    }
    return text(sentence) + " (" + error.what() + ").";
}

} // namespace

CheckRun::CheckRun(CheckRunContext& context, CheckRunHost& host, Endpoints endpoints)
    : m_context(context), m_host(host), m_endpoints(std::move(endpoints)), m_ticks(systemTicks),
      m_wait([&context] { return stopRequestedOf(context); })
{
}

void CheckRun::setLimits(const Limits& limits)
{
    m_limits = limits;
}

void CheckRun::setTickSource(TickSource ticks)
{
    m_ticks = ticks ? std::move(ticks) : TickSource(systemTicks);
}

void CheckRun::execute()
{
    // Every early end that is not named below is a stop.
    m_outcome = CheckOutcome{CheckOutcome::End::Stopped, {}, {}};
    if (stopped())
        return;

    // The run walks its own copy of the rows: whatever replaces the window's current result
    // meanwhile, the snapshot stays alive here.
    std::shared_ptr<TSQLiteTable> snapshot;
    try {
        snapshot = m_context.store()->listAll();
    } catch (const std::exception& error) {
        // Before anything else has happened: the general error report, as for any error that
        // leaves the menu's handler, worded by its cause like every other database failure.
        m_outcome.end = CheckOutcome::End::DatabaseUnreadable;
        m_outcome.cause = error.what();
        m_host.reportError(reportedMessage(error));
        return;
    }
    m_host.setCurrentResult(snapshot);
    const std::int32_t rowCount = snapshot->RowCount();
    for (snapshot->Rewind(); !snapshot->AtEnd(); snapshot->NextRow()) {
        ParcelOutcome parcel;
        parcel.id = fieldOf(*snapshot, "id");
        parcel.number = fieldOf(*snapshot, "s_track");
        parcel.shop = fieldOf(*snapshot, "s_shop");
        parcel.title = fieldOf(*snapshot, "s_title");
        parcel.statusBefore = fieldOf(*snapshot, "s_status");
        parcel.statusAfter = parcel.statusBefore;
        m_outcome.parcels.push_back(std::move(parcel));
    }
    if (rowCount == 0) {
        finish();
        return;
    }

    m_host.appendStatusLine(text(QStringLiteral(" Проверка интернета...")));
    m_host.setStatusLabel(text(QStringLiteral("Статус: Проверка интернета")));
    if (!pause(m_limits.pauseBeforeProbeMs))
        return;

    const bool reachable =
        ReachabilityProbe(m_endpoints.probeHost, m_endpoints.probePort, m_limits.probeTimeoutMs).isReachable();
    EventWait::handlePending();
    if (stopped())
        return;
    if (!reachable) {
        m_outcome.end = CheckOutcome::End::SiteUnreachable;
        m_host.appendStatusLine(text(QStringLiteral(" Сайт БелПочты не доступен")));
        m_host.setStatusLabel(text(QStringLiteral("Статус: Сайт Белпочты не доступен, зайдите позже!")));
        return;
    }
    m_host.appendStatusLine(text(QStringLiteral(" Сайт БелПочты доступен")));
    m_host.setStatusLabel(text(QStringLiteral("Статус: Сайт Белпочты доступен")));

    const std::uint32_t startTicks = m_ticks();
    m_host.setStatusLabel(text(QStringLiteral("Статус: Получение данных... ждите")));
    m_host.setGridEnabled(false);

    std::string number;
    bool inParcel = false;
    std::int32_t current = 0;
    try {
        TrackingPage& page = m_context.trackingPage();
        const PageStopsWithRun pageStops(page, m_context);
        bool reloadFirst = true;
        snapshot->Rewind();
        for (std::int32_t row = 0; row < rowCount; ++row, snapshot->NextRow()) {
            if (reloadFirst) {
                // Once per run, and again after a number that got no answer: a late answer
                // would be taken for the next number's, and a page that stopped answering
                // has been closed.
                const Wait loaded = loadPage(page);
                if (loaded == Wait::Stopped)
                    return;
                if (loaded == Wait::TimedOut) {
                    siteDidNotAnswer();
                    return;
                }
                reloadFirst = false;
            }

            number = snapshot->FieldText("s_track");
            const std::string id = snapshot->FieldText("id");
            inParcel = true;
            current = row;
            m_host.appendStatusLine(text(QStringLiteral("- посылка №")) + number);

            std::string html;
            const Answer answer = askPage(page, number, html);
            if (answer == Answer::Stopped)
                return;
            ParcelOutcome& outcome = parcel(row);
            if (answer == Answer::NoAnswer) {
                outcome.result = ParcelOutcome::Result::NoAnswer;
                m_host.appendStatusLine(text(QStringLiteral("- нет ответа по номеру")));
                reloadFirst = true;
                inParcel = false;
                continue;
            }

            if (answer == Answer::NothingFound) {
                if (!storeGuarded(outcome, ParcelOutcome::Result::NothingFound, ParcelStore::noInformationStatus(),
                                  [&id](ParcelStore& store) { return store.storeNoInformation(id); }))
                    return;
                m_host.appendStatusLine(text(QStringLiteral("- получение данных")));
                if (outcome.result == ParcelOutcome::Result::NoLongerListed)
                    m_host.appendStatusLine(noLongerListedLine());
                else
                    m_host.appendStatusLine(text(QStringLiteral("- нет данных по номеру")));
            } else {
                m_host.appendStatusLine(text(QStringLiteral("- получение данных")));
                const ExtractedResults results = ExtractResults(html);
                // Any event cell leaves text in the history; none at all means the answer
                // did not have the expected table (changed markup, a cut-off page). Storing
                // three empty texts would wipe what an earlier check found, and a table read
                // only in part would store an old event as the status and a short history.
                if (results.history.empty() || !results.readWhole) {
                    outcome.result = ParcelOutcome::Result::Unreadable;
                    m_host.appendStatusLine(
                        text(QStringLiteral("- ответ сайта не удалось прочитать, данные не изменены")));
                } else {
                    if (!storeGuarded(outcome, ParcelOutcome::Result::Stored, results.status, [&](ParcelStore& store) {
                            return store.storeCheckResult(id, results.status, results.firstEventDate, results.history);
                        }))
                        return;
                    if (outcome.result == ParcelOutcome::Result::NoLongerListed)
                        m_host.appendStatusLine(noLongerListedLine());
                }
            }
            inParcel = false;
        }
    } catch (const std::exception& error) {
        if (stopped())
            return;
        m_outcome.end = CheckOutcome::End::PageFailed;
        m_outcome.cause = error.what();
        if (inParcel) {
            ParcelOutcome& failed = parcel(current);
            failed.result = ParcelOutcome::Result::PageError;
            failed.cause = error.what();
        }
        pageFailed(error, inParcel ? &number : nullptr);
        return;
    }

    const std::uint32_t elapsedMs = m_ticks() - startTicks;
    m_host.appendStatusLine(text(QStringLiteral(" Время работы (сек) "))
                            + floatToText(static_cast<double>(elapsedMs) / 1000.0));
    finish();
}

bool CheckRun::stopped() const
{
    return stopRequestedOf(m_context);
}

// Handles events for `ms`, however many arrive meanwhile: the browser engine keeps the queue
// busy, so one wait for "the next event" would come back at once.
bool CheckRun::pause(int ms)
{
    const QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    EventWait::Outcome outcome;
    do
        outcome = m_wait.sleep(deadline);
    while (outcome == EventWait::Outcome::Woken);
    return outcome != EventWait::Outcome::Stopped;
}

// Sleeps until the page tells of a change no look has seen, or until the fallback look is due
// (a notification may be lost, or the page may tell nothing at all), or until `deadline`.
// Each look is a round trip to the browser engine: between changes there is nothing to see.
bool CheckRun::awaitChange(const TrackingPage& page, QDeadlineTimer deadline)
{
    const QDeadlineTimer fallback(m_limits.fallbackLookMs, Qt::PreciseTimer);
    return m_wait.until([&page] { return page.hasUnseenChange(); }, std::min(deadline, fallback))
           != EventWait::Outcome::Stopped;
}

CheckRun::Wait CheckRun::loadPage(TrackingPage& page)
{
    page.loadPage(m_endpoints.trackingUrl);
    const QDeadlineTimer deadline(m_limits.pageLoadMs, Qt::PreciseTimer);
    for (;;) {
        if (stopped())
            return Wait::Stopped;
        if (page.readyState() == kReadyStateComplete)
            return stopped() ? Wait::Stopped : Wait::Ready;
        if (deadline.hasExpired())
            return Wait::TimedOut;
        if (!awaitChange(page, deadline))
            return Wait::Stopped;
    }
}

// `look` is the first look, taken with the click; the page is looked at again while it shows
// the loading text.
CheckRun::Wait CheckRun::waitForAnswer(TrackingPage& page, TrackingPage::Look& look)
{
    const QDeadlineTimer deadline(m_limits.searchMs, Qt::PreciseTimer);
    while (contains(look.text, loadingMarker())) {
        if (stopped())
            return Wait::Stopped;
        if (deadline.hasExpired())
            return Wait::TimedOut;
        if (!awaitChange(page, deadline))
            return Wait::Stopped;
        look = page.readPage(loadingMarker());
    }
    return stopped() ? Wait::Stopped : Wait::Ready;
}

CheckRun::Answer CheckRun::askPage(TrackingPage& page, const std::string& number, std::string& html)
{
    static const std::string nothingFoundMarker = text(QStringLiteral("По вашему запросу ничего не найдено"));
    try {
        page.selectAndEnterNumber(number);
        if (stopped())
            return Answer::Stopped;
        m_host.appendStatusLine(text(QStringLiteral("- отправка данных")));
        // The first look comes with the click, before any event is handled: a page that shows
        // no loading text is taken as it is.
        TrackingPage::Look look = page.startSearchAndReadPage(loadingMarker());
        if (stopped())
            return Answer::Stopped;

        const Wait answered = waitForAnswer(page, look);
        if (answered != Wait::Ready)
            return answered == Wait::Stopped ? Answer::Stopped : Answer::NoAnswer;
        if (contains(look.text, nothingFoundMarker))
            return Answer::NothingFound;
        // The HTML of the same look as the text, when the page gave it along.
        html = look.html ? std::move(*look.html) : page.readPageHtml();
        return stopped() ? Answer::Stopped : Answer::Found;
    } catch (const EPageError& error) {
        // The page stopped answering (a script of its own that never returns) and was closed:
        // like a search whose answer never came, the parcel is passed over and the page is
        // loaded afresh for the next one.
        if (error.kind() == EPageError::Kind::NoAnswer && !stopped())
            return Answer::NoAnswer;
        throw;
    }
}

// Runs `statement` and notes in `parcel` what came of it: `result` and `statusAfter` once stored,
// NoLongerListed when the statement found no row of that id (deleted since the snapshot, by the
// window, another program or the file itself), the failure and its cause when the store refused.
// False when the run is to end.
bool CheckRun::storeGuarded(ParcelOutcome& parcel, ParcelOutcome::Result result, const std::string& statusAfter,
                            const std::function<bool(ParcelStore&)>& statement)
{
    ParcelStore* store = m_context.store();
    if (store == nullptr || m_context.stopRequested())
        return false;
    std::string failure;
    try {
        if (!statement(*store)) {
            // Nothing was written and nothing is to be told as new: the row is gone.
            parcel.result = ParcelOutcome::Result::NoLongerListed;
            return true;
        }
        m_storedAny = true;
        parcel.result = result;
        parcel.statusAfter = statusAfter;
        return true;
    } catch (const std::exception& error) {
        // The row keeps its values; the box says so and the run goes on.
        failure = error.what();
    } catch (...) {
        failure = "unknown error";
    }
    parcel.result = ParcelOutcome::Result::StoreFailed;
    parcel.cause = failure;
    m_host.showErrorBox(text(QStringLiteral("Ошибка №7 - Во время добавление данных возникла ошибка")), failure);
    if (stopped())
        return false;
    m_host.setStatusLabel(text(QStringLiteral("Статус: Ошибка, попробуйте позже.")));
    m_host.setGridEnabled(true);
    return true;
}

void CheckRun::siteDidNotAnswer()
{
    m_outcome.end = CheckOutcome::End::SiteDidNotAnswer;
    m_host.appendStatusLine(text(QStringLiteral(" Сайт БелПочты не ответил")));
    refreshIfStored();
    m_host.setStatusLabel(text(QStringLiteral("Статус: Сайт Белпочты не ответил, зайдите позже!")));
    m_host.setGridEnabled(true);
}

// Errors that are not the page's (the store's own) are reported as they are worded.
void CheckRun::pageFailed(const std::exception& error, const std::string* number)
{
    const auto* pageError = dynamic_cast<const EPageError*>(&error);
    m_host.reportError(pageError != nullptr ? forTheUser(*pageError) : std::string(error.what()));
    if (stopped()) {
        m_outcome.end = CheckOutcome::End::Stopped;
        return;
    }
    if (number != nullptr) {
        m_host.appendStatusLine(text(QStringLiteral("- ошибка при проверке посылки №")) + *number);
    } else {
        m_host.appendStatusLine(text(QStringLiteral(" Ошибка при загрузке сайта БелПочты")));
    }
    refreshIfStored();
    m_host.setGridEnabled(true);
    m_host.setStatusLabel(text(QStringLiteral("Статус: Ошибка, попробуйте позже.")));
}

// A run that ends early has still stored what it stored: the grid shows it.
void CheckRun::refreshIfStored()
{
    if (m_storedAny)
        m_host.refreshGrid();
}

void CheckRun::finish()
{
    m_outcome.end = CheckOutcome::End::WentThrough;
    m_host.refreshGrid();
    m_host.setStatusLabel(text(QStringLiteral("Статус: ok")));
    m_host.setGridEnabled(true);
}
