// `kurierix --check` as the real program in a child process, against the tracking-site double
// in this process and with a private session bus whose notification service the test plays: what
// it prints, what it stores (compared with the window's run over a copy of the same file), the
// notification, its exit statuses and a stop by SIGTERM.
#include "support/LoopbackPorts.h"
#include "support/PrivateBus.h"
#include "support/TestSupport.h"

#include "app/RecordingPrompts.h"
#include "app/TMainForm.h"
#include "store/ParcelStore.h"
#include "tools/sitedouble/SiteDouble.h"
#include "tracking/RunLock.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>

using testsupport::cp1251;
using testsupport::NotificationService;

namespace {

struct Outcome
{
    int status = -1;
    QStringList out; // the lines of standard output
    QString err;
};

const QList<SiteDouble::Event> kTwoEvents = {
    {QStringLiteral("2013-03-16 12:30:00"), QStringLiteral("Получение отправления от отправителя"),
     QStringLiteral("100614*")},
    {QStringLiteral("2013-04-02 10:40:00"), QStringLiteral("Вручение адресату"), QStringLiteral("220030")},
};
const QList<SiteDouble::Event> kOneEvent = {
    {QStringLiteral("2013-04-01 09:15:00"), QStringLiteral("Прием отправления"), QStringLiteral("SHENZHEN")}};

class CheckCommand : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_bus = std::make_unique<testsupport::PrivateBus>();
        QString error;
        ASSERT_TRUE(s_bus->start(&error)) << error.toStdString();
    }
    static void TearDownTestSuite() { s_bus.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_site.start());
        m_site.setAnswer(QStringLiteral("RR123456789CN"), kTwoEvents);
        m_site.setAnswer(QStringLiteral("RB987654321CN"), kOneEvent);
        m_site.setNotFound(QStringLiteral("RA000000000BY"));
        m_database = m_dir.filePath(QStringLiteral("database.db"));
        ParcelStore store;
        ASSERT_EQ(store.open(m_database.toStdString()), ParcelStore::OpenResult::Created);
        store.insert("RR123456789CN", "AliExpress", cp1251("Чехол для телефона"), "");
        store.insert("RB987654321CN", "Ebay", cp1251("Карта памяти"), cp1251("подарок"));
        store.insert("RA000000000BY", "", "", "");
        s_bus->service().reset(NotificationService::Answer::Reply);
    }

    void TearDown() override { m_site.stop(); }

    Outcome check(const QStringList& arguments, const QString& bus = s_bus->address())
    {
        QProcess program;
        start(program, arguments, bus);
        const bool finished =
            testsupport::waitUntil([&] { return program.state() == QProcess::NotRunning; }, std::chrono::seconds(90));
        EXPECT_TRUE(finished) << "kurierix " << arguments.join(u' ').toStdString() << " did not end";
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        return {program.exitCode(), out.split(u'\n', Qt::SkipEmptyParts), ownLines(program.readAllStandardError())};
    }

    void start(QProcess& program, const QStringList& arguments, const QString& bus = s_bus->address())
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KURIERIX_TRACKING_URL"), m_site.url());
        environment.insert(QStringLiteral("KURIERIX_PROBE"), QStringLiteral("127.0.0.1:%1").arg(m_probePort));
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus);
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir.filePath(QStringLiteral("cache")));
        // No display: the program must choose the offscreen platform by itself.
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(name));
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(m_dir.path());
        program.start(QStringLiteral(KURIERIX_PROGRAM), arguments);
    }

    // The program's own lines of standard error, without what the browser engine says there.
    static QString ownLines(const QByteArray& err)
    {
        QString own;
        for (const QString& line : QString::fromUtf8(err).split(u'\n'))
            if (line.startsWith(QStringLiteral("kurierix: ")))
                own += line + u'\n';
        return own;
    }

    // Every row of `path`, all columns, as text.
    static QStringList rows(const QString& path)
    {
        ParcelStore store;
        EXPECT_EQ(store.open(path.toStdString()), ParcelStore::OpenResult::Opened);
        QStringList found;
        const auto table = store.database().Query("SELECT * FROM tracks ORDER BY id");
        for (; !table->AtEnd(); table->NextRow()) {
            QStringList fields;
            for (int c = 0; c < table->ColumnCount(); ++c)
                fields += testsupport::fromCp1251(table->FieldText(c));
            found += fields.join(u'|');
        }
        return found;
    }

    QTemporaryDir m_dir;
    SiteDouble m_site;
    QString m_database;
    int m_probePort = 0;
    static inline std::unique_ptr<testsupport::PrivateBus> s_bus;

    void setProbeToSite() { m_probePort = m_site.port(); }
};

TEST_F(CheckCommand, PrintsTheLogAndTheChangedParcelsStoresWhatTheWindowStoresAndNotifiesOnce)
{
    setProbeToSite();
    // The window's run over a copy of the same file, for the rows it stores.
    QTemporaryDir windowDir;
    const QString windowDatabase = windowDir.filePath(QStringLiteral("database.db"));
    ASSERT_TRUE(QFile::copy(m_database, windowDatabase));
    QList<QList<ChangedParcel>> windowNotified;
    {
        RecordingPrompts prompts;
        MainFormOptions options;
        options.databasePath = windowDatabase.toStdString();
        options.endpoints = {m_site.url().toStdString(), "127.0.0.1", m_site.port()};
        options.browserStorageDir = windowDir.filePath(QStringLiteral("browser"));
        options.prompts = &prompts;
        options.notifyChanged = [&](const QList<ChangedParcel>& parcels) { windowNotified += parcels; };
        TMainForm window(std::move(options));
        window.N4->trigger();
        EXPECT_TRUE(testsupport::waitUntil([&] { return !windowNotified.isEmpty(); }));
        EXPECT_TRUE(prompts.shown().empty());
    }

    const Outcome run = check({QStringLiteral("--check")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    const QStringList parcelLines = {QStringLiteral("- отправка данных"), QStringLiteral("- получение данных")};
    QStringList expected = {QStringLiteral(" Проверка интернета..."), QStringLiteral(" Сайт БелПочты доступен")};
    for (const char* number : {"RR123456789CN", "RB987654321CN", "RA000000000BY"})
        expected += QStringList{QStringLiteral("- посылка №") + QLatin1String(number)} + parcelLines;
    expected += QStringLiteral("- нет данных по номеру");
    const QStringList summary = {
        QStringLiteral("Новый статус: RR123456789CN, AliExpress, Чехол для телефона: 2013-04-02 10:40:00 Вручение "
                       "адресату 220030"),
        QStringLiteral(
            "Новый статус: RB987654321CN, Ebay, Карта памяти: 2013-04-01 09:15:00 Прием отправления SHENZHEN"),
        QStringLiteral("Новый статус: RA000000000BY: Пока, нет информации!")};
    ASSERT_EQ(run.out.size(), expected.size() + 1 + summary.size()) << run.out.join(u'\n').toStdString();
    EXPECT_EQ(run.out.mid(0, expected.size()), expected);
    EXPECT_TRUE(
        run.out[expected.size()].contains(QRegularExpression(QStringLiteral("^ Время работы \\(сек\\) [0-9.,]+$"))))
        << run.out[expected.size()].toStdString();
    EXPECT_EQ(run.out.mid(expected.size() + 1), summary);
    EXPECT_EQ(rows(m_database), rows(windowDatabase));

    // One notification, and the window's run would have sent the same parcels.
    const QList<QDBusMessage> calls = s_bus->service().calls(QStringLiteral("Notify"));
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].arguments().value(3).toString(), QStringLiteral("Статус изменился: 3 посылки"));
    EXPECT_EQ(calls[0].arguments().value(4).toString().split(u'\n').size(), 3);
    ASSERT_EQ(windowNotified.size(), 1);
    ASSERT_EQ(windowNotified[0].size(), 3);
    EXPECT_EQ(windowNotified[0][2].track, QStringLiteral("RA000000000BY"));

    // Nothing changed: the summary says so, and nothing is sent.
    const Outcome again = check({QStringLiteral("--check"), QStringLiteral("--quiet")});
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_EQ(again.out, QStringList{QStringLiteral("Статусы посылок не изменились.")});
    EXPECT_EQ(s_bus->service().calls(QStringLiteral("Notify")).size(), 1);

    // Without a bus the run still goes through and says the notification was not shown.
    TSQLiteDatabase(m_database.toStdString()).Execute("UPDATE tracks SET s_status='old' WHERE id=2");
    const Outcome noBus = check({QStringLiteral("--check"), QStringLiteral("--quiet")}, s_bus->deadAddress());
    EXPECT_EQ(noBus.status, 0);
    EXPECT_EQ(noBus.out.size(), 1) << noBus.out.join(u'\n').toStdString();
    EXPECT_TRUE(
        noBus.err.startsWith(QStringLiteral("kurierix: уведомление на рабочем столе не показано: no session D-Bus")))
        << noBus.err.toStdString();
}

TEST_F(CheckCommand, ExitStatusesTellAnUnreadableDatabaseAnUnreachableSiteAndAHeldLock)
{
    setProbeToSite();
    // A failed statement is a line on standard error with its cause; the run goes through.
    SiteDouble::AnswerFaults links;
    links.markupInCells = true;
    m_site.setAnswerFaults(QStringLiteral("RB987654321CN"), links);
    const Outcome refused = check({QStringLiteral("--check"), QStringLiteral("--quiet")});
    EXPECT_EQ(refused.status, 0);
    EXPECT_TRUE(refused.err.startsWith(QStringLiteral(
        "kurierix: Ошибка №7 - Во время добавление данных возникла ошибка (A text value holds a double quote")))
        << refused.err.toStdString();
    EXPECT_EQ(refused.out.size(), 2) << refused.out.join(u'\n').toStdString();

    // Another run holds the database: 4 at once, nothing asked.
    const QStringList before = rows(m_database);
    {
        QLockFile held(RunLock::pathFor(m_database.toStdString()));
        ASSERT_TRUE(held.tryLock(0));
        m_site.resetCounters();
        const Outcome busy = check({QStringLiteral("--check")});
        EXPECT_EQ(busy.status, 4);
        EXPECT_TRUE(busy.out.isEmpty()) << busy.out.join(u'\n').toStdString();
        EXPECT_TRUE(busy.err.contains(QString::number(QCoreApplication::applicationPid()))) << busy.err.toStdString();
        EXPECT_EQ(m_site.totalSearches(), 0);
    }

    // The site does not accept connections: 3, and nothing changes.
    testsupport::RefusingPort refusing;
    m_probePort = refusing.port();
    const Outcome unreachable = check({QStringLiteral("--check")});
    EXPECT_EQ(unreachable.status, 3);
    EXPECT_EQ(unreachable.out,
              (QStringList{QStringLiteral(" Проверка интернета..."), QStringLiteral(" Сайт БелПочты не доступен"),
                           QStringLiteral("Статусы посылок не изменились.")}));
    EXPECT_EQ(rows(m_database), before);

    // No database, something else under its name: 2, and nothing is made.
    ASSERT_TRUE(QFile::remove(m_database));
    const Outcome missing = check({QStringLiteral("--check")});
    EXPECT_EQ(missing.status, 2);
    EXPECT_FALSE(QFile::exists(m_database));
    QFile text(m_database);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray(4096, 'x'));
    text.close();
    const Outcome notADatabase = check({QStringLiteral("--check")});
    EXPECT_EQ(notADatabase.status, 2);
    EXPECT_TRUE(notADatabase.err.startsWith(QStringLiteral("kurierix: не удалось открыть или прочитать базу данных")))
        << notADatabase.err.toStdString();
}

TEST_F(CheckCommand, SigtermStopsTheRunAtItsNextStepAndNothingIsWrittenAfterIt)
{
    setProbeToSite();
    SiteDouble::AnswerFaults held;
    held.noAnswer = true;
    m_site.setAnswerFaults(QStringLiteral("RB987654321CN"), held);
    const QStringList before = rows(m_database);

    QProcess program;
    start(program, {QStringLiteral("--check")});
    ASSERT_TRUE(testsupport::waitUntil([&] { return m_site.searchCount(QStringLiteral("RB987654321CN")) > 0; },
                                       std::chrono::seconds(60)));
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return program.state() == QProcess::NotRunning; }, std::chrono::seconds(5)));
    EXPECT_EQ(program.exitStatus(), QProcess::CrashExit) << "it did not end by the signal";
    const QStringList out = QString::fromUtf8(program.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(out.last(), QStringLiteral("- отправка данных")) << out.join(u'\n').toStdString();
    EXPECT_TRUE(ownLines(program.readAllStandardError()).isEmpty());
    // The first parcel was stored before the signal; the held one and the one after it are not.
    const QStringList after = rows(m_database);
    EXPECT_NE(after[0], before[0]);
    EXPECT_EQ(after.mid(1), before.mid(1));
    EXPECT_EQ(m_site.searchCount(QStringLiteral("RA000000000BY")), 0);
    EXPECT_FALSE(QFile::exists(RunLock::pathFor(m_database.toStdString())));
    EXPECT_TRUE(s_bus->service().calls(QStringLiteral("Notify")).isEmpty());
    m_site.releaseStalled();
}

} // namespace
