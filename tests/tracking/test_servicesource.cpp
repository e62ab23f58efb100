// The tracking service as a tracking source, through its module against the service double:
// the texts it stores for the page's four events, and what each of the service's answers does.
// Which road a run takes, from the environment.
#include "support/TestSupport.h"

#include "tools/servicedouble/ServiceDouble.h"
#include "tracking/ServiceAnswer.h"
#include "tracking/ServiceSource.h"
#include "tracking/TrackingRoad.h"
#include "tracking/extraction/Extraction.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <chrono>
#include <fstream>
#include <sstream>

namespace {

using Mode = ServiceDouble::Mode;
using Kind = TrackingAnswer::Kind;
const QString kNumber = QStringLiteral("RR123456789CN");

qint64 minskSeconds(const char* dateTime)
{
    QDateTime at = QDateTime::fromString(QString::fromLatin1(dateTime), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    at.setTimeZone(QTimeZone(3 * 3600));
    return at.toSecsSinceEpoch();
}

// The four events of the captured tracking page, as the service tells them: out of order, one
// time as text, one step with its date only, offices split into postcode and place.
QList<ServiceDouble::Step> pageEventsAsSteps()
{
    ServiceDouble::Step first{{},
                              minskSeconds("2013-03-16 12:30:00"),
                              QStringLiteral("Получение отправления от отправителя"),
                              {},
                              QStringLiteral("100614*")};
    ServiceDouble::Step second{QStringLiteral("2013-03-17 14:16:00"),
                               -1,
                               QStringLiteral("Отправка отправления из учреждения обмена"),
                               QStringLiteral("BEIJING"),
                               {}};
    ServiceDouble::Step third{{},
                              minskSeconds("2013-03-29 09:05:00"),
                              QStringLiteral("Поступление в учреждение обмена"),
                              QStringLiteral("PI 2"),
                              QStringLiteral("MINSK")};
    ServiceDouble::Step fourth{{},
                               minskSeconds("2013-04-02 10:47:00"),
                               QStringLiteral("Поступление в учреждение доставки"),
                               QStringLiteral("90"),
                               QStringLiteral("МИНСК")};
    return {fourth, second, first, third};
}

class ServiceSourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("KURIERIX_SERVICE_MODULE", KURIERIX_SERVICE_MODULE_BUILT);
        ASSERT_TRUE(m_dir.isValid());
    }

    void start(bool https = false)
    {
        ASSERT_TRUE(m_service.start(0, https, m_dir.filePath(QStringLiteral("service.pem"))));
        m_service.setSteps(kNumber, pageEventsAsSteps());
    }

    std::unique_ptr<ServiceSource> source(bool trustCertificate = true)
    {
        auto made = std::make_unique<ServiceSource>(
            ServiceEndpoint{QUrl(m_service.url()), "127.0.0.1", m_service.port(),
                            trustCertificate ? m_dir.filePath(QStringLiteral("service.pem")) : QString()});
        CheckLimits limits;
        limits.searchMs = 1500;
        made->setLimits(limits);
        made->setStopCondition([] { return false; });
        made->prepare();
        return made;
    }

    Kind ask(ServiceSource& from, const QString& number) { return from.ask(number, {}).kind; }

    QTemporaryDir m_dir;
    ServiceDouble m_service;
};

TEST_F(ServiceSourceTest, FoundStepsGiveThePageTextsOfTheSameEventsOverHttpsWithoutCookies)
{
    start(true);
    const auto service = source();
    bool sent = false;
    const TrackingAnswer answer = service->ask(kNumber, [&sent] { sent = true; });
    EXPECT_TRUE(sent);
    ASSERT_EQ(answer.kind, Kind::Found);

    std::ifstream file(testsupport::dataPath("page_four_events.html"), std::ios::binary);
    std::stringstream page;
    page << file.rdbuf();
    const ExtractedResults fromPage = ExtractResults(page.str());
    EXPECT_EQ(answer.status, testsupport::fromCp1251(fromPage.status));
    EXPECT_EQ(answer.history, testsupport::fromCp1251(fromPage.history));
    EXPECT_EQ(answer.firstDate, QStringLiteral("2013-03-16 12:30:00"));

    // The service's texts are text, not markup; what Windows-1251 lacks becomes "?".
    m_service.setSteps(QStringLiteral("RB1"), {{QStringLiteral("2024-05-01 08:00:00"),
                                                -1,
                                                QStringLiteral("<b>Вручено</b> & 😀"),
                                                {},
                                                QStringLiteral("220030")}});
    const TrackingAnswer marked = service->ask(QStringLiteral("RB1"), {});
    EXPECT_EQ(marked.history, QStringLiteral("2024-05-01 08:00:00 <b>Вручено</b> & ? 220030 "));

    const QList<ServiceDouble::Request> requests = m_service.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].body, QByteArrayLiteral(R"({"number":"RR123456789CN"})"));
    EXPECT_EQ(requests[0].contentType, QByteArrayLiteral("application/json"));
    EXPECT_TRUE(requests[0].userAgent.startsWith("Kurierix/")) << requests[0].userAgent.constData();
    EXPECT_TRUE(requests[1].cookie.isEmpty()) << requests[1].cookie.constData();
}

TEST_F(ServiceSourceTest, NoDataNoStepsAndNotParsedFindNothing)
{
    start();
    m_service.setSteps(QStringLiteral("NODATA"), {});
    m_service.setMode(QStringLiteral("NOSTEPS"), Mode::EmptySteps);
    m_service.setMode(QStringLiteral("BAD"), Mode::NotParsed);
    const auto service = source();
    for (const char* number : {"NODATA", "NOSTEPS", "BAD"})
        EXPECT_EQ(ask(*service, QString::fromLatin1(number)), Kind::NothingFound) << number;
}

TEST_F(ServiceSourceTest, AnswersThatAreNotTheServicesJsonAreUnreadable)
{
    start();
    const auto service = source();
    for (const Mode mode : {Mode::Html, Mode::WrongTypes, Mode::CutShort, Mode::Huge}) {
        m_service.setMode(kNumber, mode);
        EXPECT_EQ(ask(*service, kNumber), Kind::Unreadable) << static_cast<int>(mode);
    }
}

TEST_F(ServiceSourceTest, BusyAnswersAreAskedAgainOnceNoSoonerThanTheySay)
{
    start();
    m_service.setMode(kNumber, Mode::RetryAfter, 1);
    m_service.setMode(QStringLiteral("BUSY"), Mode::Unavailable, 0);
    m_service.setMode(QStringLiteral("LATER"), Mode::Unavailable, ServiceSource::kMaxRetryAfterSeconds + 1);
    const auto service = source();

    EXPECT_EQ(ask(*service, kNumber), Kind::Found);
    const QList<ServiceDouble::Request> asked = m_service.requests();
    ASSERT_EQ(asked.size(), 2);
    EXPECT_GE(asked[1].at - asked[0].at, std::chrono::seconds(1));

    EXPECT_EQ(ask(*service, QStringLiteral("BUSY")), Kind::NoAnswer);
    EXPECT_EQ(m_service.requestCount(QStringLiteral("BUSY")), 2);
    EXPECT_EQ(ask(*service, QStringLiteral("LATER")), Kind::NoAnswer);
    EXPECT_EQ(m_service.requestCount(QStringLiteral("LATER")), 1);
}

TEST_F(ServiceSourceTest, ErrorsSilenceAndDropsPassTheNumberOverAndThreeInARowEndTheRun)
{
    start();
    m_service.setMode(QStringLiteral("ERROR"), Mode::ServerError);
    m_service.setMode(QStringLiteral("SLOW"), Mode::Slow);
    m_service.setMode(QStringLiteral("DROPPED"), Mode::Dropped);
    const auto service = source();
    EXPECT_EQ(ask(*service, QStringLiteral("ERROR")), Kind::NoAnswer);
    EXPECT_EQ(ask(*service, QStringLiteral("SLOW")), Kind::NoAnswer);
    EXPECT_EQ(ask(*service, kNumber), Kind::Found); // an answer ends the row of silent numbers
    EXPECT_EQ(ask(*service, QStringLiteral("DROPPED")), Kind::NoAnswer);
    EXPECT_EQ(ask(*service, QStringLiteral("ERROR")), Kind::NoAnswer);
    try {
        service->ask(QStringLiteral("SLOW"), {});
        ADD_FAILURE() << "the third number in a row without an answer did not end the run";
    } catch (const TrackingSourceError& error) {
        EXPECT_EQ(error.kind(), TrackingSourceError::Kind::Failed);
        EXPECT_TRUE(error.sentence().contains(QStringLiteral("трём посылкам подряд")))
            << error.sentence().toStdString();
    }
}

TEST_F(ServiceSourceTest, UntrustedCertificatesAndRedirectsAwayEndTheRun)
{
    start(true);
    const auto untrusting = source(false);
    try {
        untrusting->ask(kNumber, {});
        ADD_FAILURE() << "an untrusted certificate was accepted";
    } catch (const TrackingSourceError& error) {
        EXPECT_TRUE(error.sentence().startsWith(QStringLiteral("Сертификат"))) << error.sentence().toStdString();
    }
    EXPECT_EQ(m_service.requestCount(kNumber), 0);

    const auto service = source();
    for (const Mode mode : {Mode::RedirectElsewhere, Mode::RedirectToHttp}) {
        m_service.setMode(kNumber, mode);
        try {
            service->ask(kNumber, {});
            ADD_FAILURE() << "a redirect was taken " << static_cast<int>(mode);
        } catch (const TrackingSourceError& error) {
            EXPECT_TRUE(error.sentence().contains(QStringLiteral("перенаправила"))) << error.sentence().toStdString();
        }
    }
}

class TrackingRoadTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        for (const char* name : {"KURIERIX_SOURCE", "KURIERIX_TRACKING_URL", "KURIERIX_SERVICE_URL", "KURIERIX_PROBE"})
            qunsetenv(name);
    }
};

TEST_F(TrackingRoadTest, TheServiceUnlessAPageIsNamedOrAskedFor)
{
    const Endpoints operatorPage = Endpoints::postalOperator();
    EXPECT_EQ(chooseTrackingRoad(operatorPage), TrackingRoad::Service);
    EXPECT_EQ(chooseTrackingRoad({"http://127.0.0.1:8123/", "127.0.0.1", 8123}), TrackingRoad::Page);
    qputenv("KURIERIX_TRACKING_URL", "http://127.0.0.1:8123/");
    EXPECT_EQ(chooseTrackingRoad(operatorPage), TrackingRoad::Page);
    qputenv("KURIERIX_SOURCE", "service");
    EXPECT_EQ(chooseTrackingRoad(operatorPage), TrackingRoad::Service);
    qunsetenv("KURIERIX_TRACKING_URL");
    qputenv("KURIERIX_SOURCE", "page");
    EXPECT_EQ(chooseTrackingRoad(operatorPage), TrackingRoad::Page);
}

TEST_F(TrackingRoadTest, TheServiceIsProbedOnItsOwnHostUnlessOverridden)
{
    ServiceEndpoint endpoint = ServiceEndpoint::fromEnvironment();
    EXPECT_EQ(endpoint.url.toString(), QStringLiteral("https://api.belpost.by/api/v1/tracking"));
    EXPECT_EQ(endpoint.probeHost, "api.belpost.by");
    EXPECT_EQ(endpoint.probePort, 443);

    qputenv("KURIERIX_SERVICE_URL", "http://127.0.0.1:8124/api/v1/tracking");
    endpoint = ServiceEndpoint::fromEnvironment();
    EXPECT_EQ(endpoint.url.port(), 8124);
    EXPECT_EQ(endpoint.probeHost, "127.0.0.1");
    EXPECT_EQ(endpoint.probePort, 8124);
    qputenv("KURIERIX_PROBE", "127.0.0.1:9000");
    EXPECT_EQ(ServiceEndpoint::fromEnvironment().probePort, 9000);
}

} // namespace

namespace {

QByteArray oneStep(const char* fields)
{
    return QByteArrayLiteral(R"({"data":[{"number":"RR1","steps":[{)") + fields + "}]}]}";
}

TEST(ServiceAnswer, LenientWhereTheShapeMayDriftStrictWhereItWouldStoreWrongData)
{
    // Unknown fields, numbers as text, null texts, either of the two times.
    const TrackingAnswer drifted =
        readServiceAnswer(oneStep(R"("code":"12","new":{"x":1},"event":"Вручено","place":null,"place_index":"220030",)"
                                  R"("timestamp":"1364805000")"),
                          QStringLiteral("RR1"));
    ASSERT_EQ(drifted.kind, TrackingAnswer::Kind::Found);
    EXPECT_EQ(drifted.history, QStringLiteral("2013-04-01 11:30:00 Вручено 220030 "));
    EXPECT_EQ(
        readServiceAnswer(oneStep(R"("event":"Вручено","created_at":"2013-04-01 11:30:00")"), QStringLiteral("RR1"))
            .history,
        QStringLiteral("2013-04-01 11:30:00 Вручено  "));

    for (const char* fields : {R"("event":"Вручено")", R"("event":"Вручено","created_at":"01.04.2013 11:30")",
                               R"("event":"Вручено","timestamp":"soon")", R"("event":"Вручено","timestamp":1e300)",
                               R"("event":"Вручено","timestamp":1.5)", R"("event":7,"timestamp":1)",
                               R"("event":"a","code":[],"timestamp":1)"})
        EXPECT_EQ(readServiceAnswer(oneStep(fields), QStringLiteral("RR1")).kind, TrackingAnswer::Kind::Unreadable)
            << fields;
    for (const char* body : {R"({"data":{}})", R"({"data":[7]})", R"({"data":[{"steps":{}}]})", "[]", ""})
        EXPECT_EQ(readServiceAnswer(body, QStringLiteral("RR1")).kind, TrackingAnswer::Kind::Unreadable) << body;
}

} // namespace
