// Checks that run by themselves, switched from the window, and the status bar that says when the
// parcels were last checked: the window's schedule where no user manager runs, the user manager's
// timer (a stand-in on a private bus) where one does.
#include "AppTestHarness.h"

#include "app/BackgroundController.h"
#include "app/BackgroundDialog.h"
#include "app/WindowSchedule.h"
#include "support/PrivateBus.h"
#include "support/UserManagerDouble.h"
#include "tracking/RunLock.h"
#include "tracking/page/TrackingPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QStatusBar>
#include <QTcpServer>

using apptest::cp;
using apptest::Harness;
using testsupport::UserManagerDouble;

namespace {

// Answers every number with the same one event, and counts the questions.
class OneEventPage : public TrackingPage
{
public:
    explicit OneEventPage(int& asked) : m_asked(asked) {}

    void loadPage(const QString&) override {}
    int readyState() override { return 4; }
    void selectInternationalTracking() override {}
    void enterNumber(const QString&) override { ++m_asked; }
    void startSearch() override {}
    QString readPageText() override { return QStringLiteral("found"); }
    QString readPageHtml() override
    {
        return QStringLiteral("<TD style=\"BACKGROUND: #8be3ff\">2013-03-16 12:30:00</TD><TD style=\"BACKGROUND: "
                              "#8be3ff\">Приём</TD><TD style=\"BACKGROUND: #8be3ff\">220050</TD>");
    }

private:
    int& m_asked;
};

// A window over one parcel whose runs reach a probe on 127.0.0.1 and the page above, on a clock of
// the test's own for its schedule.
struct BackgroundHarness
{
    Harness h;
    QTcpServer probe;
    int asked = 0;
    std::int64_t ticks = 0;

    MainFormOptions options()
    {
        EXPECT_TRUE(probe.isListening() || probe.listen(QHostAddress::LocalHost, 0));
        h.db().create();
        h.db().addParcel("RR123456785CN", "Shop", "Title");
        MainFormOptions options = h.options();
        options.endpoints = {"http://127.0.0.1:9/", "127.0.0.1", probe.serverPort()};
        options.checkRunLimits.pauseBeforeProbeMs = 0;
        options.pageFactory = [this] { return std::unique_ptr<TrackingPage>(std::make_unique<OneEventPage>(asked)); };
        options.notifyChanged = [](const QList<ChangedParcel>&) {};
        options.scheduleTicks = [this] { return ticks; };
        options.userUnitConfigHome = h.dirPath() + QStringLiteral("/config");
        return options;
    }

    TMainForm& start(MainFormOptions withOptions)
    {
        TMainForm& window = h.start(std::move(withOptions));
        EXPECT_TRUE(testsupport::waitUntil([this] { return controller().known(); }));
        return window;
    }

    BackgroundController& controller() const
    {
        return *h.window->findChild<BackgroundController*>(QStringLiteral("backgroundChecks"));
    }
    WindowSchedule& schedule() const { return *h.window->findChild<WindowSchedule*>(QStringLiteral("windowSchedule")); }
    QAction* menuItem() const
    {
        return ui(*h.window).PopupMenu1->findChild<QAction*>(QStringLiteral("backgroundChecksAction"));
    }
    QLabel* foot() const { return h.window->findChild<QLabel*>(QStringLiteral("lastCheckLabel")); }
    QLabel* faultMark() const { return h.window->findChild<QLabel*>(QStringLiteral("checkFaultImage")); }

    // Opens "Проверять в фоне…" and, once it is shown, lets `body` look at it and choose.
    void inDialog(const std::function<void(BackgroundDialog&)>& body)
    {
        bool acted = false;
        QTimer::singleShot(0, h.window.get(), [&] {
            auto* dialog = h.window->findChild<BackgroundDialog*>(QStringLiteral("BackgroundDialog"));
            ASSERT_TRUE(dialog && dialog->isVisible());
            body(*dialog);
            acted = true;
            if (dialog->isVisible())
                dialog->reject();
        });
        menuItem()->trigger();
        EXPECT_TRUE(acted);
    }

    static void choose(BackgroundDialog& dialog, bool on, const QString& every)
    {
        dialog.findChild<QCheckBox*>(QStringLiteral("onCheckBox"))->setChecked(on);
        auto* intervals = dialog.findChild<QComboBox*>(QStringLiteral("intervalComboBox"));
        intervals->setCurrentIndex(intervals->findText(every));
        dialog.accept();
    }

    static QString text(BackgroundDialog& dialog, const char* name)
    {
        return dialog.findChild<QLabel*>(QLatin1String(name))->text();
    }
};

constexpr std::int64_t kHourMs = 3600 * 1000;

} // namespace

TEST(Background, TheStatusBarSaysWhatTheLastRunDidAndAFailedBackgroundRunUntilTheNextOne)
{
    BackgroundHarness b;
    TMainForm& window = b.start(b.options());
    // The pages keep their size and place; the status bar is below them and the window grew by it.
    EXPECT_EQ(window.size(), QSize(944, 781));
    EXPECT_EQ(ui(window).PageControl1->geometry(), QRect(0, 0, 944, 761));
    EXPECT_EQ(window.findChild<QStatusBar*>(QStringLiteral("checksStatusBar"))->geometry(), QRect(0, 761, 944, 20));
    EXPECT_EQ(b.foot()->text(), QStringLiteral("Посылки ещё не проверялись"));
    EXPECT_FALSE(b.faultMark()->isVisible());

    ui(window).N4->trigger();
    EXPECT_EQ(b.foot()->text(), QStringLiteral("Последняя проверка: сегодня в 12:00 — изменилась 1 посылка"));
    EXPECT_EQ(b.h.db().rows("SELECT origin, road, asked, stored, changed, ending, exit_status FROM kurierix_runs"),
              (std::vector<apptest::Row>{{{"origin", "window"},
                                          {"road", "page"},
                                          {"asked", "1"},
                                          {"stored", "1"},
                                          {"changed", "1"},
                                          {"ending", "went-through"},
                                          {"exit_status", "0"}}}));

    // The timer's run that could not store its answers, written by another process: a fault,
    // with what to do, until the next run.
    b.h.db().exec(
        "INSERT INTO kurierix_runs (started, ended, origin, road, asked, stored, changed, ending, exit_status)"
        " VALUES ('2013-04-01T11:30:00Z', '2013-04-01T11:30:09Z', 'timer', 'service', 1, 0, 0,"
        " 'store-failed', 5)");
    EXPECT_TRUE(testsupport::waitUntil([&] { return b.faultMark()->isVisible(); }));
    EXPECT_TRUE(b.foot()->text().startsWith(
        QStringLiteral("Последняя проверка: сегодня в 11:30 — фоновая проверка не смогла сохранить ответы сайта. ")))
        << b.foot()->text().toStdString();
    EXPECT_TRUE(b.faultMark()->isVisible());
    EXPECT_NE(b.foot()->palette().color(QPalette::WindowText), window.palette().color(QPalette::WindowText));

    ui(window).N4->trigger();
    EXPECT_EQ(b.foot()->text(), QStringLiteral("Последняя проверка: сегодня в 12:00 — статусы не изменились"));
    EXPECT_FALSE(b.faultMark()->isVisible());
    EXPECT_TRUE(b.h.prompts.shown().empty());
}

TEST(Background, WithoutAUserManagerTheWindowChecksAtTheChosenIntervalWhenItIsFree)
{
    BackgroundHarness b;
    TMainForm& window = b.start(b.options());
    EXPECT_FALSE(b.menuItem()->isChecked());
    b.inDialog([](BackgroundDialog& dialog) {
        EXPECT_EQ(BackgroundHarness::text(dialog, "noteLabel"),
                  QStringLiteral("Здесь не запущен менеджер служб пользователя (systemd --user), поэтому Курьерикс "
                                 "может проверять посылки сам только пока открыто его окно."));
        EXPECT_EQ(dialog.findChild<QCheckBox*>(QStringLiteral("onCheckBox"))->text(),
                  QStringLiteral("Проверять посылки, пока окно открыто"));
        BackgroundHarness::choose(dialog, true, QStringLiteral("каждые 3 часа"));
    });
    EXPECT_TRUE(b.menuItem()->isChecked());
    EXPECT_EQ(WindowSettings().value(QStringLiteral("background/whileWindowOpen")).toBool(), true);
    EXPECT_EQ(WindowSettings().value(QStringLiteral("background/hours")).toInt(), 3);
    EXPECT_EQ(b.foot()->text(), QStringLiteral("Посылки ещё не проверялись, первая проверка в 15:00"));

    // Due after three hours, not before.
    b.ticks += 3 * kHourMs - 1;
    b.schedule().look();
    EXPECT_EQ(b.asked, 0);
    b.ticks += 1;
    b.schedule().look();
    EXPECT_EQ(b.asked, 1);
    EXPECT_TRUE(b.h.log().contains(QStringLiteral(" Проверка по расписанию\n")));
    EXPECT_EQ(b.h.db().rows("SELECT origin FROM kurierix_runs").size(), 1u);

    // A run due while a dialog is open waits until it is closed.
    b.ticks += 3 * kHourMs;
    b.h.inDialog([&] { window.AddClick(); },
                 [&](TFm_Track& dialog) {
                     b.schedule().look();
                     EXPECT_EQ(b.asked, 1);
                     dialog.reject();
                 });
    b.schedule().look();
    EXPECT_EQ(b.asked, 2);

    // Another process's run holds the database: skipped, said in the log, no box.
    RunLock other(b.h.databasePath());
    ASSERT_EQ(other.take(), RunLock::Taken::Yes);
    b.ticks += 3 * kHourMs;
    b.schedule().look();
    other.release();
    EXPECT_EQ(b.asked, 2);
    EXPECT_TRUE(b.h.log().endsWith(QStringLiteral(" Проверка по расписанию пропущена: посылки уже проверяются в фоне")))
        << b.h.log().toStdString();
    EXPECT_TRUE(b.h.prompts.shown().empty());

    // Switched off, it stays off, and so it starts next time.
    b.inDialog(
        [](BackgroundDialog& dialog) { BackgroundHarness::choose(dialog, false, QStringLiteral("каждый час")); });
    b.ticks += 24 * kHourMs;
    b.schedule().look();
    EXPECT_EQ(b.asked, 2);
    EXPECT_FALSE(b.menuItem()->isChecked());
    EXPECT_FALSE(b.schedule().interval());
}

TEST(Background, WhereAUserManagerRunsTheDialogSwitchesItsTimerAndShowsWhatItSays)
{
    // The stand-in outlives the bus that calls it.
    UserManagerDouble manager;
    testsupport::PrivateBus bus;
    QString error;
    ASSERT_TRUE(bus.start(&error)) << error.toStdString();
    ASSERT_TRUE(bus.serve(UserManagerDouble::kService, UserManagerDouble::kPaths, &manager, &error))
        << error.toStdString();
    // Switched on in a terminal before the window opened.
    const auto usec = [](QTime time) {
        return quint64(QDateTime(QDate(2013, 4, 1), time, Qt::UTC).toMSecsSinceEpoch()) * 1000;
    };
    manager.setTimer(
        {true, QStringLiteral("enabled"), QStringLiteral("active"), usec(QTime(18, 14)), usec(QTime(15, 7))});

    BackgroundHarness b;
    MainFormOptions options = b.options();
    options.userManagerBus = bus.address();
    b.start(options);
    EXPECT_TRUE(b.menuItem()->isChecked());
    EXPECT_EQ(b.foot()->text(), QStringLiteral("Посылки ещё не проверялись, первая проверка в 18:14"));

    const QString dropIn =
        options.userUnitConfigHome + QStringLiteral("/systemd/user/kurierix-check.timer.d/interval.conf");
    manager.clearCalls();
    b.inDialog([](BackgroundDialog& dialog) {
        EXPECT_FALSE(dialog.findChild<QLabel*>(QStringLiteral("noteLabel"))->isVisibleTo(&dialog));
        EXPECT_TRUE(dialog.findChild<QCheckBox*>(QStringLiteral("onCheckBox"))->isChecked());
        EXPECT_EQ(BackgroundHarness::text(dialog, "nextLabel"), QStringLiteral("Следующая проверка: сегодня в 18:14."));
        BackgroundHarness::choose(dialog, true, QStringLiteral("каждые 3 часа"));
    });
    EXPECT_TRUE(QFile::exists(dropIn));
    EXPECT_TRUE(testsupport::waitUntil([&] { return b.foot()->text().endsWith(QStringLiteral("в 15:07")); }))
        << b.foot()->text().toStdString();
    // The switch, in this order; after it the window only reads the timer back, and when that
    // read arrives depends on the bus.
    const QStringList calls = manager.calls();
    EXPECT_EQ(calls.mid(0, 3),
              (QStringList{QStringLiteral("EnableUnitFiles kurierix-check.timer false false"), QStringLiteral("Reload"),
                           QStringLiteral("RestartUnit kurierix-check.timer replace")}));
    for (const QString& call : calls.mid(3))
        EXPECT_TRUE(call.startsWith(QStringLiteral("Get")) || call.startsWith(QStringLiteral("LoadUnit")))
            << call.toStdString();

    manager.clearCalls();
    b.inDialog(
        [](BackgroundDialog& dialog) { BackgroundHarness::choose(dialog, false, QStringLiteral("каждые 6 часов")); });
    EXPECT_FALSE(QFile::exists(dropIn));
    EXPECT_EQ(manager.calls().value(0), QStringLiteral("StopUnit kurierix-check.timer replace"));
    EXPECT_TRUE(testsupport::waitUntil([&] { return !b.menuItem()->isChecked(); }));
    EXPECT_EQ(b.foot()->text(), QStringLiteral("Посылки ещё не проверялись"));

    // A refusal is a box with the manager's own words, and the window goes on.
    manager.failNext(QStringLiteral("EnableUnitFiles"), QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"),
                     QStringLiteral("Access denied"));
    b.inDialog(
        [](BackgroundDialog& dialog) { BackgroundHarness::choose(dialog, true, QStringLiteral("каждые 6 часов")); });
    EXPECT_EQ(b.h.boxTexts(),
              std::vector<QString>{QStringLiteral("Не удалось включить таймер kurierix-check.timer (Access denied).")});
    EXPECT_FALSE(b.menuItem()->isChecked());
}
