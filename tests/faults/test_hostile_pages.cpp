// Hostile answers from the tracking site: several megabytes, thousands of events, cells that
// never close, a script that never returns, a page that takes too long to lay out, a render
// process that dies, and a page that keeps working in the background. Each run ends or goes on
// as the check run has it (a page operation that fails ends the run with the error report; a
// page that stops answering is closed and its parcel passed over; an answer that cannot be read
// leaves its row alone), within its bounds, nothing of its page outlives it, and the next run
// works again.
#include "StoredResults.h"
#include "app/AppTestHarness.h"
#include "store/Cp1251.h"
#include "tools/sitedouble/SiteDouble.h"
#include "tracking/CheckSession.h"
#include "tracking/EventWait.h"
#include "tracking/page/browser/PageDriver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QWebEnginePage>

#include <csignal>
#include <map>
#include <unistd.h>

using apptest::cp;
using apptest::Field;
using apptest::Harness;
using apptest::Row;

namespace {

const QString kFailedLabel = QStringLiteral("Статус: Ошибка, попробуйте позже.");

const QList<SiteDouble::Event> kEvents = {
    {QStringLiteral("2013-03-16 12:30:00"), QStringLiteral("Получение отправления от отправителя"),
     QStringLiteral("100614*")},
    {QStringLiteral("2013-03-20 08:05:00"), QStringLiteral("Поступление в учреждение обмена"),
     QStringLiteral("MINSK PI 2")},
};

// The browser engine's render processes of this process: its helper processes are its children
// (the zygotes), and each render process is a child of a zygote.
std::vector<pid_t> ourRenderProcesses()
{
    std::map<pid_t, pid_t> parents;
    std::map<pid_t, QByteArray> names;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks.
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() < 2 || fields.at(0) == "Z")
            continue;
        parents[pid] = fields.at(1).toInt();
        names[pid] = line.mid(line.indexOf('(') + 1, close - line.indexOf('(') - 1);
    }
    std::vector<pid_t> renderers;
    for (const auto& [pid, parent] : parents) {
        const auto grandparent = parents.find(parent);
        if (grandparent != parents.end() && grandparent->second == ::getpid() && names[pid].startsWith("QtWebEngine"))
            renderers.push_back(pid);
    }
    return renderers;
}

class HostilePages : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_site.start());
        m_h.db().create();
    }
    void TearDown() override
    {
        m_h.window.reset();
        m_site.stop();
    }

    // A parcel with the results of an earlier check; the double answers with `events`.
    void addParcel(const QString& number, const QList<SiteDouble::Event>& events = kEvents)
    {
        m_h.db().addParcel(number.toStdString(), "Shop", "Thing", "", cp("прежний статус"), "2013-01-01 00:00:00",
                           cp("прежняя история"));
        m_site.setAnswer(number, events);
    }

    // The window, with the page driver's bound on one page operation set to `scriptTimeout`
    // and the check run's own bounds shortened.
    TMainForm& open(std::chrono::milliseconds scriptTimeout = PageDriver::kDefaultScriptTimeout)
    {
        MainFormOptions options = m_h.options();
        options.endpoints = {m_site.url().toStdString(), "127.0.0.1", m_site.port()};
        options.checkRunLimits.pageLoadMs = 10000;
        options.checkRunLimits.searchMs = 10000;
        options.pageFactory = [this, scriptTimeout, dir = options.browserStorageDir] {
            PageDriverOptions driverOptions;
            driverOptions.scriptTimeout = [scriptTimeout] { return scriptTimeout; };
            driverOptions.pageCreated = [this](QWebEnginePage* page) { m_page = page; };
            auto driver = std::make_unique<PageDriver>(dir, std::move(driverOptions));
            m_driver = driver.get();
            ++m_pagesMade;
            return driver;
        };
        return m_h.start(options);
    }

    // One check run from the menu; returns its seconds. The render processes the run's page had
    // are noted in m_renderers, in the order they came.
    double check()
    {
        m_h.prompts.clear();
        m_renderers.clear();
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [this] {
            const qint64 pid = m_page ? m_page->renderProcessPid() : 0;
            if (pid > 0 && (m_renderers.empty() || m_renderers.back() != pid))
                m_renderers.push_back(pid);
        });
        watcher.start(10);
        QElapsedTimer timer;
        timer.start();
        ui(*m_h.window).N4->trigger();
        EXPECT_FALSE(m_h.window->findChild<CheckSession*>()->running());
        EXPECT_TRUE(m_h.grid().isEnabled());
        return timer.elapsed() / 1000.0;
    }

    // The run's page is gone, and with it every render process it had.
    void expectNothingOfThePageLeft()
    {
        EXPECT_TRUE(m_driver.isNull()) << "the page outlived its run";
        for (const qint64 pid : m_renderers)
            EXPECT_TRUE(testsupport::waitUntil([pid] { return ::kill(static_cast<pid_t>(pid), 0) != 0; }))
                << "the render process " << pid << " outlived its run";
        EXPECT_TRUE(testsupport::waitUntil([] { return ourRenderProcesses().empty(); }))
            << ourRenderProcesses().size() << " render processes are left";
    }

    Stored storedOf(std::size_t row)
    {
        const std::vector<Row> rows = m_h.db().rows();
        if (row >= rows.size())
            return {};
        return {rows[row].at("s_status"), rows[row].at("s_date"), rows[row].at("s_trackfull")};
    }

    std::string logText() const { return m_h.log().toStdString(); }

    // The page stopped answering at `number`: that parcel was passed over, the others stored.
    void expectPassedOver(const QString& number)
    {
        EXPECT_EQ(m_h.label(), QStringLiteral("Статус: ok")) << logText();
        EXPECT_TRUE(m_h.prompts.shown().empty());
        EXPECT_TRUE(m_h.log().contains(
            QStringLiteral("- посылка №%1\n- отправка данных\n- нет ответа по номеру\n").arg(number)))
            << logText();
    }

    // The run ended at `number` with the error report, as a failed page operation ends it.
    void expectEndedWithErrorAt(const QString& number, const QString& reportPart)
    {
        const std::vector<QString> boxes = m_h.boxTexts();
        ASSERT_EQ(boxes.size(), 1u) << logText();
        EXPECT_EQ(m_h.prompts.shown().front().caption, QStringLiteral("Курьерикс 1.0"));
        EXPECT_TRUE(boxes.front().contains(reportPart)) << boxes.front().toStdString();
        EXPECT_TRUE(m_h.log().endsWith(QStringLiteral("- ошибка при проверке посылки №") + number)) << logText();
        EXPECT_EQ(m_h.label(), kFailedLabel);
    }

    const Stored m_unchanged{cp("прежний статус"), "2013-01-01 00:00:00", cp("прежняя история")};
    SiteDouble m_site;
    Harness m_h;
    // The page of the run under way; the session discards it as the run ends.
    QPointer<PageDriver> m_driver;
    // The browser page the driver made last, while it lives.
    QPointer<QWebEnginePage> m_page;
    int m_pagesMade = 0;
    std::vector<qint64> m_renderers;
};

TEST_F(HostilePages, MegabytesOfAnswerAndThousandsOfEventsAreReadWhole)
{
    addParcel(QStringLiteral("RP000000001CN"));
    addParcel(QStringLiteral("RP000000002CN"));
    addParcel(QStringLiteral("RP000000003CN"));
    SiteDouble::AnswerFaults padded;
    padded.paddingBytes = 3 << 20;
    m_site.setAnswerFaults(QStringLiteral("RP000000001CN"), padded);
    SiteDouble::AnswerFaults many;
    many.manyEvents = 3000;
    m_site.setAnswerFaults(QStringLiteral("RP000000002CN"), many);
    open();

    check();

    EXPECT_EQ(m_h.label(), QStringLiteral("Статус: ok")) << logText();
    EXPECT_TRUE(m_h.prompts.shown().empty());
    // Three megabytes of notice after the table change nothing of what is read from it.
    EXPECT_EQ(storedOf(0), storedFor(kEvents));
    // Three thousand events: a line each, the first one's date, the newest as the status.
    const Stored thousands = storedOf(1);
    ASSERT_TRUE(thousands.history && thousands.status);
    EXPECT_EQ(std::count(thousands.history->begin(), thousands.history->end(), '\n'), 2999);
    EXPECT_EQ(thousands.date, Field("2013-03-01 08:00:00"));
    EXPECT_TRUE(thousands.history->ends_with(thousands.status->substr(0, thousands.status->size() - 2)))
        << thousands.status->substr(0, 200);
    EXPECT_EQ(storedOf(2), storedFor(kEvents));
}

TEST_F(HostilePages, CellsThatNeverCloseAreReadAsTheBrowserClosesThem)
{
    addParcel(QStringLiteral("RU000000001CN"));
    addParcel(QStringLiteral("RU000000002CN"));
    SiteDouble::AnswerFaults unclosed;
    unclosed.unclosedCells = true;
    m_site.setAnswerFaults(QStringLiteral("RU000000001CN"), unclosed);
    // Markup inside cells that are not closed either.
    unclosed.markupInCells = true;
    m_site.setAnswerFaults(QStringLiteral("RU000000002CN"), unclosed);
    open();

    check();

    EXPECT_EQ(m_h.label(), QStringLiteral("Статус: ok")) << logText();
    // Each row's last cell runs to the next row and so keeps the line break before it.
    QList<SiteDouble::Event> asClosed = kEvents;
    for (SiteDouble::Event& event : asClosed)
        event.office += u'\n';
    EXPECT_EQ(storedOf(0), storedFor(asClosed));
    const Stored marked = storedOf(1);
    // Whatever the markup, all three texts come from the one answer, or none does.
    if (marked != m_unchanged) {
        EXPECT_EQ(marked.date, Field("2013-03-16 12:30:00"));
        ASSERT_TRUE(marked.history);
        EXPECT_TRUE(marked.history->find("MINSK PI 2") != std::string::npos) << *marked.history;
    }
}

TEST_F(HostilePages, ScriptThatNeverReturnsIsPassedOverWithItsRenderProcessEndedAndTheRunGoesOn)
{
    addParcel(QStringLiteral("RL000000001CN"));
    addParcel(QStringLiteral("RL000000002CN"));
    addParcel(QStringLiteral("RL000000003CN"));
    SiteDouble::PageFaults looping;
    looping.loopingScript = true;
    m_site.setPageFaults(looping);
    open(std::chrono::milliseconds(2000));

    // The page loaded for the run loops once the first answer is in; the page loaded after it
    // does not.
    qint64 hung = 0;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (hung == 0 && m_page && m_site.searchCount(QStringLiteral("RL000000001CN")) > 0) {
            hung = m_page->renderProcessPid();
            m_site.clearFaults();
        }
    });
    watcher.start(10);
    const double seconds = check();
    watcher.stop();

    ASSERT_GT(hung, 0);
    expectPassedOver(QStringLiteral("RL000000001CN"));
    EXPECT_LT(seconds, 8.0) << "more than the page operation's bound";
    EXPECT_EQ(storedOf(0), m_unchanged);
    EXPECT_EQ(storedOf(1), storedFor(kEvents));
    EXPECT_EQ(storedOf(2), storedFor(kEvents));
    EXPECT_EQ(m_site.pageRequests(), 2);
    // The looping render process went with its page, rather than burning a core after the run.
    ASSERT_FALSE(m_renderers.empty());
    EXPECT_NE(m_renderers.back(), hung);
    EXPECT_TRUE(testsupport::waitUntil([&] { return ::kill(static_cast<pid_t>(hung), 0) != 0; }))
        << "the looping render process " << hung << " is still there";
}

TEST_F(HostilePages, AnswerTooSlowToLayOutIsPassedOverWithinTheBound)
{
    // A megabyte in one cell that mixes scripts takes the browser engine many seconds to lay out
    // before it can give the page text.
    QString mixed;
    while (mixed.size() < (1 << 20))
        mixed += QStringLiteral("Ёжик в тумане, hedgehog in the fog, 1234567890. ");
    addParcel(QStringLiteral("RS000000001CN"));
    addParcel(QStringLiteral("RS000000002CN"), {{QStringLiteral("2013-03-16 12:30:00"), mixed, QStringLiteral("X")}});
    addParcel(QStringLiteral("RS000000003CN"));
    open(std::chrono::milliseconds(1500));

    const double seconds = check();

    expectPassedOver(QStringLiteral("RS000000002CN"));
    EXPECT_LT(seconds, 10.0);
    EXPECT_EQ(storedOf(0), storedFor(kEvents));
    EXPECT_EQ(storedOf(1), m_unchanged);
    EXPECT_EQ(storedOf(2), storedFor(kEvents));
}

TEST_F(HostilePages, RenderProcessThatDiesEndsTheRunAndTheNextRunStartsAFreshOne)
{
    addParcel(QStringLiteral("RD000000001CN"));
    addParcel(QStringLiteral("RD000000002CN"));
    addParcel(QStringLiteral("RD000000003CN"));
    // The second answer is held, and the render process is killed while the run waits for it.
    SiteDouble::AnswerFaults held;
    held.noAnswer = true;
    m_site.setAnswerFaults(QStringLiteral("RD000000002CN"), held);
    open();

    qint64 killed = 0;
    QTimer killer;
    QObject::connect(&killer, &QTimer::timeout, [&] {
        if (killed == 0 && m_page && m_site.searchCount(QStringLiteral("RD000000002CN")) > 0) {
            killed = m_page->renderProcessPid();
            if (killed > 0)
                ::kill(static_cast<pid_t>(killed), SIGKILL);
        }
    });
    killer.start(10);
    const double seconds = check();
    killer.stop();

    ASSERT_GT(killed, 0);
    expectEndedWithErrorAt(QStringLiteral("RD000000002CN"), QStringLiteral("render process"));
    EXPECT_LT(seconds, 10.0) << "the run waited for the answer's bound instead of noticing";
    EXPECT_EQ(storedOf(0), storedFor(kEvents));
    EXPECT_EQ(storedOf(1), m_unchanged);
    EXPECT_EQ(storedOf(2), m_unchanged);

    m_site.clearFaults();
    check();
    EXPECT_EQ(m_h.label(), QStringLiteral("Статус: ok")) << logText();
    ASSERT_FALSE(m_renderers.empty());
    EXPECT_NE(m_renderers.back(), killed);
    for (std::size_t row = 0; row < 3; ++row)
        EXPECT_EQ(storedOf(row), storedFor(kEvents)) << row;
}

TEST_F(HostilePages, PageThatKeepsWorkingAfterTheSearchRunsNoMoreOnceItsRunHasEnded)
{
    addParcel(QStringLiteral("RB000000001CN"));
    addParcel(QStringLiteral("RB000000002CN"));
    // On the search the page starts a worker that never rests and a beacon to the site every
    // 50 ms, and sets a title, a console message and an address fragment of a million
    // characters each. The answers take long enough for the beacon to be heard during the run.
    SiteDouble::PageFaults hostile;
    hostile.busyAfterSearchMs = 50;
    hostile.hugeTextsChars = 1000000;
    m_site.setPageFaults(hostile);
    SiteDouble::AnswerFaults slow;
    slow.latency = std::chrono::milliseconds(300);
    m_site.setAnswerFaults(slow);
    open();

    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        const int beaconsBefore = m_site.beaconRequests();
        check();

        EXPECT_EQ(m_h.label(), QStringLiteral("Статус: ok")) << logText();
        EXPECT_TRUE(m_h.log().contains(QStringLiteral(" Время работы (сек) "))) << logText();
        EXPECT_EQ(storedOf(0), storedFor(kEvents));
        EXPECT_EQ(storedOf(1), storedFor(kEvents));
        EXPECT_EQ(m_pagesMade, run) << "each run makes its own page";
        ASSERT_GT(m_site.beaconRequests(), beaconsBefore) << "the page's beacon was not heard during the run";
        ASSERT_FALSE(m_renderers.empty());

        expectNothingOfThePageLeft();
        // A beacon already on its way as the run ended may still arrive; after that, nothing.
        EventWait::handlePending();
        const int beaconsAfter = m_site.beaconRequests();
        EXPECT_FALSE(testsupport::waitUntil([&] { return m_site.beaconRequests() > beaconsAfter; },
                                            std::chrono::milliseconds(1000)))
            << "the page went on sending after its run had ended";
        m_h.db().exec("UPDATE tracks SET s_status = NULL, s_date = NULL, s_trackfull = NULL");
    }
}

} // namespace
