// The table of statuses last seen: made once beside `tracks` with every status counted as seen,
// and never in a file that cannot or must not be written.
#include "store/SeenStatuses.h"
#include "store/ParcelStore.h"
#include "tests/support/TracksTable.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

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
        db.Execute(kCreateTracks);
        db.Execute("INSERT INTO tracks (s_track, s_status) VALUES ('RR1', ?1), ('RR2', NULL), ('RR3', '')",
                   {testsupport::cp1251("Вручено")});
    }

    QByteArray bytes() const
    {
        QFile file(QString::fromStdString(m_path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    std::string m_path;
};

TEST_F(SeenStatusesTest, AFileThatMustNotBeWrittenIsLeftByteForByteAndALockIsWaitedOut)
{
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
    }
    EXPECT_EQ(bytes(), before);

    // Another connection writing at that moment: nothing is made now, all of it once it is done.
    TSQLiteDatabase other(m_path);
    other.Execute("BEGIN IMMEDIATE");
    TSQLiteDatabase db(m_path);
    EXPECT_EQ(SeenStatuses::prepare(db), SeenStatuses::Preparation::Busy);
    EXPECT_FALSE(db.inTransaction());
    other.Execute("COMMIT");
    EXPECT_EQ(bytes(), before);
    const std::string tracks = db.Query("SELECT sql FROM sqlite_master WHERE name='tracks'")->FieldText(0);
    EXPECT_EQ(SeenStatuses::prepare(db), SeenStatuses::Preparation::Ready);
    EXPECT_EQ(db.Query("SELECT sql FROM sqlite_master WHERE name='tracks'")->FieldText(0), tracks);
    // NULL and the empty status are the same "no status".
    EXPECT_EQ(SeenStatuses::changedParcels(db)->size(), 0u);
    db.Execute("UPDATE tracks SET s_status='' WHERE id=2");
    db.Execute("UPDATE tracks SET s_status=NULL WHERE id=3");
    EXPECT_EQ(SeenStatuses::changedParcels(db)->size(), 0u);
}

} // namespace
