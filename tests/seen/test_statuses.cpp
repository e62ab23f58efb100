// The table of statuses last seen: made once beside `tracks` with every status counted as seen,
// never in a file that cannot or must not be written, and kept to the parcels that exist.
#include "seen/SeenStatuses.h"
#include "store/ParcelStore.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QFile>
#include <QTemporaryDir>

#include <set>

namespace {

using testsupport::cp1251;

class SeenStatusesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath("database.db").toStdString();
    }

    // A file as an older copy leaves it: `tracks` with parcels, no table of seen statuses.
    void olderCopysFile()
    {
        TSQLiteDatabase db(m_path);
        db.Execute(ParcelStore::createTableSql());
        db.Execute("INSERT INTO tracks (s_track, s_status) VALUES ('RR1', ?1), ('RR2', NULL), ('RR3', '')",
                   {cp1251("Вручено")});
    }

    QByteArray bytes() const
    {
        QFile file(QString::fromStdString(m_path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static std::set<std::string> changed(TSQLiteDatabase& db)
    {
        const auto ids = SeenStatuses::changedParcels(db);
        EXPECT_TRUE(ids);
        return ids ? std::set<std::string>(ids->begin(), ids->end()) : std::set<std::string>();
    }

    QTemporaryDir m_dir;
    std::string m_path;
};

TEST_F(SeenStatusesTest, TheFirstPreparationCountsEveryStatusAsSeenAndLeavesTracksAlone)
{
    olderCopysFile();
    TSQLiteDatabase db(m_path);
    const std::string tracksBefore = db.Query("SELECT sql FROM sqlite_master WHERE name='tracks'")->FieldText(0);

    ASSERT_EQ(SeenStatuses::prepare(db), SeenStatuses::Preparation::Ready);
    EXPECT_TRUE(db.HasTable(SeenStatuses::kTableName));
    EXPECT_EQ(db.Query("SELECT sql FROM sqlite_master WHERE name='tracks'")->FieldText(0), tracksBefore);
    EXPECT_EQ(changed(db), std::set<std::string>{});

    // Later preparations keep what was seen and write nothing unless an older copy deleted a parcel.
    db.Execute("UPDATE tracks SET s_status='new' WHERE id=2");
    const QByteArray settled = bytes();
    ASSERT_EQ(SeenStatuses::prepare(db), SeenStatuses::Preparation::Ready);
    EXPECT_EQ(bytes(), settled);
    EXPECT_EQ(changed(db), std::set<std::string>{"2"});
    db.Execute("DELETE FROM tracks WHERE id=3");
    ASSERT_EQ(SeenStatuses::prepare(db), SeenStatuses::Preparation::Ready);
    EXPECT_EQ(db.Query("SELECT id FROM kurierix_seen ORDER BY id")->RowCount(), 2);
}

TEST_F(SeenStatusesTest, AFileThatMustNotBeWrittenIsLeftByteForByteAndALockIsWaitedOut)
{
    // No `tracks`: a file of some other program.
    {
        TSQLiteDatabase foreign(m_path);
        foreign.Execute("CREATE TABLE other (x TEXT)");
    }
    QByteArray before = bytes();
    {
        TSQLiteDatabase db(m_path);
        std::string cause;
        EXPECT_EQ(SeenStatuses::prepare(db, &cause), SeenStatuses::Preparation::Untouched);
        EXPECT_NE(cause.find("tracks"), std::string::npos) << cause;
        EXPECT_FALSE(SeenStatuses::changedParcels(db));
    }
    EXPECT_EQ(bytes(), before);

    ASSERT_TRUE(QFile::remove(QString::fromStdString(m_path)));
    olderCopysFile();
    before = bytes();
    {
        TSQLiteDatabase readOnly(m_path, TSQLiteDatabase::OpenMode::ReadOnly);
        EXPECT_EQ(SeenStatuses::prepare(readOnly), SeenStatuses::Preparation::Untouched);
        EXPECT_FALSE(SeenStatuses::markSeen(readOnly, "1", "x"));
    }
    EXPECT_EQ(bytes(), before);

    // Another connection writing at that moment: nothing is made now, all of it once it is done.
    TSQLiteDatabase other(m_path);
    other.Execute("BEGIN IMMEDIATE");
    TSQLiteDatabase db(m_path);
    EXPECT_EQ(SeenStatuses::prepare(db), SeenStatuses::Preparation::Busy);
    EXPECT_TRUE(sqlite3_get_autocommit(db.handle()));
    other.Execute("COMMIT");
    EXPECT_EQ(bytes(), before);
    EXPECT_FALSE(db.HasTable(SeenStatuses::kTableName));
    EXPECT_EQ(SeenStatuses::prepare(db), SeenStatuses::Preparation::Ready);
    EXPECT_EQ(changed(db), std::set<std::string>{});
}

TEST_F(SeenStatusesTest, AStatusSeenIsRecordedPerParcelAndADeletedParcelLeavesNoRow)
{
    ParcelStore store;
    ASSERT_EQ(store.open(m_path), ParcelStore::OpenResult::Created);
    TSQLiteDatabase& db = store.database();
    ASSERT_EQ(SeenStatuses::prepare(db), SeenStatuses::Preparation::Ready);
    store.insert("RR1", "Shop", "Title", "");
    store.insert("RR2", "Shop", "Title", "");

    // Added after the preparation: no row, no status, nothing to see yet; NULL and '' alike.
    db.Execute("UPDATE tracks SET s_status='' WHERE id=2");
    EXPECT_EQ(changed(db), std::set<std::string>{});
    store.storeCheckResult("1", cp1251("Прием"), "2013-03-16 12:30:00", "h");
    EXPECT_EQ(changed(db), std::set<std::string>{"1"});

    EXPECT_TRUE(SeenStatuses::markSeen(db, "1", cp1251("Прием")));
    EXPECT_EQ(changed(db), std::set<std::string>{});
    EXPECT_EQ(db.Query("SELECT s_status FROM kurierix_seen WHERE id=1")->FieldText(0), cp1251("Прием"));
    // Only parcels that exist get a row.
    EXPECT_FALSE(SeenStatuses::markSeen(db, "7", "x"));
    EXPECT_FALSE(SeenStatuses::markSeen(db, "1 OR 1=1", "x"));
    EXPECT_EQ(db.Query("SELECT id FROM kurierix_seen")->RowCount(), 1);

    store.remove("1");
    EXPECT_TRUE(SeenStatuses::forget(db, "1"));
    EXPECT_EQ(db.Query("SELECT id FROM kurierix_seen")->RowCount(), 0);
}

} // namespace
