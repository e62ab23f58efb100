// The shell around the grid: shop links, the hidden controls, the status log and label, and the
// window's side of a check run (menu commands refused while it runs, closing in the middle).
#include "AppTestHarness.h"

#include "app/PatternProbe.h"
#include "tracking/CheckSession.h"
#include "tracking/page/TrackingPage.h"

#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTcpServer>
#include <QToolButton>

using apptest::cp;
using apptest::Field;
using apptest::Harness;

namespace {

// What the test tells the pages of its runs, and what they saw. Each run has a page of its own,
// which goes as the run ends; this stays with the test.
struct PageScript
{
    std::function<void(int reads)> onRead;
    std::function<bool(int reads)> loading = [](int) { return false; };
    int reads = 0;
};

// A tracking page that answers from the test: "Загрузка..." while `loading` says so, then a
// page with one event. `onRead` runs at every read of the page text, inside the check run.
class ScriptedPage : public TrackingPage
{
public:
    explicit ScriptedPage(PageScript& script) : m_script(script) {}

    void loadPage(const QString&) override {}
    int readyState() override { return 4; }
    void selectInternationalTracking() override {}
    void enterNumber(const QString&) override {}
    void startSearch() override {}
    QString readPageText() override
    {
        const int reads = ++m_script.reads;
        if (m_script.onRead)
            m_script.onRead(reads);
        return m_script.loading(reads) ? QStringLiteral("Загрузка...") : QStringLiteral("found");
    }
    QString readPageHtml() override
    {
        return QStringLiteral("<TD style=\"BACKGROUND: #8be3ff\">2013-03-16 12:30:00</TD>"
                              "<TD style=\"BACKGROUND: #8be3ff\">Accepted</TD>"
                              "<TD style=\"BACKGROUND: #8be3ff\">BEIJING</TD>");
    }

private:
    PageScript& m_script;
};

// A window whose check run reaches a probe host on 127.0.0.1 and drives `page`.
struct RunHarness
{
    Harness h;
    QTcpServer probe;
    PageScript page;
    int pagesMade = 0;

    TMainForm& start()
    {
        EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        MainFormOptions options = h.options();
        options.endpoints.trackingUrl = "http://127.0.0.1:9/";
        options.endpoints.probeHost = "127.0.0.1";
        options.endpoints.probePort = probe.serverPort();
        options.pageFactory = [this] {
            ++pagesMade;
            return std::unique_ptr<TrackingPage>(std::make_unique<ScriptedPage>(page));
        };
        return h.start(options);
    }
};

} // namespace

TEST(Shell, ShopLinksOpenTheirPagesInTheDesktopBrowser)
{
    Harness h;
    TMainForm& window = h.start();
    const auto shops = defaultShopPages();

    QTest::mouseClick(ui(window).BitBtn4, Qt::LeftButton);
    QTest::mouseClick(ui(window).BitBtn1, Qt::LeftButton);
    ui(window).PageControl1->setCurrentWidget(ui(window).TabSheet2);
    QTest::mouseClick(ui(window).BitBtn2, Qt::LeftButton);
    QTest::mouseClick(ui(window).BitBtn6, Qt::LeftButton);
    ui(window).PageControl1->setCurrentWidget(ui(window).TabSheet1);
    QTest::mouseClick(ui(window).Label5, Qt::LeftButton);

    EXPECT_EQ(h.opened, (std::vector<QUrl>{shops[0], shops[0], shops[0], shops[2], shops[1]}));
    EXPECT_NE(shops[0], shops[1]);
    EXPECT_NE(shops[1], shops[2]);
    for (const QUrl& shop : shops)
        EXPECT_TRUE(shop.isValid() && shop.scheme().startsWith(QLatin1String("http")));
    for (QWidget* link : std::initializer_list<QWidget*>{ui(window).BitBtn4, ui(window).BitBtn1, ui(window).BitBtn2,
                                                         ui(window).BitBtn6, ui(window).Label5}) {
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_EQ(link->toolTip(), QStringLiteral("Зайти на сайт"));
    }
    EXPECT_TRUE(h.prompts.shown().empty());
}

TEST(Shell, TheHiddenButtonsChangeNothingStoredOrShown)
{
    Harness h;
    h.db().create();
    h.db().addParcel("RR1", "Shop", "Book");
    TMainForm& window = h.start();
    const auto before = h.db().rows();
    const QString history = h.history();

    ui(window).BitBtn3->click();
    ui(window).Button1->click();
    EXPECT_TRUE(h.prompts.shown().empty());
    EXPECT_EQ(h.db().rows(), before);
    EXPECT_EQ(h.log(), QStringLiteral("Жду Вашу комманду..."));
    EXPECT_EQ(h.label(), QStringLiteral("Статус: ok"));
    EXPECT_EQ(h.history(), history);

    // The day count from 2011-11-10 10:36:09 to the (fixed) present.
    h.now = QDateTime(QDate(2011, 11, 20), QTime(10, 36, 8));
    ui(window).SpeedButton1->click();
    ASSERT_EQ(h.prompts.shown().size(), 1u);
    EXPECT_EQ(h.prompts.shown().front().text, QStringLiteral("9"));
    EXPECT_EQ(h.prompts.shown().front().caption, QStringLiteral("Курьерикс 1.0"));
    EXPECT_EQ(h.db().rows(), before);
}

TEST(Shell, TheSavedPageHoldsFourEventsForThePatterns)
{
    Harness h;
    TMainForm& window = h.start();
    const std::string page = testsupport::cp1251(ui(window).Memo1->toPlainText());
    EXPECT_EQ(PatternProbe::countMatches(PatternProbe::resultsPattern(), page), 1);
    EXPECT_EQ(PatternProbe::countMatches(PatternProbe::cellPattern(), page), 12);
    // The header cells are followed by "class=theader" and never match.
    EXPECT_EQ(PatternProbe::countMatches(PatternProbe::cellPattern(),
                                         "<TD style=\"BACKGROUND: none 0%\" class=theader>x</TD>"),
              0);
    // Only blank, tab, LF, FF and CR count as white space: not the vertical tab.
    EXPECT_EQ(PatternProbe::countMatches(PatternProbe::cellPattern(), "a\v0%\">x</TD>"), 0);
    EXPECT_EQ(PatternProbe::countMatches(PatternProbe::cellPattern(), "a\f0%\">x</TD>"), 1);
}

TEST(Shell, TheStatusLogAppendsWholeLinesAndKeepsTheLastInView)
{
    Harness h;
    TMainForm& window = h.start();
    CheckSession& session = *window.findChild<CheckSession*>();
    for (int i = 0; i < 40; ++i) {
        ParcelOutcome parcel;
        parcel.number = QString::number(i);
        emit session.happened(CheckEvent::about(CheckEvent::Kind::ParcelAsked, parcel));
    }
    const QStringList lines = h.log().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 41);
    EXPECT_EQ(lines.first(), QStringLiteral("Жду Вашу комманду..."));
    EXPECT_EQ(lines.last(), QStringLiteral("- посылка №39"));
    QScrollBar* bar = ui(window).Memo_Status->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    emit session.happened(CheckEvent::of(CheckEvent::Kind::Probing));
    EXPECT_EQ(h.label(), QStringLiteral("Статус: Проверка интернета"));
    EXPECT_GE(ui(window).Label_Status->width(), ui(window).Label_Status->sizeHint().width());

    // The grid is the run's while it asks; a failed statement or the end gives it back.
    emit session.happened(CheckEvent::of(CheckEvent::Kind::Asking));
    EXPECT_FALSE(h.grid().isEnabled());
    ParcelOutcome failed;
    failed.result = ParcelOutcome::Result::StoreFailed;
    emit session.happened(CheckEvent::about(CheckEvent::Kind::ParcelChecked, failed));
    EXPECT_TRUE(h.grid().isEnabled());
    emit session.happened(CheckEvent::of(CheckEvent::Kind::Asking));
    emit session.finished(CheckOutcome{});
    EXPECT_TRUE(h.grid().isEnabled());
}

TEST(Shell, CheckingParcelsFromTheMenuIsTheHiddenButtonsClick)
{
    Harness h;
    TMainForm& window = h.start();
    int clicks = 0;
    QObject::connect(ui(window).Button_Check, &QPushButton::clicked, [&] { ++clicks; });
    ui(window).Label_Status->setText(QStringLiteral("Статус: something else"));

    ui(window).N4->trigger();

    EXPECT_EQ(clicks, 1);
    // An empty table: one log line that says so, no network, the grid refreshed and the label back to ok.
    EXPECT_EQ(h.log(), QStringLiteral("Жду Вашу комманду...\n Нет посылок для проверки"));
    EXPECT_EQ(h.label(), QStringLiteral("Статус: ok"));
    EXPECT_TRUE(h.prompts.shown().empty());
    EXPECT_FALSE(window.findChild<CheckSession*>()->running());
}

TEST(Shell, MenuCommandsAreRefusedWhileACheckRunsAndTheRunStoresItsResult)
{
    RunHarness r;
    r.h.db().create();
    r.h.db().addParcel("RR1", "Shop", "Book");
    TMainForm& window = r.start();

    bool tried = false;
    std::vector<apptest::Row> during;
    QString historyDuring;
    ui(window).Memo_history->setPlainText(QStringLiteral("untouched"));
    // Take the page's first read as the moment the run is under way.
    const auto tryCommands = [&](int reads) {
        if (reads != 1)
            return;
        tried = true;
        EXPECT_TRUE(window.findChild<CheckSession*>()->running());
        EXPECT_FALSE(r.h.grid().isEnabled());
        // Even with the grid enabled (after a failed statement the run enables it), nothing starts.
        r.h.grid().setEnabled(true);
        ui(window).Add->trigger();
        ui(window).edit->trigger();
        ui(window).N3->trigger();
        ui(window).N4->trigger();
        r.h.clickRow(1);
        r.h.grid().setEnabled(false);
        during = r.h.db().rows();
        historyDuring = r.h.history();
    };
    r.page.onRead = tryCommands;
    ui(window).N4->trigger();

    EXPECT_TRUE(tried);
    EXPECT_EQ(r.pagesMade, 1);
    EXPECT_FALSE(window.findChild<TFm_Track*>()->isVisible());
    EXPECT_EQ(historyDuring, QStringLiteral("untouched"));
    EXPECT_EQ(during.size(), 1u);
    EXPECT_TRUE(r.h.prompts.shown().empty());
    EXPECT_FALSE(window.findChild<CheckSession*>()->running());
    EXPECT_TRUE(r.h.grid().isEnabled());
    EXPECT_EQ(r.h.label(), QStringLiteral("Статус: ok"));
    const auto rows = r.h.db().rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("s_date"), Field("2013-03-16 12:30:00"));
    EXPECT_EQ(cellText(r.h.grid(), 1, 1), QStringLiteral("15"));
}

TEST(Shell, ClosingTheWindowDuringACheckEndsTheRunWithoutTouchingTheStore)
{
    RunHarness r;
    r.h.db().create();
    r.h.db().addParcel("RR1", "Shop", "Book");
    r.h.db().addParcel("RR2", "Shop", "Lamp");
    TMainForm& window = r.start();
    const auto before = r.h.db().rows();

    // The first search never stops loading; the user closes the window meanwhile.
    r.page.loading = [](int) { return true; };
    r.page.onRead = [&](int reads) {
        if (reads == 2)
            QTimer::singleShot(0, &window, [&] { window.close(); });
    };
    ui(window).N4->trigger();

    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.findChild<CheckSession*>()->stopRequested());
    EXPECT_FALSE(window.findChild<CheckSession*>()->running());
    EXPECT_LE(r.page.reads, 4);
    EXPECT_EQ(r.h.db().rows(), before);
    EXPECT_TRUE(r.h.prompts.shown().empty());
}
