// The tracking service as a tracking source, through its module against the service double:
// the texts it stores for the page's four events, and what each of the service's answers does.
// Which road a run takes, from the environment.
#include "support/TestSupport.h"

#include "tools/servicedouble/ServiceDouble.h"
#include "tracking/service/HttpDate.h"
#include "tracking/service/ServiceAnswer.h"
#include "tracking/service/ServiceModule.h"
#include "tracking/service/ServiceSource.h"
#include "tracking/CheckWords.h"
#include "tracking/TrackingRoad.h"
#include "tracking/extraction/Extraction.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTimer>

#include <chrono>
#include <fstream>
#include <sstream>
#include <vector>

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
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    void start(bool https = false)
    {
        ASSERT_TRUE(m_service.start(0, https, m_dir.filePath(QStringLiteral("service.pem"))));
        m_service.setSteps(kNumber, pageEventsAsSteps());
    }

    std::unique_ptr<ServiceSource> source(bool trustCertificate = true, int paceMs = 0)
    {
        ServiceEndpoint endpoint;
        endpoint.url = QUrl(m_service.url());
        endpoint.probeHost = "127.0.0.1";
        endpoint.probePort = m_service.port();
        endpoint.extraCaFile = trustCertificate ? m_dir.filePath(QStringLiteral("service.pem")) : QString();
        endpoint.paceMs = paceMs;
        auto made = std::make_unique<ServiceSource>(endpoint, [](const QString& extraCaFile) {
            return ServiceModule::createTransport(QStringLiteral(KURIERIX_SERVICE_MODULE_BUILT), extraCaFile);
        });
        made->setLimits(m_limits);
        made->setStopCondition([this] { return m_stop; });
        made->setReporter([this](const SourceNotice& notice) {
            EXPECT_EQ(notice.kind, SourceNotice::Kind::Waiting);
            m_waitsSaid.push_back(notice.seconds);
        });
        made->prepare();
        return made;
    }

    Kind ask(ServiceSource& from, const QString& number) { return from.ask(number, {}).kind; }

    QTemporaryDir m_dir;
    ServiceDouble m_service;
    CheckLimits m_limits = [] {
        CheckLimits limits;
        limits.searchMs = 1500;
        limits.serviceBackoffMs = 50;
        return limits;
    }();
    bool m_stop = false;
    std::vector<int> m_waitsSaid; // seconds
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
    EXPECT_EQ(m_waitsSaid, std::vector<int>{1});
}

TEST_F(ServiceSourceTest, BusyWithoutSayingHowLongBacksOffThreeTimesGrowingAndAStopEndsTheWait)
{
    start();
    m_service.setMode(kNumber, Mode::Throttled, 2);
    m_service.setMode(QStringLiteral("RB1"), Mode::Throttled, 4);
    const auto service = source();

    EXPECT_EQ(ask(*service, kNumber), Kind::Found); // on the third try
    QList<ServiceDouble::Request> asked = m_service.requests();
    ASSERT_EQ(asked.size(), 3);
    EXPECT_GE(asked[1].at - asked[0].at, std::chrono::milliseconds(50));
    EXPECT_GE(asked[2].at - asked[1].at, std::chrono::milliseconds(150));
    EXPECT_EQ(m_waitsSaid, std::vector<int>(2, 1));

    // Three waits, then the number counts as without an answer.
    EXPECT_EQ(ask(*service, QStringLiteral("RB1")), Kind::NoAnswer);
    EXPECT_EQ(m_service.requestCount(QStringLiteral("RB1")), 4);
    asked = m_service.requests();
    EXPECT_GE(asked[6].at - asked[5].at, std::chrono::milliseconds(450));

    // A stop ends a wait of an hour at once.
    m_limits.serviceBackoffMs = 3600 * 1000;
    service->setLimits(m_limits);
    m_service.setMode(QStringLiteral("RB2"), Mode::Throttled, 1);
    QTimer::singleShot(50, [this] { m_stop = true; });
    EXPECT_EQ(ask(*service, QStringLiteral("RB2")), Kind::NoAnswer);
    EXPECT_EQ(m_service.requestCount(QStringLiteral("RB2")), 1);
}

TEST_F(ServiceSourceTest, QuestionsAreSpacedByThePaceFromStartToStart)
{
    start();
    const auto service = source(true, 300);
    for (const char* number : {"RA1", "RA2", "RA3"})
        EXPECT_EQ(ask(*service, QString::fromLatin1(number)), Kind::NothingFound);
    // The pace counts from the program's start of one request to the next; the double sees them
    // arrive a connection set-up or a scheduling delay later, a few milliseconds at most.
    const auto arrival = std::chrono::milliseconds(20);
    const QList<ServiceDouble::Request> asked = m_service.requests();
    ASSERT_EQ(asked.size(), 3);
    EXPECT_GE(asked[1].at - asked[0].at, std::chrono::milliseconds(300) - arrival);
    EXPECT_GE(asked[2].at - asked[1].at, std::chrono::milliseconds(300) - arrival);
    // A new run starts without waiting for the last one's pace, however long it is.
    const auto slow = source(true, 600 * 1000);
    EXPECT_EQ(ask(*slow, QStringLiteral("RA4")), Kind::NothingFound);
    slow->finishRun();
    EXPECT_EQ(ask(*slow, QStringLiteral("RA5")), Kind::NothingFound);
    EXPECT_LT(m_service.requests().back().at - m_service.requests()[3].at, std::chrono::minutes(5));
}

TEST_F(ServiceSourceTest, AQuestionTurnedDownIsToldInTheServicesOwnWords)
{
    start();
    m_service.setRawAnswer(QStringLiteral("BAD"), 422,
                           R"({"message":"The given data was invalid.","errors":{"number":["Неверный номер.",)"
                           R"("Bad form."]}})");
    m_service.setRawAnswer(QStringLiteral("PLAIN"), 400, "Bad Request", "text/plain");
    m_service.setRawAnswer(QStringLiteral("GONE"), 404, R"({"message":"Not found"})");
    const auto service = source();
    const TrackingAnswer refused = service->ask(QStringLiteral("BAD"), {});
    EXPECT_EQ(refused.kind, Kind::Refused);
    EXPECT_EQ(refused.message, QStringLiteral("The given data was invalid. number: Неверный номер.; Bad form."));
    EXPECT_EQ(ask(*service, QStringLiteral("PLAIN")), Kind::NoAnswer);
    EXPECT_EQ(ask(*service, QStringLiteral("GONE")), Kind::NothingFound);
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
        EXPECT_EQ(error.failure(), SourceFailure::ServiceSilent);
    }
}

TEST_F(ServiceSourceTest, UntrustedCertificatesAndRedirectsAwayEndTheRunSayingWhy)
{
    start(true);
    const auto untrusting = source(false);
    try {
        untrusting->ask(kNumber, {});
        ADD_FAILURE() << "an untrusted certificate was accepted";
    } catch (const TrackingSourceError& error) {
        EXPECT_EQ(error.failure(), SourceFailure::ServiceCertificate);
    }
    EXPECT_EQ(m_service.requestCount(kNumber), 0);

    const auto service = source();
    for (const Mode mode : {Mode::RedirectElsewhere, Mode::RedirectOtherHost, Mode::RedirectToHttp}) {
        m_service.setMode(kNumber, mode);
        try {
            service->ask(kNumber, {});
            ADD_FAILURE() << "a redirect was taken " << static_cast<int>(mode);
        } catch (const TrackingSourceError& error) {
            EXPECT_EQ(error.failure(), SourceFailure::ServiceRedirected);
            if (mode == Mode::RedirectElsewhere) {
                EXPECT_TRUE(error.detail().contains(QStringLiteral("путь"))) << error.detail().toStdString();
            }
        }
    }
}

TEST(TrackingRoad, TheServiceUnlessAPageIsNamedOrAskedFor)
{
    const Endpoints operatorPage = Endpoints::postalOperator();
    TrackingSettings settings;
    EXPECT_EQ(chooseTrackingRoad(settings, operatorPage), TrackingRoad::Service);
    EXPECT_EQ(chooseTrackingRoad(settings, {"http://127.0.0.1:8123/", "127.0.0.1", 8123}), TrackingRoad::Page);
    settings.trackingUrl = QStringLiteral("http://127.0.0.1:8123/");
    EXPECT_EQ(chooseTrackingRoad(settings, operatorPage), TrackingRoad::Page);
    settings.source = QStringLiteral("service");
    EXPECT_EQ(chooseTrackingRoad(settings, operatorPage), TrackingRoad::Service);
    settings.trackingUrl.clear();
    settings.source = QStringLiteral("page");
    EXPECT_EQ(chooseTrackingRoad(settings, operatorPage), TrackingRoad::Page);
}

TEST(TrackingRoad, TheServiceIsProbedOnItsOwnHostUnlessOverridden)
{
    TrackingSettings settings;
    ServiceEndpoint endpoint = ServiceEndpoint::fromSettings(settings);
    EXPECT_EQ(endpoint.url.toString(), QStringLiteral("https://api.belpost.by/api/v1/tracking"));
    EXPECT_EQ(endpoint.probeHost, "api.belpost.by");
    EXPECT_EQ(endpoint.probePort, 443);

    settings.serviceUrl = QStringLiteral("http://127.0.0.1:8124/api/v1/tracking");
    endpoint = ServiceEndpoint::fromSettings(settings);
    EXPECT_EQ(endpoint.url.port(), 8124);
    EXPECT_EQ(endpoint.probeHost, "127.0.0.1");
    EXPECT_EQ(endpoint.probePort, 8124);
    settings.probe = QStringLiteral("127.0.0.1:9000");
    EXPECT_EQ(ServiceEndpoint::fromSettings(settings).probePort, 9000);
}

TEST(TrackingRoad, ThePaceAndACertificatesFileThatIsOfNoUseAreSaid)
{
    TrackingSettings settings;
    settings.servicePace = QStringLiteral("0");
    EXPECT_EQ(ServiceEndpoint::fromSettings(settings).paceMs, 0);
    settings.servicePace.clear();
    EXPECT_EQ(ServiceEndpoint::fromSettings(settings).paceMs, 1000);
    settings.servicePace = QStringLiteral("soon");
    EXPECT_EQ(ServiceEndpoint::fromSettings(settings).paceMs, 1000);

    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty.pem"));
    QFile(empty).open(QIODevice::WriteOnly);
    for (const QString& file : {dir.filePath(QStringLiteral("missing.pem")), empty}) {
        settings.serviceCaFile = file;
        const SourceProblem problem = ServiceEndpoint::fromSettings(settings).caProblem;
        EXPECT_EQ(problem.kind,
                  file == empty ? SourceProblem::Kind::CaFileNotPem : SourceProblem::Kind::CaFileUnreadable);
        const QString said = checkwords::sourceProblemText(problem);
        EXPECT_TRUE(said.contains(file) && said.endsWith(QStringLiteral("доверяются только системные сертификаты")))
            << said.toStdString();
    }
    ServiceDouble service;
    const QString made = dir.filePath(QStringLiteral("made.pem"));
    ASSERT_TRUE(service.start(0, true, made));
    settings.serviceCaFile = made;
    EXPECT_EQ(ServiceEndpoint::fromSettings(settings).caProblem.kind, SourceProblem::Kind::None);
}

} // namespace

namespace {

QByteArray oneStep(const char* fields)
{
    return QByteArrayLiteral(R"({"data":[{"number":"RR1","steps":[{)") + fields + "}]}]}";
}

TEST(ServiceAnswer, LenientWhereTheShapeMayDriftStrictWhereItWouldStoreWrongData)
{
    // 1364805000 is 2013-04-01 11:30:00 in Minsk.
    const struct
    {
        QByteArray body;
        const char* history; // nullptr: unreadable
    } shapes[] = {
        // Unknown fields, numbers as text, null texts, either of the two times.
        {oneStep(R"("code":"12","new":{"x":1},"event":"Вручено","place":null,"place_index":"220030",)"
                 R"("timestamp":"1364805000")"),
         "2013-04-01 11:30:00 Вручено 220030 "},
        {oneStep(R"("event":"Вручено","created_at":"2013-04-01 11:30:00")"), "2013-04-01 11:30:00 Вручено  "},
        // A postcode as a number; a code that is a word, or none.
        {oneStep(R"("code":"A1","event":"Вручено","place":"МИНСК","place_index":220030,"timestamp":1364805000)"),
         "2013-04-01 11:30:00 Вручено 220030 МИНСК "},
        // ISO 8601 in UTC, with an offset, with a fraction; converted to Minsk time.
        {oneStep(R"("event":"E","created_at":"2013-04-01T08:30:00Z")"), "2013-04-01 11:30:00 E  "},
        {oneStep(R"("event":"E","created_at":"2013-04-01T10:30:00+02:00")"), "2013-04-01 11:30:00 E  "},
        {oneStep(R"("event":"E","created_at":"2013-04-01T08:30:00.999999Z")"), "2013-04-01 11:30:00 E  "},
        {oneStep(R"("event":"E","created_at":"2013-04-01T11:30:00")"), "2013-04-01 11:30:00 E  "},
        // A fraction of a second in the timestamp; the timestamp before a created_at that differs.
        {oneStep(R"("event":"E","timestamp":1364805000.75)"), "2013-04-01 11:30:00 E  "},
        {oneStep(R"("event":"E","timestamp":1364805000,"created_at":"2020-01-01 00:00:00")"),
         "2013-04-01 11:30:00 E  "},
        // Steps of one second keep the order of events whichever way the list runs.
        {R"({"data":[{"number":"RR1","steps":[{"event":"C","timestamp":3000000000},{"event":"B","timestamp":2000000000},)"
         R"({"event":"A","timestamp":2000000000}]}]})",
         "2033-05-18 06:33:20 A  \r\n2033-05-18 06:33:20 B  \r\n2065-01-24 08:20:00 C  "},
        {R"({"data":[{"number":"RR1","steps":[{"event":"A","timestamp":2000000000},{"event":"B","timestamp":2000000000},)"
         R"({"event":"C","timestamp":3000000000}]}]})",
         "2033-05-18 06:33:20 A  \r\n2033-05-18 06:33:20 B  \r\n2065-01-24 08:20:00 C  "},
        // The entry for the number asked, case and blanks aside, among others; one without a
        // number only when it is alone.
        {R"({"data":[{"number":"RR2","steps":[{"event":"X","timestamp":1}]},)"
         R"({"number":" rr1 ","steps":[{"event":"E","timestamp":1364805000}]}]})",
         "2013-04-01 11:30:00 E  "},
        {R"({"data":[{"steps":[{"event":"E","timestamp":1364805000}]}]})", "2013-04-01 11:30:00 E  "},
        // Never another parcel's events.
        {R"({"data":[{"number":"RR2","steps":[{"event":"X","timestamp":1}]}]})", nullptr},
        {R"({"data":[{"steps":[{"event":"X","timestamp":1}]},{"steps":[]}]})", nullptr},
        // Whatever is not plain.
        {oneStep(R"("event":"Вручено")"), nullptr},
        {oneStep(R"("event":"Вручено","created_at":"01.04.2013 11:30")"), nullptr},
        {oneStep(R"("event":"E","created_at":"2013-02-30T10:00:00Z")"), nullptr},
        {oneStep(R"("event":"Вручено","timestamp":"soon")"), nullptr},
        {oneStep(R"("event":"Вручено","timestamp":1e300)"), nullptr},
        {oneStep(R"("event":"Вручено","timestamp":1364805000000)"), nullptr}, // milliseconds
        {oneStep(R"("event":7,"timestamp":1)"), nullptr},
        {oneStep(R"("event":"a","code":[],"timestamp":1)"), nullptr},
        {oneStep(R"("event":"a","code":{"id":1},"timestamp":1)"), nullptr},
        {oneStep(R"("event":"a","place_index":220030.5,"timestamp":1)"), nullptr},
        {R"({"data":{}})", nullptr},
        {R"({"data":[7]})", nullptr},
        {R"({"data":[{"steps":{}}]})", nullptr},
        {"[]", nullptr},
        {"", nullptr},
    };
    for (const auto& shape : shapes) {
        const TrackingAnswer answer = readServiceAnswer(shape.body, QStringLiteral("RR1"));
        const char* body = shape.body.constData();
        if (shape.history == nullptr) {
            EXPECT_EQ(answer.kind, TrackingAnswer::Kind::Unreadable) << body;
            EXPECT_NE(answer.unreadableReason.kind, UnreadableReason::Kind::None) << body;
            EXPECT_EQ(answer.received, shape.body);
        } else {
            EXPECT_EQ(answer.kind, TrackingAnswer::Kind::Found)
                << body << checkwords::unreadableDetail(answer.unreadableReason).toStdString();
            EXPECT_EQ(answer.history.toStdString(), shape.history) << body;
        }
    }
}

TEST(HttpDate, TheThreeFormsHttpAllowsTheUsualOneFirst)
{
    const QDateTime expected(QDate(1994, 11, 6), QTime(8, 49, 37), QTimeZone::utc());
    const QDateTime now(QDate(2026, 12, 8), QTime(0, 0), QTimeZone::utc());
    for (const char* form : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                             "Sun Nov  6 08:49:37 1994", " Sun, 06 Nov 1994 08:49:37 GMT "})
        EXPECT_EQ(parseHttpDate(form, now), expected) << form;
    // A two-digit year is never more than 50 years ahead.
    EXPECT_EQ(parseHttpDate("Friday, 01-Jan-66 00:00:00 GMT", now)->date().year(), 2066);
    EXPECT_EQ(parseHttpDate("Saturday, 01-Jan-77 00:00:00 GMT", now)->date().year(), 1977);
    for (const char* wrong : {"Sun, 06 Nov 1994 08:49:37 UTC", "Sun, 31 Feb 1994 08:49:37 GMT", "06 Nov 1994",
                              "Sun, 06 Nov 1994 25:49:37 GMT", "Sun Nov 6 08:49:37 1994", ""})
        EXPECT_FALSE(parseHttpDate(wrong, now)) << wrong;
}

} // namespace
