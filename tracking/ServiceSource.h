#pragma once

#include "tracking/EventWait.h"
#include "tracking/ServiceTransport.h"
#include "tracking/TrackingSource.h"

#include <QUrl>

#include <functional>
#include <memory>

// Where the tracking service is asked and where the probe knocks before. The operator's address
// is fixed; KURIERIX_SERVICE_URL replaces it (http:// too, for a double on this machine),
// KURIERIX_PROBE replaces the probe (host:port), KURIERIX_SERVICE_CA names a PEM file of
// certificates trusted besides the system's.
struct ServiceEndpoint
{
    QUrl url;
    std::string probeHost;
    int probePort = 443;
    QString extraCaFile;

    static ServiceEndpoint postalOperator();
    static ServiceEndpoint fromEnvironment();
};

// The postal operator's tracking service as a tracking source: one JSON request per number, one
// at a time. Its network code is in a module loaded on the first request.
class ServiceSource : public TrackingSource
{
public:
    using TransportFactory = std::function<std::unique_ptr<ServiceTransport>(const QString& extraCaFile)>;

    // Without a factory the transport comes from the service module.
    explicit ServiceSource(ServiceEndpoint endpoint, TransportFactory transportFactory = {});
    ~ServiceSource() override;
    ServiceSource(const ServiceSource&) = delete;
    ServiceSource& operator=(const ServiceSource&) = delete;

    std::string probeHost() const override { return m_endpoint.probeHost; }
    int probePort() const override { return m_endpoint.probePort; }
    void setLimits(const CheckLimits& limits) override { m_limits = limits; }
    void setStopCondition(std::function<bool()> stopRequested) override;

    void prepare() override;
    TrackingAnswer ask(const QString& number, const std::function<void()>& sent) override;
    void finishRun() override;

    // The longest answer read; a longer one is no answer of this service.
    static constexpr qsizetype kMaxAnswerBytes = 1024 * 1024;
    // The longest Retry-After the run waits for before it asks once more.
    static constexpr int kMaxRetryAfterSeconds = 60;
    // Numbers in a row without an answer that end the run.
    static constexpr int kSilentNumbersEndingRun = 3;

private:
    ServiceReply exchange(const QByteArray& json);
    TrackingAnswer noAnswer(const std::string& detail);
    bool stopped() const;

    ServiceEndpoint m_endpoint;
    TransportFactory m_transportFactory;
    CheckLimits m_limits;
    std::function<bool()> m_stopRequested;
    EventWait m_wait;
    std::unique_ptr<ServiceTransport> m_transport;
    int m_silentInRow = 0;
};
