#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <memory>

// A stand-in for the postal operator's tracking service, on 127.0.0.1 from a thread of its own,
// over HTTP or over HTTPS with a certificate it makes for itself. It takes
// POST /api/v1/tracking {"number": "..."} and answers as the service does: 200 with the steps of
// the number newest first, or 200 with empty data for a number it has no steps for; per number,
// a mode makes it answer otherwise. Every member may be called from any thread.
class ServiceDouble
{
public:
    struct Step
    {
        QString createdAt;     // "YYYY-MM-DD HH:MM:SS", Minsk time
        qint64 timestamp = -1; // seconds since 1970; below 0: not sent
        QString event;
        QString place;
        QString placeIndex;
    };

    enum class Mode {
        Steps,             // 200 with the number's steps (empty data when it has none)
        EmptySteps,        // 200 with the number in data but no steps
        NotParsed,         // 404
        Slow,              // the answer is held until released or the double stops
        RetryAfter,        // 429 with Retry-After (the parameter, in seconds), then the steps
        Unavailable,       // 503 with Retry-After (the parameter, in seconds), every time
        Throttled,         // 429 without Retry-After to the first N requests (the parameter), then the steps
        ServerError,       // 500
        Html,              // 200 with an HTML page
        WrongTypes,        // 200 whose steps hold a list where a text belongs
        CutShort,          // 200 whose JSON ends half-way
        Huge,              // 200 of 2 MB
        Dropped,           // the connection drops half-way through the answer
        RedirectElsewhere, // 302 to another host, port and path
        RedirectOtherHost, // 302 to another name of this machine, on the same scheme and port
        RedirectToHttp,    // 302 to http:// on the same host
        Raw,               // the status and body given with setRawAnswer()
    };

    struct Request
    {
        QString number; // as the JSON body named it; empty when it named none
        QByteArray body;
        QByteArray contentType;
        QByteArray userAgent;
        QByteArray cookie;
        std::chrono::steady_clock::time_point at;
    };

    ServiceDouble();
    ~ServiceDouble();
    ServiceDouble(const ServiceDouble&) = delete;
    ServiceDouble& operator=(const ServiceDouble&) = delete;

    // Listens on 127.0.0.1 (`port`, or a free one with 0). With `https` it first makes a key and
    // a self-signed certificate for 127.0.0.1 and writes the certificate to `certificateFile`.
    bool start(quint16 port = 0, bool https = false, const QString& certificateFile = {});
    void stop();
    quint16 port() const;
    // "http(s)://127.0.0.1:<port>/api/v1/tracking"
    QString url() const;

    void setSteps(const QString& number, const QList<Step>& newestFirst);
    // Steps from a site-double fixture ({"answers": {"NUMBER": [{"date", "event", "office"}]}},
    // oldest first), each office as the place, so that both doubles tell the same events.
    bool loadFixture(const QString& path, QString* error = nullptr);
    void setMode(const QString& number, Mode mode, int parameter = 1);
    // Answers `number` with exactly this (mode Raw).
    void setRawAnswer(const QString& number, int status, const QByteArray& body,
                      const QByteArray& contentType = QByteArrayLiteral("application/json"));
    void setLatency(std::chrono::milliseconds latency);
    void releaseStalled();

    QList<Request> requests() const;
    int requestCount(const QString& number) const;

    // The body the double answers with now, for `number`, in mode Steps.
    QByteArray stepsBody(const QString& number) const;

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};
