// `kurierix --list`, `--list --csv`, `--help` and mistakes on the command line, each run as the
// real program in a temporary directory with a database.db the test writes itself.
#include "support/TestSupport.h"

#include "store/ParcelStore.h"
#include "tests/support/TracksTable.h"
#include "store/RunHistory.h"
#include "tracking/page/BrowserModule.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

using testsupport::cp1251;

namespace {

struct Outcome
{
    int status = -1;
    QString out;
    QString err;
};

Outcome kurierix(const QString& dir, const QStringList& arguments,
                 const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                 const QString& file = QStringLiteral(KURIERIX_PROGRAM))
{
    QProcess program;
    program.setWorkingDirectory(dir);
    program.setProcessEnvironment(environment);
    program.start(file, arguments);
    const bool finished = program.waitForFinished(60000);
    EXPECT_TRUE(finished) << "kurierix " << arguments.join(u' ').toStdString() << " did not end";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    return {program.exitCode(), QString::fromUtf8(program.readAllStandardOutput()),
            QString::fromUtf8(program.readAllStandardError())};
}

// RFC 4180: records end in CR LF, a field in quotes may hold commas, CR LF and doubled quotes.
// Anything else (a bare LF, a quote inside an unquoted field, text after a closing quote) fails.
QList<QStringList> readCsv(const QString& text)
{
    QList<QStringList> records;
    QStringList record;
    QString field;
    qsizetype i = 0;
    const auto fail = [&](const char* what) {
        ADD_FAILURE() << "CSV: " << what << " at " << i;
        return QList<QStringList>();
    };
    while (i < text.size()) {
        if (text.at(i) == u'"') {
            for (++i;; ++i) {
                if (i >= text.size())
                    return fail("unclosed quote");
                if (text.at(i) == u'"' && text.mid(i, 2) == u"\"\"") {
                    field += u'"';
                    ++i;
                } else if (text.at(i) == u'"') {
                    ++i;
                    break;
                } else {
                    field += text.at(i);
                }
            }
        } else {
            while (i < text.size() && text.at(i) != u',' && text.at(i) != u'\r' && text.at(i) != u'\n') {
                if (text.at(i) == u'"')
                    return fail("quote in an unquoted field");
                field += text.at(i++);
            }
        }
        record += field;
        field.clear();
        if (text.mid(i, 1) == u",") {
            ++i;
        } else if (text.mid(i, 2) == u"\r\n") {
            i += 2;
            records += record;
            record.clear();
        } else {
            return fail("a field ends in neither a comma nor CR LF");
        }
    }
    return records;
}

class ListCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        TSQLiteDatabase(path().toStdString()).Execute(kCreateTracks);
        add(QStringLiteral("RR123456789CN"), kStoredStatus, m_threeDaysAgo, QStringLiteral("AliExpress"),
            QStringLiteral("Чехол"));
        add(QStringLiteral("LP000123456789012345678"), QString(), QString(), kShop, kTitle);
        add(QStringLiteral("RB000000001BY"), QStringLiteral("Пока, нет информации!"),
            QStringLiteral("32.13.2013 25:61:00"), QStringLiteral("ozon"), QStringLiteral("Книга"));
    }

    void add(const QString& track, const QString& status, const QString& date, const QString& shop,
             const QString& title) const
    {
        TSQLiteDatabase(path().toStdString())
            .Execute("INSERT INTO tracks (s_track,s_status,s_date,s_shop,s_title) VALUES (?1,?2,?3,?4,?5)",
                     {cp1251(track), cp1251(status), cp1251(date), cp1251(shop), cp1251(title)});
    }

    // The records `kurierix --list --csv` writes for the rows a test added to the set-up's three,
    // each without its id and its archive mark (no parcel here is archived).
    QList<QStringList> addedCsvRecords()
    {
        const Outcome csv = kurierix(m_dir.path(), {QStringLiteral("--list"), QStringLiteral("--csv")});
        EXPECT_EQ(csv.status, 0) << csv.err.toStdString();
        QList<QStringList> records = readCsv(csv.out).mid(4);
        for (QStringList& record : records) {
            record.removeFirst();
            EXPECT_EQ(record.takeLast(), QString());
        }
        return records;
    }

    QString path() const { return m_dir.filePath(QStringLiteral("database.db")); }

    QByteArray fileHash() const
    {
        QFile file(path());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
    }

    static inline const QString kStoredStatus =
        QStringLiteral("16.03.2013 12:30:00 <b>Принято</b> Минск &amp; область \r\n17.03.2013 10:00:00 "
                       "<font color=red>Вручено</font> адресату в отделении почтовой связи Минск-12 \r\n");
    static inline const QString kStatusLine =
        QStringLiteral("16.03.2013 12:30:00 Принято Минск & область 17.03.2013 10:00:00 Вручено адресату в отделении "
                       "почтовой связи Минск-12");
    static inline const QString kShop = QStringLiteral("Shop, \"Best\" Ltd");
    static inline const QString kTitle = QStringLiteral("Первая строка\r\nвторая, с запятой");

    QTemporaryDir m_dir;
    const QString m_threeDaysAgo =
        QDateTime::currentDateTime().addDays(-3).addSecs(-3600).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
};

TEST_F(ListCommand, PrintsTheParcelsAsATableAndAsCsvWithoutTouchingTheFile)
{
    const QByteArray before = fileHash();
    const QStringList filesBefore = QDir(m_dir.path()).entryList(QDir::Files);

    const Outcome table = kurierix(m_dir.path(), {QStringLiteral("--list")});
    EXPECT_EQ(table.status, 0) << table.err.toStdString();
    EXPECT_TRUE(table.err.isEmpty()) << table.err.toStdString();
    const QStringList lines = table.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << table.out.toStdString();
    // Aligned: every row's shop starts in the header's "Магазин" column; cut cells end in "…".
    const qsizetype shopColumn = lines[0].indexOf(QStringLiteral("Магазин"));
    EXPECT_EQ(lines[1].indexOf(QStringLiteral("AliExpress")), shopColumn);
    EXPECT_EQ(lines[2].indexOf(QStringLiteral("Shop, \"Best\" Ltd")), shopColumn);
    EXPECT_EQ(lines[3].indexOf(QStringLiteral("ozon")), shopColumn);
    EXPECT_TRUE(lines[1].contains(QRegularExpression(QStringLiteral("^ *1 +3  RR123456789CN +16.03.2013 12:30:00 "
                                                                    "Принято Минск & обл…  AliEx"))))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(QRegularExpression(QStringLiteral("^ *2 +LP00012345678901234… +Shop"))))
        << lines[2].toStdString();
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral("Первая строка вторая, с…"))) << lines[2].toStdString();
    // The unreadable date leaves its cell empty; its row and the rows around it are all there.
    EXPECT_TRUE(lines[3].contains(QRegularExpression(QStringLiteral("^ *3 +RB000000001BY +Пока, нет информации! "))))
        << lines[3].toStdString();

    const Outcome csv = kurierix(m_dir.path(), {QStringLiteral("--list"), QStringLiteral("--csv")});
    EXPECT_EQ(csv.status, 0) << csv.err.toStdString();
    const QList<QStringList> records = readCsv(csv.out);
    const QList<QStringList> expected = {
        {QStringLiteral("id"), QStringLiteral("в пути"), QStringLiteral("Номер посылки"), QStringLiteral("Статус"),
         QStringLiteral("Магазин"), QStringLiteral("Что в ней"), QStringLiteral("в архиве")},
        {QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("RR123456789CN"), kStatusLine,
         QStringLiteral("AliExpress"), QStringLiteral("Чехол"), QString()},
        {QStringLiteral("2"), QString(), QStringLiteral("LP000123456789012345678"), QString(), kShop, kTitle,
         QString()},
        {QStringLiteral("3"), QString(), QStringLiteral("RB000000001BY"), QStringLiteral("Пока, нет информации!"),
         QStringLiteral("ozon"), QStringLiteral("Книга"), QString()}};
    ASSERT_EQ(records.size(), expected.size()) << csv.out.toStdString();
    for (qsizetype r = 0; r < expected.size(); ++r) {
        ASSERT_EQ(records[r].size(), expected[r].size()) << "record " << r;
        for (qsizetype f = 0; f < expected[r].size(); ++f)
            EXPECT_EQ(records[r][f], expected[r][f]) << "record " << r << ", field " << f;
    }

    EXPECT_EQ(fileHash(), before);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), filesBefore);
}

TEST_F(ListCommand, TheNewestRunIsSaidUnderTheTableButNotInTheCsv)
{
    const QDateTime started = QDateTime::currentDateTimeUtc();
    {
        TSQLiteDatabase db(path().toStdString());
        RunRecord run;
        run.started = started.addDays(-2);
        run.ended = run.started;
        run.ending = RunRecord::Ending::NoAnswer;
        RunHistory::record(db, run);
        run.started = started;
        run.asked = 3;
        run.changed = 2;
        run.ending = RunRecord::Ending::WentThrough;
        RunHistory::record(db, run);
    }
    const QByteArray before = fileHash();
    const Outcome table = kurierix(m_dir.path(), {QStringLiteral("--list")});
    EXPECT_EQ(table.status, 0) << table.err.toStdString();
    const QStringList lines = table.out.split(u'\n');
    ASSERT_EQ(lines.size(), 7) << table.out.toStdString();
    EXPECT_EQ(lines[4], QString());
    EXPECT_EQ(lines[5], QStringLiteral("Последняя проверка: сегодня в %1 — изменились 2 посылки")
                            .arg(started.toLocalTime().toString(QStringLiteral("HH:mm"))));
    EXPECT_EQ(lines[6], QString());
    EXPECT_EQ(addedCsvRecords(), QList<QStringList>());
    EXPECT_EQ(fileHash(), before);
}

TEST_F(ListCommand, CsvCellsASpreadsheetWouldTakeForFormulasBeginWithAQuote)
{
    add(QStringLiteral("=1+2"), QStringLiteral("=cmd|\"/c calc\"!A1"), QString(),
        QStringLiteral("=HYPERLINK(\"http://example.invalid\",\"Магазин\")"), QStringLiteral("+375 29 123"));
    add(QStringLiteral("RR000000002CN"), QStringLiteral("@SUM(1)"), QString(), QStringLiteral("-Shop"),
        QStringLiteral("\tс табуляцией"));
    add(QStringLiteral("RR000000003CN"), QStringLiteral("Вручено, a=b"), QString(), QStringLiteral("Shop -1"),
        QStringLiteral("\rс CR"));

    const QList<QStringList> expected = {{QString(), QStringLiteral("'=1+2"), QStringLiteral("'=cmd|\"/c calc\"!A1"),
                                          QStringLiteral("'=HYPERLINK(\"http://example.invalid\",\"Магазин\")"),
                                          QStringLiteral("'+375 29 123")},
                                         {QString(), QStringLiteral("RR000000002CN"), QStringLiteral("'@SUM(1)"),
                                          QStringLiteral("'-Shop"), QStringLiteral("'\tс табуляцией")},
                                         {QString(), QStringLiteral("RR000000003CN"), QStringLiteral("Вручено, a=b"),
                                          QStringLiteral("Shop -1"), QStringLiteral("'\rс CR")}};
    EXPECT_EQ(addedCsvRecords(), expected);
}

TEST_F(ListCommand, CsvQuotesAShopOrTitleWithABareLineFeed)
{
    add(QStringLiteral("RR000000004CN"), QString(), QString(), QStringLiteral("Shop\nLtd"),
        QStringLiteral("первая\nвторая"));
    const QList<QStringList> expected = {{QString(), QStringLiteral("RR000000004CN"), QString(),
                                          QStringLiteral("Shop\nLtd"), QStringLiteral("первая\nвторая")}};
    EXPECT_EQ(addedCsvRecords(), expected);
}

TEST(ListCommandFailures, ADatabaseThatCannotBeReadEndsWithStatusTwoAndIsNeverCreated)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("database.db"));

    Outcome run = kurierix(dir.path(), {QStringLiteral("--list")});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err,
              QStringLiteral("kurierix: не удалось открыть или прочитать базу данных database.db: такого файла "
                             "нет в папке %1\n")
                  .arg(QDir::toNativeSeparators(QFileInfo(dir.path()).canonicalFilePath())));
    EXPECT_FALSE(QFile::exists(path));

    QFile notADatabase(path);
    ASSERT_TRUE(notADatabase.open(QIODevice::WriteOnly));
    notADatabase.write(QByteArray(4096, 'x'));
    notADatabase.close();
    run = kurierix(dir.path(), {QStringLiteral("--list"), QStringLiteral("--csv")});
    EXPECT_EQ(run.status, 2) << run.out.toStdString();
    EXPECT_TRUE(run.out.isEmpty());

    ASSERT_TRUE(QFile::remove(path));
    TSQLiteDatabase(path.toStdString()).Execute("CREATE TABLE other (x TEXT)");
    run = kurierix(dir.path(), {QStringLiteral("--list")});
    EXPECT_EQ(run.status, 2) << run.out.toStdString();
    EXPECT_EQ(run.err,
              QStringLiteral(
                  "kurierix: не удалось открыть или прочитать базу данных database.db: в ней нет таблицы tracks\n"));
}

TEST(CommandLine, HelpNamesEveryOptionAndMistakesEndWithTheUsageStatus)
{
    QTemporaryDir dir;
    const Outcome help = kurierix(dir.path(), {QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    for (const char* word : {"--list", "--csv", "--check", "--quiet", "-h, --help", "database.db", "RFC 4180",
                             "«в архиве»", "  0 ", "  2 ", "  3 ", "  4 ", "  5 ", "  6 ", "  64 ", "  74 "})
        EXPECT_TRUE(help.out.contains(QString::fromUtf8(word))) << word;
    EXPECT_EQ(kurierix(dir.path(), {QStringLiteral("-h")}).out, help.out);

    for (const QStringList& wrong :
         {QStringList{QStringLiteral("--frobnicate")}, QStringList{QStringLiteral("--csv")},
          QStringList{QStringLiteral("--list"), QStringLiteral("extra")}, QStringList{QStringLiteral("--quiet")},
          QStringList{QStringLiteral("--check"), QStringLiteral("--list")}}) {
        const Outcome run = kurierix(dir.path(), wrong);
        EXPECT_EQ(run.status, 64) << wrong.join(u' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("kurierix: "))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("kurierix --help"))) << run.err.toStdString();
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

// Where no browser module is (Windows has none; a Linux install without its package), a check
// on the page road says so in one sentence, ends as a run that got no answer, and stores nothing.
TEST(CheckCommand, ThePageRoadWithoutItsBrowserModuleSaysSoAndStoresNothing)
{
    QTemporaryDir dir;
    // The program alone in a folder, without the modules the build puts beside it.
    const QString program = dir.filePath(QFileInfo(QStringLiteral(KURIERIX_PROGRAM)).fileName());
    ASSERT_TRUE(QFile::copy(QStringLiteral(KURIERIX_PROGRAM), program));
    const std::string database = dir.filePath(QStringLiteral("database.db")).toStdString();
    TSQLiteDatabase(database).Execute(kCreateTracks);
    TSQLiteDatabase(database).Execute("INSERT INTO tracks (s_track) VALUES ('RB000000001CN')");
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KURIERIX_SOURCE"), QStringLiteral("page"));
    environment.insert(QStringLiteral("KURIERIX_PROBE"), QStringLiteral("127.0.0.1:%1").arg(probe.serverPort()));
    environment.remove(QStringLiteral("KURIERIX_BROWSER_MODULE"));

    const Outcome run = kurierix(dir.path(), {QStringLiteral("--check")}, environment, program);
    EXPECT_EQ(run.status, 3) << run.err.toStdString();
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("kurierix: ") + BrowserModule::missingSentence() + u' '))
        << run.err.toStdString();
    EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(run.out.endsWith(QStringLiteral("Посылки не проверены: ни по одной нет ответа сайта.\n")))
        << run.out.toStdString();
    EXPECT_EQ(TSQLiteDatabase(database).Query("SELECT count(*) FROM tracks WHERE s_status IS NULL")->FieldText(0), "1");
}

} // namespace
