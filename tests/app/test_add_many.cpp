// "Добавить несколько посылок…": numbers pasted from a shop's e-mail, one shop and title for all.
#include "AppTestHarness.h"

#include "parcels/AddManyDialog.h"

#include <QApplication>

using apptest::cp;
using apptest::Field;
using apptest::Harness;

namespace {

// Opens the dialog from the menu and runs `body` in it; a dialog left open is cancelled.
void inAddMany(Harness& h, const std::function<void(AddManyDialog&)>& body)
{
    bool acted = false;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<AddManyDialog*>(QApplication::activeModalWidget());
        if (!dialog || acted)
            return;
        acted = true;
        timer.stop();
        body(*dialog);
        if (dialog->isVisible())
            dialog->QDialog::reject();
    });
    timer.start();
    ui(*h.window).AddMany->trigger();
    EXPECT_TRUE(acted);
}

std::vector<std::string> numbers(const Harness& h)
{
    std::vector<std::string> found;
    for (const auto& row : h.db().rows())
        found.push_back(*row.at("s_track"));
    return found;
}

} // namespace

TEST(AddMany, ReadsTheNumbersNamesWhatIsNoneSkipsRepeatsUnlessAskedAndAddsInOneTransaction)
{
    Harness h;
    // A row the database refuses: a failure half-way must leave none of the batch behind.
    std::string table = ParcelStore::createTableSql();
    table.replace(table.find("s_track TEXT,"), 13, "s_track TEXT CHECK (s_track <> 'LP00000000002'),");
    h.db().exec(table);
    h.db().addParcel("lp00000000008", "eBay", "Lamp");
    h.db().addParcel("LP00000000009", "eBay", "Lamp");
    h.db().exec("CREATE TABLE kurierix_archive (id INTEGER PRIMARY KEY, archived INTEGER NOT NULL DEFAULT 0,"
                " offered INTEGER NOT NULL DEFAULT 0)");
    h.db().exec("INSERT INTO kurierix_archive (id, archived) VALUES (2, 1)");
    h.start();

    // Ctrl+Enter adds.
    inAddMany(h, [&](AddManyDialog& dialog) {
        dialog.Edit_Numbers->setPlainText(QStringLiteral("LP00000000001\nLP00000000002\nLP00000000003"));
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClick(dialog.Edit_Numbers, Qt::Key_Return, Qt::ControlModifier);
        EXPECT_TRUE(dialog.isVisible());
    });
    ASSERT_EQ(h.boxTexts().size(), 1u);
    EXPECT_EQ(h.boxTexts()[0], apptest::boxes::kAddFailed);
    EXPECT_EQ(numbers(h), (std::vector<std::string>{"lp00000000008", "LP00000000009"}));
    h.prompts.clear();

    // What is no number is named first: "Нет" goes back to the text, "Да" adds the rest. Then the
    // repeats, stored (in any letter case, archived too) or met before in the list, are named and
    // skipped.
    inAddMany(h, [&](AddManyDialog& dialog) {
        dialog.Edit_Numbers->setPlainText(QStringLiteral(
            "Трек: lp00000000010\nhello world\nRA12345678BY\n\nLP00000000009, LP00000000008 lp00000000010"));
        h.typeInto(dialog.Edit_Shop, QStringLiteral("Ozon"));
        h.typeInto(dialog.Edit_Title, QStringLiteral("Книги"));
        h.prompts.answerNext(Prompts::Button::No);
        QTest::mouseClick(dialog.Button_Add, Qt::LeftButton);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(h.db().rows().size(), 2u);
        h.prompts.answerNext(Prompts::Button::Yes);
        h.prompts.answerNext(Prompts::Button::No);
        QTest::mouseClick(dialog.Button_Add, Qt::LeftButton);
    });
    ASSERT_EQ(h.prompts.shown().size(), 3u);
    const QString notRead = QStringLiteral("В этих строках нет номера посылки:\nhello world\n\n"
                                           "В этих номерах не 9 цифр, как в международном номере:\nRA12345678BY\n\n"
                                           "Добавить остальные номера (4)? «Нет» — вернуться к тексту.");
    EXPECT_EQ(h.prompts.shown()[0].text, notRead);
    EXPECT_EQ(h.prompts.shown()[1].text, notRead);
    EXPECT_EQ(h.prompts.shown()[2].text,
              QStringLiteral("Эти номера уже есть в списке или повторяются в нём и будут пропущены:\n"
                             "LP00000000009 (в архиве)\nLP00000000008\nLP00000000010\n\nДобавить их всё равно?"));
    const auto rows = h.db().rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2].at("s_track"), Field("LP00000000010"));
    EXPECT_EQ(rows[2].at("s_shop"), Field("Ozon"));
    EXPECT_EQ(rows[2].at("s_title"), Field(cp("Книги")));
    // The archived parcel is not in the grid.
    ASSERT_EQ(h.grid().parcelRowCount(), 2);
    ASSERT_NE(h.grid().selectedParcel(), nullptr);
    EXPECT_EQ(h.grid().selectedParcel()->number, QStringLiteral("LP00000000010"));

    // "Да" adds the repeats all the same.
    inAddMany(h, [&](AddManyDialog& dialog) {
        dialog.Edit_Numbers->setPlainText(QStringLiteral("LP00000000008\nLP00000000011"));
        h.prompts.answerNext(Prompts::Button::Yes);
        QTest::mouseClick(dialog.Button_Add, Qt::LeftButton);
    });
    EXPECT_EQ(numbers(h), (std::vector<std::string>{"lp00000000008", "LP00000000009", "LP00000000010", "LP00000000008",
                                                    "LP00000000011"}));
    EXPECT_EQ(h.grid().selectedParcel()->number, QStringLiteral("LP00000000008"));
    EXPECT_EQ(h.grid().selectedRow(), 3);
    // Every new parcel is selected, ready for the archive or a copy of the numbers.
    EXPECT_EQ(h.grid().selectedParcels().size(), 2u);

    // Escape with a text typed asks before it throws the text away.
    h.prompts.clear();
    inAddMany(h, [&](AddManyDialog& dialog) {
        dialog.Edit_Numbers->setPlainText(QStringLiteral("LP00000000012"));
        QTest::keyClick(dialog.Edit_Numbers, Qt::Key_Escape);
        EXPECT_TRUE(dialog.isVisible());
        h.prompts.answerNext(Prompts::Button::Yes);
        QTest::keyClick(dialog.Edit_Numbers, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(h.prompts.shown().size(), 2u);
    EXPECT_EQ(h.db().rows().size(), 5u);
    // The keys act on the grid again.
    EXPECT_EQ(h.window->focusWidget(), &h.grid());
}
