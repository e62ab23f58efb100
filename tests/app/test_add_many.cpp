// "Добавить несколько посылок…": numbers pasted one per line, one shop and title for all.
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
            dialog->reject();
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

TEST(AddMany, SkipsRepeatsUnlessAskedAddsInOneTransactionAndShowsTheFirst)
{
    Harness h;
    // A row the database refuses: a failure half-way must leave none of the batch behind.
    std::string table = ParcelStore::createTableSql();
    table.replace(table.find("s_track TEXT,"), 13, "s_track TEXT CHECK (s_track <> 'BAD'),");
    h.db().exec(table);
    h.db().addParcel("RR111", "eBay", "Lamp");
    h.start();

    inAddMany(h, [&](AddManyDialog& dialog) {
        dialog.Edit_Numbers->setPlainText(QStringLiteral("RR500\nBAD\nRR501"));
        QTest::mouseClick(dialog.Button_Add, Qt::LeftButton);
        EXPECT_TRUE(dialog.isVisible());
    });
    ASSERT_EQ(h.boxTexts().size(), 1u);
    EXPECT_EQ(h.boxTexts()[0], apptest::boxes::kAddFailed);
    EXPECT_EQ(numbers(h), std::vector<std::string>{"RR111"});
    h.prompts.clear();

    // Blanks and empty lines go; a repeat in the list and a stored number are named and skipped.
    inAddMany(h, [&](AddManyDialog& dialog) {
        dialog.Edit_Numbers->setPlainText(QStringLiteral("  RR222 \r\n\nRR111\nRR333\t\nRR222\n"));
        h.typeInto(dialog.Edit_Shop, QStringLiteral("Ozon"));
        h.typeInto(dialog.Edit_Title, QStringLiteral("Книги"));
        h.prompts.answerNext(Prompts::Button::No);
        QTest::mouseClick(dialog.Button_Add, Qt::LeftButton);
    });
    ASSERT_EQ(h.prompts.shown().size(), 1u);
    EXPECT_EQ(h.prompts.shown()[0].text,
              QStringLiteral("Эти номера уже есть в списке или повторяются в нём и будут пропущены:\nRR111\nRR222\n\n"
                             "Добавить их всё равно?"));
    const auto rows = h.db().rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].at("s_track"), Field("RR222"));
    EXPECT_EQ(rows[1].at("s_shop"), Field("Ozon"));
    EXPECT_EQ(rows[1].at("s_title"), Field(cp("Книги")));
    EXPECT_EQ(rows[2].at("s_track"), Field("RR333"));
    ASSERT_EQ(h.grid().parcelRowCount(), 3);
    ASSERT_NE(h.grid().selectedParcel(), nullptr);
    EXPECT_EQ(h.grid().selectedParcel()->number, QStringLiteral("RR222"));

    // "Да" adds the repeats all the same.
    inAddMany(h, [&](AddManyDialog& dialog) {
        dialog.Edit_Numbers->setPlainText(QStringLiteral("RR111\nRR444"));
        h.prompts.answerNext(Prompts::Button::Yes);
        QTest::mouseClick(dialog.Button_Add, Qt::LeftButton);
    });
    EXPECT_EQ(numbers(h), (std::vector<std::string>{"RR111", "RR222", "RR333", "RR111", "RR444"}));
    EXPECT_EQ(h.grid().selectedParcel()->number, QStringLiteral("RR111"));
    EXPECT_EQ(h.grid().selectedRow(), 4);
    // Every new parcel is selected, ready for the archive or a copy of the numbers.
    EXPECT_EQ(h.grid().selectedParcels().size(), 2u);
}
