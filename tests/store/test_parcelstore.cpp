// The parcel table: opening the store, the statements and the values they refuse or keep.
#include "store/Cp1251.h"
#include "store/ParcelStore.h"
#include "tests/support/TracksTable.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QFile>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

namespace {

using testsupport::cp1251;

// A parcel to add or edit, its texts given as the file's bytes.
Parcel parcelOf(const std::string& track, const std::string& shop, const std::string& title, const std::string& comment,
                std::optional<std::int64_t> id = std::nullopt)
{
    Parcel parcel = Parcel::typed(fromCp1251(track), fromCp1251(shop), fromCp1251(title), fromCp1251(comment));
    parcel.id = id;
    return parcel;
}

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
    EXPECT_EQ(sql->FieldText(0),
              "CREATE TABLE tracks (id INTEGER PRIMARY KEY AUTOINCREMENT,s_track TEXT,s_trackfull TEXT,"
              "s_title TEXT,s_date TEXT,s_status TEXT,s_shop TEXT,s_comments TEXT,i_type INTEGER)");
    EXPECT_TRUE(m_store.parcels().empty());
}

TEST_F(ParcelStoreTest, InsertEditAndChecksTouchOnlyTheirColumns)
{
    m_store.insert(Parcel());
    EXPECT_EQ(rows(), std::vector<std::string>{"1||<null>||<null>|<null>|||<null>"});

    m_store.insert(parcelOf(cp1251("RR123456789CN"), cp1251("АлиЭкспресс"), cp1251("Чехол"), cp1251("подарок")));
    const std::string id = lastId();
    testsupport::storeResultBytes(m_store, id, cp1251("статус"), "2013-03-16 12:30:00", "line1\r\nline2");
    m_store.edit(parcelOf("RR2", "shop2", "title2", "comment2", 2));
    EXPECT_EQ(rows()[1],
              "2|RR2|line1\r\nline2|title2|2013-03-16 12:30:00|" + cp1251("статус") + "|shop2|comment2|<null>");

    m_store.storeNoInformation(std::stoll(id));
    EXPECT_EQ(rows()[1], "2|RR2|line1\r\nline2|title2|2013-03-16 12:30:00|" + cp1251("Пока, нет информации!")
                             + "|shop2|comment2|<null>");

    const std::optional<Parcel> one = m_store.parcel(2);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->number, QStringLiteral("RR2"));
    EXPECT_EQ(one->id, 2);
    EXPECT_EQ(one->idText, QStringLiteral("2"));
    EXPECT_EQ(one->status, ParcelStore::noInformationText());
    EXPECT_FALSE(m_store.parcel(3));
}

TEST_F(ParcelStoreTest, AParcelIsReadAsTextEveryByteOfTheFileSurvivesIn)
{
    // 0x98 is no letter of the code page and a NUL ends a C string; other tools store both.
    const std::string history = std::string("\x98 ", 2) + cp1251("Принято") + std::string("\0\xFF", 2);
    m_store.database().Execute("INSERT INTO tracks (s_trackfull, s_status) VALUES (?1, ?2)", {history, cp1251("ёЁ№")});
    const std::optional<Parcel> one = m_store.parcel(1);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->history, QString(QChar(0x98)) + QStringLiteral(" Принято") + QChar(0) + QStringLiteral("я"));
    EXPECT_EQ(one->status, QStringLiteral("ёЁ№"));
    EXPECT_EQ(toCp1251(one->history), history);
    // The list reads every field but the history, the comments and the type.
    Parcel listed = *one;
    listed.history.clear();
    listed.type.clear(); // a NULL type reads "0"
    EXPECT_EQ(m_store.parcels(), std::vector<Parcel>{listed});
}

TEST_F(ParcelStoreTest, ValuesWithADoubleQuoteOrNulAreRefusedAndNothingChanges)
{
    m_store.insert(parcelOf("RR1", "shop", "title", "comment"));
    const auto before = rows();
    const std::vector<std::string> hostile{"Phone \"X\"", "a\",\"b\",\"c\",\"d\")--", "\"", std::string("a\0b", 3)};
    for (const std::string& value : hostile) {
        EXPECT_THROW(m_store.insert(parcelOf(value, "", "", "")), ESQLiteException);
        EXPECT_THROW(m_store.insert(parcelOf("", "", "", value)), ESQLiteException);
        EXPECT_THROW(m_store.edit(parcelOf("ok", value, "ok", "ok", 1)), ESQLiteException);
        EXPECT_THROW(testsupport::storeResultBytes(m_store, "1", "ok", "ok", value), ESQLiteException);
        EXPECT_THROW(testsupport::storeResultBytes(m_store, "1", value, "ok", "ok"), ESQLiteException);
    }
    EXPECT_EQ(rows(), before);
}

TEST_F(ParcelStoreTest, ValuesThatNameAColumnAreStoredAsText)
{
    const std::vector<std::string> names{"id", "S_TRACK", "s_status", "rowid", "oid", "_rowid_", "i_type"};
    for (const std::string& name : names) {
        const QString text = QString::fromStdString(name);
        const std::int64_t id = m_store.insert(parcelOf(name, name, name, name));
        auto row = m_store.parcel(id);
        EXPECT_EQ(row->number, text);
        EXPECT_EQ(row->comments, text);

        m_store.edit(parcelOf(name, name, name, name, id));
        m_store.storeCheckResult(id, text, text, text);
        row = m_store.parcel(id);
        for (const QString& field :
             {row->number, row->shop, row->title, row->comments, row->status, row->firstEventDate, row->history})
            EXPECT_EQ(field, text);
    }
}

TEST(ParcelStoreForeignFile, NothingFoundStoresItsTextThoughTheFileNamesAColumnSo)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("database.db").toStdString();
    const std::string noInformation = cp1251("Пока, нет информации!");
    {
        TSQLiteDatabase db(path);
        db.Execute(kCreateTracks);
        db.Execute("ALTER TABLE tracks ADD COLUMN \"" + noInformation + "\" TEXT DEFAULT 'the column'");
        db.Execute("INSERT INTO tracks (s_track) VALUES ('RR1')");
    }
    ParcelStore store;
    ASSERT_EQ(store.open(path), ParcelStore::OpenResult::Opened);
    EXPECT_TRUE(store.storeNoInformation(1));
    EXPECT_EQ(toCp1251(store.parcel(1)->status), noInformation);
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
    // Such a row is read like any other, but as a parcel without an id: it is never written, not
    // even when its text reads like another row's id.
    const std::vector<Parcel> parcels = store.parcels();
    ASSERT_EQ(parcels.size(), 3u);
    EXPECT_EQ(parcels[1].id, 2);
    EXPECT_FALSE(parcels[2].id);
    EXPECT_EQ(parcels[2].idText, QStringLiteral("1 OR 1=1"));
    Parcel looksLikeTwo = parcels[2];
    looksLikeTwo.idText = QStringLiteral("2");
    for (const Parcel& parcel : {parcels[2], looksLikeTwo})
        EXPECT_THROW(store.edit(parcel), ESQLiteException);
    EXPECT_THROW(ParcelStore::rowId(parcels[2]), ESQLiteException);
    EXPECT_EQ(snapshot(), before);
    // A whole number still names its row, and only that row.
    testsupport::storeResultBytes(store, "2", "checked", "d", "h");
    EXPECT_EQ(store.parcel(2)->status, QStringLiteral("checked"));
    store.removeAll({1});
    EXPECT_EQ(snapshot(), "'2'RRchecked;'1 OR 1=1'RR");
}

TEST_F(ParcelStoreTest, IdsAreNeverReusedAndDuplicatesAreKept)
{
    // insert() gives the new row's id, which is never one a deleted row had.
    EXPECT_EQ(m_store.insert(parcelOf("SAME", "", "", "")), 1);
    EXPECT_EQ(m_store.insert(parcelOf("SAME", "", "", "")), 2);
    EXPECT_EQ(m_store.parcels().size(), 2u);
    m_store.removeAll({2});
    EXPECT_EQ(m_store.insert(parcelOf("NEXT", "", "", "")), 3);
    const std::vector<Parcel> all = m_store.parcels();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].id, 1);
    EXPECT_EQ(all[1].id, 3);
    EXPECT_EQ(all[1].number, QStringLiteral("NEXT"));
}

TEST_F(ParcelStoreTest, ClosedStoreRaisesOnEveryOperation)
{
    m_store.close();
    EXPECT_FALSE(m_store.isOpen());
    EXPECT_THROW(m_store.parcels(), ESQLiteException);
    EXPECT_THROW(m_store.insert(parcelOf("a", "b", "c", "d")), ESQLiteException);
    EXPECT_THROW(m_store.storeNoInformation(1), ESQLiteException);
}

TEST_F(ParcelStoreTest, LockedByAnotherProgramFailsAtOnceAndWorksAfterwards)
{
    m_store.insert(parcelOf("RR1", "", "", ""));
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(m_path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; UPDATE tracks SET s_shop='x';", nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_THROW(m_store.insert(parcelOf("RR2", "", "", "")), ESQLiteException);
    EXPECT_THROW(testsupport::storeResultBytes(m_store, "1", "s", "d", "h"), ESQLiteException);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    m_store.insert(parcelOf("RR2", "", "", ""));
    EXPECT_EQ(m_store.parcels().size(), 2u);
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
    EXPECT_THROW(store.parcels(), ESQLiteException);
    store.close();
    EXPECT_EQ(QFile(QString::fromStdString(path)).size(), 0); // nothing was written into it
}

TEST(ParcelStoreOpen, ADatabaseInMemoryIsMadeAsBeforeAndNoFileOfThatName)
{
    ParcelStore store;
    ASSERT_EQ(store.open(":memory:"), ParcelStore::OpenResult::Created);
    EXPECT_FALSE(std::filesystem::exists(":memory:"));
}

TEST(ParcelStoreOpen, FailuresTellOpeningFromCreating)
{
    QTemporaryDir dir;
    const std::string garbage = dir.filePath("garbage.db").toStdString();
    std::ofstream(garbage) << std::string(2048, 'g');
    ParcelStore store;
    EXPECT_EQ(store.open(garbage), ParcelStore::OpenResult::OpenFailed);
    EXPECT_TRUE(store.lastOpenError().contains(QStringLiteral("file is not a database")))
        << store.lastOpenError().toStdString();
    EXPECT_FALSE(store.isOpen());

    EXPECT_EQ(store.open(dir.filePath("missing/dir/database.db").toStdString()), ParcelStore::OpenResult::CreateFailed);
    EXPECT_FALSE(store.isOpen());
    EXPECT_THROW(store.parcels(), ESQLiteException);
}

TEST(ParcelStoreOpen, ReopenReadsWhatWasWritten)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("database.db").toStdString();
    const std::string title = cp1251("Кроссовки «Бег»");
    {
        ParcelStore store;
        ASSERT_EQ(store.open(path), ParcelStore::OpenResult::Created);
        store.insert(parcelOf("RR1", "shop", title, ""));
    }
    ParcelStore store;
    ASSERT_EQ(store.open(path), ParcelStore::OpenResult::Opened);
    EXPECT_EQ(toCp1251(store.parcels().at(0).title), title);
}

} // namespace

TEST(Delivered, EventsThatHandTheParcelOverCountAndThoseThatWaitForItNever)
{
    // As the tracking page and the service store them: date, event, place, markup and all.
    for (const char* status :
         {"Вручено", "2013-04-02 10:40:00 Вручение адресату 220030",
          "2024-05-13 10:20:00 Вручение отправления адресату 220030", "ВРУЧЕНО АДРЕСАТУ", "Вручена адресату в ОПС",
          "<b>Выдано</b>&nbsp;адресату", "Выдано получателю", "Выдача отправления адресату", "Получено адресатом"})
        EXPECT_TRUE(ArchiveMarks::handedOver(QString::fromUtf8(status))) << status;
    for (const char* status :
         {"Поступило в ОПС для вручения", "2013-04-01 09:00:00 Поступление в учреждение для вручения 220030",
          "Передано почтальону на вручение", "Прибыло в место вручения", "Ожидает адресата в пункте выдачи",
          "Готово к выдаче", "Готово к вручению", "Неудачная попытка вручения", "Не вручено: адресат отсутствует",
          "Вручение невозможно", "Возврат отправителю: истёк срок хранения", "Вручено отправителю", "Отказ адресата",
          "Прием отправления", "Пока, нет информации!", ""})
        EXPECT_FALSE(ArchiveMarks::handedOver(QString::fromUtf8(status))) << status;
}
