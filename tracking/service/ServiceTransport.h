#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QUrl>
#include <QtPlugin>

#include <functional>
#include <memory>
#include <string>

// One exchange with the tracking service as the network gave it, before anything of it is read.
struct ServiceReply
{
    enum class Kind {
        Answered, // a status and a body (perhaps cut at the size bound)
        NoAnswer, // nothing within the deadline, or the connection dropped
        Insecure, // the service's certificate did not hold; nothing was sent or taken
        Stopped,  // the run's stop ended the wait
    };

    Kind kind = Kind::NoAnswer;
    int status = 0;
    QByteArray body;
    bool bodyTooLarge = false; // the body went over the bound and was not read to its end
    QByteArray retryAfter;     // the Retry-After header, as sent
    QByteArray location;       // the Location header of a redirect, as sent
    std::string detail;        // what went wrong, as the network library words it
};

// Sends the service's requests: HTTP(S) over Qt Network, which only the service module links.
// One request at a time; no cookies are kept and redirects are handed back, not followed.
class ServiceTransport
{
public:
    virtual ~ServiceTransport() = default;

    // POSTs `json` to `url` and waits, turning the event loop, until the answer is in, the
    // deadline passes or `stopRequested` holds. A body over `maxBody` bytes is cut there.
    virtual ServiceReply post(const QUrl& url, const QByteArray& json, const QByteArray& userAgent,
                              QDeadlineTimer deadline, qsizetype maxBody,
                              const std::function<bool()>& stopRequested) = 0;
};

// The root object of the service module.
class ServiceTransportProvider
{
public:
    virtual ~ServiceTransportProvider() = default;
    // `extraCaFile`: a PEM file whose certificates are trusted besides the system's (a test's own
    // certificate), or empty.
    virtual std::unique_ptr<ServiceTransport> create(const QString& extraCaFile) = 0;
};

#define ServiceTransportProvider_iid "org.kurierix.ServiceTransportProvider/1"
Q_DECLARE_INTERFACE(ServiceTransportProvider, ServiceTransportProvider_iid)
