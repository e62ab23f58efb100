// Adding, editing and cancelling through the parcel dialog, as the user does it from the menu.
#include "AppTestHarness.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

using apptest::cp;
using apptest::Field;
using apptest::Harness;

using namespace apptest::boxes;

namespace {

void fill(Harness& h, TFm_Track& dialog, const QString& track, const QString& shop, const QString& title)
{
    h.typeInto(dialog.Edit_Track, track);
    h.typeInto(dialog.Edit_Shop, shop);
    h.typeInto(dialog.Edit_Title, title);
}

// A store with two parcels, the first checked and carrying a comment.
void seedTwoParcels(Harness& h)
{
    h.db().create();
    h.db().addParcel("RR111", "AliExpress", cp("Чехол"), cp("подарок маме"), cp("Вручено"), "2013-03-16 12:30:00",
                     "line one");
    h.db().addParcel("RR222", "eBay", "Lamp");
}

} // namespace

TEST(ParcelDialog, AddingStoresTheTypedParcelAndSelectsItInTheGrid)
{
    Harness h;
    TMainForm& window = h.start();

    h.inDialog([&] { ui(window).Add->trigger(); },
               [&](TFm_Track& dialog) {
                   EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Посылка"));
                   EXPECT_EQ(dialog.GroupBox1->title(), QStringLiteral("Добавить посылку"));
                   EXPECT_EQ(dialog.Button1->text(), QStringLiteral("Добавить"));
                   EXPECT_EQ(dialog.Button2->text(), QStringLiteral("Отмена"));
                   EXPECT_EQ(QApplication::activeModalWidget(), &dialog);
                   EXPECT_EQ(dialog.focusWidget(), dialog.Edit_Track);
                   fill(h, dialog, QStringLiteral("RR123456789CN"), QStringLiteral("AliExpress"),
                        QStringLiteral("Фонарик"));
                   QTest::mouseClick(dialog.Button1, Qt::LeftButton);
               });

    EXPECT_TRUE(h.prompts.shown().empty());
    const auto rows = h.db().rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("s_track"), Field("RR123456789CN"));
    EXPECT_EQ(rows[0].at("s_shop"), Field("AliExpress"));
    EXPECT_EQ(rows[0].at("s_title"), Field(cp("Фонарик")));
    EXPECT_EQ(rows[0].at("s_comments"), Field(""));
    EXPECT_EQ(rows[0].at("s_status"), std::nullopt);
    EXPECT_EQ(rows[0].at("s_date"), std::nullopt);
    EXPECT_EQ(rows[0].at("s_trackfull"), std::nullopt);
    EXPECT_EQ(rows[0].at("i_type"), std::nullopt);

    // The first parcel of an empty list: the header stays the header, the new row is selected.
    ASSERT_EQ(h.grid().parcelRowCount(), 1);
    EXPECT_EQ(h.grid().selectedRow(), 1);
    EXPECT_EQ(h.grid().cellText(0, 2), QStringLiteral("Номер посылки"));
    EXPECT_EQ(h.grid().cellText(1, 2), QStringLiteral("RR123456789CN"));
    EXPECT_EQ(h.grid().cellText(1, 1), QString());
    EXPECT_EQ(h.grid().cellText(1, 3), QString());

    // Clicking it before any check shows an empty history.
    ui(window).Memo_history->setPlainText(QStringLiteral("typed by the user"));
    h.clickRow(1);
    EXPECT_EQ(h.history().trimmed(), QString());
}

TEST(ParcelDialog, AddingWithOnlyANumberStoresEmptyTextsNotNull)
{
    Harness h;
    TMainForm& window = h.start();
    h.inDialog([&] { ui(window).Add->trigger(); },
               [&](TFm_Track& dialog) {
                   h.typeInto(dialog.Edit_Track, QStringLiteral("RR1"));
                   QTest::mouseClick(dialog.Button1, Qt::LeftButton);
               });

    const auto rows = h.db().rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("s_track"), Field("RR1"));
    for (const char* column : {"s_shop", "s_title", "s_comments"})
        EXPECT_EQ(rows[0].at(column), Field("")) << column;
    EXPECT_EQ(h.grid().parcelRowCount(), 1);
    EXPECT_EQ(h.grid().cellText(1, 4), QString());
}

TEST(ParcelDialog, EditingShowsTheStoredValuesAndSavingKeepsCheckResultsAndComment)
{
    Harness h;
    seedTwoParcels(h);
    TMainForm& window = h.start();
    ASSERT_EQ(h.grid().selectedRow(), 1);

    h.inDialog([&] { ui(window).edit->trigger(); },
               [&](TFm_Track& dialog) {
                   EXPECT_EQ(dialog.GroupBox1->title(), QStringLiteral("Изменить посылку"));
                   EXPECT_EQ(dialog.Button1->text(), QStringLiteral("Сохранить"));
                   EXPECT_EQ(dialog.Edit_Track->text(), QStringLiteral("RR111"));
                   EXPECT_EQ(dialog.Edit_Shop->text(), QStringLiteral("AliExpress"));
                   EXPECT_EQ(dialog.Edit_Title->text(), QStringLiteral("Чехол"));
                   EXPECT_EQ(dialog.Edit_Komment->text(), QStringLiteral("подарок маме"));
                   EXPECT_FALSE(dialog.Edit_Komment->isVisible());
                   EXPECT_FALSE(dialog.Label3->isVisible());
                   dialog.Edit_Title->clear();
                   h.typeInto(dialog.Edit_Title, QStringLiteral("Чехол кожаный"));
                   QTest::mouseClick(dialog.Button1, Qt::LeftButton);
               });

    EXPECT_TRUE(h.prompts.shown().empty());
    const auto rows = h.db().rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].at("s_title"), Field(cp("Чехол кожаный")));
    EXPECT_EQ(rows[0].at("s_comments"), Field(cp("подарок маме")));
    EXPECT_EQ(rows[0].at("s_status"), Field(cp("Вручено")));
    EXPECT_EQ(rows[0].at("s_date"), Field("2013-03-16 12:30:00"));
    EXPECT_EQ(rows[0].at("s_trackfull"), Field("line one"));
    EXPECT_EQ(rows[1].at("s_title"), Field("Lamp"));
    EXPECT_EQ(h.grid().cellText(1, 5), QStringLiteral("Чехол кожаный"));
    EXPECT_EQ(h.grid().selectedRow(), 1);
}

TEST(ParcelDialog, EditingRightAfterAddingShowsTheSelectedRowAndAddingAfterEditingStartsEmpty)
{
    Harness h;
    seedTwoParcels(h);
    TMainForm& window = h.start();
    h.clickRow(2);

    h.inDialog([&] { ui(window).Add->trigger(); },
               [&](TFm_Track& dialog) {
                   fill(h, dialog, QStringLiteral("RR333"), QStringLiteral("Amazon"), QStringLiteral("Kindle"));
                   QTest::mouseClick(dialog.Button1, Qt::LeftButton);
               });
    // The new parcel is the selected one.
    ASSERT_EQ(h.grid().parcelRowCount(), 3);
    EXPECT_EQ(h.grid().selectedRow(), 3);

    h.inDialog([&] { ui(window).edit->trigger(); },
               [&](TFm_Track& dialog) {
                   EXPECT_EQ(dialog.Edit_Track->text(), QStringLiteral("RR333"));
                   EXPECT_EQ(dialog.Edit_Shop->text(), QStringLiteral("Amazon"));
                   EXPECT_EQ(dialog.Edit_Title->text(), QStringLiteral("Kindle"));
                   QTest::mouseClick(dialog.Button2, Qt::LeftButton);
               });

    h.inDialog([&] { ui(window).Add->trigger(); },
               [&](TFm_Track& dialog) {
                   EXPECT_EQ(dialog.GroupBox1->title(), QStringLiteral("Добавить посылку"));
                   EXPECT_EQ(dialog.Button1->text(), QStringLiteral("Добавить"));
                   EXPECT_TRUE(dialog.Edit_Track->text().isEmpty());
                   EXPECT_TRUE(dialog.Edit_Shop->text().isEmpty());
                   EXPECT_TRUE(dialog.Edit_Title->text().isEmpty());
                   EXPECT_TRUE(dialog.Edit_Komment->text().isEmpty());
                   QTest::mouseClick(dialog.Button2, Qt::LeftButton);
               });
    EXPECT_EQ(h.db().rows().size(), 3u);
    EXPECT_TRUE(h.prompts.shown().empty());
}

TEST(ParcelDialog, CancellingAnEditChangesNothingAndTheNextEditShowsTheStoredValues)
{
    Harness h;
    seedTwoParcels(h);
    TMainForm& window = h.start();
    const auto before = h.db().rows();

    h.inDialog([&] { ui(window).edit->trigger(); },
               [&](TFm_Track& dialog) {
                   dialog.Edit_Track->setText(QStringLiteral("CHANGED"));
                   dialog.Edit_Shop->setText(QStringLiteral("CHANGED"));
                   QTest::mouseClick(dialog.Button2, Qt::LeftButton);
               });
    EXPECT_EQ(h.db().rows(), before);

    h.inDialog([&] { ui(window).edit->trigger(); },
               [&](TFm_Track& dialog) {
                   EXPECT_EQ(dialog.Edit_Track->text(), QStringLiteral("RR111"));
                   EXPECT_EQ(dialog.Edit_Shop->text(), QStringLiteral("AliExpress"));
                   // The close box cancels like the button.
                   dialog.close();
               });
    EXPECT_EQ(h.db().rows(), before);
    EXPECT_TRUE(h.prompts.shown().empty());
}

TEST(ParcelDialog, EnterPressesNeitherButtonAndTabFollowsTheFields)
{
    Harness h;
    TMainForm& window = h.start();
    h.inDialog(
        [&] { ui(window).Add->trigger(); },
        [&](TFm_Track& dialog) {
            h.typeInto(dialog.Edit_Track, QStringLiteral("RR1"));
            QTest::keyClick(dialog.Edit_Track, Qt::Key_Return);
            EXPECT_TRUE(dialog.isVisible());

            QWidget* order[] = {dialog.Edit_Track, dialog.Edit_Shop, dialog.Edit_Title, dialog.Button1, dialog.Button2};
            for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
                QWidget* next = order[i]->nextInFocusChain();
                while (next && !(next->isVisible() && next->focusPolicy() & Qt::TabFocus))
                    next = next->nextInFocusChain();
                EXPECT_EQ(next, order[i + 1]) << i;
            }
            EXPECT_FALSE(dialog.Button1->isDefault());
            EXPECT_FALSE(dialog.Button1->autoDefault());
            QTest::mouseClick(dialog.Button2, Qt::LeftButton);
        });
    EXPECT_TRUE(h.db().rows().empty());
}

TEST(ParcelDialog, EditingWithoutAParcelInTheListOpensNoDialogAndSaysWhy)
{
    Harness h;
    TMainForm& window = h.start();
    // The menu offers neither edit nor delete on an empty list; the handler, reached otherwise,
    // says why it opens nothing.
    EXPECT_FALSE(ui(window).edit->isEnabled());
    EXPECT_FALSE(ui(window).N3->isEnabled());
    EXPECT_FALSE(h.showsDialog([&] { window.editClick(); }));
    EXPECT_EQ(h.boxTexts(), std::vector<QString>{kNoParcelToEdit});
    EXPECT_EQ(h.prompts.shown().front().caption, QStringLiteral("Курьерикс 1.0"));

    // A list that missed a parcel another program added (the menu was open): the grid shows it
    // now, and the user is asked to choose it rather than have it opened unasked.
    h.db().addParcel("RR1", "Shop", "Book");
    h.prompts.clear();
    EXPECT_FALSE(h.showsDialog([&] { window.editClick(); }));
    EXPECT_EQ(h.boxTexts(), std::vector<QString>{kChooseParcelToEdit});
    EXPECT_EQ(h.grid().parcelRowCount(), 1);
    EXPECT_EQ(h.db().rows().size(), 1u);
    EXPECT_TRUE(ui(window).edit->isEnabled());
    EXPECT_TRUE(ui(window).N3->isEnabled());
}

TEST(ParcelDialog, ADoubleQuoteIsNeverStoredAndTheBoxOfTheModeIsShown)
{
    Harness h;
    seedTwoParcels(h);
    TMainForm& window = h.start();
    const auto before = h.db().rows();

    h.inDialog([&] { ui(window).Add->trigger(); },
               [&](TFm_Track& dialog) {
                   fill(h, dialog, QStringLiteral("RR\"1"), QStringLiteral("Shop"), QStringLiteral("Book"));
                   QTest::mouseClick(dialog.Button1, Qt::LeftButton);
                   // Refused, and nothing typed is lost.
                   EXPECT_TRUE(dialog.isVisible());
                   EXPECT_EQ(dialog.Edit_Track->text(), QStringLiteral("RR\"1"));
                   EXPECT_EQ(dialog.Edit_Title->text(), QStringLiteral("Book"));
                   QTest::mouseClick(dialog.Button2, Qt::LeftButton);
               });
    EXPECT_EQ(h.boxTexts(), std::vector<QString>{kAddFailed});
    const auto& box = h.prompts.shown().front();
    EXPECT_EQ(box.caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(box.icon, Prompts::Icon::Error);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(h.db().rows(), before);

    h.prompts.clear();
    h.inDialog([&] { ui(window).edit->trigger(); },
               [&](TFm_Track& dialog) {
                   dialog.Edit_Title->setText(QStringLiteral("Наушники \"Sony\""));
                   QTest::mouseClick(dialog.Button1, Qt::LeftButton);
                   EXPECT_TRUE(dialog.isVisible());
                   EXPECT_EQ(dialog.Edit_Title->text(), QStringLiteral("Наушники \"Sony\""));
                   QTest::mouseClick(dialog.Button2, Qt::LeftButton);
               });
    EXPECT_EQ(h.boxTexts(), std::vector<QString>{kSaveFailed});
    EXPECT_EQ(h.db().rows(), before);
}

TEST(ParcelDialog, AValueThatNamesAColumnIsStoredAsTheText)
{
    Harness h;
    seedTwoParcels(h);
    TMainForm& window = h.start();
    h.inDialog([&] { ui(window).edit->trigger(); },
               [&](TFm_Track& dialog) {
                   dialog.Edit_Track->setText(QStringLiteral("id"));
                   dialog.Edit_Shop->setText(QStringLiteral("s_track"));
                   QTest::mouseClick(dialog.Button1, Qt::LeftButton);
               });
    const auto rows = h.db().rows();
    EXPECT_EQ(rows[0].at("s_track"), Field("id"));
    EXPECT_EQ(rows[0].at("s_shop"), Field("s_track"));
    EXPECT_TRUE(h.prompts.shown().empty());
}

TEST(ParcelDialog, AFailedLoadShowsItsBoxAndNotTheDialogSoNoSaveCanWipeTheParcel)
{
    Harness h;
    seedTwoParcels(h);
    TMainForm& window = h.start();
    const auto before = h.db().rows();
    // Another program holds the file while the load reads it, and lets go as the box shows.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(h.databasePath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    h.prompts.onShow([&](const Prompts::Box&) { sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr); });

    // Were the dialog shown, its empty fields would be saved over the parcel.
    bool shown = false;
    QTimer save;
    save.setSingleShot(true);
    QObject::connect(&save, &QTimer::timeout, &h.dialog(), [&] {
        shown = h.dialog().isVisible();
        if (shown)
            QTest::mouseClick(h.dialog().Button1, Qt::LeftButton);
    });
    save.start(0);
    ui(window).edit->trigger();
    h.prompts.onShow(nullptr);
    sqlite3_close(other);

    EXPECT_FALSE(shown);
    EXPECT_FALSE(h.dialog().isVisible());
    EXPECT_EQ(h.boxTexts(), std::vector<QString>{kLoadFailed});
    EXPECT_EQ(h.db().rows(), before);
}

TEST(ParcelDialog, AFailedWriteKeepsTheDialogOpenWithEverythingTypedAndSavingAgainStoresIt)
{
    Harness h;
    seedTwoParcels(h);
    TMainForm& window = h.start();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(h.databasePath().c_str(), &other), SQLITE_OK);

    for (QAction* command : {ui(window).Add, ui(window).edit}) {
        SCOPED_TRACE(command->objectName().toStdString());
        h.prompts.clear();
        // The first parcel is the one edited (an add selects the new one).
        h.grid().setSelectedRow(1);
        const auto before = h.db().rows();
        // Another program writes to the file while the user saves.
        ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        h.inDialog([&] { command->trigger(); },
                   [&](TFm_Track& dialog) {
                       dialog.Edit_Track->setText(QStringLiteral("RR333"));
                       dialog.Edit_Shop->setText(QStringLiteral("Amazon"));
                       dialog.Edit_Title->setText(QStringLiteral("Читалка"));
                       dialog.Edit_Komment->setText(QStringLiteral("для себя"));
                       QTest::mouseClick(dialog.Button1, Qt::LeftButton);
                       EXPECT_TRUE(dialog.isVisible());
                       EXPECT_EQ(dialog.Edit_Track->text(), QStringLiteral("RR333"));
                       EXPECT_EQ(dialog.Edit_Shop->text(), QStringLiteral("Amazon"));
                       EXPECT_EQ(dialog.Edit_Title->text(), QStringLiteral("Читалка"));
                       EXPECT_EQ(dialog.Edit_Komment->text(), QStringLiteral("для себя"));
                       EXPECT_EQ(h.db().rows(), before);
                       // The other program is done: the same save goes through.
                       sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
                       QTest::mouseClick(dialog.Button1, Qt::LeftButton);
                   });
        // The box keeps its own text and says under it why the write failed.
        ASSERT_EQ(h.boxTexts(), std::vector<QString>{command == ui(window).Add ? kAddFailed : kSaveFailed});
        EXPECT_TRUE(h.prompts.shown().front().detail.startsWith(kFileBusy + QStringLiteral(" (")));
    }
    sqlite3_close(other);

    const auto rows = h.db().rows();
    ASSERT_EQ(rows.size(), 3u);
    for (const auto& row : {rows[0], rows[2]}) {
        EXPECT_EQ(row.at("s_track"), Field("RR333"));
        EXPECT_EQ(row.at("s_title"), Field(cp("Читалка")));
        EXPECT_EQ(row.at("s_comments"), Field(cp("для себя")));
    }
}

TEST(ParcelDialog, ATextHoldingANulByteIsShownWithAMarkAndNeverWrittenBackCutOrAltered)
{
    Harness h;
    // Another tool made the file and wrote texts with NUL bytes in them; it declared those columns
    // BLOB, which the store reads by their length.
    h.db().exec("CREATE TABLE tracks (id INTEGER PRIMARY KEY AUTOINCREMENT,s_track TEXT,s_trackfull BLOB,"
                "s_title TEXT,s_date TEXT,s_status TEXT,s_shop BLOB,s_comments BLOB,i_type INTEGER)");
    h.db().addParcel("RR1", "Shop", "Lamp");
    h.db().addParcel("RR2", "eBay", "Book");
    h.db().exec("UPDATE tracks SET s_shop=x'5300686F70', s_trackfull=x'6C696E65003120' WHERE id=1");
    h.db().exec("UPDATE tracks SET s_comments=x'6E6F746500' WHERE id=2");
    const auto before = h.db().rows();
    TMainForm& window = h.start();

    const QString mark(QChar(u'\u2400'));
    EXPECT_EQ(h.grid().cellText(1, 4), QStringLiteral("S") + mark + QStringLiteral("hop"));
    h.clickRow(1);
    EXPECT_EQ(h.history(), QStringLiteral("line") + mark + QStringLiteral("1 \n"));

    const QString nulBox =
        QStringLiteral("Нельзя сохранить знаки: «␀». Знаком «␀» окно показывает нулевой байт, который в "
                       "базу записала другая программа: сохранить его нельзя.");
    h.inDialog([&] { ui(window).edit->trigger(); },
               [&](TFm_Track& dialog) {
                   EXPECT_EQ(dialog.Edit_Shop->text(), QStringLiteral("S") + mark + QStringLiteral("hop"));
                   // The shop is left as it is; only the title changes.
                   dialog.Edit_Title->setText(QStringLiteral("Lamp 2"));
                   QTest::mouseClick(dialog.Button1, Qt::LeftButton);
                   EXPECT_TRUE(dialog.isVisible());
                   EXPECT_EQ(h.db().rows(), before);
                   dialog.Edit_Shop->setText(QStringLiteral("Shop"));
                   QTest::mouseClick(dialog.Button1, Qt::LeftButton);
               });
    EXPECT_EQ(h.boxTexts(), std::vector<QString>{nulBox + QStringLiteral(" Замените или удалите их.")});
    auto rows = h.db().rows();
    EXPECT_EQ(rows[0].at("s_shop"), Field("Shop"));
    EXPECT_EQ(rows[0].at("s_title"), Field("Lamp 2"));
    EXPECT_EQ(rows[0].at("s_trackfull"), before[0].at("s_trackfull"));

    // The hidden comment holds one: the user cannot mend it here, and is told what to do.
    h.prompts.clear();
    h.clickRow(2);
    h.inDialog([&] { ui(window).edit->trigger(); },
               [&](TFm_Track& dialog) {
                   QTest::mouseClick(dialog.Button1, Qt::LeftButton);
                   EXPECT_TRUE(dialog.isVisible());
                   QTest::mouseClick(dialog.Button2, Qt::LeftButton);
               });
    EXPECT_EQ(h.boxTexts(),
              std::vector<QString>{nulBox
                                   + QStringLiteral(" Такие знаки есть в комментарии посылки, которого это окно не "
                                                    "показывает: чтобы изменить посылку, удалите её и добавьте "
                                                    "заново.")});
    EXPECT_EQ(h.db().rows()[1], before[1]);
}

TEST(ParcelDialog, CharactersTheCodePageLacksInTheHiddenCommentAloneAreNotSavedAsQuestionMarks)
{
    Harness h;
    seedTwoParcels(h);
    TMainForm& window = h.start();
    const auto before = h.db().rows();
    for (QAction* command : {ui(window).Add, ui(window).edit}) {
        SCOPED_TRACE(command->objectName().toStdString());
        h.inDialog([&] { command->trigger(); },
                   [&](TFm_Track& dialog) {
                       dialog.Edit_Track->setText(QStringLiteral("RR333"));
                       dialog.Edit_Komment->clear();
                       h.typeInto(dialog.Edit_Komment, QStringLiteral("中文"));
                       QTest::mouseClick(dialog.Button1, Qt::LeftButton);
                       EXPECT_TRUE(dialog.isVisible());
                       EXPECT_EQ(dialog.Edit_Komment->text(), QStringLiteral("中文"));
                       QTest::mouseClick(dialog.Button2, Qt::LeftButton);
                   });
    }
    ASSERT_EQ(h.prompts.shown().size(), 2u);
    for (const QString& text : h.boxTexts())
        EXPECT_TRUE(text.startsWith(QStringLiteral("Нельзя сохранить знаки: «中», «文»."))) << text.toStdString();
    EXPECT_EQ(h.db().rows(), before);
}
