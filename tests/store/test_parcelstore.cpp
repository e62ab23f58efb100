// The parcel table: opening the store, the statements and the values they refuse or keep.
#include "store/ParcelStore.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QFile>
#include <QTemporaryDir>

#include <fstream>

namespace {

using testsupport::cp1251;

class ParcelStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath("database.db").toStdString();
        ASSERT_EQ(m_store.open(m_path), ParcelStore::OpenResult::Created);
    }

    // Every row as "id|s_track|...|i_type", NULL written as <null>, in id order.
    std::vector<std::string> rows()
    {
        std::vector<std::string> out;
        auto table = m_store.database().Query(
            "SELECT id, ifnull(s_track,'<null>'), ifnull(s_trackfull,'<null>'), ifnull(s_title,'<null>'),"
            " ifnull(s_date,'<null>'), ifnull(s_status,'<null>'), ifnull(s_shop,'<null>'),"
            " ifnull(s_comments,'<null>'), ifnull(i_type,'<null>') FROM tracks ORDER BY id");
        for (; !table->AtEnd(); table->NextRow()) {
            std::string row;
            for (int c = 0; c < 9; ++c)
                row += (c ? "|" : "") + table->FieldText(c);
            out.push_back(row);
        }
        return out;
    }

    std::string lastId() { return m_store.database().Query("SELECT max(id) FROM tracks")->FieldText(0); }

    QTemporaryDir m_dir;
    std::string m_path;
    ParcelStore m_store;
};

TEST_F(ParcelStoreTest, FirstStartCreatesTheNineColumnsInOrder)
{
    auto info = m_store.database().Query("PRAGMA table_info(tracks)");
    std::vector<std::string> columns;
    for (; !info->AtEnd(); info->NextRow())
        columns.push_back(info->FieldText("name") + " " + info->FieldText("type"));
    const std::vector<std::string> expected{"id INTEGER",   "s_track TEXT",    "s_trackfull TEXT",
                                            "s_title TEXT", "s_date TEXT",     "s_status TEXT",
                                            "s_shop TEXT",  "s_comments TEXT", "i_type INTEGER"};
    EXPECT_EQ(columns, expected);
    auto sql = m_store.database().Query("SELECT sql FROM sqlite_master WHERE name='tracks'");
    EXPECT_EQ(sql->FieldText(0), ParcelStore::createTableSql());
    EXPECT_EQ(ParcelStore::createTableSql(),
              "CREATE TABLE tracks (id INTEGER PRIMARY KEY AUTOINCREMENT,s_track TEXT,s_trackfull TEXT,"
              "s_title TEXT,s_date TEXT,s_status TEXT,s_shop TEXT,s_comments TEXT,i_type INTEGER)");
    EXPECT_EQ(m_store.listAll()->RowCount(), 0);
}

TEST_F(ParcelStoreTest, InsertEditAndChecksTouchOnlyTheirColumns)
{
    m_store.insert("", "", "", "");
    EXPECT_EQ(rows(), std::vector<std::string>{"1||<null>||<null>|<null>|||<null>"});

    m_store.insert(cp1251("RR123456789CN"), cp1251("АлиЭкспресс"), cp1251("Чехол"), cp1251("подарок"));
    const std::string id = lastId();
    m_store.storeCheckResult(id, cp1251("статус"), "2013-03-16 12:30:00", "line1\r\nline2");
    m_store.edit(id, "RR2", "shop2", "title2", "comment2");
    EXPECT_EQ(rows()[1],
              "2|RR2|line1\r\nline2|title2|2013-03-16 12:30:00|" + cp1251("статус") + "|shop2|comment2|<null>");

    m_store.storeNoInformation(id);
    EXPECT_EQ(rows()[1], "2|RR2|line1\r\nline2|title2|2013-03-16 12:30:00|" + cp1251("Пока, нет информации!")
                             + "|shop2|comment2|<null>");

    auto one = m_store.parcel(id);
    ASSERT_EQ(one->RowCount(), 1);
    EXPECT_EQ(one->FieldText("s_track"), "RR2");
    EXPECT_EQ(one->FieldText("id"), id);
}

TEST_F(ParcelStoreTest, ValuesWithADoubleQuoteOrNulAreRefusedAndNothingChanges)
{
    m_store.insert("RR1", "shop", "title", "comment");
    const auto before = rows();
    const std::vector<std::string> hostile{"Phone \"X\"", "a\",\"b\",\"c\",\"d\")--", "\"", std::string("a\0b", 3)};
    for (const std::string& value : hostile) {
        EXPECT_THROW(m_store.insert(value, "", "", ""), ESQLiteException);
        EXPECT_THROW(m_store.insert("", "", "", value), ESQLiteException);
        EXPECT_THROW(m_store.edit("1", "ok", value, "ok", "ok"), ESQLiteException);
        EXPECT_THROW(m_store.storeCheckResult("1", "ok", "ok", value), ESQLiteException);
        EXPECT_THROW(m_store.storeCheckResult("1", value, "ok", "ok"), ESQLiteException);
    }
    EXPECT_EQ(rows(), before);
}

TEST_F(ParcelStoreTest, ValuesThatNameAColumnAreStoredAsText)
{
    const std::vector<std::string> names{"id", "S_TRACK", "s_status", "rowid", "oid", "_rowid_", "i_type"};
    for (const std::string& name : names) {
        m_store.insert(name, name, name, name);
        const std::string id = lastId();
        auto row = m_store.parcel(id);
        EXPECT_EQ(row->FieldText("s_track"), name);
        EXPECT_EQ(row->FieldText("s_comments"), name);

        m_store.edit(id, name, name, name, name);
        m_store.storeCheckResult(id, name, name, name);
        row = m_store.parcel(id);
        for (const char* column : {"s_track", "s_shop", "s_title", "s_comments", "s_status", "s_date", "s_trackfull"})
            EXPECT_EQ(row->FieldText(column), name) << column;
    }
}

TEST(ParcelStoreForeignFile, NothingFoundStoresItsTextThoughTheFileNamesAColumnSo)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("database.db").toStdString();
    const std::string noInformation = cp1251("Пока, нет информации!");
    {
        TSQLiteDatabase db(path);
        db.Execute(ParcelStore::createTableSql());
        db.Execute("ALTER TABLE tracks ADD COLUMN \"" + noInformation + "\" TEXT DEFAULT 'the column'");
        db.Execute("INSERT INTO tracks (s_track) VALUES ('RR1')");
    }
    ParcelStore store;
    ASSERT_EQ(store.open(path), ParcelStore::OpenResult::Opened);
    EXPECT_TRUE(store.storeNoInformation("1"));
    EXPECT_EQ(store.parcel("1")->FieldText("s_status"), noInformation);
}

TEST(ParcelStoreIds, AnIdThatIsNoWholeNumberSendsNothingAndChangesNoRow)
{
    // Another tool declared the id TEXT; one row's id reads like a statement fragment.
    QTemporaryDir dir;
    const std::string path = dir.filePath("database.db").toStdString();
    {
        TSQLiteDatabase db(path);
        db.Execute("CREATE TABLE tracks (id TEXT, s_track TEXT, s_trackfull TEXT, s_title TEXT, s_date TEXT,"
                   " s_status TEXT, s_shop TEXT, s_comments TEXT, i_type INTEGER)");
        for (const char* id : {"1", "2", "1 OR 1=1"})
            db.Execute("INSERT INTO tracks (id, s_track) VALUES (?1, 'RR')", {std::string(id)});
    }
    ParcelStore store;
    ASSERT_EQ(store.open(path), ParcelStore::OpenResult::Opened);
    const auto snapshot = [&] {
        auto table =
            store.database().Query("SELECT group_concat(quote(id)||s_track||ifnull(s_status,''), ';') FROM tracks");
        return table->FieldText(0);
    };
    const std::string before = snapshot();
    for (const std::string& id : {std::string("1 OR 1=1"), std::string(""), std::string("2 "), std::string("0x2"),
                                  std::string("2.0"), std::string("99999999999999999999")}) {
        SCOPED_TRACE(id);
        EXPECT_THROW(store.parcel(id), ESQLiteException);
        EXPECT_THROW(store.edit(id, "X", "X", "X", "X"), ESQLiteException);
        EXPECT_THROW(store.remove(id), ESQLiteException);
        EXPECT_THROW(store.storeCheckResult(id, "s", "d", "h"), ESQLiteException);
        EXPECT_THROW(store.storeNoInformation(id), ESQLiteException);
    }
    EXPECT_EQ(snapshot(), before);
    // A whole number still names its row, and only that row.
    store.storeCheckResult("2", "checked", "d", "h");
    EXPECT_EQ(store.parcel("2")->FieldText("s_status"), "checked");
    store.remove("1");
    EXPECT_EQ(snapshot(), "'2'RRchecked;'1 OR 1=1'RR");
}

TEST_F(ParcelStoreTest, IdsAreNeverReusedAndDuplicatesAreKept)
{
    m_store.insert("SAME", "", "", "");
    m_store.insert("SAME", "", "", "");
    EXPECT_EQ(m_store.listAll()->RowCount(), 2);
    m_store.remove("2");
    m_store.insert("NEXT", "", "", "");
    auto all = m_store.listAll();
    ASSERT_EQ(all->RowCount(), 2);
    EXPECT_EQ(all->FieldText("id"), "1");
    all->NextRow();
    EXPECT_EQ(all->FieldText("id"), "3");
    EXPECT_EQ(all->FieldText("s_track"), "NEXT");
}

TEST_F(ParcelStoreTest, ClosedStoreRaisesOnEveryOperation)
{
    m_store.close();
    EXPECT_FALSE(m_store.isOpen());
    EXPECT_THROW(m_store.listAll(), ESQLiteException);
    EXPECT_THROW(m_store.insert("a", "b", "c", "d"), ESQLiteException);
    EXPECT_THROW(m_store.storeNoInformation("1"), ESQLiteException);
}

TEST_F(ParcelStoreTest, LockedByAnotherProgramFailsAtOnceAndWorksAfterwards)
{
    m_store.insert("RR1", "", "", "");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(m_path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; UPDATE tracks SET s_shop='x';", nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_THROW(m_store.insert("RR2", "", "", ""), ESQLiteException);
    EXPECT_THROW(m_store.storeCheckResult("1", "s", "d", "h"), ESQLiteException);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    m_store.insert("RR2", "", "", "");
    EXPECT_EQ(m_store.listAll()->RowCount(), 2);
}

TEST(ParcelStoreOpen, ExistingFileIsUsedUnaltered)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("database.db").toStdString();
    {
        std::ofstream empty(path);
    }
    ParcelStore store;
    EXPECT_EQ(store.open(path), ParcelStore::OpenResult::Opened);
    EXPECT_FALSE(store.database().HasTable("tracks"));
    EXPECT_THROW(store.listAll(), ESQLiteException);
    store.close();
    EXPECT_EQ(QFile(QString::fromStdString(path)).size(), 0); // nothing was written into it
}

TEST(ParcelStoreOpen, FailuresTellOpeningFromCreating)
{
    QTemporaryDir dir;
    const std::string garbage = dir.filePath("garbage.db").toStdString();
    std::ofstream(garbage) << std::string(2048, 'g');
    ParcelStore store;
    EXPECT_EQ(store.open(garbage), ParcelStore::OpenResult::OpenFailed);
    EXPECT_NE(store.lastOpenError().find("file is not a database"), std::string::npos);
    EXPECT_FALSE(store.isOpen());

    EXPECT_EQ(store.open(dir.filePath("missing/dir/database.db").toStdString()), ParcelStore::OpenResult::CreateFailed);
    EXPECT_FALSE(store.isOpen());
    EXPECT_THROW(store.listAll(), ESQLiteException);
}

TEST(ParcelStoreOpen, ReopenReadsWhatWasWritten)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("database.db").toStdString();
    const std::string title = cp1251("Кроссовки «Бег»");
    {
        ParcelStore store;
        ASSERT_EQ(store.open(path), ParcelStore::OpenResult::Created);
        store.insert("RR1", "shop", title, "");
    }
    ParcelStore store;
    ASSERT_EQ(store.open(path), ParcelStore::OpenResult::Opened);
    EXPECT_EQ(store.listAll()->FieldText("s_title"), title);
}

} // namespace
