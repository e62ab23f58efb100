// `kurierix --check` on both roads to the answers, the tracking page (through the site double)
// and the tracking service (through the service double over HTTPS), with the same events: the
// same log, the same stored texts. The service's run needs neither the browser engine nor a
// graphical platform.
#include "support/TestSupport.h"
#include "support/SampleEvents.h"

#include "store/ParcelStore.h"
#include "tools/servicedouble/ServiceDouble.h"
#include "tools/sitedouble/SiteDouble.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>

using testsupport::cp1251;
using testsupport::kFourEvents;

namespace {

enum class Road { Page, Service };

class CheckRoads : public ::testing::TestWithParam<Road>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_site.start());
        m_site.setAnswer(QStringLiteral("RR123456789CN"), kFourEvents);
        m_site.setNotFound(QStringLiteral("RA000000000BY"));
        ASSERT_TRUE(m_service.start(0, true, m_dir.filePath(QStringLiteral("service.pem"))));
        QList<ServiceDouble::Step> newestFirst;
        for (const SiteDouble::Event& event : kFourEvents)
            newestFirst.prepend({event.date, -1, event.event, event.office, {}});
        m_service.setSteps(QStringLiteral("RR123456789CN"), newestFirst);
        // Long enough to look at the running program.
        m_service.setLatency(std::chrono::milliseconds(300));

        ParcelStore store;
        ASSERT_EQ(store.open(m_dir.filePath(QStringLiteral("database.db")).toStdString()),
                  ParcelStore::OpenResult::Created);
        store.insert(Parcel::typed(QStringLiteral("RR123456789CN"), QStringLiteral("AliExpress"),
                                   QStringLiteral("Чехол для телефона")));
        store.insert(Parcel::typed(QStringLiteral("RA000000000BY")));
    }

    void start(QProcess& program, const QStringList& arguments = {QStringLiteral("--check")},
               const std::function<void(QProcessEnvironment&)>& adjust = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const bool page = GetParam() == Road::Page;
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "KURIERIX_TRACKING_URL",
                                 "KURIERIX_SOURCE", "KURIERIX_SERVICE_URL"})
            environment.remove(QString::fromLatin1(name));
        if (page)
            environment.insert(QStringLiteral("KURIERIX_TRACKING_URL"), m_site.url());
        else
            environment.insert(QStringLiteral("KURIERIX_SERVICE_URL"), m_service.url());
        environment.insert(QStringLiteral("KURIERIX_SERVICE_CA"), m_dir.filePath(QStringLiteral("service.pem")));
        environment.insert(QStringLiteral("KURIERIX_PROBE"),
                           QStringLiteral("127.0.0.1:%1").arg(page ? m_site.port() : m_service.port()));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir.filePath(QStringLiteral("cache")));
        if (adjust)
            adjust(environment);
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(m_dir.path());
        program.start(QStringLiteral(KURIERIX_PROGRAM), arguments);
    }

    struct Ended
    {
        int status = -1;
        QStringList out;
        QString err;
    };

    Ended run(const QStringList& arguments, const std::function<void(QProcessEnvironment&)>& adjust = {})
    {
        QProcess program;
        start(program, arguments, adjust);
        EXPECT_TRUE(
            testsupport::waitUntil([&] { return program.state() == QProcess::NotRunning; }, std::chrono::seconds(90)));
        return {program.exitCode(), QString::fromUtf8(program.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts),
                QString::fromUtf8(program.readAllStandardError())};
    }

    QStringList stored()
    {
        ParcelStore store;
        EXPECT_EQ(store.open(m_dir.filePath(QStringLiteral("database.db")).toStdString()),
                  ParcelStore::OpenResult::Opened);
        QStringList found;
        const auto table = store.database().Query("SELECT s_status, s_trackfull, s_date FROM tracks ORDER BY id");
        for (; !table->AtEnd(); table->NextRow()) {
            for (int c = 0; c < table->ColumnCount(); ++c)
                found += testsupport::fromCp1251(table->FieldText(c));
        }
        return found;
    }

    QTemporaryDir m_dir;
    SiteDouble m_site;
    ServiceDouble m_service;
};

TEST_P(CheckRoads, TheSameEventsGiveTheSameLogAndTheSameStoredTexts)
{
    QProcess program;
    start(program);
    if (GetParam() == Road::Service) {
        // While the program waits for its first answer: the network module is mapped, the browser
        // engine and a platform plugin are not.
        ASSERT_TRUE(testsupport::waitUntil([&] { return !m_service.requests().isEmpty(); }));
        QFile maps(QStringLiteral("/proc/%1/maps").arg(program.processId()));
        ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        EXPECT_TRUE(mapped.contains("kurierix-service"));
        EXPECT_FALSE(mapped.contains("WebEngine"));
        EXPECT_FALSE(mapped.contains("/platforms/"));
    }
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return program.state() == QProcess::NotRunning; }, std::chrono::seconds(90)));
    const QString err = QString::fromUtf8(program.readAllStandardError());
    EXPECT_EQ(program.exitCode(), 0) << err.toStdString();
    QStringList out = QString::fromUtf8(program.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);

    const QStringList expected = {
        QStringLiteral(" Проверка интернета..."),   QStringLiteral(" Сайт БелПочты доступен"),
        QStringLiteral("- посылка №RR123456789CN"), QStringLiteral("- отправка данных"),
        QStringLiteral("- получение данных"),       QStringLiteral("- посылка №RA000000000BY"),
        QStringLiteral("- отправка данных"),        QStringLiteral("- получение данных"),
        QStringLiteral("- нет данных по номеру")};
    ASSERT_GT(out.size(), expected.size()) << out.join(u'\n').toStdString();
    EXPECT_EQ(out.mid(0, expected.size()), expected);
    EXPECT_TRUE(
        out[expected.size()].contains(QRegularExpression(QStringLiteral("^ Время работы \\(сек\\) [0-9.,]+$"))));

    QString history;
    for (const SiteDouble::Event& event : kFourEvents)
        history += (history.isEmpty() ? QString() : QStringLiteral("\r\n")) + event.date + u' ' + event.event + u' '
                   + event.office + u' ';
    EXPECT_EQ(stored(), (QStringList{QStringLiteral("2013-04-02 10:40:00 Вручение адресату 220030 \r\n"), history,
                                     QStringLiteral("2013-03-16 12:30:00"), QStringLiteral("Пока, нет информации!"),
                                     QString(), QString()}));
}

// An archived parcel is neither asked about nor written on either road, and `--list` marks it.
TEST_P(CheckRoads, AnArchivedParcelIsLeftOutAndTheListMarksIt)
{
    {
        ParcelStore store;
        ASSERT_EQ(store.open(m_dir.filePath(QStringLiteral("database.db")).toStdString()),
                  ParcelStore::OpenResult::Opened);
        store.setArchived({2}, true);
    }
    QProcess program;
    start(program);
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return program.state() == QProcess::NotRunning; }, std::chrono::seconds(90)));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("- посылка №RR123456789CN"))) << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("RA000000000BY"))) << out.toStdString();
    EXPECT_EQ(stored().mid(3), (QStringList{QString(), QString(), QString()}));

    program.start(QStringLiteral(KURIERIX_PROGRAM), {QStringLiteral("--list"), QStringLiteral("--csv")});
    ASSERT_TRUE(program.waitForFinished(30000));
    const QStringList records = QString::fromUtf8(program.readAllStandardOutput()).split(QStringLiteral("\r\n"));
    ASSERT_GE(records.size(), 3);
    EXPECT_TRUE(records[0].endsWith(QStringLiteral(",в архиве"))) << records[0].toStdString();
    EXPECT_TRUE(records[1].endsWith(u',')) << records[1].toStdString();
    EXPECT_TRUE(records[2].endsWith(QStringLiteral(",да"))) << records[2].toStdString();
    program.start(QStringLiteral(KURIERIX_PROGRAM), {QStringLiteral("--list")});
    ASSERT_TRUE(program.waitForFinished(30000));
    const QStringList lines = QString::fromUtf8(program.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    // The table, and under it what the run did.
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("в архиве")));
    EXPECT_FALSE(lines[1].endsWith(QStringLiteral("да")));
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral("да")));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("Последняя проверка: "))) << lines[3].toStdString();
}

using ServiceCheck = CheckRoads;

// Answers of a shape this version does not read are never passed over in silence: the summary
// says so beside the changed parcels, the status is 7, and each answer is kept whole to be sent on.
TEST_P(ServiceCheck, AnswersItCannotReadAreSaidKeptAndEndWithSeven)
{
    const QByteArray drifted =
        R"({"data":[{"number":"RR123456789CN","steps":[{"code":{"id":1},"event":"E","timestamp":1}]}]})";
    m_service.setRawAnswer(QStringLiteral("RR123456789CN"), 200, drifted);
    m_service.setMode(QStringLiteral("RA000000000BY"), ServiceDouble::Mode::Html);
    const QString folder = m_dir.filePath(QStringLiteral("cache/kurierix/unreadable"));

    const Ended all = run({QStringLiteral("--check"), QStringLiteral("--quiet")});
    EXPECT_EQ(all.status, 7) << all.err.toStdString();
    EXPECT_EQ(all.out, (QStringList{QStringLiteral("Ответы сайта по 2 из 2 посылок не удалось прочитать: данные этих "
                                                   "посылок не изменены."),
                                    QStringLiteral("Такие ответы сохранены в папке %1: обновите программу или "
                                                   "отправьте файл ответа её разработчикам.")
                                        .arg(folder)}));
    const QStringList copies = QDir(folder).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(copies.size(), 2);
    QFile first(QDir(folder).filePath(copies[0]));
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    const QByteArray content = first.readAll();
    EXPECT_TRUE(content.contains("number: RR123456789CN\nroad: service\n")) << content.toStdString();
    EXPECT_TRUE(content.endsWith("\n\n" + drifted)) << content.toStdString();
    EXPECT_EQ(stored(), QStringList(6, QString()));

    // One of two: the changed parcel's line, then the sentence.
    m_service.setMode(QStringLiteral("RA000000000BY"), ServiceDouble::Mode::Steps);
    const Ended one = run({QStringLiteral("--check"), QStringLiteral("--quiet")});
    EXPECT_EQ(one.status, 7);
    ASSERT_EQ(one.out.size(), 3) << one.out.join(u'\n').toStdString();
    EXPECT_EQ(one.out[0], QStringLiteral("Новый статус: RA000000000BY: Пока, нет информации!"));
    EXPECT_EQ(one.out[1], QStringLiteral("Ответ сайта по 1 из 2 посылок не удалось прочитать: данные этой посылки не "
                                         "изменены."));

    // A certificate that does not hold stops the run, and the summary says so; a certificates file
    // that is missing is said first.
    const Ended untrusted = run({QStringLiteral("--check"), QStringLiteral("--quiet")}, [](QProcessEnvironment& env) {
        env.insert(QStringLiteral("KURIERIX_SERVICE_CA"), QStringLiteral("/nonexistent/service.pem"));
    });
    EXPECT_EQ(untrusted.status, 3);
    EXPECT_EQ(untrusted.out, QStringList{QStringLiteral("Посылки не проверены: сертификат службы недействителен, "
                                                        "проверка остановлена.")});
    EXPECT_TRUE(untrusted.err.contains(QStringLiteral("KURIERIX_SERVICE_CA=\"/nonexistent/service.pem\"")))
        << untrusted.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(ServiceRoad, ServiceCheck, ::testing::Values(Road::Service));

INSTANTIATE_TEST_SUITE_P(BothRoads, CheckRoads, ::testing::Values(Road::Page, Road::Service),
                         [](const ::testing::TestParamInfo<Road>& info) {
                             return info.param == Road::Page ? "Page" : "Service";
                         });

} // namespace
