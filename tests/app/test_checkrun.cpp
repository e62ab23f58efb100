// "Проверить посылки" end to end: the real main window, the real browser engine and the
// tracking-site double on 127.0.0.1, with the database in a temporary directory.
#include "tests/support/RecordingPrompts.h"
#include "app/TMainForm.h"
#include "tests/support/GridRows.h"
#include "tests/support/MainFormView.h"
#include "tracking/CheckSession.h"
#include "parcels/ParcelGrid.h"
#include "store/Cp1251.h"
#include "store/ParcelStore.h"
#include "tools/servicedouble/ServiceDouble.h"
#include "tools/sitedouble/SiteDouble.h"
#include "tracking/CheckLimits.h"

#include "support/LoopbackPorts.h"
#include "support/SampleEvents.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

#include <memory>
#include <vector>

using testsupport::cp1251;
using testsupport::kFourEvents;
using testsupport::waitUntil;

namespace {

// The history the check stores for these events: a line per event, CR LF between lines.
std::string historyOf(const QList<SiteDouble::Event>& events)
{
    QString history;
    for (const SiteDouble::Event& e : events) {
        if (!history.isEmpty())
            history += QStringLiteral("\r\n");
        history += e.date + u' ' + e.event + u' ' + e.office + u' ';
    }
    return history.toStdString();
}

// The status: the newest event's three cells, each followed by a blank, then CR LF.
std::string statusOf(const QList<SiteDouble::Event>& events)
{
    const SiteDouble::Event& e = events.back();
    return (e.date + u' ' + e.event + u' ' + e.office + QStringLiteral(" \r\n")).toStdString();
}

struct Stored
{
    std::string status;
    std::string date;
    std::string history;
    bool operator==(const Stored&) const = default;
};

class CheckRunWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_site.start());
        m_databasePath = (m_dir.path() + QStringLiteral("/database.db")).toStdString();
        m_endpoints = {m_site.url().toStdString(), "127.0.0.1", m_site.port()};
    }

    void TearDown() override
    {
        m_window.reset();
        m_site.stop();
    }

    // Adds a parcel to database.db before the window opens it; returns the parcel's id.
    std::string addParcel(const char* number)
    {
        withStore([&](ParcelStore& store) {
            store.insert(
                Parcel::typed(QString::fromUtf8(number), QStringLiteral("AliExpress"), QStringLiteral("Чехол")));
        });
        return std::to_string(++m_parcels);
    }

    void storeEarlierResult(const std::string& id, const char* status, const char* date, const char* history)
    {
        withStore([&](ParcelStore& store) {
            testsupport::storeResultBytes(store, id, cp1251(status), date, cp1251(history));
        });
    }

    void openWindow()
    {
        withStore([](ParcelStore&) {}); // an empty table when no parcel was added
        MainFormOptions options;
        options.endpoints = m_endpoints;
        options.tracking = m_tracking;
        options.databasePath = m_databasePath;
        options.browserStorageDir = m_dir.path() + QStringLiteral("/browser");
        options.now = [] { return QDateTime(QDate(2013, 4, 10), QTime(12, 0), Qt::UTC); };
        options.locale = QLocale::c();
        options.prompts = &m_prompts;
        options.checkRunLimits = m_limits;
        m_window = std::make_unique<TMainForm>(std::move(options));
        ASSERT_FALSE(m_window->startupFailed());
        m_window->show();
    }

    // "Проверить посылки"; the whole run happens inside.
    void check() { ui(*m_window).N4->trigger(); }

    // As check(), noting every text the status label shows while the window handles events.
    std::vector<std::string> checkSamplingLabels()
    {
        std::vector<std::string> seen;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            const std::string now = label();
            if (seen.empty() || seen.back() != now)
                seen.push_back(now);
        });
        sampler.start(0);
        check();
        sampler.stop();
        if (seen.empty() || seen.back() != label())
            seen.push_back(label());
        return seen;
    }

    std::vector<std::string> logLines() const
    {
        std::vector<std::string> lines;
        for (const QString& line : ui(*m_window).Memo_Status->toPlainText().split(u'\n'))
            lines.push_back(line.toStdString());
        return lines;
    }

    std::string label() const { return ui(*m_window).Label_Status->text().toStdString(); }
    std::string gridText(int row, int column) const
    {
        return cellText(*ui(*m_window).StringGrid2, row, column).toStdString();
    }

    Stored stored(const std::string& id)
    {
        Stored row;
        withStore([&](ParcelStore& store) {
            const auto parcel = store.parcel(std::stoll(id));
            ASSERT_TRUE(parcel);
            row = {parcel->status.toStdString(), parcel->firstEventDate.toStdString(), parcel->history.toStdString()};
        });
        return row;
    }

    void withStore(const std::function<void(ParcelStore&)>& work)
    {
        ParcelStore store;
        const auto result = store.open(m_databasePath);
        ASSERT_TRUE(result == ParcelStore::OpenResult::Created || result == ParcelStore::OpenResult::Opened);
        work(store);
    }

    QTemporaryDir m_dir;
    SiteDouble m_site;
    RecordingPrompts m_prompts;
    Endpoints m_endpoints;
    TrackingSettings m_tracking = testsupport::trackingSettings();
    CheckLimits m_limits;
    std::string m_databasePath;
    std::unique_ptr<TMainForm> m_window;
    int m_parcels = 0;
};

const QList<SiteDouble::Event> kOneEvent = {
    {QStringLiteral("2013-04-01 09:15:00"), QStringLiteral("Прием отправления"), QStringLiteral("SHENZHEN")},
};
const QList<SiteDouble::Event> kTwoEvents = {
    {QStringLiteral("2013-03-20 16:00:00"), QStringLiteral("Получение отправления от отправителя"),
     QStringLiteral("518000")},
    {QStringLiteral("2013-03-22 11:30:00"), QStringLiteral("Отправка отправления из учреждения обмена"),
     QStringLiteral("GUANGZHOU")},
};

std::vector<std::string> parcelLines(const std::string& number)
{
    return {"- посылка №" + number, "- отправка данных", "- получение данных"};
}

TEST_F(CheckRunWindowTest, ThreeParcelsFoundFillTheirRowsTheLogAndTheGrid)
{
    const std::string a = addParcel("RR123456789CN");
    const std::string b = addParcel("RB987654321CN");
    const std::string c = addParcel("RS555555555CN");
    m_site.setAnswer(QStringLiteral("RR123456789CN"), kFourEvents);
    m_site.setAnswer(QStringLiteral("RB987654321CN"), kOneEvent);
    m_site.setAnswer(QStringLiteral("RS555555555CN"), kTwoEvents);
    openWindow();

    const std::vector<std::string> labels = checkSamplingLabels();

    // The log, line by line; the elapsed time is checked for its form only.
    std::vector<std::string> log = logLines();
    ASSERT_EQ(log.size(), 14u);
    // After the run: the delivered parcel offered for the archive.
    EXPECT_EQ(log.back(), " Вручённых посылок, которые можно перенести в архив: 1 (меню «В архив»)");
    log.pop_back();
    EXPECT_EQ(log.front(), "Жду Вашу комманду...");
    const std::string elapsed = log.back();
    log.erase(log.begin());
    log.pop_back();
    std::vector<std::string> expected = {" Проверка интернета...", " Сайт БелПочты доступен"};
    for (const char* number : {"RR123456789CN", "RB987654321CN", "RS555555555CN"}) {
        const auto lines = parcelLines(number);
        expected.insert(expected.end(), lines.begin(), lines.end());
    }
    EXPECT_EQ(log, expected);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^ Время работы \\(сек\\) \\d+(\\.\\d+)?$"))
                    .match(QString::fromStdString(elapsed))
                    .hasMatch())
        << elapsed;

    // The three columns of each row.
    const std::vector<std::pair<std::string, QList<SiteDouble::Event>>> rows = {
        {a, kFourEvents}, {b, kOneEvent}, {c, kTwoEvents}};
    for (const auto& [id, events] : rows) {
        const Stored row = stored(id);
        EXPECT_EQ(row.history, historyOf(events)) << id;
        EXPECT_EQ(row.date, events.front().date.toStdString()) << id;
        EXPECT_EQ(row.status, statusOf(events)) << id;
    }

    // The grid was refreshed: statuses and days in transit (counted to 2013-04-10 12:00).
    EXPECT_EQ(gridText(1, 3), statusOf(kFourEvents));
    EXPECT_EQ(gridText(1, 1), "24");
    EXPECT_EQ(gridText(2, 1), "9");
    EXPECT_EQ(gridText(3, 1), "20");
    EXPECT_TRUE(ui(*m_window).StringGrid2->isEnabled());

    // Every parcel searched once, as an international item, on a page loaded once.
    EXPECT_EQ(m_site.pageRequests(), 1);
    EXPECT_EQ(m_site.totalSearches(), 3);
    for (const SiteDouble::Search& search : m_site.searches())
        EXPECT_EQ(search.kind, QStringLiteral("2"));

    // The label's texts in their order. "Сайт Белпочты доступен" is replaced before the window
    // handles any event, so a user (and this sampling) never sees it.
    EXPECT_EQ(labels, (std::vector<std::string>{"Статус: Проверка интернета", "Статус: Получение данных... ждите",
                                                "Статус: ok"}));
}

TEST_F(CheckRunWindowTest, EmptyTableOnlyRefreshesTheGridAndSaysThereIsNothingToCheck)
{
    openWindow();

    check();

    EXPECT_EQ(logLines(), (std::vector<std::string>{"Жду Вашу комманду...", " Нет посылок для проверки"}));
    EXPECT_EQ(label(), "Статус: ok");
    EXPECT_EQ(m_site.pageRequests(), 0);
    EXPECT_TRUE(ui(*m_window).StringGrid2->isEnabled());
    EXPECT_EQ(ui(*m_window).StringGrid2->parcelRowCount(), 0);
}

TEST_F(CheckRunWindowTest, NothingFoundKeepsDateAndHistory)
{
    const std::string id = addParcel("RA000000000BY");
    storeEarlierResult(id, "в пути", "2013-03-16 12:30:00", "история");
    m_site.setNotFound(QStringLiteral("RA000000000BY"));
    openWindow();

    check();

    EXPECT_EQ(stored(id), (Stored{"Пока, нет информации!", "2013-03-16 12:30:00", "история"}));
    const auto log = logLines();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(log.begin() + 3, log.end() - 1),
              (std::vector<std::string>{"- посылка №RA000000000BY", "- отправка данных", "- получение данных",
                                        "- нет данных по номеру"}));
    EXPECT_EQ(gridText(1, 3), "Пока, нет информации!");
    EXPECT_EQ(gridText(1, 1), "24"); // the date an earlier check found still counts
}

TEST_F(CheckRunWindowTest, FoundPageWithEmptyEventTableKeepsTheRow)
{
    const std::string emptyTable = addParcel("RE000000001CN");
    const std::string next = addParcel("RB987654321CN");
    storeEarlierResult(emptyTable, "в пути", "2013-03-16 12:30:00", "история");
    m_site.setAnswer(QStringLiteral("RE000000001CN"), {});
    m_site.setAnswer(QStringLiteral("RB987654321CN"), kOneEvent);
    openWindow();

    check();

    EXPECT_EQ(stored(emptyTable), (Stored{"в пути", "2013-03-16 12:30:00", "история"}));
    EXPECT_EQ(stored(next).history, historyOf(kOneEvent));
    // The run says, at its end, what it could not read, and never "ok" alone.
    const auto log = logLines();
    ASSERT_GE(log.size(), 7u);
    EXPECT_EQ(log[6], "- ответ сайта не удалось прочитать, данные не изменены");
    EXPECT_EQ(log[7].rfind("- ответ сохранён в файле ", 0), 0u) << log[7];
    const std::string sentence = "Ответ сайта по 1 из 2 посылок не удалось прочитать: данные этой посылки не изменены.";
    EXPECT_EQ(log.back(), " " + sentence);
    EXPECT_EQ(label(), "Статус: " + sentence);
    EXPECT_TRUE(m_prompts.shown().empty());
}

TEST_F(CheckRunWindowTest, TheServiceRoadsCausesReachTheBoxReadable)
{
    ServiceDouble service;
    ASSERT_TRUE(service.start());
    service.setMode(QStringLiteral("RR123456789CN"), ServiceDouble::Mode::RedirectElsewhere);
    const std::string id = addParcel("RR123456789CN");
    m_tracking.source = QStringLiteral("service");
    m_tracking.serviceUrl = service.url();
    openWindow();

    check();

    ASSERT_EQ(m_prompts.shown().size(), 1u);
    const QString text = m_prompts.shown().front().text;
    EXPECT_TRUE(text.startsWith(QStringLiteral("Служба отслеживания БелПочты перенаправила запрос")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("https://elsewhere.invalid/путь/api/v1/tracking"))) << text.toStdString();
    EXPECT_EQ(logLines().back(), "- ошибка при проверке посылки №RR123456789CN");
    EXPECT_EQ(stored(id), (Stored{"", "", ""}));
}

TEST_F(CheckRunWindowTest, StatusWithADoubleQuoteGivesTheErrorBoxAndTheRunGoesOn)
{
    const std::string quoted = addParcel("RQ000000001CN");
    const std::string next = addParcel("RB987654321CN");
    storeEarlierResult(quoted, "в пути", "2013-03-16 12:30:00", "история");
    m_site.setAnswer(
        QStringLiteral("RQ000000001CN"),
        {{QStringLiteral("2013-03-16 12:30:00"), QStringLiteral("Посылка \"Срочно\""), QStringLiteral("MINSK")}});
    m_site.setAnswer(QStringLiteral("RB987654321CN"), kOneEvent);
    openWindow();

    const std::vector<std::string> labels = checkSamplingLabels();

    ASSERT_EQ(m_prompts.shown().size(), 1u);
    const Prompts::Box& box = m_prompts.shown().front();
    EXPECT_EQ(box.caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(box.text, QStringLiteral("Ошибка №7 - Во время добавление данных возникла ошибка"));
    EXPECT_EQ(box.icon, Prompts::Icon::Error);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(stored(quoted), (Stored{"в пути", "2013-03-16 12:30:00", "история"}));
    EXPECT_EQ(stored(next).history, historyOf(kOneEvent));
    EXPECT_EQ(labels, (std::vector<std::string>{"Статус: Проверка интернета", "Статус: Получение данных... ждите",
                                                "Статус: Ошибка, попробуйте позже.", "Статус: ok"}));
}

TEST_F(CheckRunWindowTest, TwoParcelsWithTheSameNumberAreBothVisited)
{
    const std::string first = addParcel("RR123456789CN");
    const std::string second = addParcel("RR123456789CN");
    m_site.setAnswer(QStringLiteral("RR123456789CN"), kTwoEvents);
    openWindow();

    check();

    EXPECT_EQ(m_site.searchCount(QStringLiteral("RR123456789CN")), 2);
    EXPECT_EQ(stored(first).history, historyOf(kTwoEvents));
    EXPECT_EQ(stored(second).history, historyOf(kTwoEvents));
}

TEST_F(CheckRunWindowTest, ElapsedTimeUsesTheLocalesDecimalComma)
{
    addParcel("RB987654321CN");
    m_site.setAnswer(QStringLiteral("RB987654321CN"), kOneEvent);
    // An answer that takes a while, so that the seconds have a fraction.
    SiteDouble::AnswerFaults slow;
    slow.latency = std::chrono::milliseconds(250);
    m_site.setAnswerFaults(QStringLiteral("RB987654321CN"), slow);
    openWindow();
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Belarus));

    check();
    QLocale::setDefault(saved);

    const std::string elapsed = logLines().back();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^ Время работы \\(сек\\) \\d+(,\\d+)?$"))
                    .match(QString::fromStdString(elapsed))
                    .hasMatch())
        << elapsed;
}

TEST_F(CheckRunWindowTest, UnreachableSiteLeavesPageGridAndDatabaseAlone)
{
    const std::string id = addParcel("RR123456789CN");
    m_site.setAnswer(QStringLiteral("RR123456789CN"), kOneEvent);
    // The two ways the postal operator's host can be out of reach.
    testsupport::RefusingPort refusing;
    testsupport::FullBacklogListener silent;
    ASSERT_TRUE(silent.full());
    m_limits.probeTimeoutMs = 500;

    for (const int port : {refusing.port(), silent.port()}) {
        SCOPED_TRACE(port == refusing.port() ? "refused" : "timing out");
        m_endpoints.probePort = port;
        openWindow();

        check();

        EXPECT_EQ(logLines(), (std::vector<std::string>{"Жду Вашу комманду...", " Проверка интернета...",
                                                        " Сайт БелПочты не доступен"}));
        EXPECT_EQ(label(), "Статус: Сайт Белпочты не доступен, зайдите позже!");
        EXPECT_TRUE(ui(*m_window).StringGrid2->isEnabled());
        EXPECT_EQ(m_site.pageRequests(), 0);
        EXPECT_EQ(stored(id), (Stored{"", "", ""}));
    }
}

TEST_F(CheckRunWindowTest, PageThatNeverCompletesEndsTheRunAndFreesTheGrid)
{
    const std::string id = addParcel("RR123456789CN");
    SiteDouble::PageFaults faults;
    faults.loadNeverCompletes = true;
    m_site.setPageFaults(faults);
    m_limits.pageLoadMs = 1500;
    openWindow();

    check();

    const auto log = logLines();
    EXPECT_EQ(log.back(), " Сайт БелПочты не ответил");
    EXPECT_EQ(label(), "Статус: Сайт Белпочты не ответил, зайдите позже!");
    EXPECT_TRUE(ui(*m_window).StringGrid2->isEnabled());
    EXPECT_EQ(m_site.totalSearches(), 0);
    EXPECT_EQ(stored(id), (Stored{"", "", ""}));
}

TEST_F(CheckRunWindowTest, SearchThatNeverAnswersSkipsThatParcelOnly)
{
    const std::string a = addParcel("RR123456789CN");
    const std::string silent = addParcel("RN000000000CN");
    const std::string c = addParcel("RB987654321CN");
    m_site.setAnswer(QStringLiteral("RR123456789CN"), kFourEvents);
    m_site.setAnswer(QStringLiteral("RN000000000CN"), kTwoEvents);
    m_site.setAnswer(QStringLiteral("RB987654321CN"), kOneEvent);
    SiteDouble::AnswerFaults never;
    never.noAnswer = true;
    m_site.setAnswerFaults(QStringLiteral("RN000000000CN"), never);
    m_limits.searchMs = 1500;
    openWindow();

    check();

    EXPECT_EQ(stored(a).history, historyOf(kFourEvents));
    EXPECT_EQ(stored(silent), (Stored{"", "", ""}));
    EXPECT_EQ(stored(c).history, historyOf(kOneEvent));
    const auto log = logLines();
    ASSERT_GE(log.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(log.begin() + 6, log.begin() + 9),
              (std::vector<std::string>{"- посылка №RN000000000CN", "- отправка данных", "- нет ответа по номеру"}));
    EXPECT_EQ(log[9], "- посылка №RB987654321CN");
    // The page was loaded afresh after the silent search, so its late answer cannot land.
    EXPECT_EQ(m_site.pageRequests(), 2);
    EXPECT_EQ(label(), "Статус: ok");
}

TEST_F(CheckRunWindowTest, PageWithoutNumberFieldIsReportedAndEndsTheRun)
{
    const std::string id = addParcel("RR123456789CN");
    addParcel("RB987654321CN");
    SiteDouble::PageFaults faults;
    faults.noItemField = true;
    m_site.setPageFaults(faults);
    openWindow();

    check();

    ASSERT_EQ(m_prompts.shown().size(), 1u);
    const Prompts::Box& report = m_prompts.shown().front();
    EXPECT_EQ(report.caption, QStringLiteral("Курьерикс 1.0"));
    EXPECT_EQ(report.icon, Prompts::Icon::Error);
    EXPECT_TRUE(report.text.contains(QStringLiteral("item"))) << report.text.toStdString();
    const auto log = logLines();
    EXPECT_EQ(log.back(), "- ошибка при проверке посылки №RR123456789CN");
    EXPECT_EQ(label(), "Статус: Ошибка, попробуйте позже.");
    EXPECT_TRUE(ui(*m_window).StringGrid2->isEnabled());
    EXPECT_FALSE(m_window->findChild<CheckSession*>()->running());
    EXPECT_EQ(m_site.totalSearches(), 0);
    EXPECT_EQ(stored(id), (Stored{"", "", ""}));
}

TEST_F(CheckRunWindowTest, ClosingTheWindowDuringARunStopsItAndWritesNothingMore)
{
    const std::string a = addParcel("RR123456789CN");
    const std::string held = addParcel("RN000000000CN");
    const std::string c = addParcel("RB987654321CN");
    m_site.setAnswer(QStringLiteral("RR123456789CN"), kFourEvents);
    m_site.setAnswer(QStringLiteral("RN000000000CN"), kTwoEvents);
    m_site.setAnswer(QStringLiteral("RB987654321CN"), kOneEvent);
    SiteDouble::AnswerFaults never;
    never.noAnswer = true;
    m_site.setAnswerFaults(QStringLiteral("RN000000000CN"), never);
    openWindow();

    // The user closes the window while the second parcel waits for its answer.
    QElapsedTimer sinceClose;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (m_site.searchCount(QStringLiteral("RN000000000CN")) > 0 && !sinceClose.isValid()) {
            sinceClose.start();
            m_window->close();
        }
    });
    closer.start(10);
    check();
    closer.stop();

    ASSERT_TRUE(sinceClose.isValid());
    // The run ended at its next look at the page, not at the 30 s bound of the search.
    EXPECT_LT(sinceClose.elapsed(), 10000);
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_TRUE(m_window->findChild<CheckSession*>()->stopRequested());
    EXPECT_FALSE(m_window->findChild<CheckSession*>()->running());
    EXPECT_EQ(stored(a).history, historyOf(kFourEvents));
    EXPECT_EQ(stored(held), (Stored{"", "", ""}));
    EXPECT_EQ(stored(c), (Stored{"", "", ""}));
    EXPECT_EQ(m_site.searchCount(QStringLiteral("RB987654321CN")), 0);
    EXPECT_TRUE(m_prompts.shown().empty());
}

} // namespace
