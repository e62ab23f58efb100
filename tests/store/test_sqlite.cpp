// The SQLite access layer: messages, cursor, column kinds and byte-exact text.
#include "store/FloatText.h"
#include "store/SQLiteDatabase.h"
#include "store/SQLiteException.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QLocale>
#include <QTemporaryDir>

#include <fstream>

namespace {

using testsupport::cp1251;

class SQLiteTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath("test.db").toStdString();
        m_db = std::make_unique<TSQLiteDatabase>(m_path);
    }

    std::string errorOf(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const ESQLiteException& e) {
            return e.what();
        }
        ADD_FAILURE() << "no ESQLiteException";
        return {};
    }

    QTemporaryDir m_dir;
    std::string m_path;
    std::unique_ptr<TSQLiteDatabase> m_db;
};

TEST_F(SQLiteTest, OpenTimeSettingsAndDoubleQuotedTextLiterals)
{
    auto sync = m_db->Query("PRAGMA synchronous");
    EXPECT_EQ(sync->FieldText(0), "1"); // NORMAL
    auto temp = m_db->Query("PRAGMA temp_store");
    EXPECT_EQ(temp->FieldText(0), "2"); // MEMORY

    m_db->Execute("CREATE TABLE t (a TEXT)");
    m_db->Execute("INSERT INTO t (a) values(\"quoted\")");
    m_db->Execute("INSERT INTO t (a) values(\"\")");
    auto rows = m_db->Query("SELECT a, a IS NULL AS empty_is_null FROM t");
    EXPECT_EQ(rows->FieldText("a"), "quoted");
    rows->NextRow();
    EXPECT_EQ(rows->FieldText("a"), "");
    EXPECT_EQ(rows->FieldText("empty_is_null"), "0"); // two adjacent quotes give empty text, not NULL
}

TEST_F(SQLiteTest, EmptyResultKnowsNoColumns)
{
    m_db->Execute("CREATE TABLE t (s_track TEXT)");
    auto empty = m_db->Query("SELECT * FROM t");
    EXPECT_EQ(empty->RowCount(), 0);
    EXPECT_TRUE(empty->AtEnd());
    EXPECT_FALSE(empty->Rewind());
    EXPECT_FALSE(empty->NextRow());
    EXPECT_EQ(errorOf([&] { empty->FieldText("s_track"); }), "Field s_track Not found. Empty dataset");
    EXPECT_EQ(errorOf([&] { empty->ColumnIndex("x"); }), "Field x Not found. Empty dataset");
}

TEST_F(SQLiteTest, CursorMovesAndEndOfTable)
{
    m_db->Execute("CREATE TABLE t (n INTEGER)");
    m_db->Execute("INSERT INTO t VALUES (1)");
    m_db->Execute("INSERT INTO t VALUES (2)");
    auto table = m_db->Query("SELECT n FROM t ORDER BY n");
    EXPECT_EQ(table->RowCount(), 2);
    EXPECT_EQ(table->FieldText("n"), "1");
    EXPECT_TRUE(table->NextRow());
    EXPECT_EQ(table->FieldText("n"), "2");
    EXPECT_TRUE(table->NextRow());
    EXPECT_TRUE(table->AtEnd());
    EXPECT_FALSE(table->NextRow());
    EXPECT_TRUE(table->AtEnd());
    EXPECT_EQ(errorOf([&] { table->FieldText("n"); }), "Table is at End of File");
    EXPECT_EQ(errorOf([&] { table->FieldText(0); }), "Table is at End of File");
    EXPECT_TRUE(table->Rewind());
    EXPECT_EQ(table->FieldText("N"), "1");
}

TEST_F(SQLiteTest, ColumnKindsFromDeclaredTypes)
{
    m_db->Execute("CREATE TABLE t (i INTEGER, b BOOLEAN, f FLOAT, r REAL, d DOUBLE, num NUMERIC, bl BLOB,"
                  " lb boolean, n INT, v VARCHAR(20), t TEXT)");
    m_db->Execute("INSERT INTO t VALUES (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
    m_db->Execute("INSERT INTO t VALUES (-42.5, 1.5, 2.5, 0.1, 1e20, 7.25, x'41004243', 5, 6, 'v', 't')");
    auto table = m_db->Query("SELECT * FROM t");

    // NULL cells: numbers (integer and float kinds) read as "0", everything else as empty text.
    for (const char* number : {"i", "b", "f", "r", "d", "num"})
        EXPECT_EQ(table->FieldText(number), "0") << number;
    for (const char* other : {"bl", "lb", "n", "v", "t"})
        EXPECT_EQ(table->FieldText(other), "") << other;

    // An integer column reads a fraction as its whole part; a float column keeps it.
    table->NextRow();
    EXPECT_EQ(table->FieldText("i"), "-42");
    EXPECT_EQ(table->FieldText("b"), "1");
    EXPECT_EQ(table->FieldText("f"), "2.5");
    EXPECT_EQ(table->FieldText("r"), "0.1");
    EXPECT_EQ(table->FieldText("d"), "1E20");
    EXPECT_EQ(table->FieldText("num"), "7.25");
    EXPECT_EQ(table->FieldText("bl"), std::string("A\0BC", 4)); // a blob keeps every byte
    EXPECT_EQ(table->FieldText("lb"), "5");                     // lower-case "boolean" is text
    EXPECT_EQ(table->FieldText("v"), "v");
}

TEST_F(SQLiteTest, ExpressionColumnsTakeTheKindOfTheirFirstValue)
{
    auto table = m_db->Query("SELECT 1 AS a, 2.5 AS b, 'x' AS c, NULL AS d, x'00' AS e "
                             "UNION ALL SELECT 3.75, 4.5, 'y', 'later', x'01'");
    EXPECT_EQ(table->FieldText("d"), "");
    EXPECT_EQ(table->FieldText("e"), std::string("\0", 1));
    table->NextRow();
    // The first row's integer makes `a` an integer column, `b`'s fraction a float one.
    EXPECT_EQ(table->FieldText("a"), "3");
    EXPECT_EQ(table->FieldText("b"), "4.5");
    // A value in a column whose first row was NULL is still read, not lost.
    EXPECT_EQ(table->FieldText("d"), "later");
}

TEST_F(SQLiteTest, TextKeepsItsNulBytesAndBytesRoundTrip)
{
    m_db->Execute("CREATE TABLE t (a TEXT)");
    m_db->Execute("INSERT INTO t VALUES (CAST(x'6162006364' AS TEXT))");
    const std::string russian = cp1251("Получение отправления №5 «ё»");
    m_db->Execute("INSERT INTO t VALUES (\"" + russian + "\")");
    auto table = m_db->Query("SELECT a, hex(a) AS h FROM t");
    EXPECT_EQ(table->FieldText("a"), std::string("ab\0cd", 5));
    table->NextRow();
    EXPECT_EQ(table->FieldText("a"), russian);
    // Stored as the same bytes, not converted to UTF-8.
    EXPECT_EQ(table->FieldText("h"), "CFEEEBF3F7E5EDE8E520EEF2EFF0E0E2EBE5EDE8FF20B93520ABB8BB");
}

TEST_F(SQLiteTest, ColumnIndexIgnoresCaseAlsoForCyrillicNames)
{
    m_db->Execute("CREATE TABLE t (s_track TEXT, \"" + cp1251("статус") + "\" TEXT)");
    m_db->Execute("INSERT INTO t VALUES ('RR1', 'x')");
    auto table = m_db->Query("SELECT * FROM t");
    EXPECT_EQ(table->ColumnIndex("s_track"), 0);
    EXPECT_EQ(table->ColumnIndex("S_TRACK"), 0);
    EXPECT_EQ(table->ColumnIndex("S_tRaCk"), 0);
    EXPECT_EQ(table->ColumnIndex(cp1251("СТАТУС")), 1);
    EXPECT_EQ(table->ColumnIndex(cp1251("Статус")), 1);
    EXPECT_EQ(errorOf([&] { table->ColumnIndex("nope"); }), "Field not found in dataset: nope");
}

TEST_F(SQLiteTest, StatementErrorMessages)
{
    EXPECT_EQ(errorOf([&] { m_db->Execute(""); }), "Could not prepare SQL statement");
    EXPECT_EQ(errorOf([&] { m_db->Execute("  -- only a comment"); }), "Could not prepare SQL statement");
    EXPECT_EQ(errorOf([&] { m_db->Execute("SELEKT 1"); }),
              "Error executing SQL \"SELEKT 1\" : near \"SELEKT\": syntax error");
    EXPECT_EQ(errorOf([&] { m_db->Query("SELECT * FROM missing"); }),
              "Error executing SQL \"SELECT * FROM missing\" : no such table: missing");
    // A statement that produces a row is no statement for Execute.
    EXPECT_EQ(errorOf([&] { m_db->Execute("SELECT 1"); }).rfind("Error executing SQL statement \"SELECT 1\"", 0), 0u);
    m_db->Execute("CREATE TABLE u (a TEXT UNIQUE)");
    m_db->Execute("INSERT INTO u VALUES ('x')");
    EXPECT_EQ(errorOf([&] { m_db->Execute("INSERT INTO u VALUES ('x')"); }),
              "Error executing SQL statement \"INSERT INTO u VALUES ('x')\" : UNIQUE constraint failed: u.a");
}

TEST_F(SQLiteTest, OnlyTheFirstStatementRuns)
{
    m_db->Execute("CREATE TABLE t (a TEXT); CREATE TABLE second (b TEXT)");
    EXPECT_TRUE(m_db->HasTable("t"));
    EXPECT_FALSE(m_db->HasTable("second"));
    m_db->Execute("INSERT INTO t VALUES ('1'); DROP TABLE t");
    EXPECT_EQ(m_db->Query("SELECT * FROM t")->RowCount(), 1);
}

TEST_F(SQLiteTest, HasTableIgnoresAsciiCaseAndTakesAnyName)
{
    m_db->Execute("CREATE TABLE Tracks (a TEXT)");
    EXPECT_TRUE(m_db->HasTable("tracks"));
    EXPECT_TRUE(m_db->HasTable("TRACKS"));
    EXPECT_FALSE(m_db->HasTable("track"));
    EXPECT_FALSE(m_db->HasTable("x' OR '1'='1"));
    m_db->Execute("CREATE TABLE [o'brien] (a TEXT)");
    EXPECT_TRUE(m_db->HasTable("O'Brien"));
}

TEST_F(SQLiteTest, LockedDatabaseFailsAtOnce)
{
    m_db->Execute("CREATE TABLE t (a TEXT)");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(m_path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE; INSERT INTO t VALUES ('held');", nullptr, nullptr, nullptr),
              SQLITE_OK);

    EXPECT_EQ(errorOf([&] { m_db->Execute("INSERT INTO t VALUES ('x')"); }),
              "Error executing SQL statement \"INSERT INTO t VALUES ('x')\" : database is locked");
    // A query that finds the database busy reports it without SQLite's text.
    EXPECT_EQ(errorOf([&] { m_db->Query("SELECT * FROM t"); }), "Could not prepare SQL statement");

    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    m_db->Execute("INSERT INTO t VALUES ('x')");
    EXPECT_EQ(m_db->Query("SELECT * FROM t")->RowCount(), 1);
}

TEST(SQLiteOpen, FileThatIsNoDatabaseFailsAtTheFirstSetting)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("database.db").toStdString();
    std::ofstream(path) << std::string(4096, 'x');
    try {
        TSQLiteDatabase db(path);
        FAIL() << "opened a file that is no database";
    } catch (const ESQLiteException& e) {
        EXPECT_STREQ(e.what(), "Error executing SQL \"PRAGMA SYNCHRONOUS=NORMAL;\" : file is not a database");
    }
}

TEST(SQLiteOpen, UnopenableFileNamesTheFile)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("no/such/folder/x.db").toStdString();
    try {
        TSQLiteDatabase db(path);
        FAIL() << "opened a file in a missing folder";
    } catch (const ESQLiteException& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to open database \"" + path + "\" : unable to open database file");
    }
}

TEST(FloatText, ShortestFormWithLocaleSeparator)
{
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(floatToText(5.0), "5");
    EXPECT_EQ(floatToText(0.75), "0.75");
    EXPECT_EQ(floatToText(-2.5), "-2.5");
    EXPECT_EQ(floatToText(1234567.0), "1234567"); // no group separators
    EXPECT_EQ(floatToText(0.1 + 0.2), "0.3");     // 15 significant digits
    EXPECT_EQ(floatToText(123456789012345.0), "123456789012345");
    EXPECT_EQ(floatToText(1e15), "1E15");
    EXPECT_EQ(floatToText(0.00001), "0.00001");
    EXPECT_EQ(floatToText(1.5e-7), "1.5E-7");
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Belarus));
    EXPECT_EQ(floatToText(0.75), "0,75");
    EXPECT_EQ(floatToText(12345.5), "12345,5");
    QLocale::setDefault(QLocale::c());
}

} // namespace
