// A database.db that is no database, is empty, is damaged, cannot be written or lies in a
// directory that cannot be written: the program shows its boxes, never alters the file, and
// goes on (or ends, where an existing file cannot be opened at all) without crashing. A file
// that carries triggers of its own gets the program's statements and nothing more.
//
// The tests run as root, who ignores permission bits, so "cannot be written" is made with the
// file system's immutable attribute (chattr +i), which holds for root as well. Where the file
// system or the privileges do not allow it, those cases are skipped with the reason.
#include "FaultFiles.h"
#include "ImmutableFlag.h"

#include "app/AppTestHarness.h"
#include "tools/sitedouble/SiteDouble.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

using apptest::cp;
using apptest::Harness;
using faultfiles::FileState;

using namespace apptest::boxes;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

bool writable(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Append);
}

class BadDatabaseFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_site.start());
        m_site.setAnswer(QStringLiteral("RR100000001CN"),
                         {{QStringLiteral("2013-03-16 12:30:00"), QStringLiteral("Прием"), QStringLiteral("MINSK")}});
        m_site.setNotFound(QStringLiteral("RR100000002CN"));
        // The database in a folder of its own, which some cases make unchangeable; the browser's
        // files stay outside it.
        m_folder = m_h.dirPath() + QStringLiteral("/data");
        ASSERT_TRUE(QDir().mkpath(m_folder));
        m_database = m_folder + QStringLiteral("/database.db");
    }

    void TearDown() override
    {
        m_h.window.reset();
        m_site.stop();
    }

    void seedTwoParcels()
    {
        apptest::Database db(m_database.toStdString());
        db.create();
        db.addParcel("RR100000001CN", "AliExpress", cp("Чехол"), "", cp("в пути"), "2013-03-01 10:00:00", "h");
        db.addParcel("RR100000002CN", "eBay", "Lamp");
    }

    TMainForm& start()
    {
        MainFormOptions options = m_h.options();
        options.databasePath = m_database.toStdString();
        options.endpoints = {m_site.url().toStdString(), "127.0.0.1", m_site.port()};
        return m_h.start(options);
    }

    // Every command of the grid's menu once, each answered by its box; returns the boxes.
    std::vector<QString> everyCommand(TMainForm& window)
    {
        m_h.prompts.clear();
        m_h.inDialog([&] { ui(window).Add->trigger(); },
                     [&](TFm_Track& dialog) {
                         dialog.Edit_Track->setText(QStringLiteral("RR999999999CN"));
                         apptest::saveOrCancel(dialog);
                     });
        if (m_h.grid().parcelRowCount() > 0) {
            // The first parcel, not the one an add selects.
            m_h.grid().setSelectedRow(1);
            m_h.inDialog([&] { ui(window).edit->trigger(); },
                         [&](TFm_Track& dialog) {
                             dialog.Edit_Title->setText(QStringLiteral("Изменено"));
                             apptest::saveOrCancel(dialog);
                         });
            m_h.prompts.answerNext(Prompts::Button::Yes);
        }
        // The handler: on an empty grid the menu offers no delete.
        window.N3Click();
        ui(window).N4->trigger();
        return m_h.boxHeads();
    }

    SiteDouble m_site;
    Harness m_h;
    QString m_folder;
    QString m_database;
};

TEST_F(BadDatabaseFile, FileThatIsNoDatabaseEndsTheStartWithTheOpenBoxAndIsLeftAlone)
{
    for (const QByteArray& content :
         {QByteArray("Список посылок:\nRR123456789CN AliExpress\n"), QByteArray(8192, '\xA5'),
          QByteArray("SQLite format 3").append('\0').append(QByteArray(84, '\xFF'))}) {
        SCOPED_TRACE(content.left(16).toHex().toStdString());
        writeFile(m_database, content);
        const FileState before = faultfiles::stateOf(m_database);
        m_h.prompts.clear();

        TMainForm& window = start();

        EXPECT_TRUE(window.startupFailed());
        EXPECT_EQ(m_h.boxTexts(), (std::vector<QString>{kOpenFailed}));
        EXPECT_EQ(faultfiles::stateOf(m_database), before);
        EXPECT_EQ(faultfiles::entriesOf(m_folder), QStringList{QStringLiteral("database.db")});
        m_h.window.reset();
    }
}

TEST_F(BadDatabaseFile, EmptyFileIsUsedAsItIsEveryCommandGivesItsBoxAndTheFileStaysEmpty)
{
    writeFile(m_database, {});
    const FileState before = faultfiles::stateOf(m_database);
    TMainForm& window = start();

    EXPECT_FALSE(window.startupFailed());
    EXPECT_EQ(m_h.boxTexts(), (std::vector<QString>{kRefreshFailed}));

    const std::vector<QString> boxes = everyCommand(window);
    // Add; delete's list query and its refresh; the run's snapshot query is not caught and
    // reaches the general error report with the access layer's message.
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(std::vector<QString>(boxes.begin(), boxes.begin() + 3),
              (std::vector<QString>{kAddFailed, kDeleteFailed, kRefreshFailed}));
    EXPECT_TRUE(boxes[3].contains(QStringLiteral("no such table: tracks"))) << boxes[3].toStdString();
    EXPECT_TRUE(m_h.grid().isEnabled());
    EXPECT_EQ(m_site.pageRequests(), 0);

    window.close();
    EXPECT_EQ(faultfiles::stateOf(m_database), before);
    EXPECT_EQ(before.size, 0);
    EXPECT_EQ(faultfiles::entriesOf(m_folder), QStringList{QStringLiteral("database.db")});
}

TEST_F(BadDatabaseFile, DamagedDatabaseGivesTheRefreshBoxAndIsNeverWritten)
{
    apptest::Database db(m_database.toStdString());
    db.create();
    for (int i = 0; i < 40; ++i)
        db.addParcel("RR" + std::to_string(100000000 + i) + "CN", "Shop", std::string(1500, 'x'));
    // Overwrite the table's pages after the first two with noise.
    QFile file(m_database);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_GT(file.size(), 8 * 4096);
    file.seek(2 * 4096);
    file.write(QByteArray(4 * 4096, '\x5A'));
    file.close();
    const FileState before = faultfiles::stateOf(m_database);

    TMainForm& window = start();
    EXPECT_FALSE(window.startupFailed());
    EXPECT_EQ(m_h.boxTexts(), (std::vector<QString>{kRefreshFailed}));
    everyCommand(window);
    EXPECT_TRUE(m_h.grid().isEnabled());
    window.close();

    EXPECT_EQ(faultfiles::stateOf(m_database), before);
}

TEST_F(BadDatabaseFile, ReadOnlyFileShowsItsParcelsRefusesEveryChangeAndIsNeverAltered)
{
    seedTwoParcels();
    const FileState before = faultfiles::stateOf(m_database);
    ImmutableFlag readOnly(m_database);
    if (!readOnly.isSet())
        GTEST_SKIP() << readOnly.why().toStdString();
    ASSERT_FALSE(writable(m_database)) << "the immutable attribute does not stop this process";

    TMainForm& window = start();
    EXPECT_FALSE(window.startupFailed());
    EXPECT_TRUE(m_h.prompts.shown().empty());
    ASSERT_EQ(m_h.grid().parcelRowCount(), 2);

    const std::vector<QString> boxes = everyCommand(window);
    EXPECT_EQ(boxes, (std::vector<QString>{kAddFailed, kSaveFailed, QStringLiteral("Удалить выбранную запись?"),
                                           kDeleteFailed, kStoreFailed, kStoreFailed}));
    EXPECT_EQ(m_h.label(), QStringLiteral("Статус: ok"));
    EXPECT_EQ(m_h.grid().parcelRowCount(), 2);
    window.close();

    EXPECT_EQ(faultfiles::stateOf(m_database), before);
    EXPECT_EQ(faultfiles::entriesOf(m_folder), QStringList{QStringLiteral("database.db")});
}

TEST_F(BadDatabaseFile, ReadOnlyFolderWithoutDatabaseGivesTheCreateBoxAndStartsAnyway)
{
    ImmutableFlag readOnly(m_folder);
    if (!readOnly.isSet())
        GTEST_SKIP() << readOnly.why().toStdString();
    ASSERT_FALSE(writable(m_database)) << "the immutable attribute does not stop this process";

    TMainForm& window = start();

    EXPECT_FALSE(window.startupFailed());
    EXPECT_EQ(m_h.boxTexts(), (std::vector<QString>{kCreateFailed, kRefreshFailed}));
    const std::vector<QString> boxes = everyCommand(window);
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(std::vector<QString>(boxes.begin(), boxes.begin() + 3),
              (std::vector<QString>{kAddFailed, kDeleteFailed, kRefreshFailed}));
    EXPECT_TRUE(m_h.grid().isEnabled());
    window.close();
    EXPECT_TRUE(faultfiles::entriesOf(m_folder).isEmpty());
}

TEST_F(BadDatabaseFile, DatabaseInReadOnlyFolderShowsItsParcelsAndRefusesEveryChange)
{
    seedTwoParcels();
    const FileState before = faultfiles::stateOf(m_database);
    ImmutableFlag readOnly(m_folder);
    if (!readOnly.isSet())
        GTEST_SKIP() << readOnly.why().toStdString();

    TMainForm& window = start();
    EXPECT_FALSE(window.startupFailed());
    EXPECT_TRUE(m_h.prompts.shown().empty());
    ASSERT_EQ(m_h.grid().parcelRowCount(), 2);

    // Every write needs a journal beside the file, which the folder refuses; so does the check
    // run's lock, without which no run starts.
    const std::vector<QString> boxes = everyCommand(window);
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_EQ(
        std::vector<QString>(boxes.begin(), boxes.begin() + 4),
        (std::vector<QString>{kAddFailed, kSaveFailed, QStringLiteral("Удалить выбранную запись?"), kDeleteFailed}));
    EXPECT_TRUE(boxes[4].startsWith(QStringLiteral("Проверка не начата: в папке"))) << boxes[4].toStdString();
    window.close();

    EXPECT_EQ(faultfiles::stateOf(m_database), before);
    EXPECT_EQ(faultfiles::entriesOf(m_folder), QStringList{QStringLiteral("database.db")});
}

TEST_F(BadDatabaseFile, TriggersTheFileCarriesDoNothingOnTheProgramsStatements)
{
    seedTwoParcels();
    const apptest::Database db(m_database.toStdString());
    db.exec("CREATE TABLE bloat (b BLOB)");
    db.exec("CREATE TABLE taken (number TEXT)");
    // On each write to a parcel: four megabytes more, and every other parcel's number copied into a
    // table of the file's own and the parcel deleted.
    for (const auto& [event, row] : {std::pair{"INSERT", "NEW"}, {"UPDATE", "NEW"}, {"DELETE", "OLD"}}) {
        db.exec(std::string("CREATE TRIGGER inflate_") + event + " AFTER " + event
                + " ON tracks BEGIN INSERT INTO bloat VALUES (zeroblob(4000000)); END");
        db.exec(std::string("CREATE TRIGGER take_") + event + " AFTER " + event
                + " ON tracks BEGIN INSERT INTO taken SELECT s_track FROM tracks; DELETE FROM tracks WHERE id <> " + row
                + ".id; END");
    }
    const qint64 sizeBefore = QFileInfo(m_database).size();

    TMainForm& window = start();
    ui(window).N4->trigger(); // one parcel found, one not
    EXPECT_EQ(m_h.boxTexts(), std::vector<QString>{});
    std::vector<apptest::Row> rows = db.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].at("s_date"), apptest::Field("2013-03-16 12:30:00"));
    EXPECT_EQ(rows[1].at("s_status"), apptest::Field(cp("Пока, нет информации!")));

    // Add, edit, delete the first parcel and check again.
    EXPECT_EQ(everyCommand(window), std::vector<QString>{QStringLiteral("Удалить выбранную запись?")});
    EXPECT_EQ(m_h.label(), QStringLiteral("Статус: ok"));
    window.close();

    rows = db.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].at("s_track"), apptest::Field("RR100000002CN"));
    EXPECT_EQ(rows[1].at("s_track"), apptest::Field("RR999999999CN"));
    EXPECT_EQ(db.rows("SELECT * FROM bloat").size(), 0u);
    EXPECT_EQ(db.rows("SELECT * FROM taken").size(), 0u);
    // The window's own table of seen statuses takes a few pages; one trigger's run takes megabytes.
    EXPECT_LT(QFileInfo(m_database).size(), sizeBefore + 64 * 1024);
    // The file keeps what it brought.
    EXPECT_EQ(db.rows("SELECT name FROM sqlite_master WHERE type='trigger'").size(), 6u);
}

TEST_F(BadDatabaseFile, FolderNamedLikeTheDatabaseEndsTheStartWithTheOpenBox)
{
    ASSERT_TRUE(QDir().mkpath(m_database));

    TMainForm& window = start();

    EXPECT_TRUE(window.startupFailed());
    EXPECT_EQ(m_h.boxTexts(), (std::vector<QString>{kOpenFailed}));
    EXPECT_TRUE(faultfiles::entriesOf(m_database).isEmpty());
}

} // namespace
