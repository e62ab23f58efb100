#include "tracking/service/NetworkTransport.h"

#include "tracking/EventWait.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>

#include <optional>

namespace {

// Qt Network over HTTP(S): the system's certificate store, plus a test's own certificate when
// one is named. Certificate errors are never ignored.
class NetworkTransport : public ServiceTransport
{
public:
    explicit NetworkTransport(QString extraCaFile) : m_extraCaFile(std::move(extraCaFile))
    {
        // No cookie jar at all: nothing of one request goes with the next.
        m_manager.setCookieJar(nullptr);
        m_manager.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    }

    ServiceReply post(const QUrl& url, const QByteArray& json, const QByteArray& userAgent, QDeadlineTimer deadline,
                      qsizetype maxBody, const std::function<bool()>& stopRequested) override
    {
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        request.setRawHeader(QByteArrayLiteral("Accept"), QByteArrayLiteral("application/json"));
        request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
        request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
        request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
        request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
        if (url.scheme().compare(QLatin1StringView("https"), Qt::CaseInsensitive) == 0)
            request.setSslConfiguration(ssl());

        ServiceReply result;
        bool sslFailed = false;
        QNetworkReply* reply = m_manager.post(request, json);
        QObject::connect(reply, &QNetworkReply::sslErrors, [&](const QList<QSslError>& errors) {
            sslFailed = true;
            for (const QSslError& error : errors)
                result.detail += (result.detail.empty() ? "" : "; ") + error.errorString().toStdString();
        });
        QObject::connect(reply, &QNetworkReply::readyRead, [&] {
            result.body += reply->read(maxBody + 1 - result.body.size());
            if (result.body.size() > maxBody) {
                result.bodyTooLarge = true;
                result.body.truncate(maxBody);
                reply->abort();
            }
        });

        EventWait wait(stopRequested);
        const EventWait::Outcome outcome = wait.until([reply] { return reply->isFinished(); }, deadline);
        if (!reply->isFinished()) {
            reply->abort();
            result.kind =
                outcome == EventWait::Outcome::Stopped ? ServiceReply::Kind::Stopped : ServiceReply::Kind::NoAnswer;
            if (result.detail.empty())
                result.detail = "no answer in time";
        } else if (sslFailed) {
            result.kind = ServiceReply::Kind::Insecure;
        } else if (result.bodyTooLarge || reply->error() == QNetworkReply::NoError
                   || reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) {
            if (!result.bodyTooLarge)
                result.body += reply->readAll();
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            // A connection that dropped inside the body has a status but no whole answer.
            const bool cut = !result.bodyTooLarge && reply->error() != QNetworkReply::NoError
                             && reply->error() < QNetworkReply::ContentAccessDenied;
            result.kind = status == 0 || cut ? ServiceReply::Kind::NoAnswer : ServiceReply::Kind::Answered;
            result.status = status;
            result.retryAfter = reply->rawHeader(QByteArrayLiteral("Retry-After"));
            result.location = reply->rawHeader(QByteArrayLiteral("Location"));
            if (cut)
                result.detail = reply->errorString().toStdString();
        } else {
            result.kind = ServiceReply::Kind::NoAnswer;
            result.detail = reply->errorString().toStdString();
        }
        // Gone now, not later: the run asks from inside one event, so a deferred delete would wait
        // for the run's end and every reply of the run would be kept until then.
        reply->disconnect();
        delete reply;
        return result;
    }

private:
    // Made at the first https request: the TLS library is loaded with it, and a double on
    // http:// needs none of it.
    const QSslConfiguration& ssl()
    {
        if (!m_ssl) {
            m_ssl = QSslConfiguration::defaultConfiguration();
            if (!m_extraCaFile.isEmpty()) {
                QList<QSslCertificate> trusted = m_ssl->caCertificates();
                trusted += QSslCertificate::fromPath(m_extraCaFile, QSsl::Pem);
                m_ssl->setCaCertificates(trusted);
            }
        }
        return *m_ssl;
    }

    QString m_extraCaFile;
    std::optional<QSslConfiguration> m_ssl;
    QNetworkAccessManager m_manager;
};

} // namespace

std::unique_ptr<ServiceTransport> NetworkTransportProvider::create(const QString& extraCaFile)
{
    return std::make_unique<NetworkTransport>(extraCaFile);
}
