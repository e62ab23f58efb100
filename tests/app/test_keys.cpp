// The window from the keyboard and its small things (the read-only views, the history of the
// selected row after every reload, the empty check, the shop link without a browser, the page
// frame), and the window that can be resized and keeps its size and place.
#include "AppTestHarness.h"

#include "app/WindowFit.h"

#include <QClipboard>
#include <QMenu>
#include <QStatusBar>
#include <QTabWidget>

using apptest::Harness;

namespace {

void seed(Harness& h)
{
    h.db().create();
    h.db().addParcel("RR1", "Shop1", "Title1", {}, std::nullopt, std::nullopt, "history 1");
    h.db().addParcel("RR2", "Shop2", "Title2", {}, std::nullopt, std::nullopt, "history 2");
}

void activate(TMainForm& window)
{
    // The window counts as active while its hidden dialog still has the focus: wait for the focus.
    window.activateWindow();
    ASSERT_TRUE(testsupport::waitUntil([&] { return QGuiApplication::focusWindow() == window.windowHandle(); }));
}

// Whether `act` opened the parcel dialog (then cancelled) within a few seconds.
bool opensDialog(Harness& h, const std::function<void()>& act)
{
    bool shown = false;
    TFm_Track* form = &h.dialog();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, form, [&, form] {
        if (form->isVisible()) {
            shown = true;
            form->reject();
        }
    });
    poll.start(5);
    act();
    testsupport::waitUntil([&] { return shown; });
    // The platform gives the window its activation back only when asked.
    activate(*h.window);
    return shown;
}

} // namespace

TEST(WindowKeys, KeysRunTheMenuCommandsAndTheViewsShowTheSelectedParcel)
{
    Harness h;
    seed(h);
    TMainForm& window = h.start();
    activate(window);
    ParcelGrid& grid = h.grid();
    grid.setFocus();

    // The selected row's history from the start; the views take no typing.
    EXPECT_EQ(h.history(), QStringLiteral("history 1\n"));
    for (QPlainTextEdit* view : {ui(window).Memo_history, ui(window).Memo_Status}) {
        EXPECT_TRUE(view->isReadOnly());
        EXPECT_TRUE(view->textInteractionFlags() & Qt::TextSelectableByKeyboard);
    }
    // The page control's frame lies inside the window.
    EXPECT_TRUE(window.rect().contains(ui(window).PageControl1->geometry()));

    QTest::keyClick(&grid, Qt::Key_Down);
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("RR2"));

    // Another program changes the selected parcel: the reload shows its new history.
    h.db().exec("UPDATE tracks SET s_trackfull='history 2b' WHERE s_track='RR2'");
    EXPECT_TRUE(testsupport::waitUntil([&] { return h.history() == QStringLiteral("history 2b\n"); }))
        << h.history().toStdString();

    EXPECT_TRUE(opensDialog(h, [&] { QTest::keyClick(&grid, Qt::Key_Return); }));
    EXPECT_TRUE(opensDialog(h, [&] { QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, h.rowCentre(1)); }));
    EXPECT_TRUE(opensDialog(h, [&] { QTest::keyClick(ui(window).Memo_history, Qt::Key_Insert); }));
    // After the dialog the keys act on the grid again, not on the history they were typed in.
    EXPECT_EQ(window.focusWidget(), &grid);
    // Escape closes the dialog as its close box does.
    h.inDialog([&] { ui(window).Add->trigger(); },
               [&](TFm_Track& dialog) { QTest::keyClick(controls(dialog).Edit_Track, Qt::Key_Escape); });
    activate(window);
    EXPECT_EQ(h.db().rows().size(), 2u);

    // A new parcel is selected and its (empty) history shown.
    setSelectedRow(grid, 1);
    h.inDialog([&] { QTest::keyClick(&grid, Qt::Key_Insert); },
               [&](TFm_Track& dialog) {
                   controls(dialog).Edit_Track->setText(QStringLiteral("RR3"));
                   QTest::mouseClick(controls(dialog).Button1, Qt::LeftButton);
               });
    activate(window);
    EXPECT_EQ(selectedRow(grid), 3);
    EXPECT_EQ(h.history(), QStringLiteral("\n"));

    // Shift+F10 and the menu key open the menu at the current row.
    QMenu* menu = ui(window).PopupMenu1;
    for (const auto& [key, modifiers] : {std::pair{Qt::Key_F10, Qt::ShiftModifier}, {Qt::Key_Menu, Qt::NoModifier}}) {
        QTest::keyClick(&grid, key, modifiers);
        ASSERT_TRUE(testsupport::waitUntil([&] { return menu->isVisible(); })) << key;
        const QRect row = grid.visualRect(grid.model()->index(2, 2));
        EXPECT_EQ(menu->pos(), grid.viewport()->mapToGlobal(row.bottomLeft())) << key;
        // The grid's own keys wait while its menu is open.
        QTest::keyClick(menu, Qt::Key_Delete);
        EXPECT_TRUE(h.prompts.shown().empty()) << key;
        menu->close();
    }

    // Delete asks the question; No keeps the parcel.
    h.prompts.answerNext(Prompts::Button::No);
    QTest::keyClick(&grid, Qt::Key_Delete);
    ASSERT_EQ(h.prompts.shown().size(), 1u);
    EXPECT_TRUE(h.prompts.shown().back().text.startsWith(QStringLiteral("Удалить выбранную запись?\n")));
    EXPECT_EQ(h.db().rows().size(), 3u);

    // A shop link nothing can open says so.
    h.linksOpen = false;
    QTest::mouseClick(ui(window).BitBtn4, Qt::LeftButton);
    ASSERT_EQ(h.prompts.shown().size(), 2u);
    EXPECT_TRUE(h.prompts.shown().back().text.contains(h.opened.back().toString()));
}

TEST(WindowKeys, F5OnAnEmptyListSaysThereIsNothingToCheck)
{
    Harness h;
    TMainForm& window = h.start();
    activate(window);
    QTest::keyClick(ui(window).Memo_Status, Qt::Key_F5);
    EXPECT_TRUE(h.log().endsWith(QStringLiteral("\n Нет посылок для проверки")));
}

TEST(WindowFit, TheGridAndHistoryTakeTheSizeAndTheSizeAndPlaceAreKept)
{
    Harness h;
    TMainForm* window = &h.start();
    EXPECT_EQ(window->size(), QSize(944, 781));
    EXPECT_EQ(window->pos(), QPoint(181, 207));
    // With a title bar of 30 px the smallest window, its status bar included, fits 700 px.
    EXPECT_LE(window->minimumHeight() + 30, 700);

    window->resize(1044, 881);
    MainFormView& view = ui(*window);
    EXPECT_EQ(view.StringGrid2->geometry(), QRect(9, 40, 785, 331));
    EXPECT_EQ(view.GroupBox4->geometry(), QRect(8, 413, 805, 400));
    EXPECT_EQ(view.Memo_history->geometry(), QRect(8, 24, 781, 363));
    EXPECT_EQ(view.GroupBox3->geometry(), QRect(821, 4, 207, 537));
    EXPECT_EQ(view.GroupBox1->geometry(), QRect(818, 548, 209, 266));

    // The smallest window: everything still inside the page, the about box above the log.
    window->resize(window->minimumSize());
    for (QWidget* group : std::initializer_list<QWidget*>{view.GroupBox5, view.GroupBox4, view.GroupBox1})
        EXPECT_LE(group->geometry().bottom(), view.TabSheet1->height()) << group->objectName().toStdString();
    EXPECT_LT(view.GroupBox3->geometry().bottom(), view.GroupBox1->y());
    EXPECT_GT(view.StringGrid2->height(), 4 * 24);
    // The status bar keeps its height at the window's foot, under the pages.
    const auto* foot = window->findChild<QStatusBar*>(QStringLiteral("checksStatusBar"));
    EXPECT_EQ(foot->geometry(), QRect(0, window->height() - 20, window->width(), 20));
    EXPECT_EQ(view.PageControl1->geometry().bottom() + 1, foot->y());

    // A wider window gives its extra width to "Статус"; a column the user widened keeps its
    // width, and so does the window's maximised state, for the next start.
    window->resize(1044, 861);
    EXPECT_EQ(view.StringGrid2->columnWidth(3), 360);
    view.StringGrid2->horizontalHeader()->resizeSection(4, 120);
    window->resize(1000, 700);
    window->move(150, 100);
    window->showMaximized();
    ASSERT_TRUE(testsupport::waitUntil([&] { return window->isMaximized(); }));
    window->close();
    h.window.reset();
    window = &h.start();
    EXPECT_TRUE(window->isMaximized());
    window->showNormal();
    ASSERT_TRUE(testsupport::waitUntil([&] { return !window->isMaximized(); }));
    EXPECT_EQ(window->size(), QSize(1000, 700));
    EXPECT_EQ(window->pos(), QPoint(150, 100));
    ParcelGrid& grid = h.grid();
    EXPECT_EQ(grid.columnWidth(4), 120);
    EXPECT_EQ(grid.columnWidth(3), 260 + 56);

    // At first start the designed place and size, where they fit the screen; else the window is
    // moved up and made as small as the screen's free height allows, never below its minimum.
    const auto first = [](const QRect& available) {
        return WindowFit::fitted(available, WindowFit::kDesignedPlace, WindowFit::kDesignedSize,
                                 WindowFit::kMinimumSize, WindowFit::kAssumedFrame);
    };
    EXPECT_EQ(first(QRect(0, 0, 1920, 1040)), QRect(181, 207, 944, 781));
    EXPECT_EQ(first(QRect(0, 0, 1366, 728)), QRect(181, 0, 944, 694));   // a panel below
    EXPECT_EQ(first(QRect(0, 27, 1366, 741)), QRect(181, 27, 944, 707)); // a panel above
    EXPECT_EQ(first(QRect(0, 0, 1280, 600)), QRect(181, 0, 944, 670));
    EXPECT_EQ(first(QRect(0, 0, 1024, 768)), QRect(72, 0, 944, 734));
}
