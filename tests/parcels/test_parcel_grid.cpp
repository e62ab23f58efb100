// The grid widget alone: filling it from a query result, its title row, and how the selection
// moves (and does not move) under the mouse, the wheel and the keyboard.
#include "support/TestSupport.h"

#include "parcels/ParcelGrid.h"
#include "tests/support/GridRows.h"
#include "store/ParcelStore.h"

#include <QApplication>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

namespace {

class GridTest : public ::testing::Test
{
protected:
    GridTest() : db((store.open(":memory:"), store.database()))
    {
        grid.resize(685, 281);
        grid.show();
    }

    void add(const std::string& track, const std::string& date = {}, const std::string& status = {})
    {
        db.Execute("INSERT INTO tracks (s_track,s_shop,s_title,s_date,s_status) VALUES (?1,'shop','title',?2,?3)",
                   {track, date, status});
    }

    void fill()
    {
        QString fieldFailure;
        grid.fill(store.parcels(&fieldFailure), now, QLocale::c(), fieldFailure);
    }

    QPoint centre(int row) const { return grid.visualRect(grid.model()->index(row - 1, 2)).center(); }

    void wheel(int notches, int angleStep = 120)
    {
        QWheelEvent event(centre(1), grid.viewport()->mapToGlobal(centre(1)), QPoint(), QPoint(0, -angleStep * notches),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid.viewport(), &event);
    }

    ParcelStore store;
    TSQLiteDatabase& db;
    ParcelGrid grid;
    QDateTime now = QDateTime(QDate(2013, 4, 1), QTime(12, 0));
};

} // namespace

TEST_F(GridTest, TheTitleRowIsFixedAndShownWithoutParcels)
{
    fill();
    EXPECT_EQ(grid.parcelRowCount(), 0);
    EXPECT_EQ(selectedRow(grid), 0);
    EXPECT_FALSE(grid.currentParcel());
    const QStringList titles = {QStringLiteral("id"),     QStringLiteral("в пути"),  QStringLiteral("Номер посылки"),
                                QStringLiteral("Статус"), QStringLiteral("Магазин"), QStringLiteral("Что в ней")};
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(cellText(grid, 0, c), titles[c]);
    EXPECT_TRUE(grid.horizontalHeader()->isVisible());
    EXPECT_FALSE(grid.verticalHeader()->isVisible());
    EXPECT_EQ(grid.horizontalHeader()->height(), 24);
    EXPECT_EQ(grid.editTriggers(), QAbstractItemView::NoEditTriggers);

    add("RR1");
    fill();
    EXPECT_EQ(grid.parcelRowCount(), 1);
    EXPECT_EQ(selectedRow(grid), 1);
    EXPECT_EQ(grid.rowHeight(0), 24);
    EXPECT_EQ(cellText(grid, 0, 2), QStringLiteral("Номер посылки"));
    EXPECT_EQ(cellText(grid, 1, 2), QStringLiteral("RR1"));
    EXPECT_FALSE(grid.model()->flags(grid.model()->index(0, 2)) & Qt::ItemIsEditable);
}

TEST_F(GridTest, FillWritesEveryCell)
{
    add("RR1", "2013-03-30 12:00:00", "sent");
    add("RR2");
    db.Execute("UPDATE tracks SET s_shop=NULL, s_title=NULL WHERE id=2");
    fill();

    EXPECT_EQ(cellText(grid, 1, 0), QStringLiteral("1"));
    EXPECT_EQ(cellText(grid, 1, 1), QStringLiteral("2"));
    EXPECT_EQ(cellText(grid, 1, 3), QStringLiteral("sent"));
    EXPECT_EQ(cellText(grid, 1, 4), QStringLiteral("shop"));
    EXPECT_EQ(cellText(grid, 2, 1), QString());
    EXPECT_EQ(cellText(grid, 2, 4), QString());
    EXPECT_EQ(cellText(grid, 2, 5), QString());
}

TEST_F(GridTest, AnUnreadableDateEmptiesOnlyItsDaysCellAndFailsTheFillAfterEveryRow)
{
    add("A", "2013-03-31 12:00:00");
    add("B", "2013-03-31 12:00:00");
    add("C", "2013-03-31 12:00:00");
    fill();
    ASSERT_EQ(cellText(grid, 2, 1), QStringLiteral("1"));

    db.Execute("UPDATE tracks SET s_date='no date at all' WHERE id=2");
    EXPECT_THROW(fill(), std::exception);
    EXPECT_EQ(grid.parcelRowCount(), 3);
    EXPECT_EQ(cellText(grid, 2, 0), QStringLiteral("2"));
    EXPECT_EQ(cellText(grid, 2, 1), QString());
    EXPECT_EQ(cellText(grid, 2, 2), QStringLiteral("B"));
    EXPECT_EQ(cellText(grid, 2, 5), QStringLiteral("title"));
    EXPECT_EQ(cellText(grid, 3, 0), QStringLiteral("3"));
    EXPECT_EQ(cellText(grid, 3, 1), QStringLiteral("1"));
    EXPECT_EQ(cellText(grid, 3, 2), QStringLiteral("C"));
}

TEST_F(GridTest, AFieldTheStoreCouldNotReadFailsTheFillOnceEveryRowIsWritten)
{
    db.Execute("DROP TABLE tracks");
    db.Execute("CREATE TABLE tracks (x TEXT)");
    db.Execute("INSERT INTO tracks VALUES ('x')");
    EXPECT_THROW(fill(), ESQLiteException);
    EXPECT_EQ(grid.parcelRowCount(), 1);
    EXPECT_EQ(cellText(grid, 1, 0), QString());
}

TEST_F(GridTest, TheSelectionKeepsItsPositionOrFallsBackToTheLastRow)
{
    for (const char* track : {"A", "B", "C", "D"})
        add(track);
    fill();
    EXPECT_EQ(selectedRow(grid), 1);
    setSelectedRow(grid, 3);
    fill();
    EXPECT_EQ(selectedRow(grid), 3);
    EXPECT_EQ(grid.currentParcel()->id, 3);

    db.Execute("DELETE FROM tracks WHERE id>=3");
    fill();
    EXPECT_EQ(selectedRow(grid), 2);
    EXPECT_EQ(grid.currentParcel()->id, 2);

    db.Execute("DELETE FROM tracks");
    fill();
    EXPECT_EQ(selectedRow(grid), 0);
    add("E");
    add("F");
    fill();
    EXPECT_EQ(selectedRow(grid), 1);
}

TEST_F(GridTest, RowsGiveTheirParcelsByRoleAndARefillAnnouncesOnlyTheRowsThatChanged)
{
    for (const char* track : {"A", "B", "C"})
        add(track);
    fill();
    const QAbstractItemModel& model = *grid.model();
    EXPECT_EQ(model.index(1, 0).data(ParcelGridModel::IdRole).toLongLong(), 2);
    EXPECT_EQ(model.index(1, 4).data(ParcelGridModel::ParcelRole).value<Parcel>().number, QStringLiteral("B"));
    // Bold is kept by id: a parcel deleted above it does not pass its face on to the next one.
    grid.setBold(3, true);
    EXPECT_TRUE(grid.isBold(3));

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    fill();
    EXPECT_EQ(changed.count(), 0);
    db.Execute("UPDATE tracks SET s_status='new' WHERE id=2");
    fill();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 1);
    EXPECT_EQ(changed[0][1].toModelIndex().row(), 1);
    EXPECT_EQ(grid.selectedParcels().front().number, QStringLiteral("A"));

    db.Execute("DELETE FROM tracks WHERE id=1");
    fill();
    EXPECT_EQ(model.index(0, 0).data(ParcelGridModel::IdRole).toLongLong(), 2);
    EXPECT_EQ(model.index(1, 0).data(ParcelGridModel::IdRole).toLongLong(), 3);
    EXPECT_TRUE(grid.isBold(3));
    EXPECT_FALSE(isRowBold(grid, 1));
    EXPECT_TRUE(isRowBold(grid, 2));
    EXPECT_FALSE(grid.isBold(1));
}

TEST_F(GridTest, BothButtonsSelectTheRowUnderThePointerAndOnlyTheLeftClicksItAgain)
{
    for (const char* track : {"A", "B", "C"})
        add(track);
    fill();
    QSignalSpy clicks(&grid, &ParcelGrid::gridClicked);

    // The right button selects the row under it before its menu opens; on the row already
    // selected it changes nothing.
    QTest::mouseClick(grid.viewport(), Qt::RightButton, Qt::NoModifier, centre(2));
    EXPECT_EQ(selectedRow(grid), 2);
    EXPECT_EQ(clicks.count(), 1);
    QTest::mouseClick(grid.viewport(), Qt::RightButton, Qt::NoModifier, centre(2));
    EXPECT_EQ(clicks.count(), 1);

    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, centre(3));
    EXPECT_EQ(selectedRow(grid), 3);
    EXPECT_EQ(clicks.count(), 2);

    // Again on the same row: one more click, still one row selected.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ControlModifier, centre(3));
    EXPECT_EQ(selectedRow(grid), 3);
    EXPECT_EQ(grid.selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(clicks.count(), 3);

    // Below the last row, with either button: nothing is deselected, nothing is clicked.
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton})
        QTest::mouseClick(grid.viewport(), button, Qt::NoModifier, QPoint(50, 250));
    EXPECT_EQ(selectedRow(grid), 3);
    EXPECT_EQ(clicks.count(), 3);

    // A drag does not sweep the selection along.
    QTest::mousePress(grid.viewport(), Qt::LeftButton, Qt::NoModifier, centre(1));
    QMouseEvent move(QEvent::MouseMove, centre(2), grid.viewport()->mapToGlobal(centre(2)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grid.viewport(), &move);
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, Qt::NoModifier, centre(2));
    EXPECT_EQ(selectedRow(grid), 1);
}

TEST_F(GridTest, TheWheelMovesOneRowPerStepAndKeysMoveTheSelection)
{
    for (const char* track : {"A", "B", "C", "D", "E"})
        add(track);
    fill();
    QSignalSpy clicks(&grid, &ParcelGrid::gridClicked);

    wheel(1);
    EXPECT_EQ(selectedRow(grid), 2);
    wheel(2);
    EXPECT_EQ(selectedRow(grid), 4);
    EXPECT_EQ(clicks.count(), 2);
    // Half steps add up to a whole one.
    wheel(1, 60);
    EXPECT_EQ(selectedRow(grid), 4);
    wheel(1, 60);
    EXPECT_EQ(selectedRow(grid), 5);
    wheel(3);
    EXPECT_EQ(selectedRow(grid), 5);
    EXPECT_EQ(clicks.count(), 3);
    wheel(-10);
    EXPECT_EQ(selectedRow(grid), 1);

    clicks.clear();
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(selectedRow(grid), 2);
    QTest::keyClick(&grid, Qt::Key_Up);
    QTest::keyClick(&grid, Qt::Key_Up);
    EXPECT_EQ(selectedRow(grid), 1);
    EXPECT_EQ(clicks.count(), 2);
    // Letters do not jump to rows; left and right stay on the row.
    QTest::keyClick(&grid, Qt::Key_C);
    QTest::keyClick(&grid, Qt::Key_Right);
    EXPECT_EQ(selectedRow(grid), 1);
    EXPECT_EQ(clicks.count(), 2);
}

TEST_F(GridTest, ADisabledGridTakesNoClicks)
{
    add("A");
    add("B");
    fill();
    QSignalSpy clicks(&grid, &ParcelGrid::gridClicked);
    grid.setEnabled(false);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, centre(2));
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(selectedRow(grid), 1);
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(GridTest, TheSortArrowNeverCoversATitle)
{
    QHeaderView* titles = grid.horizontalHeader();
    const auto shot = [&](int column) {
        return titles
            ->grab(QRect(titles->sectionViewportPosition(column), 0, titles->sectionSize(column), titles->height()))
            .toImage();
    };
    // The narrow columns too, where the arrow cannot stand beside the title.
    for (int column = 0; column < ParcelGrid::kColumnCount; ++column) {
        grid.sortBy(-1, Qt::AscendingOrder);
        const QImage plain = shot(column);
        grid.sortBy(column, Qt::AscendingOrder);
        const QImage sorted = shot(column);
        EXPECT_NE(sorted, plain) << column;
        // Every pixel of the title's letters is as it was without the arrow.
        for (int y = 0; y < plain.height(); ++y) {
            for (int x = 0; x < plain.width(); ++x) {
                if (qGray(plain.pixel(x, y)) < 128) {
                    ASSERT_EQ(sorted.pixel(x, y), plain.pixel(x, y)) << column << " at " << x << "," << y;
                }
            }
        }
    }
}
