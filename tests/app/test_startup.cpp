// Start-up, the window as the user first sees it, shut-down, and the general error report.
#include "AppTestHarness.h"

#include "app/GeneralErrorReport.h"
#include "app/MessageBoxPrompts.h"
#include "tracking/CheckSession.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QWheelEvent>

using apptest::cp;
using apptest::Harness;

using namespace apptest::boxes;

namespace {

} // namespace

TEST(Startup, FirstStartInAnEmptyDirectoryCreatesTheTableAndShowsOnlyTheHeader)
{
    Harness h;
    ASSERT_FALSE(QFile::exists(QString::fromStdString(h.databasePath())));
    TMainForm& window = h.start();

    EXPECT_FALSE(window.startupFailed());
    EXPECT_TRUE(h.prompts.shown().empty());
    ASSERT_TRUE(QFile::exists(QString::fromStdString(h.databasePath())));
    EXPECT_EQ(h.db().tables(), (std::vector<std::string>{"kurierix_seen", "sqlite_sequence", "tracks"}));
    const auto columns = h.db().rows("SELECT name FROM pragma_table_info('tracks') ORDER BY cid");
    std::vector<std::string> names;
    for (const auto& column : columns)
        names.push_back(*column.at("name"));
    EXPECT_EQ(names, (std::vector<std::string>{"id", "s_track", "s_trackfull", "s_title", "s_date", "s_status",
                                               "s_shop", "s_comments", "i_type"}));

    EXPECT_EQ(h.grid().parcelRowCount(), 0);
    EXPECT_EQ(h.grid().cellText(0, 0), QStringLiteral("id"));
    EXPECT_EQ(h.grid().cellText(0, 1), QStringLiteral("в пути"));
    EXPECT_EQ(h.grid().cellText(0, 5), QStringLiteral("Что в ней"));
    EXPECT_TRUE(h.grid().horizontalHeader()->isVisible());
    EXPECT_EQ(h.log(), QStringLiteral("Жду Вашу комманду..."));
    EXPECT_EQ(h.label(), QStringLiteral("Статус: ok"));
    EXPECT_TRUE(h.history().isEmpty());

    // A click on the empty grid does nothing.
    QTest::mouseClick(h.grid().viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 10));
    EXPECT_TRUE(h.prompts.shown().empty());
    EXPECT_EQ(h.grid().selectedRow(), 0);
}

TEST(Startup, AnExistingFileIsUsedUnalteredAndItsParcelsFillTheGrid)
{
    Harness h;
    h.db().create();
    h.db().addParcel("RR1", "Shop", cp("Книга"));
    h.db().addParcel("RR2", "Shop", "Lamp", {}, cp("Вручено"), "2013-03-30 12:00:00", "history");
    h.start();

    EXPECT_TRUE(h.prompts.shown().empty());
    ASSERT_EQ(h.grid().parcelRowCount(), 2);
    EXPECT_EQ(h.grid().selectedRow(), 1);
    EXPECT_EQ(h.grid().cellText(1, 0), QStringLiteral("1"));
    EXPECT_EQ(h.grid().cellText(1, 1), QString());
    EXPECT_EQ(h.grid().cellText(1, 5), QStringLiteral("Книга"));
    EXPECT_EQ(h.grid().cellText(2, 1), QStringLiteral("2"));
    EXPECT_EQ(h.grid().cellText(2, 3), QStringLiteral("Вручено"));
    // The selected row's history (none yet) is shown without a click.
    EXPECT_EQ(h.history(), QStringLiteral("\n"));
}

TEST(Startup, AFileWithoutTracksIsNotRepairedAndEveryParcelOperationFailsWithItsBox)
{
    Harness h;
    h.db().exec("CREATE TABLE other (x TEXT)");
    TMainForm& window = h.start();

    EXPECT_FALSE(window.startupFailed());
    EXPECT_EQ(h.boxTexts(), std::vector<QString>{kRefreshFailed});
    const auto& box = h.prompts.shown().front();
    EXPECT_EQ(box.caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(box.icon, Prompts::Icon::Error);
    EXPECT_EQ(box.buttons, std::vector<Prompts::Button>{Prompts::Button::Ok});
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(h.db().tables(), std::vector<std::string>{"other"});
    EXPECT_EQ(h.grid().parcelRowCount(), 0);

    h.prompts.clear();
    h.inDialog([&] { ui(window).Add->trigger(); },
               [&](TFm_Track& dialog) {
                   h.typeInto(dialog.Edit_Track, QStringLiteral("RR1"));
                   QTest::mouseClick(dialog.Button1, Qt::LeftButton);
                   // The failed add keeps what was typed.
                   EXPECT_EQ(dialog.Edit_Track->text(), QStringLiteral("RR1"));
                   QTest::mouseClick(dialog.Button2, Qt::LeftButton);
               });
    EXPECT_EQ(h.boxTexts(), (std::vector<QString>{QStringLiteral("Ошибка - Во время добавление данных возникла")}));

    // The handler: on an empty grid the menu offers no delete.
    h.prompts.clear();
    window.N3Click();
    EXPECT_EQ(h.boxTexts(),
              (std::vector<QString>{QStringLiteral("Ошибка - Во время удаление данных!"), kRefreshFailed}));
    EXPECT_EQ(h.db().tables(), std::vector<std::string>{"other"});
}

TEST(Startup, AnExistingFileThatIsNoDatabaseEndsTheProgram)
{
    Harness h;
    {
        QFile file(QString::fromStdString(h.databasePath()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("this is not a database, just some text that is long enough to have a header");
    }
    TMainForm& window = h.start();

    EXPECT_TRUE(window.startupFailed());
    EXPECT_EQ(h.boxTexts(), std::vector<QString>{QStringLiteral("Ошибка №2 - Откытия базы данных")});
    EXPECT_EQ(h.prompts.shown().front().caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(h.prompts.shown().front().owner, nullptr);
}

TEST(Startup, ADatabaseThatCannotBeCreatedIsReportedAndStartUpGoesOn)
{
    Harness h;
    MainFormOptions options = h.options();
    options.databasePath = QDir(h.dirPath()).filePath(QStringLiteral("missing/folder/database.db")).toStdString();
    TMainForm& window = h.start(options);

    EXPECT_FALSE(window.startupFailed());
    EXPECT_EQ(h.boxTexts(),
              (std::vector<QString>{QStringLiteral("Ошибка №1 - Ошибка создание новой базы данных"), kRefreshFailed}));
    EXPECT_TRUE(window.isVisible());
}

TEST(Startup, TheWindowIsLaidOutAsDesigned)
{
    Harness h;
    TMainForm& window = h.start();

    EXPECT_EQ(window.objectName(), QStringLiteral("MainForm"));
    EXPECT_TRUE(window.windowTitle().startsWith(QStringLiteral("Курьерикс 1.0 (")));
    EXPECT_TRUE(window.windowTitle().endsWith(QLatin1Char(')')));
    // The pages as designed, and the status bar under them.
    EXPECT_EQ(window.size(), QSize(944, 781));
    EXPECT_EQ(ui(window).PageControl1->geometry(), QRect(0, 0, 944, 761));
    EXPECT_EQ(window.minimumWidth(), 944);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(window.pos(), QPoint(181, 207));

    // Two reachable pages, "Программа" shown first; the third, with the browser host, has no tab.
    QTabWidget* pages = ui(window).PageControl1;
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->currentWidget(), ui(window).TabSheet1);
    EXPECT_EQ(pages->tabText(0), QStringLiteral("Программа"));
    EXPECT_EQ(pages->tabText(1), QStringLiteral("Супер магазины"));
    EXPECT_TRUE(pages->isTabVisible(0));
    EXPECT_TRUE(pages->isTabVisible(1));
    EXPECT_FALSE(pages->isTabVisible(2));
    EXPECT_EQ(ui(window).WebBrowser1->parentWidget(), ui(window).TabSheet3);
    EXPECT_EQ(ui(window).WebBrowser1->geometry(), QRect(5, 16, 300, 505));
    EXPECT_EQ(pages->tabBar()->font().pixelSize(), 16);
    for (QWidget* page : {ui(window).TabSheet2, ui(window).TabSheet1}) {
        pages->setCurrentWidget(page);
        EXPECT_EQ(page->size(), QSize(937, 727)) << page->objectName().toStdString();
    }

    // The grid's frame and columns.
    EXPECT_EQ(h.grid().geometry(), QRect(9, 40, 685, 281));
    const std::vector<int> widths = {24, 40, 104, 260, 80, 148};
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(h.grid().columnWidth(c), widths[std::size_t(c)]) << c;
    EXPECT_EQ(h.grid().font().pixelSize(), 13);
    EXPECT_FALSE(h.grid().font().bold());

    // Group captions bold 10 pt, the controls inside regular.
    EXPECT_TRUE(ui(window).GroupBox5->font().bold());
    EXPECT_EQ(ui(window).GroupBox5->font().pixelSize(), 13);
    EXPECT_FALSE(ui(window).Label7->font().bold());
    EXPECT_EQ(ui(window).Label1->font().pixelSize(), 15);
    EXPECT_TRUE(ui(window).Label1->font().bold());
    EXPECT_EQ(ui(window).Memo_Status->font().pixelSize(), 11);
    EXPECT_EQ(ui(window).Memo_Status->palette().color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(ui(window).Memo_Status->palette().color(QPalette::Text), QColor(0, 255, 0));
    EXPECT_EQ(ui(window).Memo_history->palette().color(QPalette::Text), QColor(0, 0, 128));
    EXPECT_TRUE(ui(window).Label5->font().underline());
    EXPECT_EQ(ui(window).Label5->toolTip(), QStringLiteral("Зайти на сайт"));
    EXPECT_EQ(ui(window).Label2->text(), QStringLiteral("Программа для отслеживания посылок на сайте БелПочты "));

    // The five pictures at their sizes.
    EXPECT_EQ(ui(window).Image1->pixmap().size(), QSize(173, 151));
    EXPECT_EQ(ui(window).BitBtn4->iconSize(), QSize(176, 144));
    EXPECT_EQ(ui(window).BitBtn1->iconSize(), QSize(179, 84));
    EXPECT_EQ(ui(window).BitBtn2->iconSize(), QSize(172, 144));
    EXPECT_EQ(ui(window).BitBtn6->iconSize(), QSize(172, 144));
    EXPECT_FALSE(ui(window).BitBtn2->icon().pixmap(172, 144).toImage()
                 == ui(window).BitBtn6->icon().pixmap(172, 144).toImage());

    // The controls nobody sees.
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{ui(window).Button_Check, ui(window).Memo1, ui(window).BitBtn3,
                                         ui(window).Button1, ui(window).SpeedButton1, ui(window).Memo2})
        EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
    EXPECT_EQ(ui(window).Button_Check->text(), QStringLiteral("Проверка"));
    EXPECT_TRUE(ui(window).Memo1->toPlainText().contains(QStringLiteral("<DIV id=results>")));

    // The context menu, in order; "Создание" is never shown. What came later follows a separator.
    const QList<QAction*> items = ui(window).PopupMenu1->actions();
    std::vector<QString> names;
    for (QAction* item : items.mid(0, 7))
        names.push_back(item->objectName());
    EXPECT_EQ(names, (std::vector<QString>{QStringLiteral("N4"), QStringLiteral("N5"), QStringLiteral("Add"),
                                           QStringLiteral("edit"), QStringLiteral("N2"), QStringLiteral("N3"),
                                           QStringLiteral("New")}));
    ASSERT_GT(items.size(), 8);
    EXPECT_TRUE(items[7]->isSeparator());
    EXPECT_EQ(ui(window).N4->text(), QStringLiteral("Проверить посылки"));
    EXPECT_TRUE(ui(window).N5->isSeparator());
    EXPECT_EQ(ui(window).Add->text(), QStringLiteral("Добавить посылку"));
    EXPECT_EQ(ui(window).edit->text(), QStringLiteral("Редактирова посылку"));
    EXPECT_TRUE(ui(window).N2->isSeparator());
    EXPECT_EQ(ui(window).N3->text(), QStringLiteral("Удалить посылку"));
    EXPECT_EQ(ui(window).New->text(), QStringLiteral("Создание"));
    EXPECT_FALSE(ui(window).New->isVisible());
}

TEST(Startup, NoKeyOrMouseReachesTheHiddenPage)
{
    Harness h;
    TMainForm& window = h.start();
    QApplication::setActiveWindow(&window);
    QTabWidget* pages = ui(window).PageControl1;
    QTabBar* tabs = pages->tabBar();
    const auto focused = [&] { return QApplication::focusWidget() ? QApplication::focusWidget() : pages; };
    const auto wheel = [&](int notches) {
        const QPoint at = tabs->tabRect(0).center();
        QWheelEvent event(at, tabs->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(tabs, &event);
    };
    const std::vector<std::function<void()>> ways = {
        [&] { QTest::keyClick(focused(), Qt::Key_Tab); },
        [&] { QTest::keyClick(focused(), Qt::Key_Tab, Qt::ControlModifier); },
        [&] { QTest::keyClick(focused(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier); },
        [&] { QTest::keyClick(focused(), Qt::Key_PageDown, Qt::ControlModifier); },
        [&] { QTest::keyClick(tabs, Qt::Key_Right); },
        [&] { QTest::keyClick(tabs, Qt::Key_Left); },
        [&] { wheel(-1); },
        [&] { wheel(1); },
    };
    // From either page, every way in turn, and each way several times in a row.
    for (QWidget* start : {ui(window).BitBtn4, ui(window).BitBtn2}) {
        for (std::size_t way = 0; way < ways.size(); ++way) {
            pages->setCurrentWidget(start == ui(window).BitBtn4 ? ui(window).TabSheet1 : ui(window).TabSheet2);
            start->setFocus();
            for (int again = 0; again < 3; ++again) {
                ways[way]();
                ASSERT_NE(pages->currentWidget(), ui(window).TabSheet3)
                    << start->objectName().toStdString() << " way " << way << " step " << again;
            }
        }
    }
}

TEST(Startup, ClosingTheWindowReleasesTheStore)
{
    Harness h;
    h.db().create();
    h.db().addParcel("RR1", "Shop", "Book");
    TMainForm& window = h.start();
    ASSERT_EQ(ui(window).StringGrid2->parcelRowCount(), 1);
    EXPECT_FALSE(window.findChild<CheckSession*>()->stopRequested());

    window.close();

    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.findChild<CheckSession*>()->stopRequested());
    // Nothing uses the store afterwards: a late refresh is no error and changes nothing.
    window.RefreshGrid();
    EXPECT_TRUE(h.prompts.shown().empty());
    EXPECT_EQ(h.grid().parcelRowCount(), 1);
    // The connection is really gone: the file can be replaced while the window object lives.
    ASSERT_TRUE(QFile::remove(QString::fromStdString(h.databasePath())));
    h.db().create();
    EXPECT_EQ(h.db().rows().size(), 0u);
}

TEST(GeneralErrorReport, AddsAFullStopOnlyAfterACharacterAboveTheFullStop)
{
    EXPECT_EQ(GeneralErrorReport::withFullStop("Table is at End of File"), "Table is at End of File.");
    EXPECT_EQ(GeneralErrorReport::withFullStop(cp("Ошибка")), cp("Ошибка."));
    EXPECT_EQ(GeneralErrorReport::withFullStop("Stop!"), "Stop!");
    EXPECT_EQ(GeneralErrorReport::withFullStop("Done."), "Done.");
    EXPECT_EQ(GeneralErrorReport::withFullStop("a-"), "a-");
    EXPECT_EQ(GeneralErrorReport::withFullStop("(x)"), "(x)");
    EXPECT_EQ(GeneralErrorReport::withFullStop("trailing "), "trailing ");
    EXPECT_EQ(GeneralErrorReport::withFullStop("quoted\""), "quoted\"");
    EXPECT_EQ(GeneralErrorReport::withFullStop("slash/"), "slash/.");
    EXPECT_EQ(GeneralErrorReport::withFullStop("12"), "12.");
    EXPECT_EQ(GeneralErrorReport::withFullStop(""), "");
}

TEST(GeneralErrorReport, AnErrorEscapingAHandlerIsShownWithTheTitleAndTheProgramGoesOn)
{
    Harness h;
    h.db().create();
    h.db().addParcel("RR1", "Shop", "Book", {}, {}, {}, "line");
    h.start();

    // The grid no longer matches the table: the parcel it shows is gone.
    h.db().exec("DELETE FROM tracks");
    h.clickRow(1);

    ASSERT_EQ(h.prompts.shown().size(), 1u);
    const auto& box = h.prompts.shown().front();
    EXPECT_EQ(box.caption, QStringLiteral("Курьерикс 1.0"));
    EXPECT_EQ(box.text, QStringLiteral("Field s_trackfull Not found. Empty dataset."));
    EXPECT_EQ(box.icon, Prompts::Icon::Error);
    EXPECT_EQ(box.buttons, std::vector<Prompts::Button>{Prompts::Button::Ok});
    // The view was already cleared, and the result without rows stops later clicks.
    EXPECT_EQ(h.history(), QString());
    h.clickRow(1);
    EXPECT_EQ(h.prompts.shown().size(), 1u);
}

TEST(GeneralErrorReport, ADatabaseFailureLeadsWithItsCauseInRussianAndTheLayersOwnWordsFollow)
{
    Harness h;
    h.db().create();
    h.db().addParcel("RR1", "Shop", "Book", {}, {}, {}, "line");
    TMainForm& window = h.start();
    const QString busy = kFileBusy + QStringLiteral(" (Could not prepare SQL statement).");

    // Another program holds the file: a row click and the edit load cannot read it.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(h.databasePath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    h.clickRow(1);
    ASSERT_EQ(h.prompts.shown().size(), 1u);
    EXPECT_EQ(h.prompts.shown()[0].caption, QStringLiteral("Курьерикс 1.0"));
    EXPECT_EQ(h.prompts.shown()[0].text, busy);
    // A box with a fixed text keeps it and says the cause under it.
    EXPECT_FALSE(h.showsDialog([&] { ui(window).edit->trigger(); }));
    ASSERT_EQ(h.prompts.shown().size(), 2u);
    EXPECT_EQ(h.prompts.shown()[1].text, kLoadFailed);
    EXPECT_EQ(h.prompts.shown()[1].detail, busy);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    // The file is damaged under the open window.
    h.prompts.clear();
    {
        QFile file(QString::fromStdString(h.databasePath()));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.write(QByteArray(100, 'x'));
    }
    window.RefreshGrid();
    ASSERT_EQ(h.prompts.shown().size(), 1u);
    EXPECT_EQ(h.prompts.shown()[0].text, kRefreshFailed);
    EXPECT_TRUE(h.prompts.shown()[0].detail.startsWith(
        QStringLiteral("Файл базы данных повреждён: восстановите его из резервной копии (")))
        << h.prompts.shown()[0].detail.toStdString();
}

TEST(MessageBoxPrompts, AQuestionShowsItsTextsAndEnterTakesTheDefaultNo)
{
    MessageBoxPrompts prompts;
    QWidget owner;
    owner.show();
    QString caption;
    QString text;
    bool hadOwner = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        text = box->text();
        hadOwner = box->parentWidget() == &owner;
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        QTest::keyClick(box, Qt::Key_Return);
    });
    timer.start(0);
    const auto answer = prompts.askYesNo(QStringLiteral("Подтверждение"), QStringLiteral("Удалить выбранную запись?"),
                                         Prompts::Icon::Warning, Prompts::Button::No, &owner);
    EXPECT_EQ(answer, Prompts::Button::No);
    EXPECT_EQ(caption, QStringLiteral("Подтверждение"));
    EXPECT_EQ(text, QStringLiteral("Удалить выбранную запись?"));
    EXPECT_TRUE(hadOwner);
}

TEST(MessageBoxPrompts, AnErrorBoxHasNoOwnerAndOneOkButton)
{
    MessageBoxPrompts prompts;
    bool checked = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->parentWidget(), nullptr);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Ошибка"));
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box->text(), QStringLiteral("Ошибка - Во время удаление данных!"));
        EXPECT_EQ(box->informativeText(), QStringLiteral("Причина (cause)."));
        checked = true;
        box->button(QMessageBox::Ok)->click();
    });
    timer.start(0);
    prompts.showError(QStringLiteral("Ошибка - Во время удаление данных!"), QStringLiteral("Причина (cause)."));
    EXPECT_TRUE(checked);
}
