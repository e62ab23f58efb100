// `kurierix --check` as the real program in a child process, against the tracking-site double
// in this process and with a private session bus whose notification service the test plays: what
// it prints, what it stores (compared with the window's run over a copy of the same file), the
// notification, its exit statuses, its run lock and a stop by SIGTERM.
#include "ImmutableFlag.h"
#include "support/LoopbackPorts.h"
#include "support/PrivateBus.h"
#include "support/TestSupport.h"

#include "tests/support/RecordingPrompts.h"
#include "app/TMainForm.h"
#include "tests/support/MainFormView.h"
#include "store/ParcelStore.h"
#include "tools/sitedouble/SiteDouble.h"
#include "tracking/RunLock.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::cp1251;
using testsupport::NotificationService;

namespace {

struct Outcome
{
    int status = -1;
    QStringList out; // the lines of standard output
    QString err;     // standard error as it is
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
        store.insert(Parcel::typed(QStringLiteral("RR123456789CN"), QStringLiteral("AliExpress"),
                                   QStringLiteral("Чехол для телефона")));
        store.insert(Parcel::typed(QStringLiteral("RB987654321CN"), QStringLiteral("Ebay"),
                                   QStringLiteral("Карта памяти"), QStringLiteral("подарок")));
        store.insert(Parcel::typed(QStringLiteral("RA000000000BY")));
        s_bus->service().reset(NotificationService::Answer::Reply);
    }

    void TearDown() override { m_site.stop(); }

    // `adjust` changes the environment the program starts with.
    Outcome check(const QStringList& arguments, const QString& bus = s_bus->address(),
                  const std::function<void(QProcessEnvironment&)>& adjust = {})
    {
        QProcess program;
        start(program, arguments, bus, adjust);
        const bool finished =
            testsupport::waitUntil([&] { return program.state() == QProcess::NotRunning; }, std::chrono::seconds(90));
        EXPECT_TRUE(finished) << "kurierix " << arguments.join(u' ').toStdString() << " did not end";
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        return {program.exitCode(), out.split(u'\n', Qt::SkipEmptyParts),
                QString::fromUtf8(program.readAllStandardError())};
    }

    void start(QProcess& program, const QStringList& arguments, const QString& bus = s_bus->address(),
               const std::function<void(QProcessEnvironment&)>& adjust = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KURIERIX_TRACKING_URL"), m_site.url());
        environment.insert(QStringLiteral("KURIERIX_PROBE"), QStringLiteral("127.0.0.1:%1").arg(m_probePort));
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus);
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir.filePath(QStringLiteral("cache")));
        // No display: the program must choose the offscreen platform by itself.
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "QT_LOGGING_RULES"})
            environment.remove(QString::fromLatin1(name));
        if (adjust)
            adjust(environment);
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(m_dir.path());
        program.start(QStringLiteral(KURIERIX_PROGRAM), arguments);
    }

    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The runs recorded in `path`, oldest first, as "origin|road|asked|changed|ending|exit status".
    static QStringList runs(const QString& path)
    {
        ParcelStore store;
        EXPECT_EQ(store.open(path.toStdString()), ParcelStore::OpenResult::Opened);
        QStringList found;
        if (!store.database().HasTable("kurierix_runs"))
            return found;
        const auto table = store.database().Query(
            "SELECT origin, road, asked, changed, ending, exit_status FROM kurierix_runs ORDER BY id");
        for (; !table->AtEnd(); table->NextRow()) {
            QStringList fields;
            for (int c = 0; c < table->ColumnCount(); ++c)
                fields += QString::fromStdString(table->FieldText(c));
            found += fields.join(u'|');
        }
        return found;
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
        ui(window).N4->trigger();
        EXPECT_TRUE(testsupport::waitUntil([&] { return !windowNotified.isEmpty(); }));
        // The one box: the delivered parcel offered for the archive ("Нет").
        ASSERT_EQ(prompts.shown().size(), 1u);
        EXPECT_TRUE(prompts.shown()[0].text.startsWith(QStringLiteral("Переместить в архив 1 доставленных посылок?")));
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

    // Nothing changed: the summary says so, and nothing is sent. This run is the timer's.
    const Outcome again =
        check({QStringLiteral("--check"), QStringLiteral("--quiet")}, s_bus->address(), [](QProcessEnvironment& env) {
            env.insert(QStringLiteral("KURIERIX_CHECK_ORIGIN"), QStringLiteral("timer"));
        });
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_EQ(again.out, QStringList{QStringLiteral("Статусы посылок не изменились.")});
    EXPECT_EQ(s_bus->service().calls(QStringLiteral("Notify")).size(), 1);

    // Each run left its row, the window's in its own file.
    EXPECT_EQ(runs(m_database), (QStringList{QStringLiteral("terminal|page|3|3|went-through|0"),
                                             QStringLiteral("timer|page|3|0|went-through|0")}));
    EXPECT_EQ(runs(windowDatabase), QStringList{QStringLiteral("window|page|3|3|went-through|0")});
}

TEST_F(CheckCommand, NeedsNoDisplayWhateverTheSessionNamesAndSaysOnceThatThereIsNoBus)
{
    setProbeToSite();
    // A desktop session's variables whose display has gone, and no session bus anywhere: neither
    // an address nor the user's runtime folder's socket.
    const QString runtime = m_dir.filePath(QStringLiteral("runtime"));
    ASSERT_TRUE(QDir().mkpath(runtime));
    ASSERT_TRUE(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const Outcome run =
        check({QStringLiteral("--check"), QStringLiteral("--quiet")}, {}, [&](QProcessEnvironment& env) {
            env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
            env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":7357"));
            env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-7357"));
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        });
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.size(), 3) << run.out.join(u'\n').toStdString();
    // One line of the program's own, and nothing of the browser engine's or Qt's.
    const QStringList lines = run.err.split(u'\n');
    ASSERT_EQ(lines.size(), 2) << run.err.toStdString();
    EXPECT_TRUE(lines[0].startsWith(
        QStringLiteral("kurierix: уведомление на рабочем столе не показано: нет сеансовой шины D-Bus (")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].isEmpty());
    EXPECT_TRUE(QDir(runtime).isEmpty());
}

TEST_F(CheckCommand, ExitStatusesTellAnswersNotStoredAnUnreachableSiteAndAnUnreadableDatabase)
{
    setProbeToSite();
    // A failed statement is a line on standard error with its cause; the run goes on, and its
    // status and summary say that not everything was stored.
    SiteDouble::AnswerFaults links;
    links.markupInCells = true;
    m_site.setAnswerFaults(QStringLiteral("RB987654321CN"), links);
    const Outcome refused = check({QStringLiteral("--check"), QStringLiteral("--quiet")});
    EXPECT_EQ(refused.status, 5);
    EXPECT_TRUE(refused.err.startsWith(QStringLiteral(
        "kurierix: Ошибка №7 - Во время добавление данных возникла ошибка (A text value holds a double quote")))
        << refused.err.toStdString();
    ASSERT_EQ(refused.out.size(), 3) << refused.out.join(u'\n').toStdString();
    EXPECT_EQ(refused.out[2], QStringLiteral("Не удалось сохранить в базе данных ответы сайта по 1 из 3 посылок."));
    EXPECT_EQ(runs(m_database).value(0), QStringLiteral("terminal|page|3|2|store-failed|5"));

    // A read-only database.db: every answer is lost, and the run says so rather than that nothing
    // changed.
    m_site.clearFaults();
    TSQLiteDatabase(m_database.toStdString()).Execute("UPDATE tracks SET s_status='old'");
    const QStringList before = rows(m_database);
    {
        ImmutableFlag readOnly(m_database);
        if (!readOnly.isSet())
            GTEST_SKIP() << readOnly.why().toStdString();
        const Outcome lost = check({QStringLiteral("--check"), QStringLiteral("--quiet")});
        EXPECT_EQ(lost.status, 5);
        EXPECT_EQ(lost.out,
                  QStringList{QStringLiteral("Не удалось сохранить в базе данных ответы сайта по 3 из 3 посылок.")});
        EXPECT_EQ(lost.err.count(QStringLiteral("kurierix: Ошибка №7")), 3) << lost.err.toStdString();
    }
    EXPECT_EQ(rows(m_database), before);

    // The site does not accept connections: 3, and nothing changes.
    testsupport::RefusingPort refusing;
    m_probePort = refusing.port();
    const Outcome unreachable = check({QStringLiteral("--check")});
    EXPECT_EQ(unreachable.status, 3);
    EXPECT_EQ(unreachable.out,
              (QStringList{QStringLiteral(" Проверка интернета..."), QStringLiteral(" Сайт БелПочты не доступен"),
                           QStringLiteral("Посылки не проверены: сайт Белпочты недоступен.")}));
    EXPECT_EQ(rows(m_database), before);
    EXPECT_EQ(runs(m_database).constLast(), QStringLiteral("terminal|page|0|0|no-answer|3"));

    // Standard output closed (`>&-`): said once, not once per line that could not be written.
    QProcess closedOut;
    closedOut.setChildProcessModifier([] { ::close(STDOUT_FILENO); });
    start(closedOut, {QStringLiteral("--check")});
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return closedOut.state() == QProcess::NotRunning; }, std::chrono::seconds(90)));
    EXPECT_EQ(closedOut.exitCode(), 3);
    const QString closedErr = QString::fromUtf8(closedOut.readAllStandardError());
    EXPECT_EQ(closedErr.count(QStringLiteral("kurierix: не удалось записать в стандартный вывод\n")), 1)
        << closedErr.toStdString();

    // No database, something else under its name: 2, and nothing is made.
    ASSERT_TRUE(QFile::remove(m_database));
    const Outcome missing = check({QStringLiteral("--check")});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, QStringLiteral("kurierix: не удалось открыть или прочитать базу данных database.db: такого "
                                          "файла нет в папке %1\n")
                               .arg(QFileInfo(m_dir.path()).canonicalFilePath()));
    EXPECT_FALSE(QFile::exists(m_database));
    QFile text(m_database);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray(4096, 'x'));
    text.close();
    const Outcome notADatabase = check({QStringLiteral("--check")});
    EXPECT_EQ(notADatabase.status, 2);
    EXPECT_TRUE(notADatabase.err.startsWith(QStringLiteral("kurierix: не удалось открыть или прочитать базу данных "
                                                           "database.db (")))
        << notADatabase.err.toStdString();
}

TEST_F(CheckCommand, ALockNobodyHoldsIsTakenOverWhateverItIsAndARunWithoutTheLockWritesNothing)
{
    // The probe is refused: a run that has the lock ends right after it with 3, without the browser.
    testsupport::RefusingPort refusing;
    m_probePort = refusing.port();
    const QString lock = RunLock::pathFor(m_database.toStdString());
    const QByteArray database = contents(m_database);
    const auto entries = [this] {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    };
    const QStringList entriesBefore = entries();
    const QStringList parcelsBefore = rows(m_database);
    // Refused for the lock: the status, one line, and nothing written (the table of the statuses
    // seen included, which a run makes in a file the window never opened). A lock that cannot be
    // had is a failure the window tells of: that run's own row, where the file takes it, is all
    // it writes. Another run's lock is no failure, and leaves no row.
    const auto refusedForTheLock = [&](int status, const QString& line) {
        const Outcome run = check({QStringLiteral("--check")});
        EXPECT_EQ(run.status, status) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.join(u'\n').toStdString();
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("kurierix: ") + line)) << run.err.toStdString();
        EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
        if (status == 4) {
            EXPECT_EQ(contents(m_database), database);
        }
        EXPECT_EQ(rows(m_database), parcelsBefore);
        EXPECT_FALSE(TSQLiteDatabase(m_database.toStdString()).HasTable("kurierix_seen"));
    };

    // A live process holds it.
    {
        QLockFile held(lock);
        ASSERT_TRUE(held.tryLock(0));
        refusedForTheLock(4, QStringLiteral("базу данных database.db уже проверяет другой процесс (PID %1)")
                                 .arg(QCoreApplication::applicationPid()));
    }
    EXPECT_EQ(entries(), entriesBefore);

    // A folder with something in it is no lock of anyone's, and no run removes what it holds.
    ASSERT_TRUE(QDir().mkpath(lock + QStringLiteral("/inside")));
    refusedForTheLock(6, QStringLiteral("Проверка не начата: файл блокировки %1 остался от прерванной проверки или "
                                        "испорчен, и заменить его не удалось. Удалите его и начните проверку снова (")
                             .arg(lock));
    EXPECT_EQ(runs(m_database), QStringList{QStringLiteral("terminal|page|0|0|lock-unavailable|6")});
    ASSERT_TRUE(QDir(lock).removeRecursively());

    // A folder where no lock file can be made: no run without the lock.
    {
        ImmutableFlag readOnly(m_dir.path());
        if (!readOnly.isSet())
            GTEST_SKIP() << readOnly.why().toStdString();
        refusedForTheLock(6, QStringLiteral("Проверка не начата: в папке %1 не удалось создать файл блокировки %2, без "
                                            "которого проверка не идёт. Разрешите запись в эту папку (")
                                 .arg(m_dir.path(), lock));
    }
    EXPECT_EQ(entries(), entriesBefore);

    // Whatever a killed run, a power cut or a person left there and nobody holds.
    const QString elsewhere = m_dir.filePath(QStringLiteral("elsewhere.txt"));
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    ASSERT_TRUE(write(elsewhere, "not to be touched\n"));
    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    QFile pidMax(QStringLiteral("/proc/sys/kernel/pid_max"));
    ASSERT_TRUE(pidMax.open(QIODevice::ReadOnly));
    const QByteArray noProcess = pidMax.readAll().trimmed(); // above every process id
    const std::vector<std::pair<const char*, std::function<bool()>>> leftovers = {
        {"an empty file", [&] { return write(lock, {}); }},
        {"other text", [&] { return write(lock, "nothing of ours\n"); }},
        {"a process that is gone", [&] { return write(lock, noProcess + "\nkurierix\n" + host + "\n"); }},
        {"a live process that holds no lock",
         [&] { return write(lock, QByteArray::number(QCoreApplication::applicationPid()) + "\nkurierix\n" + host); }},
        {"a file nobody may read", [&] { return write(lock, "1\n") && QFile::setPermissions(lock, {}); }},
        {"a link to another file", [&] { return QFile::link(elsewhere, lock); }},
        {"a link to nothing", [&] { return QFile::link(m_dir.filePath(QStringLiteral("nothing")), lock); }},
        {"an empty folder", [&] { return QDir().mkdir(lock); }},
        {"a pipe", [&] { return ::mkfifo(QFile::encodeName(lock).constData(), 0644) == 0; }},
    };
    for (const auto& [what, leave] : leftovers) {
        ASSERT_TRUE(leave()) << what;
        const Outcome run = check({QStringLiteral("--check"), QStringLiteral("--quiet")});
        EXPECT_EQ(run.status, 3) << what << ": " << run.err.toStdString();
        EXPECT_FALSE(QFileInfo(lock).exists() || QFileInfo(lock).isSymLink()) << what;
    }
    EXPECT_EQ(contents(elsewhere), "not to be touched\n");
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
    EXPECT_TRUE(program.readAllStandardError().isEmpty());
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
