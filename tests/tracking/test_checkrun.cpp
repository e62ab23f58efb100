// The check run against a scripted page (and against a source with no page at all) and a host
// that records the session's signals, with a real store in a temporary directory and a real
// reachability probe against listeners on 127.0.0.1.
#include "store/Cp1251.h"
#include "store/ParcelStore.h"
#include "tracking/CheckSession.h"
#include "tracking/CheckWords.h"
#include "tracking/extraction/Extraction.h"
#include "tracking/page/PageSource.h"
#include "tracking/page/TrackingPage.h"
#include "tracking/UnreadableCopies.h"

#include "support/FileModes.h"
#include "support/LoopbackPorts.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QEventLoop>
#include <QHostAddress>
#include <QLocale>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

using testsupport::cp1251;

namespace {

std::string utf8(const std::string& windows1251)
{
    return fromCp1251(windows1251).toStdString();
}

// --- the tracking page, scripted ------------------------------------------------------------

struct Event
{
    std::string date;
    std::string event;
    std::string office;
};

// A result page as the old browser control wrote it out (Windows-1251).
std::string resultHtml(const std::vector<Event>& events)
{
    const std::string plain = "BACKGROUND: none transparent scroll repeat 0% 0%";
    std::string html = "<HEAD><TITLE>Отслеживание</TITLE></HEAD>\r\n<BODY><DIV id=results><TABLE><TBODY><TR>";
    for (const char* header : {"Дата", "Событие", "POST OFFICE"})
        html += "<TD style=\"" + plain + "\" class=theader>" + header + "</TD>";
    html += "</TR>\r\n";
    for (std::size_t i = 0; i < events.size(); ++i) {
        const std::string style = i % 2 == 0 ? "BACKGROUND: #8be3ff" : plain;
        html += "<TR>";
        for (const std::string* cell : {&events[i].date, &events[i].event, &events[i].office})
            html += "<TD style=\"" + style + "\">" + *cell + "</TD>";
        html += "<!--<td></td>--></TR>\r\n";
    }
    html += "</TBODY></TABLE></DIV></BODY>";
    return cp1251(html.c_str());
}

std::string historyOf(const std::vector<Event>& events)
{
    std::string history;
    for (const Event& e : events) {
        if (!history.empty())
            history += "\r\n";
        history += e.date + " " + e.event + " " + e.office + " ";
    }
    return history;
}

struct Answer
{
    enum class Kind { Found, NothingFound, Unanswered, Unreadable };
    Kind kind = Kind::NothingFound;
    std::vector<Event> events;
    std::string html; // overrides the page built from `events`
    int delayMs = 20; // after the click, as the page's own request comes back
};

// An answer the page shows within the click, without a loading text.
constexpr int kWithinTheClick = -1;

Answer found(std::vector<Event> events, int delayMs = 20)
{
    Answer answer;
    answer.kind = Answer::Kind::Found;
    answer.events = std::move(events);
    answer.delayMs = delayMs;
    return answer;
}

Answer nothingFound()
{
    return Answer{};
}

// Behaves like the tracking page in a browser: a load completes some time later, a search
// shows the loading text at once and its answer arrives later through the event loop. An
// answer that arrives after the page was loaded anew is dropped with the old document; one
// that arrives after the next search started is shown all the same, as on the real page.
class FakePage : public TrackingPage
{
public:
    std::map<std::string, Answer> answers;
    int loadDelayMs = 10; // negative: the load never completes
    std::string failOn;   // an operation that raises EPageError ...
    std::string failFor;  // ... for this number only (empty: always)
    EPageError::Kind failKind = EPageError::Kind::PageChanged;
    std::function<void(long load)> beforeLoad;               // told the number of each load, from 1
    std::function<void(const std::string& number)> onSearch; // told of each search as it starts
    // Tells of its load and its answers as the page driver's watcher does, unless the tests
    // run on the fallback looks alone.
    bool notifies = qEnvironmentVariableIsEmpty("KURIERIX_NO_PAGE_NOTIFICATIONS");
    std::vector<std::string> ops;
    int textReads = 0;
    std::map<std::string, int> textReadsFor;

    void loadPage(const QString& url) override
    {
        ops.push_back("load " + url.toStdString());
        if (beforeLoad)
            beforeLoad(loads());
        maybeFail("load");
        ++m_generation;
        m_ready = false;
        m_results.clear();
        m_html = cp1251("<BODY><DIV id=results></DIV></BODY>");
        if (loadDelayMs >= 0) {
            const int generation = m_generation;
            QTimer::singleShot(loadDelayMs, &m_context, [this, generation] {
                if (generation == m_generation)
                    m_ready = m_changed = true;
            });
        }
    }

    int readyState() override
    {
        m_changed = false;
        maybeFail("ready");
        if (m_generation == 0)
            return 0;
        return m_ready ? 4 : 1;
    }

    void selectInternationalTracking() override
    {
        ops.push_back("select");
        maybeFail("select");
    }

    void enterNumber(const QString& text) override
    {
        const std::string number = cp1251(text);
        ops.push_back("enter " + number);
        m_number = number;
        maybeFail("enter");
    }

    void startSearch() override
    {
        ops.push_back("search");
        maybeFail("search");
        if (onSearch)
            onSearch(m_number);
        const auto it = answers.find(m_number);
        const Answer answer = it == answers.end() ? nothingFound() : it->second;
        if (answer.delayMs == kWithinTheClick) {
            show(answer);
            return;
        }
        m_results = cp1251("Загрузка...");
        if (answer.kind == Answer::Kind::Unanswered)
            return;
        const int generation = m_generation;
        QTimer::singleShot(answer.delayMs, &m_context, [this, generation, answer] {
            if (generation == m_generation)
                show(answer);
        });
    }

    QString readPageText() override
    {
        m_changed = false;
        ++textReads;
        ++textReadsFor[m_number];
        maybeFail("text");
        return testsupport::fromCp1251(cp1251("Номер отправления Искать\n") + m_results);
    }

    QString readPageHtml() override
    {
        ops.push_back("html");
        maybeFail("html");
        return testsupport::fromCp1251(m_html);
    }

    bool hasUnseenChange() const override { return notifies && m_changed; }

    long loads() const
    {
        return std::count_if(ops.begin(), ops.end(), [](const std::string& op) { return op.rfind("load", 0) == 0; });
    }

private:
    void show(const Answer& answer)
    {
        m_changed = true;
        switch (answer.kind) {
        case Answer::Kind::NothingFound:
            m_results = cp1251("По вашему запросу ничего не найдено");
            m_html = cp1251("<DIV id=results>По вашему запросу ничего не найдено</DIV>");
            return;
        case Answer::Kind::Unreadable:
            m_results = cp1251("Дата Событие POST OFFICE");
            m_html = answer.html;
            return;
        case Answer::Kind::Found:
            m_results = cp1251("Дата Событие POST OFFICE\n");
            for (const Event& e : answer.events)
                m_results += cp1251((e.date + "\t" + e.event + "\t" + e.office + "\n").c_str());
            m_html = answer.html.empty() ? resultHtml(answer.events) : answer.html;
            return;
        case Answer::Kind::Unanswered:
            return;
        }
    }

    void maybeFail(const std::string& op)
    {
        if (op == failOn && (failFor.empty() || failFor == m_number))
            throw EPageError(failKind, "enter number: the page has no element with the id \"item\"");
    }

    QObject m_context;
    int m_generation = 0;
    bool m_ready = false;
    bool m_changed = false;
    std::string m_number;
    std::string m_results;
    std::string m_html;
};

// The session owns the page it makes; the tests keep theirs across runs.
class BorrowedPage : public TrackingPage
{
public:
    explicit BorrowedPage(TrackingPage& page) : m_page(page) {}
    void loadPage(const QString& url) override { m_page.loadPage(url); }
    int readyState() override { return m_page.readyState(); }
    void selectInternationalTracking() override { m_page.selectInternationalTracking(); }
    void enterNumber(const QString& number) override { m_page.enterNumber(number); }
    void startSearch() override { m_page.startSearch(); }
    QString readPageText() override { return m_page.readPageText(); }
    QString readPageHtml() override { return m_page.readPageHtml(); }
    bool hasUnseenChange() const override { return m_page.hasUnseenChange(); }
    void setStopCondition(std::function<bool()> stopRequested) override
    {
        m_page.setStopCondition(std::move(stopRequested));
    }

private:
    TrackingPage& m_page;
};

// --- the window, recorded -------------------------------------------------------------------

// Records what the session tells, worded and shown as the window shows it: the log, the label,
// the boxes, and the grid the window switches off when asking starts, on after a failed
// statement and, if it is off, at the end, and refreshes when the results are final.
class FakeHost
{
public:
    explicit FakeHost(const QString& dir)
    {
        const auto result = m_store.open((dir + "/database.db").toStdString());
        EXPECT_EQ(result, ParcelStore::OpenResult::Created) << m_store.lastOpenError().toStdString();
    }

    void follow(CheckSession& session)
    {
        m_session = &session;
        // The session lives for one run; what the test asks afterwards is whether it was stopped.
        QObject::connect(&session, &QObject::destroyed, [this] { m_session = nullptr; });
        QObject::connect(&session, &CheckSession::happened, [this](const CheckEvent& event) { show(event); });
        QObject::connect(&session, &CheckSession::finished, [this] {
            if (!m_gridOn && !stopRequested())
                grid(true);
            m_gridOn = true;
        });
    }
    void touchPage() { touchedAfterClose(); }

    bool stopRequested() const { return m_closed || (m_session != nullptr && m_session->stopRequested()); }

    // Calls `action` every few milliseconds while the run waits and handles events.
    void whileWaiting(std::function<void()> action)
    {
        QObject::connect(&m_ticker, &QTimer::timeout, std::move(action));
        m_ticker.start(1);
    }
    // As with the browser engine running: there is always an event, so a wait for "the next
    // event" returns at once.
    void keepEventQueueBusy() { m_ticker.start(0); }

    // What closing the main window does: the run must stop and the store is released.
    void closeWindow()
    {
        m_closed = true;
        m_session->stop();
        m_store.close();
        eventsAtClose = events.size();
        opsAtClose = page.ops.size();
    }

    std::vector<std::string> lines(const std::string& kind) const
    {
        std::vector<std::string> out;
        for (const std::string& e : events) {
            if (e.rfind(kind + " ", 0) == 0)
                out.push_back(e.substr(kind.size() + 1));
        }
        return out;
    }

    ParcelStore& database() { return m_store; }

    FakePage page;
    std::vector<std::string> events;
    std::function<void()> onErrorBox;
    std::size_t eventsAtClose = 0;
    std::size_t opsAtClose = 0;
    bool usedAfterClose = false;

private:
    void show(const CheckEvent& event)
    {
        const checkwords::Words said = checkwords::words(event);
        if (!said.report.isEmpty())
            record("report ", said.report);
        if (!said.box.isEmpty()) {
            record("box ", said.box);
            if (onErrorBox)
                onErrorBox();
        }
        if (stopRequested())
            return;
        for (const QString& line : said.lines)
            record("log ", line);
        if (!said.label.isEmpty())
            record("label ", said.label);
        if (event.kind == CheckEvent::Kind::Asking)
            grid(false);
        if (event.kind == CheckEvent::Kind::ParcelChecked && event.parcel.result == ParcelOutcome::Result::StoreFailed)
            grid(true);
        if (event.kind == CheckEvent::Kind::ResultsFinal)
            record("refresh", {});
    }
    void grid(bool on)
    {
        m_gridOn = on;
        record(on ? "grid on" : "grid off", {});
    }
    void record(const std::string& kind, const QString& text)
    {
        touchedAfterClose();
        events.push_back(kind + text.toStdString());
    }
    void touchedAfterClose()
    {
        if (stopRequested())
            usedAfterClose = true;
    }

    CheckSession* m_session = nullptr;
    bool m_closed = false;
    ParcelStore m_store;
    bool m_gridOn = true;
    QTimer m_ticker;
};

// --- listeners on 127.0.0.1 for the probe -----------------------------------------------------

using testsupport::FullBacklogListener;
using testsupport::RefusingPort;

// --- the fixture ------------------------------------------------------------------------------

class CheckRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_probeServer.listen(QHostAddress::LocalHost));
        m_host = std::make_unique<FakeHost>(m_dir.path());
        m_endpoints = {"http://127.0.0.1:9/", "127.0.0.1", m_probeServer.serverPort()};
        m_limits.pageLoadMs = 5000;
        m_limits.searchMs = 5000;
    }

    // Adds a parcel; returns its id.
    std::string addParcel(const std::string& number)
    {
        m_host->database().insert(
            Parcel::typed(QString::fromStdString(number), QStringLiteral("AliExpress"), QStringLiteral("Чехол")));
        return std::to_string(++m_lastId);
    }

    struct Stored
    {
        std::string status;
        std::string date;
        std::string history;
        bool operator==(const Stored&) const = default;
    };

    Stored stored(const std::string& id)
    {
        ParcelStore reader;
        reader.open((m_dir.path() + "/database.db").toStdString());
        const auto parcel = reader.parcel(std::stoll(id));
        EXPECT_TRUE(parcel);
        if (!parcel)
            return {};
        return {parcel->status.toStdString(), parcel->firstEventDate.toStdString(), parcel->history.toStdString()};
    }

    void run(CheckSession::TickSource ticks = {})
    {
        run(std::make_unique<PageSource>(pageFactory(), m_endpoints), ticks);
    }

    void run(std::unique_ptr<TrackingSource> source, CheckSession::TickSource ticks = {})
    {
        CheckSession session((m_dir.path() + "/database.db").toStdString(), std::move(source), std::move(ticks));
        session.setLimits(m_limits);
        m_host->follow(session);
        m_outcome = session.run(m_host->database());
    }

    TrackingPageFactory pageFactory()
    {
        return [this]() -> std::unique_ptr<TrackingPage> {
            m_host->touchPage();
            return std::make_unique<BorrowedPage>(m_host->page);
        };
    }

    FakePage& page() { return m_host->page; }

    // What the log says of the unreadable answer of the run's `index`th parcel.
    std::vector<std::string> unreadableLines(std::size_t index) const
    {
        return {"- ответ сайта не удалось прочитать, данные не изменены",
                "- ответ сохранён в файле " + m_outcome.parcels.at(index).savedCopy.toStdString()};
    }

    QTemporaryDir m_dir;
    QTcpServer m_probeServer;
    std::unique_ptr<FakeHost> m_host;
    Endpoints m_endpoints;
    CheckLimits m_limits;
    CheckOutcome m_outcome;
    int m_lastId = 0;
};

const std::vector<Event> kTwoEvents = {
    {"2013-03-16 12:30:00", "Получение отправления от отправителя", "100614*"},
    {"2013-03-17 14:16:00", "Отправка отправления из учреждения обмена", "BEIJING"},
};
const std::vector<Event> kOneEvent = {{"2013-04-01 08:00:00", "Прием отправления", "MINSK PI 2"}};
const std::vector<Event> kFourEvents = {
    {"2013-05-01 10:00:00", "Прием", "SHENZHEN"},
    {"2013-05-02 11:00:00", "Экспорт", "BEIJING"},
    {"2013-05-10 12:00:00", "Импорт", "MINSK PI 2"},
    {"2013-05-12 13:00:00", "Вручение", "220000"},
};

std::vector<std::string> parcelLines(const std::string& number, bool nothingFound = false)
{
    std::vector<std::string> lines = {"- посылка №" + number, "- отправка данных", "- получение данных"};
    if (nothingFound)
        lines.push_back("- нет данных по номеру");
    return lines;
}

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// --- a normal run -----------------------------------------------------------------------------

TEST_F(CheckRunTest, EmptyTableOnlyRefreshesTheGrid)
{
    run();

    // The grid was never taken from the user: nothing gives it back.
    EXPECT_EQ(m_host->events, (std::vector<std::string>{"refresh", "label Статус: ok"}));
    EXPECT_TRUE(page().ops.empty());
    // No probe either: nobody knocked on the listener.
    EXPECT_FALSE(m_probeServer.waitForNewConnection(0));
}

TEST_F(CheckRunTest, ThreeParcelsFoundAreStoredAndReportedInOrder)
{
    const std::string a = addParcel("RA123456789CN");
    const std::string b = addParcel("RB000000001CN");
    const std::string c = addParcel("RC000000002CN");
    page().answers["RA123456789CN"] = found(kTwoEvents);
    page().answers["RB000000001CN"] = found(kOneEvent, 0);
    page().answers["RC000000002CN"] = found(kFourEvents, 60);

    std::vector<std::uint32_t> ticks = {1000, 6000};
    run([&ticks] {
        const std::uint32_t now = ticks.front();
        ticks.erase(ticks.begin());
        return now;
    });

    EXPECT_EQ(m_host->lines("log"), concat({{" Проверка интернета...", " Сайт БелПочты доступен"},
                                            parcelLines("RA123456789CN"),
                                            parcelLines("RB000000001CN"),
                                            parcelLines("RC000000002CN"),
                                            {" Время работы (сек) 5"}}));
    EXPECT_EQ(m_host->lines("label"),
              (std::vector<std::string>{"Статус: Проверка интернета", "Статус: Сайт Белпочты доступен",
                                        "Статус: Получение данных... ждите", "Статус: ok"}));
    // The grid is off from the start of the page work to the end, and refreshed before "ok".
    const auto& events = m_host->events;
    const auto off = std::find(events.begin(), events.end(), "grid off");
    const auto refresh = std::find(events.begin(), events.end(), "refresh");
    ASSERT_NE(off, events.end());
    ASSERT_NE(refresh, events.end());
    EXPECT_LT(off, refresh);
    EXPECT_EQ(std::count(events.begin(), events.end(), "grid off"), 1);
    EXPECT_EQ(std::vector<std::string>(refresh, events.end()),
              (std::vector<std::string>{"refresh", "label Статус: ok", "grid on"}));

    const std::vector<std::pair<std::string, std::vector<Event>>> expected = {
        {a, kTwoEvents}, {b, kOneEvent}, {c, kFourEvents}};
    for (const auto& [id, answer] : expected) {
        const Stored row = stored(id);
        EXPECT_EQ(row.history, historyOf(answer)) << "parcel " << id;
        EXPECT_EQ(row.date, answer.front().date) << "parcel " << id;
        EXPECT_EQ(row.status, utf8(ExtractStatus(resultHtml(answer)))) << "parcel " << id;
        EXPECT_FALSE(row.status.empty()) << "parcel " << id;
    }

    // One page load for the whole run, then the four operations per parcel.
    EXPECT_EQ(page().ops, (std::vector<std::string>{"load http://127.0.0.1:9/", "select", "enter RA123456789CN",
                                                    "search", "html", "select", "enter RB000000001CN", "search", "html",
                                                    "select", "enter RC000000002CN", "search", "html"}));
    EXPECT_EQ(m_outcome.parcels.size(), 3u);
}

TEST_F(CheckRunTest, NumberReachesThePageExactlyAndDuplicatesAreBothVisited)
{
    const std::string first = addParcel(" rb 123 cn ");
    const std::string second = addParcel(" rb 123 cn ");
    page().answers[cp1251(" rb 123 cn ")] = found(kOneEvent);
    // Another tool stored a number with a NUL byte in it: it is asked whole.
    m_host->database().database().Execute("INSERT INTO tracks (s_track) VALUES (CAST(x'525231310052' AS TEXT))");

    run();

    EXPECT_EQ(std::count(page().ops.begin(), page().ops.end(), "enter  rb 123 cn "), 2);
    EXPECT_EQ(std::count(page().ops.begin(), page().ops.end(), "enter " + std::string("RR11\0R", 6)), 1);
    EXPECT_EQ(stored(first).history, historyOf(kOneEvent));
    EXPECT_EQ(stored(second).history, historyOf(kOneEvent));
}

TEST_F(CheckRunTest, WaitsKeepTheEventLoopTurningWithoutSpinning)
{
    addParcel("RA1");
    page().loadDelayMs = 80; // the answer and the load come only through events
    page().answers["RA1"] = found(kOneEvent, 80);

    run();

    EXPECT_EQ(m_host->lines("label").back(), "Статус: ok");
    EXPECT_GT(page().textReadsFor["RA1"], 1);
    EXPECT_LT(page().textReadsFor["RA1"], 60);
}

TEST_F(CheckRunTest, BusyEventQueueDoesNotTurnTheWaitsIntoATightLoop)
{
    addParcel("RA1");
    page().loadDelayMs = 200;
    page().answers["RA1"] = found(kOneEvent, 200);
    m_host->keepEventQueueBusy();

    run();

    EXPECT_EQ(stored("1").history, historyOf(kOneEvent));
    // A loop that only waits for "the next event" makes thousands of looks in 200 ms.
    EXPECT_LT(page().textReadsFor["RA1"], 100);
}

TEST_F(CheckRunTest, APageThatTellsOfChangeIsLookedAtOnceToldAndOneThatTellsNothingOnTheFallbackSchedule)
{
    addParcel("RA1");
    page().loadDelayMs = 50;
    page().answers["RA1"] = found(kOneEvent, 100);

    // Told of the load and of the answer: nothing waits for a fallback look or a bound.
    page().notifies = true;
    m_limits.fallbackLookMs = m_limits.pageLoadMs = m_limits.searchMs = 60000;
    QElapsedTimer timer;
    timer.start();
    run();
    EXPECT_LT(timer.elapsed(), 20000);
    EXPECT_EQ(stored("1").history, historyOf(kOneEvent));
    EXPECT_EQ(page().textReadsFor["RA1"], 2); // with the click, and once told

    // Told nothing: the looks on the fallback schedule find the load and the answer.
    page().notifies = false;
    page().textReadsFor.clear();
    page().answers["RA1"] = found(kTwoEvents, 350);
    m_limits.fallbackLookMs = 100;
    run();
    EXPECT_EQ(stored("1").history, historyOf(kTwoEvents));
    EXPECT_GE(page().textReadsFor["RA1"], 3);
    EXPECT_LT(page().textReadsFor["RA1"], 20);
}

TEST_F(CheckRunTest, PageIsReadAgainOnlyWhileItShowsTheLoadingText)
{
    const std::string at_once = addParcel("RA1");
    const std::string later = addParcel("RB1");
    page().answers["RA1"] = found(kOneEvent, kWithinTheClick);
    page().answers["RB1"] = found(kTwoEvents, 50);

    run();

    EXPECT_EQ(page().textReadsFor["RA1"], 1);
    EXPECT_GT(page().textReadsFor["RB1"], 1);
    EXPECT_EQ(stored(at_once).history, historyOf(kOneEvent));
    EXPECT_EQ(stored(later).history, historyOf(kTwoEvents));
}

// --- what a check must never lose -----------------------------------------------------------

TEST_F(CheckRunTest, NothingFoundChangesOnlyTheStatus)
{
    const std::string id = addParcel("RZ999");
    testsupport::storeResultBytes(m_host->database(), id, cp1251("старый статус"), "2013-03-16 12:30:00",
                                  cp1251("история"));
    page().answers["RZ999"] = nothingFound();

    run();

    EXPECT_EQ(stored(id), (Stored{"Пока, нет информации!", "2013-03-16 12:30:00", "история"}));
    const auto log = m_host->lines("log");
    EXPECT_EQ(std::vector<std::string>(log.begin() + 2, log.end() - 1), parcelLines("RZ999", true));
}

TEST_F(CheckRunTest, FoundPageWithoutEventCellsOrReadOnlyPartWayKeepsTheRow)
{
    const std::string broken = addParcel("RB1");
    const std::string cutShort = addParcel("RB3");
    const std::string next = addParcel("RB2");
    testsupport::storeResultBytes(m_host->database(), broken, cp1251("в пути"), "2013-03-16 12:30:00",
                                  cp1251("история"));
    testsupport::storeResultBytes(m_host->database(), cutShort, cp1251("в пути"), "2013-03-16 12:30:00",
                                  cp1251("история"));
    Answer unreadable;
    unreadable.kind = Answer::Kind::Unreadable;
    unreadable.html = cp1251("<DIV id=results><TABLE><TBODY><TR><TD>2013-03-16</TD></TR></TBODY></TABLE></DIV>");
    page().answers["RB1"] = unreadable;
    // A cell too long for the extraction's bounds: the events before it must not pass for the
    // whole table, nor the last of them for the status.
    page().answers["RB3"] = found({{"2013-03-16 12:30:00", "E1", "O1"},
                                   {"2013-03-17 12:30:00", std::string(kExtractionMatchLimit * 2, 'x'), "O2"},
                                   {"2013-03-18 12:30:00", "E3", "O3"}});
    page().answers["RB2"] = found(kOneEvent);

    run();

    EXPECT_EQ(stored(broken), (Stored{"в пути", "2013-03-16 12:30:00", "история"}));
    EXPECT_EQ(stored(cutShort), (Stored{"в пути", "2013-03-16 12:30:00", "история"}));
    EXPECT_EQ(stored(next).date, kOneEvent.front().date);
    const std::vector<std::string> log = m_host->lines("log");
    const std::string sentence =
        "Ответы сайта по 2 из 3 посылок не удалось прочитать: данные этих посылок не изменены.";
    EXPECT_EQ(log, concat({{" Проверка интернета...", " Сайт БелПочты доступен"},
                           parcelLines("RB1"),
                           unreadableLines(0),
                           parcelLines("RB3"),
                           unreadableLines(1),
                           parcelLines("RB2"),
                           {log[log.size() - 2], " " + sentence}}));
    EXPECT_TRUE(m_host->lines("box").empty());
    EXPECT_EQ(m_host->lines("label").back(), "Статус: " + sentence);
    // The page road keeps the page as the program read it.
    QFile copy(m_outcome.parcels[0].savedCopy);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    const QByteArray content = copy.readAll();
    EXPECT_TRUE(content.contains("road: page\naddress: http://127.0.0.1:9/\nhttp-status: none\n"));
    EXPECT_TRUE(content.endsWith("<TD>2013-03-16</TD></TR></TBODY></TABLE></DIV>")) << content.toStdString();
}

TEST_F(CheckRunTest, FailedStatementShowsTheBoxKeepsTheRowAndGoesOn)
{
    const std::string quoted = addParcel("RQ1");
    const std::string refused = addParcel("RQ2");
    const std::string last = addParcel("RQ3");
    testsupport::storeResultBytes(m_host->database(), quoted, "old", "2013-01-01 00:00:00", "old history");
    // A status with a double quote in it can never be stored.
    page().answers["RQ1"] = found({{"2013-03-16 12:30:00", "Посылка \"Срочно\"", "MINSK"}});
    page().answers["RQ2"] = nothingFound();
    page().answers["RQ3"] = found(kTwoEvents);
    // Another program holds the database while the second parcel's answer is stored.
    sqlite3* other = nullptr;
    page().onSearch = [&](const std::string& number) {
        if (number != "RQ2")
            return;
        ASSERT_EQ(sqlite3_open((m_dir.path() + "/database.db").toUtf8().constData(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    };
    m_host->onErrorBox = [&] {
        sqlite3_close(std::exchange(other, nullptr)); // its transaction ends with it
    };

    run();
    sqlite3_close(other);

    const std::string box = "Ошибка №7 - Во время добавление данных возникла ошибка";
    EXPECT_EQ(m_host->lines("box"), (std::vector<std::string>{box, box}));
    EXPECT_EQ(stored(quoted), (Stored{"old", "2013-01-01 00:00:00", "old history"}));
    EXPECT_EQ(stored(refused).status, "");
    EXPECT_EQ(stored(last).history, historyOf(kTwoEvents));

    // Each box is followed by the error label and the grid switched on; the nothing-found
    // lines still follow their failed statement.
    const auto& events = m_host->events;
    const auto firstBox = std::find(events.begin(), events.end(), "box " + box);
    ASSERT_NE(firstBox, events.end());
    EXPECT_EQ(std::vector<std::string>(firstBox, firstBox + 3),
              (std::vector<std::string>{"box " + box, "label Статус: Ошибка, попробуйте позже.", "grid on"}));
    const auto secondBox = std::find(firstBox + 1, events.end(), "box " + box);
    ASSERT_NE(secondBox, events.end());
    EXPECT_EQ(std::vector<std::string>(secondBox, secondBox + 5),
              (std::vector<std::string>{"box " + box, "label Статус: Ошибка, попробуйте позже.", "grid on",
                                        "log - получение данных", "log - нет данных по номеру"}));
    EXPECT_EQ(m_host->lines("label"),
              (std::vector<std::string>{"Статус: Проверка интернета", "Статус: Сайт Белпочты доступен",
                                        "Статус: Получение данных... ждите", "Статус: Ошибка, попробуйте позже.",
                                        "Статус: Ошибка, попробуйте позже.", "Статус: ok"}));
}

TEST_F(CheckRunTest, ParcelDeletedWhileItsAnswerIsAwaitedIsNeitherStoredNorToldAsChanged)
{
    const std::string foundThen = addParcel("RD1");
    const std::string nothingThen = addParcel("RD2");
    addParcel("RD3");
    testsupport::storeResultBytes(m_host->database(), foundThen, "old", "", "");
    page().answers["RD1"] = found(kOneEvent);
    page().answers["RD2"] = nothingFound();
    page().answers["RD3"] = found(kOneEvent);
    // The window, a connection of its own, deletes the first two while the run waits on the page.
    page().onSearch = [&](const std::string& number) {
        if (number == "RD3")
            return;
        ParcelStore window;
        window.open((m_dir.path() + "/database.db").toStdString());
        EXPECT_EQ(window.removeAll({std::stoll(number == "RD1" ? foundThen : nothingThen)}), 1);
    };

    run();

    const std::string gone = "- посылки больше нет в списке, ничего не записано";
    EXPECT_EQ(m_host->lines("log"), concat({{" Проверка интернета...", " Сайт БелПочты доступен"},
                                            parcelLines("RD1"),
                                            {gone},
                                            parcelLines("RD2"),
                                            {gone},
                                            parcelLines("RD3"),
                                            {m_host->lines("log").back()}}));
    EXPECT_TRUE(m_host->lines("box").empty());
    EXPECT_EQ(m_host->lines("label").back(), "Статус: ok");
    using R = ParcelOutcome::Result;
    ASSERT_EQ(m_outcome.parcels.size(), 3u);
    EXPECT_EQ(m_outcome.parcels[0].result, R::NoLongerListed);
    EXPECT_EQ(m_outcome.parcels[1].result, R::NoLongerListed);
    EXPECT_EQ(m_outcome.parcels[0].statusAfter, "old");
    ASSERT_EQ(m_outcome.changed().size(), 1u);
    EXPECT_EQ(m_outcome.changed()[0].number, "RD3");
    EXPECT_EQ(m_host->database().parcels().size(), 1u);
}

// --- the probe ----------------------------------------------------------------------------------

TEST_F(CheckRunTest, UnreachableSiteEndsTheRunBeforeThePage)
{
    const std::string id = addParcel("RA1");
    RefusingPort refusing;
    FullBacklogListener silent;
    ASSERT_TRUE(silent.full());
    m_limits.probeTimeoutMs = 300;

    for (const int port : {refusing.port(), silent.port()}) {
        SCOPED_TRACE(port == refusing.port() ? "refused" : "timing out");
        m_host->events.clear();
        m_endpoints.probePort = port;
        run();
        EXPECT_EQ(m_host->events,
                  (std::vector<std::string>{"log  Проверка интернета...", "label Статус: Проверка интернета",
                                            "log  Сайт БелПочты не доступен",
                                            "label Статус: Сайт Белпочты не доступен, зайдите позже!"}));
    }
    // Neither run touched the page or the row.
    EXPECT_TRUE(page().ops.empty());
    EXPECT_EQ(stored(id), (Stored{"", "", ""}));
}

// --- bounded waits ------------------------------------------------------------------------------

TEST_F(CheckRunTest, PageThatNeverCompletesEndsTheRun)
{
    const std::string id = addParcel("RA1");
    page().loadDelayMs = -1;
    m_limits.pageLoadMs = 200;

    run();

    EXPECT_EQ(m_host->lines("log"), (std::vector<std::string>{" Проверка интернета...", " Сайт БелПочты доступен",
                                                              " Сайт БелПочты не ответил"}));
    EXPECT_EQ(m_host->lines("label").back(), "Статус: Сайт Белпочты не ответил, зайдите позже!");
    EXPECT_EQ(m_host->lines("grid"), (std::vector<std::string>{"off", "on"}));
    EXPECT_EQ(page().ops, (std::vector<std::string>{"load http://127.0.0.1:9/"}));
    EXPECT_EQ(std::count(m_host->events.begin(), m_host->events.end(), "refresh"), 0);
    EXPECT_EQ(stored(id), (Stored{"", "", ""}));
}

TEST_F(CheckRunTest, SearchThatNeverAnswersSkipsTheParcelAndItsLateAnswerIsNotTakenForTheNext)
{
    const std::string a = addParcel("RA1");
    const std::string slow = addParcel("RS1");
    const std::string c = addParcel("RC1");
    testsupport::storeResultBytes(m_host->database(), slow, cp1251("в пути"), "2013-03-16 12:30:00", cp1251("история"));
    page().answers["RA1"] = found(kOneEvent);
    // Its answer turns up long after the run gave up on it, while the next number waits.
    page().answers["RS1"] = found(kFourEvents, 400);
    page().answers["RC1"] = found(kTwoEvents, 150);
    m_limits.searchMs = 300;

    run();

    EXPECT_EQ(stored(a).history, historyOf(kOneEvent));
    EXPECT_EQ(stored(slow), (Stored{"в пути", "2013-03-16 12:30:00", "история"}));
    EXPECT_EQ(stored(c).history, historyOf(kTwoEvents));
    EXPECT_EQ(stored(c).date, kTwoEvents.front().date);

    const auto log = m_host->lines("log");
    EXPECT_EQ(std::vector<std::string>(log.begin() + 5, log.begin() + 8),
              (std::vector<std::string>{"- посылка №RS1", "- отправка данных", "- нет ответа по номеру"}));
    EXPECT_EQ(log[8], "- посылка №RC1");
    EXPECT_EQ(page().loads(), 2);
    EXPECT_EQ(m_host->lines("label").back(), "Статус: ok");
}

// --- errors of the page ---------------------------------------------------------------------

TEST_F(CheckRunTest, PageErrorIsReportedAndEndsTheRunKeepingEarlierRows)
{
    const std::string a = addParcel("RA1");
    const std::string b = addParcel("RB1");
    const std::string c = addParcel("RC1");
    page().answers["RA1"] = found(kOneEvent);
    page().answers["RC1"] = found(kTwoEvents);
    page().failOn = "enter";
    page().failFor = "RB1";

    run();

    EXPECT_EQ(stored(a).history, historyOf(kOneEvent));
    EXPECT_EQ(stored(b), (Stored{"", "", ""}));
    EXPECT_EQ(stored(c), (Stored{"", "", ""}));
    const auto& events = m_host->events;
    const auto report = std::find_if(events.begin(), events.end(), [](const std::string& e) {
        return e.rfind("report ", 0) == 0
               && e.find(R"((enter number: the page has no element with the id "item").)") != std::string::npos;
    });
    ASSERT_NE(report, events.end());
    EXPECT_EQ(std::vector<std::string>(report + 1, events.end()),
              (std::vector<std::string>{"log - ошибка при проверке посылки №RB1", "refresh",
                                        "label Статус: Ошибка, попробуйте позже.", "grid on"}));
}

TEST_F(CheckRunTest, PageErrorsAreToldInOneRussianSentenceOfTheirOwnFollowedByTheDetail)
{
    addParcel("RA1");
    page().failOn = "ready";
    std::set<std::string> sentences;
    for (const EPageError::Kind kind :
         {EPageError::Kind::NotLoaded, EPageError::Kind::ErrorAnswer, EPageError::Kind::PageChanged,
          EPageError::Kind::NoAnswer, EPageError::Kind::BrowserFailed}) {
        m_host->events.clear();
        page().failKind = kind;
        run();
        // Ending in a full stop, the message gets none added by the general error report.
        const auto reports = m_host->lines("report");
        ASSERT_EQ(reports.size(), 1u);
        const std::string detail = R"( (enter number: the page has no element with the id "item").)";
        ASSERT_TRUE(reports[0].ends_with(detail)) << reports[0];
        const std::string sentence = reports[0].substr(0, reports[0].size() - detail.size());
        EXPECT_TRUE(sentence.find("БелПочты") != std::string::npos || sentence.find("браузер") != std::string::npos)
            << sentence;
        sentences.insert(sentence);
    }
    EXPECT_EQ(sentences.size(), 5u);
}

TEST_F(CheckRunTest, EveryEarlyEndAfterAStoredRowRefreshesTheGrid)
{
    addParcel("RA1");
    addParcel("RS1");
    addParcel("RC1");
    page().answers["RA1"] = found(kOneEvent, kWithinTheClick);
    page().answers["RS1"].kind = Answer::Kind::Unanswered;
    m_limits.searchMs = 200;
    m_limits.pageLoadMs = 500;
    const auto endsWith = [this](const std::vector<std::string>& tail) {
        const auto& events = m_host->events;
        return events.size() >= tail.size() && std::equal(tail.begin(), tail.end(), events.end() - tail.size());
    };

    // The load after the unanswered search never completes, or fails.
    page().beforeLoad = [this](long load) { page().loadDelayMs = load == 1 ? 0 : -1; };
    run();
    EXPECT_TRUE(endsWith({"log  Сайт БелПочты не ответил", "refresh",
                          "label Статус: Сайт Белпочты не ответил, зайдите позже!", "grid on"}));

    page().beforeLoad = [this](long load) {
        page().loadDelayMs = 0;
        page().failOn = load % 2 == 0 ? "load" : "";
    };
    run();
    EXPECT_TRUE(endsWith(
        {"log  Ошибка при загрузке сайта БелПочты", "refresh", "label Статус: Ошибка, попробуйте позже.", "grid on"}));
}

TEST_F(CheckRunTest, PageErrorWhileLoadingIsReported)
{
    addParcel("RA1");
    page().failOn = "ready";

    run();

    EXPECT_EQ(m_host->lines("report").size(), 1u);
    EXPECT_EQ(m_host->lines("log").back(), " Ошибка при загрузке сайта БелПочты");
    EXPECT_EQ(m_host->lines("grid"), (std::vector<std::string>{"off", "on"}));
    EXPECT_EQ(m_host->lines("label").back(), "Статус: Ошибка, попробуйте позже.");
}

// --- closing the window during a run --------------------------------------------------------

TEST_F(CheckRunTest, ClosingTheWindowStopsTheRunBeforeItsNextStep)
{
    const std::string a = addParcel("RA1");
    const std::string b = addParcel("RB1");
    page().answers["RA1"] = found(kOneEvent, 0);
    page().answers["RB1"] = found(kTwoEvents, 300);
    // Close while the second parcel waits for its answer.
    m_host->whileWaiting([this] {
        if (!m_host->stopRequested() && !m_host->page.ops.empty() && m_host->page.ops.back() == "search"
            && std::count(m_host->page.ops.begin(), m_host->page.ops.end(), "search") == 2)
            m_host->closeWindow();
    });

    run();

    EXPECT_TRUE(m_host->stopRequested());
    EXPECT_FALSE(m_host->usedAfterClose);
    EXPECT_EQ(m_host->events.size(), m_host->eventsAtClose);
    EXPECT_EQ(page().ops.size(), m_host->opsAtClose);
    EXPECT_EQ(stored(a).history, historyOf(kOneEvent));
    EXPECT_EQ(stored(b), (Stored{"", "", ""}));
}

TEST_F(CheckRunTest, ClosingTheWindowDuringTheFirstPauseSkipsTheProbe)
{
    addParcel("RA1");
    m_host->whileWaiting([this] {
        if (!m_host->stopRequested())
            m_host->closeWindow();
    });

    run();

    EXPECT_FALSE(m_host->usedAfterClose);
    EXPECT_EQ(m_host->lines("log"), (std::vector<std::string>{" Проверка интернета..."}));
    EXPECT_FALSE(m_probeServer.waitForNewConnection(0));
}

TEST_F(CheckRunTest, ClosingTheWindowBehindTheErrorBoxEndsTheRun)
{
    addParcel("RQ1");
    addParcel("RQ2");
    page().answers["RQ1"] = found({{"2013-03-16 12:30:00", "\"", "MINSK"}});
    page().answers["RQ2"] = found(kOneEvent);
    m_host->onErrorBox = [this] { m_host->closeWindow(); };

    run();

    EXPECT_FALSE(m_host->usedAfterClose);
    EXPECT_EQ(m_host->events.back(), "box Ошибка №7 - Во время добавление данных возникла ошибка");
    EXPECT_EQ(std::count(page().ops.begin(), page().ops.end(), "search"), 1);
}

TEST_F(CheckRunTest, RunWalksItsSnapshotWhateverReplacesTheCurrentResult)
{
    addParcel("RA1");
    addParcel("RB1");
    page().answers["RA1"] = found(kOneEvent);
    page().answers["RB1"] = found(kTwoEvents);
    // The window reads the table again and again while the run waits.
    m_host->whileWaiting([this] {
        if (!m_host->stopRequested())
            m_host->database().parcels();
    });

    run();

    EXPECT_EQ(stored("2").history, historyOf(kTwoEvents));
    EXPECT_EQ(m_host->lines("label").back(), "Статус: ok");
}

// --- the elapsed time -------------------------------------------------------------------------

TEST_F(CheckRunTest, ElapsedTimeIsWrittenShortestWithTheLocaleSeparator)
{
    addParcel("RA1");
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Belarus));

    struct Case
    {
        std::uint32_t start;
        std::uint32_t end;
        const char* shown;
    };
    // The last case wraps the 32-bit tick counter during the run.
    for (const Case& c :
         {Case{0, 750, "0,75"}, Case{10, 5010, "5"}, Case{0xFFFFFF06u, 500, "0,75"}, Case{0, 123456, "123,456"}}) {
        m_host->events.clear();
        std::vector<std::uint32_t> ticks = {c.start, c.end};
        run([&ticks] {
            const std::uint32_t now = ticks.front();
            ticks.erase(ticks.begin());
            return now;
        });
        EXPECT_EQ(m_host->lines("log").back(), std::string(" Время работы (сек) ") + c.shown);
    }
    QLocale::setDefault(saved);
}

// --- an answer read only in part -----------------------------------------------------------------

TEST_F(CheckRunTest, AnswerWhosePlainRowsThePatternPassesOverKeepsTheRow)
{
    const std::string id = addParcel("RT1");
    testsupport::storeResultBytes(m_host->database(), id, cp1251("в пути"), "2013-03-16 12:30:00", cp1251("история"));
    // The rows without the highlight styled otherwise: only the first and third events match.
    std::string html = resultHtml(kFourEvents);
    const std::string plain = "style=\"BACKGROUND: none transparent scroll repeat 0% 0%\">";
    for (std::size_t at = html.find(plain); at != std::string::npos; at = html.find(plain, at))
        html.replace(at, plain.size(), "style=\"BACKGROUND-COLOR: transparent\">");
    Answer answer = found(kFourEvents);
    answer.html = html;
    page().answers["RT1"] = answer;

    run();

    EXPECT_EQ(stored(id), (Stored{"в пути", "2013-03-16 12:30:00", "история"}));
    const std::vector<std::string> log = m_host->lines("log");
    EXPECT_EQ(log, concat({{" Проверка интернета...", " Сайт БелПочты доступен"},
                           parcelLines("RT1"),
                           unreadableLines(0),
                           {log[log.size() - 2], log.back()}}));
    EXPECT_EQ(m_host->lines("label").back(),
              "Статус: Ответ сайта по 1 из 1 посылки не удалось прочитать: данные этой посылки не изменены.");
}

// --- the run over another source ------------------------------------------------------------

// Answers from a table, with no page at all.
class ScriptedSource : public TrackingSource
{
public:
    ScriptedSource(int probePort, std::map<QString, TrackingAnswer> answers, int& prepares)
        : m_probePort(probePort), m_answers(std::move(answers)), m_prepares(prepares)
    {
    }
    std::string probeHost() const override { return "127.0.0.1"; }
    int probePort() const override { return m_probePort; }
    QString roadName() const override { return QStringLiteral("scripted"); }
    QString address() const override { return QStringLiteral("table"); }
    void setStopCondition(std::function<bool()>) override {}
    void setReporter(std::function<void(const SourceNotice&)> say) override { m_say = std::move(say); }
    void prepare() override { ++m_prepares; }
    TrackingAnswer ask(const QString& number, const std::function<void()>& sent) override
    {
        sent();
        m_say({SourceNotice::Kind::Problem, 0, {SourceProblem::Kind::CaFileNotPem, QStringLiteral("ca.pem"), {}}});
        return m_answers.at(number);
    }

private:
    int m_probePort;
    std::map<QString, TrackingAnswer> m_answers;
    int& m_prepares;
    std::function<void(const SourceNotice&)> m_say;
};

TEST_F(CheckRunTest, AnySourceDrivesTheRunWithTheSameLinesAndRowsAndKeepsWhatItCannotRead)
{
    using Kind = TrackingAnswer::Kind;
    const std::string found = addParcel("RA1");
    const std::string nothing = addParcel("RB1");
    const std::string unanswered = addParcel("RC1");
    const std::string unreadable = addParcel("RD1");
    const std::string refused = addParcel("RE1");
    for (const std::string& id : {unreadable, refused})
        testsupport::storeResultBytes(m_host->database(), id, cp1251("в пути"), "2013-03-16 12:30:00",
                                      cp1251("история"));
    TrackingAnswer events = TrackingAnswer::of(Kind::Found);
    events.status = QStringLiteral("Вручение");
    events.history = QStringLiteral("Прием\r\nВручение");
    events.firstDate = QStringLiteral("2013-05-01 10:00:00");
    TrackingAnswer turnedDown = TrackingAnswer::of(Kind::Refused);
    turnedDown.message = QStringLiteral("Номер указан неверно.");
    const QByteArray received = QByteArrayLiteral("{\"data\": \"\xd0\xbd\xd0\xbe\xd0\xb2\xd0\xbe\xd0\xb5\"}\r\n\0tail");
    UnreadableReason unreadableStep =
        UnreadableReason::of(UnreadableReason::Kind::CreatedAtNotDate, QStringLiteral("вчера"));
    unreadableStep.step = 2;
    int prepares = 0;
    run(std::make_unique<ScriptedSource>(
        m_probeServer.serverPort(),
        std::map<QString, TrackingAnswer>{{"RA1", events},
                                          {"RB1", TrackingAnswer::of(Kind::NothingFound)},
                                          {"RC1", TrackingAnswer::of(Kind::NoAnswer)},
                                          {"RD1", TrackingAnswer::unreadable(unreadableStep, received, 200)},
                                          {"RE1", turnedDown}},
        prepares));

    const auto said = [](std::vector<std::string> lines) {
        lines.insert(lines.begin() + 2,
                     "- в файле KURIERIX_SERVICE_CA=\"ca.pem\" нет сертификата PEM: доверяются только системные "
                     "сертификаты");
        return lines;
    };
    ASSERT_EQ(m_outcome.parcels.size(), 5u);
    const QString copy = m_outcome.parcels[3].savedCopy;
    ASSERT_FALSE(copy.isEmpty());
    const std::vector<std::string> log = m_host->lines("log");
    EXPECT_EQ(log, concat({{" Проверка интернета...", " Сайт БелПочты доступен"},
                           said(parcelLines("RA1")),
                           said(parcelLines("RB1", true)),
                           said({"- посылка №RC1", "- отправка данных", "- нет ответа по номеру"}),
                           said(parcelLines("RD1")),
                           {"- ответ сайта не удалось прочитать, данные не изменены",
                            "- ответ сохранён в файле " + copy.toStdString()},
                           said({"- посылка №RE1", "- отправка данных", "- получение данных"}),
                           {"- служба не приняла запрос: Номер указан неверно.", log[log.size() - 2],
                            " Ответ сайта по 1 из 5 посылок не удалось прочитать: данные этой посылки не изменены."}}));
    EXPECT_EQ(m_host->lines("label").back(),
              "Статус: Ответ сайта по 1 из 5 посылок не удалось прочитать: данные этой посылки не изменены.");
    EXPECT_EQ(prepares, 2); // before the first number, and after the one without an answer
    EXPECT_EQ(stored(found), (Stored{"Вручение", "2013-05-01 10:00:00", "Прием\r\nВручение"}));
    EXPECT_EQ(stored(nothing).status, "Пока, нет информации!");
    EXPECT_EQ(stored(unanswered), (Stored{"", "", ""}));
    for (const std::string& id : {unreadable, refused})
        EXPECT_EQ(stored(id), (Stored{"в пути", "2013-03-16 12:30:00", "история"}));
    using R = ParcelOutcome::Result;
    std::vector<R> results;
    for (const ParcelOutcome& parcel : m_outcome.parcels)
        results.push_back(parcel.result);
    EXPECT_EQ(results, (std::vector<R>{R::Stored, R::NothingFound, R::NoAnswer, R::Unreadable, R::Refused}));
    EXPECT_EQ(m_outcome.parcels[4].cause, turnedDown.message);

    // The copy holds the answer byte for byte after a header that names the number, the road and
    // the status; it is the user's alone.
    QFile file(copy);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    EXPECT_TRUE(content.endsWith("\n\n" + received)) << content.toStdString();
    for (const char* header : {"number: RD1\n", "road: scripted\n", "address: table\n", "http-status: 200\n",
                               "why: steps[2]: \"created_at\" is no date and time: \"вчера\"\n", "bytes: 29\n"})
        EXPECT_TRUE(content.contains(header)) << header;
    EXPECT_FALSE(testsupport::othersMayRead(copy));
    EXPECT_TRUE(copy.startsWith(UnreadableCopies::defaultFolder() + u'/'));
}

TEST(UnreadableCopies, KeepTheNewestTwentyUnderNamesNoNumberCanBend)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const UnreadableCopies copies(dir.filePath(QStringLiteral("cache/kurierix/unreadable")));
    QFile other(dir.filePath(QStringLiteral("cache/kurierix/unreadable/notes.txt")));
    UnreadableCopies::Copy copy{QStringLiteral("../../RA1 /x"),
                                QStringLiteral("service"),
                                {},
                                200,
                                {},
                                "{}",
                                QDateTime(QDate(2026, 12, 8), QTime(10, 0), QTimeZone(3 * 3600))};
    QStringList saved;
    for (int i = 0; i < UnreadableCopies::kKept + 3; ++i) {
        copy.at = copy.at.addMSecs(i % 2); // two copies in one millisecond now and then
        saved += copies.save(copy);
        ASSERT_FALSE(saved.back().isEmpty());
        if (i == 0) {
            ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        }
    }
    EXPECT_EQ(QFileInfo(saved.front()).fileName(), QStringLiteral("20261208-070000-000-00-service-RA1x.txt"));
    EXPECT_EQ(saved.size(), QSet<QString>(saved.begin(), saved.end()).size());
    QStringList kept = QDir(copies.folder()).entryList(QDir::Files, QDir::Name);
    EXPECT_TRUE(kept.removeOne(QStringLiteral("notes.txt")));
    QStringList newest;
    for (const QString& path : saved.mid(3))
        newest += QFileInfo(path).fileName();
    newest.sort();
    EXPECT_EQ(kept, newest);
    EXPECT_FALSE(testsupport::othersMayRead(copies.folder()));

    QString error;
    EXPECT_TRUE(UnreadableCopies(other.fileName() + QStringLiteral("/below")).save(copy, &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

// --- what the run did, for its hosts ----------------------------------------------------------

TEST_F(CheckRunTest, OutcomeSaysWhatHappenedToEachParcelAndHowTheRunEnded)
{
    m_limits.searchMs = 300;
    for (const char* number : {"RA1", "RB1", "RC1", "RD1", "RE1", "RF1", "RG1", "RH1"})
        addParcel(number);
    testsupport::storeResultBytes(m_host->database(), "1", "old", "", "");
    page().answers["RA1"] = found(kOneEvent);
    page().answers["RC1"].kind = Answer::Kind::Unanswered;
    page().answers["RD1"].kind = Answer::Kind::Unreadable;
    page().answers["RE1"] = found({{"2013-03-16 12:30:00", "Посылка \"Срочно\"", "MINSK"}});
    page().answers["RF1"] = found(kOneEvent);
    page().failOn = "enter";
    page().failFor = "RG1";

    run();

    using R = ParcelOutcome::Result;
    ASSERT_EQ(m_outcome.parcels.size(), 8u);
    const std::vector<R> results = {R::Stored,      R::NothingFound, R::NoAnswer,  R::Unreadable,
                                    R::StoreFailed, R::Stored,       R::PageError, R::NotReached};
    for (std::size_t i = 0; i < results.size(); ++i)
        EXPECT_EQ(m_outcome.parcels[i].result, results[i]) << m_outcome.parcels[i].number.toStdString();
    EXPECT_EQ(m_outcome.end, CheckOutcome::End::PageFailed);
    EXPECT_EQ(m_outcome.parcels[0].statusBefore, "old");
    EXPECT_EQ(m_outcome.parcels[0].statusAfter.toStdString(), stored("1").status);
    EXPECT_NE(stored("1").status, "old");
    EXPECT_EQ(m_outcome.parcels[0].shop, "AliExpress");
    EXPECT_TRUE(m_outcome.parcels[4].cause.contains(QStringLiteral("double quote")))
        << m_outcome.parcels[4].cause.toStdString();
    EXPECT_TRUE(m_outcome.parcels[6].cause.contains(QStringLiteral("enter number")));
    // Changed: a new status, and "Пока, нет информации!" where there was none; a failed, refused or
    // skipped parcel keeps its status.
    std::vector<std::string> changed;
    for (const ParcelOutcome& parcel : m_outcome.changed())
        changed.push_back(parcel.number.toStdString());
    EXPECT_EQ(changed, (std::vector<std::string>{"RA1", "RB1", "RF1"}));

    // The second time the same answers change nothing.
    page().failOn.clear();
    page().answers["RC1"] = nothingFound();
    run();
    EXPECT_EQ(m_outcome.end, CheckOutcome::End::WentThrough);
    changed.clear();
    for (const ParcelOutcome& parcel : m_outcome.changed())
        changed.push_back(parcel.number.toStdString());
    EXPECT_EQ(changed, (std::vector<std::string>{"RC1", "RG1", "RH1"}));

    // A table that cannot be read ends the run before anything else, with the general error report.
    m_host->database().database().Execute("DROP TABLE tracks");
    m_host->events.clear();
    run();
    EXPECT_EQ(m_outcome.end, CheckOutcome::End::DatabaseUnreadable);
    EXPECT_TRUE(m_outcome.parcels.empty());
    ASSERT_EQ(m_host->events.size(), 1u);
    EXPECT_EQ(m_host->events[0].rfind("report ", 0), 0u) << m_host->events[0];
    // Worded by its cause, SQLite's own words after it.
    EXPECT_NE(m_host->events[0].find("Не удалось выполнить действие с базой данных ("), std::string::npos)
        << m_host->events[0];
}

} // namespace
