// Parcels whose status changed since their user last looked stay bold until selected, whoever
// ran the check, and the open window notices what another process wrote without a restart.
#include "AppTestHarness.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTimer>
#include <QPushButton>

using apptest::cp;
using apptest::Field;
using apptest::Harness;

namespace {

// A file as an older copy of the program leaves it: three parcels, no table of seen statuses.
void olderCopysFile(const Harness& h)
{
    h.db().create();
    h.db().addParcel("RR1", "Shop", "One", {}, cp("Прием"), "2013-03-16 12:30:00", "h1");
    h.db().addParcel("RR2", "Shop", "Two");
    h.db().addParcel("RR3", "Shop", "Three", {}, cp("Прием"), "2013-03-16 12:30:00", "h3");
}

// What a check run without a window writes: the status, through a connection of its own.
void otherProcessStores(const Harness& h, int id, const char* status)
{
    h.db().exec("UPDATE tracks SET s_status=?1 WHERE id=?2", {cp(status), std::to_string(id)});
}

std::vector<int> boldRows(const Harness& h)
{
    std::vector<int> rows;
    for (int row = 1; row <= h.grid().parcelRowCount(); ++row) {
        if (isRowBold(h.grid(), row))
            rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> seenIds(const Harness& h)
{
    std::vector<std::string> ids;
    for (const auto& row : h.db().rows("SELECT id FROM kurierix_seen ORDER BY id"))
        ids.push_back(*row.at("id"));
    return ids;
}

} // namespace

TEST(SeenStatuses, TheFirstStartAfterAnUpgradeCountsEveryStatusAsSeen)
{
    Harness h;
    olderCopysFile(h);
    const auto tracksBefore = h.db().rows();
    TMainForm& window = h.start();

    EXPECT_TRUE(h.prompts.shown().empty());
    EXPECT_EQ(h.db().tables(), (std::vector<std::string>{"kurierix_seen", "sqlite_sequence", "tracks"}));
    EXPECT_EQ(h.db().rows(), tracksBefore);
    ASSERT_EQ(h.grid().parcelRowCount(), 3);
    EXPECT_TRUE(boldRows(h).empty());

    // Later starts write nothing.
    window.close();
    const auto settled = QFileInfo(QString::fromStdString(h.databasePath())).lastModified();
    h.start();
    EXPECT_EQ(QFileInfo(QString::fromStdString(h.databasePath())).lastModified(), settled);
}

TEST(SeenStatuses, AChangedStatusIsBoldUntilItsRowIsSelectedAndStaysSeenInTheNextWindow)
{
    Harness h;
    olderCopysFile(h);
    TMainForm& window = h.start();
    otherProcessStores(h, 1, "Вручено");
    otherProcessStores(h, 2, "Прием");
    otherProcessStores(h, 3, "Вручено");
    window.RefreshGrid();
    EXPECT_EQ(boldRows(h), (std::vector<int>{1, 2, 3}));
    // The whole row's face, nothing else.
    EXPECT_TRUE(h.grid().model()->index(0, 5).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(h.grid().columnWidth(3), 260);

    // Row 1 was selected at start-up without a click: still bold. A click, then the keyboard.
    ASSERT_EQ(selectedRow(h.grid()), 1);
    h.clickRow(3);
    EXPECT_EQ(boldRows(h), (std::vector<int>{1, 2}));
    QTest::keyClick(&h.grid(), Qt::Key_Up);
    EXPECT_EQ(boldRows(h), std::vector<int>{1});
    window.RefreshGrid();
    EXPECT_EQ(boldRows(h), std::vector<int>{1});
    EXPECT_EQ(h.db().rows("SELECT s_status FROM kurierix_seen WHERE id=3").at(0).at("s_status"), Field(cp("Вручено")));

    // A parcel added later has no status and nothing to see, until a check gives it one.
    h.db().addParcel("RR4", "Shop", "Four");
    window.RefreshGrid();
    EXPECT_EQ(boldRows(h), std::vector<int>{1});
    otherProcessStores(h, 4, "Прием");
    window.RefreshGrid();
    EXPECT_EQ(boldRows(h), (std::vector<int>{1, 4}));

    window.close();
    h.start();
    EXPECT_EQ(boldRows(h), (std::vector<int>{1, 4}));
    EXPECT_TRUE(h.prompts.shown().empty());
}

TEST(SeenStatuses, ADeletedParcelLeavesNoSeenRow)
{
    Harness h;
    olderCopysFile(h);
    TMainForm& window = h.start();
    ASSERT_EQ(seenIds(h), (std::vector<std::string>{"1", "2", "3"}));
    h.clickRow(2);
    h.prompts.answerNext(Prompts::Button::Yes);
    ui(window).N3->trigger();
    EXPECT_EQ(seenIds(h), (std::vector<std::string>{"1", "3"}));

    // Deleted by a copy that knows nothing of the table: gone at the next start.
    window.close();
    h.db().exec("DELETE FROM tracks WHERE id=3");
    h.start();
    EXPECT_EQ(seenIds(h), std::vector<std::string>{"1"});
}

TEST(SeenStatuses, TheOpenWindowShowsWhatAnotherProcessWroteOnceItIsFree)
{
    Harness h;
    olderCopysFile(h);
    TMainForm& window = h.start();
    const auto shows = [&](int row, const char* status) {
        return cellText(h.grid(), row, 3) == QString::fromUtf8(status) && isRowBold(h.grid(), row);
    };
    // The watch looks again after the write, finds the window busy or the file locked, and waits.
    const auto watchLooksAgain = [&] {
        QSignalSpy looked(window.findChild<QTimer*>(QStringLiteral("databaseLookLater")), &QTimer::timeout);
        return testsupport::waitUntil([&] { return !looked.isEmpty(); });
    };

    // Once the window is active, only the file's watch can tell it of the second write.
    ASSERT_TRUE(testsupport::waitUntil([&] { return window.isActiveWindow(); }));
    otherProcessStores(h, 2, "Прием");
    EXPECT_TRUE(testsupport::waitUntil([&] { return shows(2, "Прием"); }));
    otherProcessStores(h, 2, "Вручено");
    EXPECT_TRUE(testsupport::waitUntil([&] { return shows(2, "Вручено"); }));

    // Not under a modal dialog: once it has closed.
    h.inDialog([&] { ui(window).Add->trigger(); },
               [&](TFm_Track& dialog) {
                   otherProcessStores(h, 3, "Вручено");
                   ASSERT_TRUE(watchLooksAgain());
                   EXPECT_FALSE(shows(3, "Вручено"));
                   QTest::mouseClick(controls(dialog).Button2, Qt::LeftButton);
               });
    EXPECT_TRUE(testsupport::waitUntil([&] { return shows(3, "Вручено"); }));

    // A file another process holds locked: no box now, the rows once it lets go.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(h.databasePath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(other, "UPDATE tracks SET s_status='x' WHERE id=1; BEGIN EXCLUSIVE", nullptr, nullptr, nullptr),
        SQLITE_OK);
    ASSERT_TRUE(watchLooksAgain());
    EXPECT_FALSE(shows(1, "x"));
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(testsupport::waitUntil([&] { return shows(1, "x"); }));
    EXPECT_TRUE(h.prompts.shown().empty());
}
