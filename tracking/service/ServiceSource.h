#pragma once

#include "tracking/EventWait.h"
#include "tracking/service/ServiceTransport.h"
#include "tracking/TrackingSettings.h"
#include "tracking/TrackingSource.h"

#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

// Where the tracking service is asked and where the probe knocks before. The operator's address
// is fixed; KURIERIX_SERVICE_URL replaces it (http:// too, for a double on this machine),
// KURIERIX_PROBE replaces the probe (host:port), KURIERIX_SERVICE_CA names a PEM file of
// certificates trusted besides the system's, KURIERIX_SERVICE_PACE the milliseconds from the
// start of one request to the next.
struct ServiceEndpoint
{
    QUrl url;
    std::string probeHost;
    int probePort = 443;
    QString extraCaFile;
    // The service is asked no faster than once a second, as a person at its page would; a list
    // of forty parcels must not arrive as a burst that it throttles.
    int paceMs = 1000;
    // What is wrong with the certificates file named, said in the run's log.
    SourceProblem caProblem;

    static ServiceEndpoint postalOperator();
    static ServiceEndpoint fromSettings(const TrackingSettings& settings);
};

// The postal operator's tracking service as a tracking source: one JSON request per number, one
// at a time. Its network code is in a module loaded on the first request.
class ServiceSource : public TrackingSource
{
public:
    using TransportFactory = std::function<std::unique_ptr<ServiceTransport>(const QString& extraCaFile)>;

    // Without a factory the transport comes from the service module found beside the program.
    explicit ServiceSource(ServiceEndpoint endpoint, TransportFactory transportFactory = {});
    ~ServiceSource() override;
    ServiceSource(const ServiceSource&) = delete;
    ServiceSource& operator=(const ServiceSource&) = delete;

    std::string probeHost() const override { return m_endpoint.probeHost; }
    int probePort() const override { return m_endpoint.probePort; }
    QString roadName() const override { return QStringLiteral("service"); }
    QString address() const override { return m_endpoint.url.toString(); }
    void setLimits(const CheckLimits& limits) override { m_limits = limits; }
    void setStopCondition(std::function<bool()> stopRequested) override;
    void setReporter(std::function<void(const SourceNotice& notice)> say) override { m_say = std::move(say); }

    void prepare() override;
    TrackingAnswer ask(const QString& number, const std::function<void()>& sent) override;
    void finishRun() override;

    // The longest answer read; a longer one is no answer of this service.
    static constexpr qsizetype kMaxAnswerBytes = 1024 * 1024;
    // The longest Retry-After the run waits for before it asks once more.
    static constexpr int kMaxRetryAfterSeconds = 60;
    // Waits without a Retry-After before a busy service counts as no answer.
    static constexpr int kBackoffs = 3;
    // Numbers in a row without an answer that end the run.
    static constexpr int kSilentNumbersEndingRun = 3;

private:
    ServiceReply exchange(const QByteArray& json);
    TrackingAnswer noAnswer(const QString& detail);
    bool stopped() const;
    void say(const SourceNotice& notice) const;
    // Handles events until `until`; false when the run was stopped meanwhile.
    bool waitUntil(QDeadlineTimer until);

    ServiceEndpoint m_endpoint;
    TransportFactory m_transportFactory;
    CheckLimits m_limits;
    std::function<bool()> m_stopRequested;
    EventWait m_wait;
    std::function<void(const SourceNotice&)> m_say;
    std::unique_ptr<ServiceTransport> m_transport;
    int m_silentInRow = 0;
    std::optional<QDeadlineTimer> m_nextRequestAllowed; // the pace, within one run
    bool m_caProblemSaid = false;
};
