#include "tracking/service/ServiceSource.h"

#include "tracking/Endpoints.h"
#include "tracking/service/HttpDate.h"
#include "tracking/service/ServiceAnswer.h"
#include "tracking/service/ServiceModule.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

#include <optional>
#include <utility>

namespace {

Q_LOGGING_CATEGORY(lcService, "kurierix")

// Redirects followed within the service's own address before the answer counts as none.
constexpr int kMaxRedirects = 3;

// Retry-After as seconds from now: a number of seconds or an HTTP date; nothing when absent or
// unreadable.
std::optional<qint64> retryAfterSeconds(const QByteArray& header)
{
    const QByteArray value = header.trimmed();
    if (value.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint64 seconds = value.toLongLong(&ok);
    if (ok)
        return seconds >= 0 ? std::optional<qint64>(seconds) : std::nullopt;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const std::optional<QDateTime> at = parseHttpDate(value, now);
    if (!at)
        return std::nullopt;
    return std::max<qint64>(0, now.secsTo(*at));
}

// KURIERIX_SERVICE_CA names a file of trusted certificates; one that is missing or holds none
// would leave the double's (or a proxy's) certificate untrusted without a word.
SourceProblem caFileProblem(const QString& file)
{
    QFile certificates(file);
    if (!certificates.open(QIODevice::ReadOnly))
        return {SourceProblem::Kind::CaFileUnreadable, file, certificates.errorString()};
    if (!certificates.read(ServiceSource::kMaxAnswerBytes).contains("-----BEGIN CERTIFICATE-----"))
        return {SourceProblem::Kind::CaFileNotPem, file, {}};
    return {};
}

} // namespace

ServiceEndpoint ServiceEndpoint::postalOperator()
{
    ServiceEndpoint endpoint;
    endpoint.url = QUrl(QStringLiteral("https://api.belpost.by/api/v1/tracking"));
    endpoint.probeHost = "api.belpost.by";
    endpoint.probePort = 443;
    return endpoint;
}

ServiceEndpoint ServiceEndpoint::fromSettings(const TrackingSettings& settings)
{
    ServiceEndpoint endpoint = postalOperator();
    const QString url = settings.serviceUrl.trimmed();
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
    const QByteArray probe = settings.probe.trimmed().toUtf8();
    if (!probe.isEmpty() && !Endpoints::parseHostPort(probe.toStdString(), endpoint.probeHost, endpoint.probePort))
        qCWarning(lcService,
                  "значение KURIERIX_PROBE=\"%s\" не имеет вида хост:порт (порт от 1 до 65535): связь проверяется с "
                  "%s:%d",
                  probe.constData(), endpoint.probeHost.c_str(), endpoint.probePort);
    endpoint.extraCaFile = settings.serviceCaFile;
    if (!endpoint.extraCaFile.isEmpty())
        endpoint.caProblem = caFileProblem(endpoint.extraCaFile);
    const QByteArray pace = settings.servicePace.trimmed().toUtf8();
    if (!pace.isEmpty()) {
        bool ok = false;
        const int ms = pace.toInt(&ok);
        if (ok && ms >= 0 && ms <= 600000)
            endpoint.paceMs = ms;
        else
            qCWarning(lcService,
                      "значение KURIERIX_SERVICE_PACE=\"%s\" не число миллисекунд от 0 до 600000: запросы идут не "
                      "чаще раза в %d мс",
                      pace.constData(), endpoint.paceMs);
    }
    return endpoint;
}

ServiceSource::ServiceSource(ServiceEndpoint endpoint, TransportFactory transportFactory)
    : m_endpoint(std::move(endpoint)), m_transportFactory(std::move(transportFactory))
{
    if (!m_transportFactory)
        m_transportFactory = [](const QString& extraCaFile) { return ServiceModule::createTransport({}, extraCaFile); };
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
    // Nothing of a run is kept: no connection, no count of numbers without an answer, no pace.
    m_transport.reset();
    m_silentInRow = 0;
    m_nextRequestAllowed.reset();
    m_caProblemSaid = false;
}

void ServiceSource::say(const SourceNotice& notice) const
{
    if (m_say)
        m_say(notice);
}

bool ServiceSource::waitUntil(QDeadlineTimer until)
{
    EventWait::Outcome outcome;
    do
        outcome = m_wait.sleep(until);
    while (outcome == EventWait::Outcome::Woken);
    return outcome != EventWait::Outcome::Stopped && !stopped();
}

TrackingAnswer ServiceSource::noAnswer(const QString& detail)
{
    if (++m_silentInRow >= kSilentNumbersEndingRun)
        throw TrackingSourceError(TrackingSourceError::Kind::Failed, SourceFailure::ServiceSilent, detail);
    return TrackingAnswer::of(TrackingAnswer::Kind::NoAnswer);
}

// One request, following redirects within the service's own address. A redirect elsewhere, or
// from https to http, ends the run: the answer would come from someone else.
ServiceReply ServiceSource::exchange(const QByteArray& json)
{
    static const QByteArray userAgent = QByteArrayLiteral("Kurierix/" KURIERIX_VERSION);
    QUrl url = m_endpoint.url;
    for (int hop = 0;; ++hop) {
        if (m_nextRequestAllowed && !waitUntil(*m_nextRequestAllowed)) {
            ServiceReply stoppedReply;
            stoppedReply.kind = ServiceReply::Kind::Stopped;
            return stoppedReply;
        }
        m_nextRequestAllowed = QDeadlineTimer(m_endpoint.paceMs, Qt::PreciseTimer);
        const QDeadlineTimer deadline(m_limits.searchMs, Qt::PreciseTimer);
        ServiceReply reply = m_transport->post(url, json, userAgent, deadline, kMaxAnswerBytes, m_stopRequested);
        if (reply.kind != ServiceReply::Kind::Answered || reply.status < 300 || reply.status > 399)
            return reply;
        const QUrl target = url.resolved(QUrl::fromEncoded(reply.location));
        if (target.host().compare(url.host(), Qt::CaseInsensitive) != 0
            || target.scheme().compare(url.scheme(), Qt::CaseInsensitive) != 0 || target.port() != url.port())
            throw TrackingSourceError(TrackingSourceError::Kind::Failed, SourceFailure::ServiceRedirected,
                                      QStringLiteral("redirect to ") + target.toString());
        if (hop + 1 >= kMaxRedirects)
            return reply;
        url = target;
    }
}

TrackingAnswer ServiceSource::ask(const QString& number, const std::function<void()>& sent)
{
    prepare();
    if (m_endpoint.caProblem.kind != SourceProblem::Kind::None && !m_caProblemSaid) {
        m_caProblemSaid = true;
        say({SourceNotice::Kind::Problem, 0, m_endpoint.caProblem});
    }
    const QByteArray json =
        QJsonDocument(QJsonObject{{QStringLiteral("number"), number}}).toJson(QJsonDocument::Compact);
    // The pace is kept before the request is said to go out.
    if (m_nextRequestAllowed && !waitUntil(*m_nextRequestAllowed))
        return TrackingAnswer::of(TrackingAnswer::Kind::NoAnswer);
    if (sent)
        sent();
    bool waitedAsAsked = false;
    int backoffs = 0;
    for (;;) {
        const ServiceReply reply = exchange(json);
        switch (reply.kind) {
        case ServiceReply::Kind::Stopped:
            return TrackingAnswer::of(TrackingAnswer::Kind::NoAnswer);
        case ServiceReply::Kind::Insecure:
            throw TrackingSourceError(TrackingSourceError::Kind::Failed, SourceFailure::ServiceCertificate,
                                      QString::fromStdString(reply.detail));
        case ServiceReply::Kind::NoAnswer:
            return noAnswer(QString::fromStdString(reply.detail));
        case ServiceReply::Kind::Answered:
            break;
        }

        if (reply.status == 200) {
            m_silentInRow = 0;
            if (reply.bodyTooLarge)
                return TrackingAnswer::unreadable(
                    UnreadableReason::of(UnreadableReason::Kind::TooLong, {}, kMaxAnswerBytes), reply.body, 200);
            return readServiceAnswer(reply.body, number);
        }
        if (reply.status == 404) {
            m_silentInRow = 0;
            return TrackingAnswer::of(TrackingAnswer::Kind::NothingFound);
        }
        const QString detail = QStringLiteral("HTTP %1").arg(reply.status);
        if (reply.status == 429 || reply.status == 503) {
            // Busy: the wait it asks for, once and up to a minute; without one, a growing wait.
            const std::optional<qint64> asked = retryAfterSeconds(reply.retryAfter);
            qint64 waitMs = -1;
            if (asked && *asked <= kMaxRetryAfterSeconds && !waitedAsAsked) {
                waitedAsAsked = true;
                waitMs = *asked * 1000;
            } else if (!asked && backoffs < kBackoffs) {
                waitMs = qint64(m_limits.serviceBackoffMs) * (backoffs == 0 ? 1 : backoffs == 1 ? 3 : 9);
                ++backoffs;
            }
            if (waitMs >= 0) {
                if (waitMs > 0)
                    say({SourceNotice::Kind::Waiting, int((waitMs + 999) / 1000), {}});
                if (!waitUntil(QDeadlineTimer(waitMs, Qt::PreciseTimer)))
                    return TrackingAnswer::of(TrackingAnswer::Kind::NoAnswer);
                continue;
            }
        } else if (reply.status >= 400 && reply.status <= 499) {
            // A question the service turned down, in its own words (a number of the wrong form).
            const QString refusal = serviceRefusal(reply.body);
            if (!refusal.isEmpty()) {
                m_silentInRow = 0;
                TrackingAnswer refused = TrackingAnswer::of(TrackingAnswer::Kind::Refused);
                refused.message = refusal;
                refused.httpStatus = reply.status;
                return refused;
            }
        }
        return noAnswer(detail);
    }
}
