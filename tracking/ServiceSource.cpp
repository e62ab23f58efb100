#include "tracking/ServiceSource.h"

#include "tracking/Endpoints.h"
#include "tracking/ServiceAnswer.h"
#include "tracking/ServiceModule.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

#include <optional>
#include <utility>

namespace {

Q_LOGGING_CATEGORY(lcService, "kurierix")

// Redirects followed within the service's own address before the answer counts as none.
constexpr int kMaxRedirects = 3;

TrackingAnswer answerOf(TrackingAnswer::Kind kind)
{
    TrackingAnswer answer;
    answer.kind = kind;
    return answer;
}

// Retry-After as seconds from now: a number of seconds or an HTTP date.
std::optional<qint64> retryAfterSeconds(const QByteArray& header)
{
    const QByteArray value = header.trimmed();
    if (value.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint64 seconds = value.toLongLong(&ok);
    if (ok)
        return seconds >= 0 ? std::optional<qint64>(seconds) : std::nullopt;
    const QDateTime at = QDateTime::fromString(QString::fromLatin1(value), Qt::RFC2822Date);
    if (!at.isValid())
        return std::nullopt;
    return std::max<qint64>(0, QDateTime::currentDateTimeUtc().secsTo(at));
}

} // namespace

ServiceEndpoint ServiceEndpoint::postalOperator()
{
    return {QUrl(QStringLiteral("https://api.belpost.by/api/v1/tracking")), "api.belpost.by", 443, {}};
}

ServiceEndpoint ServiceEndpoint::fromEnvironment()
{
    ServiceEndpoint endpoint = postalOperator();
    const QString url = qEnvironmentVariable("KURIERIX_SERVICE_URL").trimmed();
    if (!url.isEmpty()) {
        const QUrl given(url);
        const QString scheme = given.scheme().toLower();
        if (given.isValid() && !given.host().isEmpty() && (scheme == u"https" || scheme == u"http")) {
            endpoint.url = given;
            endpoint.probeHost = given.host().toStdString();
            endpoint.probePort = given.port(scheme == u"https" ? 443 : 80);
        } else {
            qCWarning(lcService,
                      "значение KURIERIX_SERVICE_URL=\"%s\" не является адресом http:// или https://: "
                      "используется адрес службы БелПочты",
                      qPrintable(url));
        }
    }
    const QByteArray probe = qgetenv("KURIERIX_PROBE").trimmed();
    if (!probe.isEmpty() && !Endpoints::parseHostPort(probe.toStdString(), endpoint.probeHost, endpoint.probePort))
        qCWarning(lcService,
                  "значение KURIERIX_PROBE=\"%s\" не имеет вида хост:порт (порт от 1 до 65535): связь проверяется с "
                  "%s:%d",
                  probe.constData(), endpoint.probeHost.c_str(), endpoint.probePort);
    endpoint.extraCaFile = qEnvironmentVariable("KURIERIX_SERVICE_CA");
    return endpoint;
}

ServiceSource::ServiceSource(ServiceEndpoint endpoint, TransportFactory transportFactory)
    : m_endpoint(std::move(endpoint)), m_transportFactory(std::move(transportFactory))
{
    if (!m_transportFactory)
        m_transportFactory = [](const QString& extraCaFile) { return ServiceModule::createTransport(extraCaFile); };
}

ServiceSource::~ServiceSource() = default;

void ServiceSource::setStopCondition(std::function<bool()> stopRequested)
{
    m_stopRequested = std::move(stopRequested);
    m_wait.setStopCondition(m_stopRequested);
}

bool ServiceSource::stopped() const
{
    return m_stopRequested && m_stopRequested();
}

void ServiceSource::prepare()
{
    if (!m_transport)
        m_transport = m_transportFactory(m_endpoint.extraCaFile);
}

void ServiceSource::finishRun()
{
    // Nothing of a run is kept: no connection, and no count of numbers without an answer.
    m_transport.reset();
    m_silentInRow = 0;
}

TrackingAnswer ServiceSource::noAnswer(const std::string& detail)
{
    if (++m_silentInRow >= kSilentNumbersEndingRun)
        throw TrackingSourceError(TrackingSourceError::Kind::Failed,
                                  QStringLiteral("Служба отслеживания БелПочты не ответила по трём посылкам подряд: "
                                                 "повторите проверку позже"),
                                  detail);
    return answerOf(TrackingAnswer::Kind::NoAnswer);
}

// One request, following redirects within the service's own address. A redirect elsewhere, or
// from https to http, ends the run: the answer would come from someone else.
ServiceReply ServiceSource::exchange(const QByteArray& json)
{
    static const QByteArray userAgent = QByteArrayLiteral("Kurierix/" KURIERIX_VERSION);
    QUrl url = m_endpoint.url;
    for (int hop = 0;; ++hop) {
        const QDeadlineTimer deadline(m_limits.searchMs, Qt::PreciseTimer);
        ServiceReply reply = m_transport->post(url, json, userAgent, deadline, kMaxAnswerBytes, m_stopRequested);
        if (reply.kind != ServiceReply::Kind::Answered || reply.status < 300 || reply.status > 399)
            return reply;
        const QUrl target = url.resolved(QUrl::fromEncoded(reply.location));
        if (target.host().compare(url.host(), Qt::CaseInsensitive) != 0
            || target.scheme().compare(url.scheme(), Qt::CaseInsensitive) != 0 || target.port() != url.port())
            throw TrackingSourceError(TrackingSourceError::Kind::Failed,
                                      QStringLiteral("Служба отслеживания БелПочты перенаправила запрос на чужой или "
                                                     "незащищённый адрес, проверка остановлена"),
                                      "redirect to " + target.toString().toStdString());
        if (hop + 1 >= kMaxRedirects)
            return reply;
        url = target;
    }
}

TrackingAnswer ServiceSource::ask(const QString& number, const std::function<void()>& sent)
{
    prepare();
    const QByteArray json =
        QJsonDocument(QJsonObject{{QStringLiteral("number"), number}}).toJson(QJsonDocument::Compact);
    if (sent)
        sent();
    bool askedAgain = false;
    for (;;) {
        const ServiceReply reply = exchange(json);
        switch (reply.kind) {
        case ServiceReply::Kind::Stopped:
            return answerOf(TrackingAnswer::Kind::NoAnswer);
        case ServiceReply::Kind::Insecure:
            throw TrackingSourceError(TrackingSourceError::Kind::Failed,
                                      QStringLiteral("Сертификат службы отслеживания БелПочты недействителен, "
                                                     "проверка остановлена"),
                                      reply.detail);
        case ServiceReply::Kind::NoAnswer:
            return noAnswer(reply.detail);
        case ServiceReply::Kind::Answered:
            break;
        }

        if (reply.status == 200) {
            m_silentInRow = 0;
            if (reply.bodyTooLarge)
                return answerOf(TrackingAnswer::Kind::Unreadable);
            return readServiceAnswer(reply.body, number);
        }
        if (reply.status == 404) {
            m_silentInRow = 0;
            return answerOf(TrackingAnswer::Kind::NothingFound);
        }
        const std::string detail = "HTTP " + std::to_string(reply.status);
        if ((reply.status == 429 || reply.status == 503) && !askedAgain) {
            const std::optional<qint64> wait = retryAfterSeconds(reply.retryAfter);
            if (wait && *wait <= kMaxRetryAfterSeconds) {
                askedAgain = true;
                const QDeadlineTimer until(*wait * 1000, Qt::PreciseTimer);
                while (m_wait.sleep(until) == EventWait::Outcome::Woken) {
                }
                if (stopped())
                    return answerOf(TrackingAnswer::Kind::NoAnswer);
                continue;
            }
        }
        return noAnswer(detail);
    }
}
