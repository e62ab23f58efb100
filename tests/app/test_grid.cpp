// The parcel grid in the window: refresh, selection, the history view, days in transit,
// deleting through the context menu, and the menu, tooltips and scrolling around the cells.
#include "AppTestHarness.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>

using apptest::cp;
using apptest::Field;
using apptest::Harness;

using namespace apptest::boxes;

namespace {

void seed(Harness& h, int parcels)
{
    h.db().create();
    for (int i = 1; i <= parcels; ++i) {
        const std::string n = std::to_string(i);
        h.db().addParcel("RR" + n, "Shop" + n, "Title" + n, {}, std::nullopt, std::nullopt, "history " + n);
    }
}

std::vector<std::string> tracks(const Harness& h)
{
    std::vector<std::string> result;
    for (const auto& row : h.db().rows())
        result.push_back(*row.at("s_track"));
    return result;
}

void wheel(Harness& h, int notches)
{
    const QPoint at = h.rowCentre(1);
    QWheelEvent event(at, h.grid().viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(h.grid().viewport(), &event);
}

} // namespace

TEST(ParcelGridFlow, DeleteAsksTheQuestionAndYesDeletesTheSelectedParcel)
{
    Harness h;
    seed(h, 3);
    TMainForm& window = h.start();
    h.clickRow(2);
    ASSERT_EQ(h.history(), QStringLiteral("history 2\n"));

    h.prompts.answerNext(Prompts::Button::Yes);
    ui(window).N3->trigger();

    ASSERT_EQ(h.prompts.shown().size(), 1u);
    const auto& question = h.prompts.shown().front();
    EXPECT_EQ(question.caption, QStringLiteral("Подтверждение"));
    // The question names what it deletes.
    EXPECT_EQ(question.text,
              QStringLiteral("Удалить выбранную запись?\n\nНомер посылки: RR2\nМагазин: Shop2\nЧто в ней: Title2"));
    EXPECT_EQ(question.icon, Prompts::Icon::Warning);
    EXPECT_EQ(question.buttons, (std::vector<Prompts::Button>{Prompts::Button::Yes, Prompts::Button::No}));
    // No is the default, so Enter answers No; the question belongs to the window in front.
    EXPECT_EQ(question.defaultButton, Prompts::Button::No);
    EXPECT_NE(question.owner, nullptr);

    EXPECT_EQ(tracks(h), (std::vector<std::string>{"RR1", "RR3"}));
    // The selection stays at the deleted parcel's position, now the parcel that followed it,
    // whose history the view shows.
    ASSERT_EQ(h.grid().parcelRowCount(), 2);
    EXPECT_EQ(selectedRow(h.grid()), 2);
    EXPECT_EQ(cellText(h.grid(), 2, 2), QStringLiteral("RR3"));
    EXPECT_EQ(h.history(), QStringLiteral("history 3\n"));
}

TEST(ParcelGridFlow, TheChosenParcelsStayChosenWhenAnotherProgramWritesAndDeleteTakesExactlyThem)
{
    Harness h;
    seed(h, 6);
    TMainForm& window = h.start();
    h.clickRow(2);

    // Another program deletes the parcel above the chosen one: the chosen one stays chosen, and
    // Delete deletes it, not the parcel that moved into its row.
    h.db().exec("DELETE FROM tracks WHERE id=1");
    ASSERT_TRUE(testsupport::waitUntil([&] { return h.grid().parcelRowCount() == 5; }));
    ASSERT_TRUE(h.grid().currentParcel());
    EXPECT_EQ(h.grid().currentParcel()->id, 2);
    EXPECT_EQ(selectedRow(h.grid()), 1);
    h.prompts.answerNext(Prompts::Button::Yes);
    ui(window).N3->trigger();
    EXPECT_EQ(tracks(h), (std::vector<std::string>{"RR3", "RR4", "RR5", "RR6"}));

    // Three rows: a failure deletes none of them, says why and keeps them chosen.
    h.clickRow(1);
    for (const int row : {2, 4})
        QTest::mouseClick(h.grid().viewport(), Qt::LeftButton, Qt::ControlModifier, h.rowCentre(row));
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(h.databasePath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    h.prompts.clear();
    h.prompts.answerNext(Prompts::Button::Yes);
    ui(window).N3->trigger();
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    ASSERT_EQ(h.prompts.shown().size(), 2u);
    EXPECT_EQ(h.prompts.shown()[0].text, QStringLiteral("Удалить выбранные записи (3)?\n\nRR3\nRR4\nRR6"));
    EXPECT_EQ(h.prompts.shown()[1].text, kDeleteFailed);
    EXPECT_TRUE(h.prompts.shown()[1].detail.startsWith(kFileBusy)) << h.prompts.shown()[1].detail.toStdString();
    EXPECT_EQ(tracks(h).size(), 4u);
    EXPECT_EQ(h.grid().selectedParcels().size(), 3u);

    h.prompts.answerNext(Prompts::Button::Yes);
    ui(window).N3->trigger();
    EXPECT_EQ(tracks(h), (std::vector<std::string>{"RR5"}));
}

TEST(ParcelGridFlow, NoAndTheDefaultAnswerKeepTheParcelButStillRefreshTheGrid)
{
    Harness h;
    seed(h, 2);
    TMainForm& window = h.start();
    // Another program adds a parcel; the refresh after the question shows it.
    h.db().addParcel("RR9", "Shop", "Title");

    h.prompts.answerNext(Prompts::Button::No);
    ui(window).N3->trigger();
    EXPECT_EQ(tracks(h).size(), 3u);
    EXPECT_EQ(h.grid().parcelRowCount(), 3);

    // Enter takes the default button, which is No.
    ui(window).N3->trigger();
    EXPECT_EQ(h.prompts.shown().size(), 2u);
    EXPECT_EQ(tracks(h).size(), 3u);
}

TEST(ParcelGridFlow, DeletingTheLastRowSelectsTheNewLastRowAndTheHighestIdIsNotReused)
{
    Harness h;
    seed(h, 3);
    TMainForm& window = h.start();
    h.clickRow(3);

    h.prompts.answerNext(Prompts::Button::Yes);
    ui(window).N3->trigger();
    EXPECT_EQ(tracks(h), (std::vector<std::string>{"RR1", "RR2"}));
    EXPECT_EQ(selectedRow(h.grid()), 2);
    EXPECT_EQ(h.history(), QStringLiteral("history 2\n"));

    h.inDialog([&] { ui(window).Add->trigger(); },
               [&](TFm_Track& dialog) {
                   controls(dialog).Edit_Track->setText(QStringLiteral("RR4"));
                   QTest::mouseClick(controls(dialog).Button1, Qt::LeftButton);
               });
    EXPECT_EQ(cellText(h.grid(), 3, 0), QStringLiteral("4"));
}

TEST(ParcelGridFlow, DeletingTheOnlyParcelLeavesTheHeaderAloneAndLaterDeletesAskNothing)
{
    Harness h;
    seed(h, 1);
    TMainForm& window = h.start();
    h.prompts.answerNext(Prompts::Button::Yes);
    ui(window).N3->trigger();
    EXPECT_TRUE(tracks(h).empty());
    EXPECT_EQ(h.grid().parcelRowCount(), 0);
    EXPECT_EQ(selectedRow(h.grid()), 0);
    EXPECT_EQ(cellText(h.grid(), 0, 0), QStringLiteral("id"));

    h.prompts.clear();
    ui(window).N3->trigger();
    EXPECT_TRUE(h.prompts.shown().empty());

    // The grid gains rows again: the first one is selected.
    h.db().addParcel("RR5", "Shop", "Title");
    h.db().addParcel("RR6", "Shop", "Title");
    window.RefreshGrid();
    EXPECT_EQ(selectedRow(h.grid()), 1);
}

TEST(ParcelGridFlow, AFailingDeleteShowsItsBoxDeletesNothingAndRefreshesAllTheSame)
{
    Harness h;
    seed(h, 2);
    TMainForm& window = h.start();
    h.db().exec("ALTER TABLE tracks RENAME TO kept");
    ui(window).N3->trigger();
    EXPECT_EQ(h.boxTexts(), (std::vector<QString>{kDeleteFailed, kRefreshFailed}));
    EXPECT_EQ(h.db().rows("SELECT * FROM kept").size(), 2u);
    // When the list query fails, the grid keeps what it showed.
    EXPECT_EQ(h.grid().parcelRowCount(), 2);
}

TEST(ParcelGridFlow, ARightClickSelectsItsRowFirstSoThatTheMenuActsOnTheRowClicked)
{
    Harness h;
    seed(h, 3);
    TMainForm& window = h.start();
    ASSERT_EQ(selectedRow(h.grid()), 1);

    // As the desktop delivers a right click: the press, then the menu event.
    h.clickRow(3, Qt::RightButton);
    EXPECT_EQ(selectedRow(h.grid()), 3);
    EXPECT_EQ(h.history(), QStringLiteral("history 3\n"));
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, h.rowCentre(3),
                                h.grid().viewport()->mapToGlobal(h.rowCentre(3)));
    QApplication::sendEvent(h.grid().viewport(), &menuEvent);
    ASSERT_TRUE(testsupport::waitUntil([&] { return ui(window).PopupMenu1->isVisible(); }));
    ui(window).PopupMenu1->hide();

    h.prompts.answerNext(Prompts::Button::Yes);
    ui(window).N3->trigger();
    EXPECT_EQ(tracks(h), (std::vector<std::string>{"RR1", "RR2"}));

    // Below the rows the selection stays where it is, and the menu acts on it.
    ASSERT_EQ(selectedRow(h.grid()), 2);
    QTest::mouseClick(h.grid().viewport(), Qt::RightButton, Qt::NoModifier, QPoint(50, 250));
    EXPECT_EQ(selectedRow(h.grid()), 2);
    h.inDialog([&] { ui(window).edit->trigger(); },
               [&](TFm_Track& dialog) {
                   EXPECT_EQ(controls(dialog).Edit_Track->text(), QStringLiteral("RR2"));
                   QTest::mouseClick(controls(dialog).Button2, Qt::LeftButton);
               });
}

TEST(ParcelGridFlow, TheHistoryShowsOneEventPerLineAndFollowsClicksKeysAndTheWheel)
{
    Harness h;
    h.db().create();
    h.db().addParcel("RR1", "Shop", "Title", {}, std::nullopt, std::nullopt,
                     cp("2013-03-16 12:30:00 Получение отправления 100614* \r\n2013-03-17 14:16:00 Отправка BEIJING "));
    h.db().addParcel("RR2", "Shop", "Title", {}, std::nullopt, std::nullopt, "second");
    h.db().addParcel("RR3", "Shop", "Title", {}, std::nullopt, std::nullopt, "third");
    TMainForm& window = h.start();

    h.clickRow(1);
    EXPECT_EQ(h.history(), QStringLiteral("2013-03-16 12:30:00 Получение отправления 100614* \n"
                                          "2013-03-17 14:16:00 Отправка BEIJING \n"));
    EXPECT_EQ(ui(window).Memo_history->document()->blockCount(), 3);

    // A click on the row already selected shows it again.
    ui(window).Memo_history->setPlainText(QStringLiteral("typed"));
    h.clickRow(1);
    EXPECT_TRUE(h.history().startsWith(QStringLiteral("2013-03-16")));

    QTest::keyClick(&h.grid(), Qt::Key_Down);
    EXPECT_EQ(selectedRow(h.grid()), 2);
    EXPECT_EQ(h.history(), QStringLiteral("second\n"));

    wheel(h, 1);
    EXPECT_EQ(selectedRow(h.grid()), 3);
    EXPECT_EQ(h.history(), QStringLiteral("third\n"));
    wheel(h, 1); // already on the last row
    EXPECT_EQ(selectedRow(h.grid()), 3);
    wheel(h, -2);
    EXPECT_EQ(selectedRow(h.grid()), 1);
    EXPECT_TRUE(h.history().startsWith(QStringLiteral("2013-03-16")));

    QTest::keyClick(&h.grid(), Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(selectedRow(h.grid()), 3);
    EXPECT_EQ(h.history(), QStringLiteral("third\n"));

    // The header is never a parcel row.
    ui(window).Memo_history->clear();
    QTest::mouseClick(h.grid().horizontalHeader()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 10));
    EXPECT_EQ(selectedRow(h.grid()), 3);
    EXPECT_TRUE(h.history().isEmpty());
    EXPECT_TRUE(h.prompts.shown().empty());
}

TEST(ParcelGridFlow, DaysInTransitCountWholeDaysBothWays)
{
    Harness h;
    h.db().create();
    h.db().addParcel("A", "S", "T", {}, std::nullopt, "2013-03-31 12:01:00"); // 23 h 59 min before
    h.db().addParcel("B", "S", "T", {}, std::nullopt, "2013-03-31 11:00:00"); // 25 h before
    h.db().addParcel("C", "S", "T", {}, std::nullopt, "2013-04-03 13:00:00"); // 49 h after
    h.db().addParcel("D", "S", "T", {}, std::nullopt, "01.03.2013 12:00:00"); // the dotted form, day first
    h.db().addParcel("E", "S", "T", {}, std::nullopt, "");
    h.now = QDateTime(QDate(2013, 4, 1), QTime(12, 0));
    TMainForm& window = h.start();

    EXPECT_TRUE(h.prompts.shown().empty());
    EXPECT_EQ(cellText(h.grid(), 1, 1), QStringLiteral("0"));
    EXPECT_EQ(cellText(h.grid(), 2, 1), QStringLiteral("1"));
    EXPECT_EQ(cellText(h.grid(), 3, 1), QStringLiteral("2"));
    EXPECT_EQ(cellText(h.grid(), 4, 1), QStringLiteral("31"));
    EXPECT_EQ(cellText(h.grid(), 5, 1), QString());

    // Counted at each refresh, never stored.
    h.now = h.now.addDays(10);
    window.RefreshGrid();
    EXPECT_EQ(cellText(h.grid(), 1, 1), QStringLiteral("10"));
    EXPECT_EQ(h.db().rows()[0].at("s_date"), Field("2013-03-31 12:01:00"));
}

TEST(ParcelGridFlow, AnUnreadableDateLeavesOnlyItsDaysCellEmptyAndEveryRowUsable)
{
    Harness h;
    h.db().create();
    h.db().addParcel("A", "S", "T", {}, std::nullopt, "2013-03-31 12:00:00", "history A");
    // Both pass the page's date test and are no date.
    h.db().addParcel("B", "S", "T", {}, std::nullopt, "32.13.2013 25:61:00", "history B");
    h.db().addParcel("C", "S", "T", {}, std::nullopt, "2013-13-45 12:30:00", "history C");
    h.db().addParcel("D", "S", "T", {}, std::nullopt, "2013-03-30 12:00:00", "history D");
    TMainForm& window = h.start();

    // One box for the refresh, and every other cell written.
    EXPECT_EQ(h.boxTexts(), std::vector<QString>{kRefreshFailed});
    ASSERT_EQ(h.grid().parcelRowCount(), 4);
    const std::vector<QString> days = {QStringLiteral("1"), QString(), QString(), QStringLiteral("2")};
    for (int row = 1; row <= 4; ++row) {
        EXPECT_EQ(cellText(h.grid(), row, 0), QString::number(row));
        EXPECT_EQ(cellText(h.grid(), row, 1), days[std::size_t(row - 1)]);
        EXPECT_EQ(cellText(h.grid(), row, 2), QString(QChar(u'A' + row - 1)));
        EXPECT_EQ(cellText(h.grid(), row, 4), QStringLiteral("S"));
    }

    // Every row shows its history, and the row below the bad ones can be deleted.
    h.prompts.clear();
    for (int row = 1; row <= 4; ++row) {
        h.clickRow(row);
        EXPECT_EQ(h.history(), QStringLiteral("history %1\n").arg(QChar(u'A' + row - 1)));
    }
    EXPECT_TRUE(h.prompts.shown().empty());
    h.prompts.answerNext(Prompts::Button::Yes);
    ui(window).N3->trigger();
    EXPECT_EQ(tracks(h), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(
        h.boxTexts(),
        (std::vector<QString>{QStringLiteral("Удалить выбранную запись?\n\nНомер посылки: D\nМагазин: S\nЧто в ней: T"),
                              kRefreshFailed}));
}

TEST(ParcelGridFlow, ARefreshRewritesEveryCellAndKeepsTheSelectedPosition)
{
    Harness h;
    seed(h, 3);
    TMainForm& window = h.start();
    h.clickRow(3);
    h.db().exec("UPDATE tracks SET s_status='checked', s_shop=NULL WHERE id=3");
    h.db().exec("DELETE FROM tracks WHERE id=1");

    window.RefreshGrid();
    ASSERT_EQ(h.grid().parcelRowCount(), 2);
    // Position 3 is gone: the last row is selected.
    EXPECT_EQ(selectedRow(h.grid()), 2);
    EXPECT_EQ(cellText(h.grid(), 1, 0), QStringLiteral("2"));
    EXPECT_EQ(cellText(h.grid(), 2, 3), QStringLiteral("checked"));
    EXPECT_EQ(cellText(h.grid(), 2, 4), QString());
    EXPECT_EQ(h.history(), QStringLiteral("history 3\n"));
}

TEST(ParcelGridFlow, TheTitleRowAndTheScrollBarOpenTheGridsMenuForTheSelectedRow)
{
    Harness h;
    seed(h, 30);
    TMainForm& window = h.start();
    setSelectedRow(h.grid(), 3);
    QHeaderView* titles = h.grid().horizontalHeader();
    QScrollBar* bar = h.grid().verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());

    for (QWidget* target : {titles->viewport(), static_cast<QWidget*>(bar)}) {
        const QPoint at(5, 5);
        QTest::mouseClick(target, Qt::RightButton, Qt::NoModifier, at);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &menuEvent);
        ASSERT_TRUE(testsupport::waitUntil([&] { return ui(window).PopupMenu1->isVisible(); }));
        // No other menu (the scroll bar's own "Scroll here", "Top", ...) is open beside it.
        for (QWidget* widget : QApplication::topLevelWidgets())
            EXPECT_TRUE(widget == ui(window).PopupMenu1 || !qobject_cast<QMenu*>(widget) || !widget->isVisible());
        ui(window).PopupMenu1->hide();
        EXPECT_EQ(selectedRow(h.grid()), 3);
    }
}

TEST(ParcelGridFlow, ACutCellShowsItsWholeTextAsTooltipAndAnIdFrom1000IsShownWhole)
{
    Harness h;
    h.db().create();
    const QString status = QStringLiteral("Вручено адресату в отделении связи 220030 Минск, ул. Независимости");
    h.db().exec("INSERT INTO tracks (id, s_track, s_status) VALUES (7, 'RR7', 'ok')");
    h.db().exec("INSERT INTO tracks (id, s_track, s_status) VALUES (1000, 'RR1000', ?1)",
                {testsupport::cp1251(status)});
    h.start();
    const auto tooltipAt = [&](int row, int column) {
        QHelpEvent help(QEvent::ToolTip, h.rowCentre(row, column),
                        h.grid().viewport()->mapToGlobal(h.rowCentre(row, column)));
        QApplication::sendEvent(h.grid().viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };

    EXPECT_EQ(tooltipAt(1, 0), QString());
    EXPECT_EQ(tooltipAt(1, 3), QString());
    // The id column widens for the longest id, bold or not, at the cost of "Статус".
    EXPECT_EQ(tooltipAt(2, 0), QString());
    EXPECT_EQ(tooltipAt(2, 3), status);
    QFont bold = h.grid().font();
    bold.setBold(true);
    EXPECT_GE(h.grid().columnWidth(0), 4 + QFontMetrics(bold).horizontalAdvance(QStringLiteral("1000")));
    EXPECT_EQ(h.grid().columnWidth(0) + h.grid().columnWidth(3), 24 + 260);
    QToolTip::hideText();
}

TEST(ParcelGridFlow, AnAddSelectsTheNewRowAndScrollsItIntoView)
{
    Harness h;
    seed(h, 30);
    TMainForm& window = h.start();
    h.inDialog([&] { ui(window).Add->trigger(); },
               [&](TFm_Track& dialog) {
                   controls(dialog).Edit_Track->setText(QStringLiteral("RR31"));
                   QTest::mouseClick(controls(dialog).Button1, Qt::LeftButton);
               });
    ASSERT_EQ(h.grid().parcelRowCount(), 31);
    EXPECT_EQ(selectedRow(h.grid()), 31);
    const QRect newRow = h.grid().visualRect(h.grid().model()->index(30, 2));
    EXPECT_TRUE(h.grid().viewport()->rect().contains(newRow)) << newRow.y();
}

TEST(ParcelGridFlow, TheDeleteQuestionAndTheMemosMenusSpeakRussian)
{
    // Real message boxes, in a session whose locale is not Russian.
    ASSERT_NE(QLocale::system().language(), QLocale::Russian);
    Harness h;
    seed(h, 1);
    MainFormOptions options = h.options();
    options.prompts = nullptr;
    TMainForm& window = h.start(options);

    QStringList buttons;
    QTimer answer;
    answer.setSingleShot(true);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* button : box->buttons())
            buttons.push_back(button->text().remove(QLatin1Char('&')));
        box->button(QMessageBox::No)->click();
    });
    answer.start(0);
    ui(window).N3->trigger();
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("Да"), QStringLiteral("Нет")}));
    EXPECT_EQ(tracks(h).size(), 1u);

    std::unique_ptr<QMenu> menu(ui(window).Memo_history->createStandardContextMenu());
    QStringList items;
    for (QAction* item : menu->actions())
        items.push_back(item->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&')));
    EXPECT_TRUE(items.contains(QStringLiteral("Копировать"))) << items.join(u'|').toStdString();
}
