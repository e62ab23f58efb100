// Sorting the grid by a click on a column title, remembered for the next window, and the find
// field that hides the rows without the text typed; the rows shown are the rows every command
// acts on.
#include "AppTestHarness.h"

#include "app/WindowSettings.h"
#include "parcels/ParcelGridModel.h"

#include <QAbstractProxyModel>
#include <QApplication>

using apptest::cp;
using apptest::Harness;

namespace {

std::vector<int> shownIds(const Harness& h)
{
    std::vector<int> ids;
    for (int row = 1; row <= h.grid().parcelRowCount(); ++row)
        ids.push_back(cellText(h.grid(), row, 0).toInt());
    return ids;
}

// The status the grid holds for parcel `id`, shown or hidden by the find field.
QString heldStatus(const Harness& h, qint64 id)
{
    const QAbstractItemModel* all = qobject_cast<const QAbstractProxyModel*>(h.grid().model())->sourceModel();
    for (int row = 0; row < all->rowCount(); ++row) {
        const QModelIndex index = all->index(row, 0);
        if (index.data(ParcelGridModel::IdRole).toLongLong() == id)
            return index.data(ParcelGridModel::ParcelRole).value<Parcel>().status;
    }
    return {};
}

void clickTitle(const Harness& h, int column)
{
    QHeaderView* titles = h.grid().horizontalHeader();
    const QPoint at(titles->sectionViewportPosition(column) + titles->sectionSize(column) / 2, titles->height() / 2);
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

} // namespace

TEST(SortFind, AClickOnATitleSortsTheRowsHoldsAcrossReloadsAndIsRememberedForTheNextWindow)
{
    Harness h;
    h.db().create();
    // Shops in Russian order: ая, Бета, ёж, жук, яма; days 10, 9, none, 1, 2.
    h.db().addParcel("RA1", cp("яма"), "t", {}, cp("Прием"), "2013-03-22 12:00:00", "h1");
    h.db().addParcel("RB2", cp("Бета"), "t", {}, cp("Прием"), "2013-03-23 12:00:00", "h2");
    h.db().addParcel("RC3", cp("ёж"), "t", {}, std::nullopt, std::nullopt, "h3");
    h.db().addParcel("RD4", cp("ая"), "t", {}, cp("Прием"), "2013-03-31 12:00:00", "h4");
    h.db().addParcel("RE5", cp("жук"), "t", {}, cp("Прием"), "2013-03-30 12:00:00", "h5");
    TMainForm& window = h.start();
    QHeaderView* titles = h.grid().horizontalHeader();
    EXPECT_EQ(shownIds(h), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_FALSE(titles->isSortIndicatorShown());

    h.clickRow(2);
    clickTitle(h, 4);
    EXPECT_EQ(shownIds(h), (std::vector<int>{4, 2, 3, 5, 1}));
    EXPECT_TRUE(titles->isSortIndicatorShown());
    EXPECT_EQ(titles->sortIndicatorSection(), 4);
    // The selected parcel goes with its row.
    EXPECT_EQ(h.grid().currentParcel()->id, 2);
    EXPECT_EQ(selectedRow(h.grid()), 2);
    EXPECT_EQ(h.history(), QStringLiteral("h2\n"));
    clickTitle(h, 4);
    EXPECT_EQ(shownIds(h), (std::vector<int>{1, 5, 3, 2, 4}));
    clickTitle(h, 1);
    EXPECT_EQ(shownIds(h), (std::vector<int>{3, 4, 5, 2, 1}));

    // Another process changes a status and adds a parcel: the reload keeps the order, the bold
    // face is on the changed parcel's row, and a click on that row shows that parcel.
    h.db().exec("UPDATE tracks SET s_status=?1 WHERE id=5", {cp("Вручено")});
    h.db().addParcel("RF6", "s", "t", {}, std::nullopt, "2013-03-31 12:00:00", "h6");
    window.RefreshGrid();
    EXPECT_EQ(shownIds(h), (std::vector<int>{3, 4, 6, 5, 2, 1}));
    for (int row = 1; row <= 6; ++row)
        EXPECT_EQ(isRowBold(h.grid(), row), row == 4) << row;
    h.clickRow(4);
    EXPECT_EQ(h.history(), QStringLiteral("h5\n"));
    EXPECT_FALSE(isRowBold(h.grid(), 4));

    // The next window comes sorted the same way, from the program's settings file.
    window.close();
    h.start();
    EXPECT_EQ(shownIds(h), (std::vector<int>{3, 4, 6, 5, 2, 1}));
    EXPECT_EQ(h.grid().horizontalHeader()->sortIndicatorSection(), 1);
    // The program's file is kurierix/kurierix.conf under the user's configuration folder (each test
    // has a folder of its own).
    EXPECT_TRUE(WindowSettings().fileName().endsWith(QStringLiteral("/kurierix/kurierix.conf")))
        << WindowSettings().fileName().toStdString();
    EXPECT_EQ(WindowSettings().value(QStringLiteral("grid/sortColumn")).toInt(), 1);
}

TEST(SortFind, CtrlFFiltersByNumberShopContentsOrStatusAndEscapeClearsAndHidesIt)
{
    Harness h;
    h.db().create();
    h.db().addParcel("RA111", "Ozon", cp("Чайник"), {}, cp("Прием"), std::nullopt, "h1");
    h.db().addParcel("RB222", cp("Юла"), cp("Книга"), {}, cp("Вручено"), std::nullopt, "h2");
    h.db().addParcel("ZZ333", "Wildberries", cp("книжная полка"), {}, cp("Прием"), std::nullopt, "h3");
    TMainForm& window = h.start();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* field = h.grid().findChild<QLineEdit*>(QStringLiteral("FindBar"));
    ASSERT_NE(field, nullptr);
    EXPECT_FALSE(field->isVisible());

    h.clickRow(3);
    QTest::keyClick(&h.grid(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(field->isVisible());
    EXPECT_TRUE(field->hasFocus());
    // Over the bottom of the grid.
    EXPECT_GE(field->geometry().bottom(), h.grid().height() - 3);

    const auto find = [&](const QString& text) {
        field->clear();
        h.typeInto(field, text);
    };
    find(QStringLiteral("КНИ"));
    EXPECT_EQ(shownIds(h), (std::vector<int>{2, 3}));
    // The selected parcel is still found: it stays selected.
    EXPECT_EQ(h.grid().currentParcel()->id, 3);
    find(QStringLiteral("юла"));
    EXPECT_EQ(shownIds(h), (std::vector<int>{2}));
    EXPECT_EQ(h.history(), QStringLiteral("h2\n"));
    // Another program changed parcel 1: the row the field selects by itself shows its history
    // but stays bold; only the user's own selection counts as seen.
    h.db().exec("UPDATE tracks SET s_status=?1 WHERE id=1", {cp("Прием отправления")});
    ASSERT_TRUE(testsupport::waitUntil([&] { return heldStatus(h, 1) == QStringLiteral("Прием отправления"); }));
    find(QStringLiteral("ra1"));
    EXPECT_EQ(shownIds(h), (std::vector<int>{1}));
    EXPECT_EQ(h.history(), QStringLiteral("h1\n"));
    EXPECT_TRUE(isRowBold(h.grid(), 1));
    find(QStringLiteral("прием"));
    EXPECT_EQ(shownIds(h), (std::vector<int>{1, 3}));
    EXPECT_EQ(h.grid().currentParcel()->id, 1);

    // Escape closes the field wherever the focus is.
    ui(window).Memo_history->setFocus();
    QTest::keyClick(ui(window).Memo_history, Qt::Key_Escape);
    EXPECT_FALSE(field->isVisible());
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_EQ(shownIds(h), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(h.grid().currentParcel()->id, 1);

    // While a run holds the grid the field does not open: it would take no typing.
    h.grid().setEnabled(false);
    ui(window).findAction->trigger();
    EXPECT_FALSE(field->isVisible());
    h.grid().setEnabled(true);
    ui(window).findAction->trigger();
    EXPECT_TRUE(field->isVisible());
    // Text nothing holds: no row, no history. A parcel added then is shown all the same.
    find(QStringLiteral("нет такой"));
    EXPECT_TRUE(shownIds(h).empty());
    EXPECT_EQ(h.history(), QString());
    h.inDialog([&] { window.AddClick(); },
               [](TFm_Track& dialog) {
                   controls(dialog).Edit_Track->setText(QStringLiteral("RD444"));
                   QTest::mouseClick(controls(dialog).Button1, Qt::LeftButton);
               });
    EXPECT_FALSE(field->isVisible());
    EXPECT_EQ(shownIds(h), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(h.grid().currentParcel()->id, 4);
}
