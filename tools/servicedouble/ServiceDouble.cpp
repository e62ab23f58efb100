#include "tools/servicedouble/ServiceDouble.h"

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QTimeZone>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

constexpr char kPath[] = "/api/v1/tracking";

struct Behaviour
{
    ServiceDouble::Mode mode = ServiceDouble::Mode::Steps;
    int parameter = 1;
    int status = 200; // Raw
    QByteArray body;
    QByteArray contentType;
};

QJsonObject stepObject(const ServiceDouble::Step& step, int code)
{
    QJsonObject object{{QStringLiteral("code"), code},
                       {QStringLiteral("event"), step.event},
                       {QStringLiteral("place"), step.place},
                       {QStringLiteral("place_index"), step.placeIndex},
                       {QStringLiteral("created_at"), step.createdAt}};
    if (step.timestamp >= 0)
        object.insert(QStringLiteral("timestamp"), step.timestamp);
    return object;
}

// A key and a self-signed certificate for 127.0.0.1, good from an hour ago for a day.
bool makeCertificate(const QString& certificateFile, X509*& certificate, EVP_PKEY*& key)
{
    key = EVP_EC_gen("P-256");
    certificate = X509_new();
    if (key == nullptr || certificate == nullptr)
        return false;
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 86400);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1,
                               0);
    X509_set_issuer_name(certificate, name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    for (const auto& [nid, value] :
         {std::pair{NID_subject_alt_name, "IP:127.0.0.1"}, std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
        if (extension == nullptr)
            return false;
        X509_add_ext(certificate, extension, -1);
        X509_EXTENSION_free(extension);
    }
    if (X509_sign(certificate, key, EVP_sha256()) == 0)
        return false;
    BIO* out = BIO_new_file(QFile::encodeName(certificateFile).constData(), "w");
    if (out == nullptr)
        return false;
    const bool written = PEM_write_bio_X509(out, certificate) == 1;
    BIO_free(out);
    return written;
}

} // namespace

struct ServiceDouble::Shared
{
    mutable std::mutex mutex;
    std::condition_variable released;
    bool releasing = false;
    QMap<QString, QList<Step>> steps;
    QMap<QString, Behaviour> behaviours;
    QMap<QString, int> retriesAnswered;
    std::chrono::milliseconds latency{0};
    QList<Request> requests;
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    int port = 0;
    bool https = false;

    QByteArray stepsBody(const QString& number) const
    {
        QJsonArray stepArray;
        const QList<Step> known = steps.value(number);
        for (int i = 0; i < known.size(); ++i)
            stepArray.append(stepObject(known[i], 1000 + i));
        QJsonArray data;
        if (!known.isEmpty())
            data.append(QJsonObject{{QStringLiteral("number"), number}, {QStringLiteral("steps"), stepArray}});
        return QJsonDocument(
                   QJsonObject{{QStringLiteral("data"), data},
                               {QStringLiteral("uuid"), QStringLiteral("00000000-0000-0000-0000-000000000000")},
                               {QStringLiteral("barcode"), number}})
            .toJson(QJsonDocument::Compact);
    }

    void answer(const httplib::Request& request, httplib::Response& response)
    {
        const QJsonObject asked = QJsonDocument::fromJson(QByteArray::fromStdString(request.body)).object();
        const QString number = asked.value(QStringLiteral("number")).toString();
        std::unique_lock lock(mutex);
        requests.append({number, QByteArray::fromStdString(request.body),
                         QByteArray::fromStdString(request.get_header_value("Content-Type")),
                         QByteArray::fromStdString(request.get_header_value("User-Agent")),
                         QByteArray::fromStdString(request.get_header_value("Cookie")),
                         std::chrono::steady_clock::now()});
        const Behaviour behaviour = behaviours.value(number);
        // A client that keeps cookies would send this one back.
        response.set_header("Set-Cookie", "session=double; Path=/");
        if (latency.count() > 0)
            released.wait_for(lock, latency, [this] { return releasing; });
        // With the charset named the answer goes out uncompressed: compressing it would cost the
        // double more time than the program spends on it.
        const auto json = [&response](const QByteArray& body) {
            response.set_content(body.toStdString(), "application/json; charset=utf-8");
        };
        // A path that is not ASCII: the address shows up in what the program says.
        const QString elsewhere =
            QStringLiteral("https://elsewhere.invalid/%D0%BF%D1%83%D1%82%D1%8C%1").arg(QLatin1StringView(kPath));
        switch (behaviour.mode) {
        case Mode::Steps:
            json(stepsBody(number));
            return;
        case Mode::EmptySteps:
            json(QByteArrayLiteral(R"({"data":[{"number":")") + number.toUtf8() + R"(","steps":[]}]})");
            return;
        case Mode::NotParsed:
            response.status = 404;
            json(QByteArrayLiteral(R"({"message":"Not found"})"));
            return;
        case Mode::Slow:
            released.wait(lock, [this] { return releasing; });
            response.status = 500;
            return;
        case Mode::RetryAfter:
            if (retriesAnswered[number]++ == 0) {
                response.status = 429;
                response.set_header("Retry-After", std::to_string(behaviour.parameter));
                return;
            }
            json(stepsBody(number));
            return;
        case Mode::Unavailable:
            response.status = 503;
            response.set_header("Retry-After", std::to_string(behaviour.parameter));
            return;
        case Mode::Throttled:
            if (retriesAnswered[number]++ < behaviour.parameter) {
                response.status = 429;
                json(QByteArrayLiteral(R"({"message":"Too Many Attempts."})"));
                return;
            }
            json(stepsBody(number));
            return;
        case Mode::Raw:
            response.status = behaviour.status;
            response.set_content(behaviour.body.toStdString(), behaviour.contentType.toStdString());
            return;
        case Mode::ServerError:
            response.status = 500;
            return;
        case Mode::Html:
            response.set_content("<html><body>Сервис временно недоступен</body></html>", "text/html");
            return;
        case Mode::WrongTypes:
            json(
                QByteArrayLiteral(R"({"data":[{"number":")") + number.toUtf8()
                + R"(","steps":[{"code":1,"event":["a"],"place":"MINSK","place_index":"220000","created_at":"2024-01-01 10:00:00"}]}]})");
            return;
        case Mode::CutShort: {
            const QByteArray body = stepsBody(number);
            json(body.left(body.size() / 2));
            return;
        }
        case Mode::Huge:
            json(QByteArrayLiteral(R"({"padding":")") + QByteArray(2 * 1024 * 1024, 'x') + R"(","data":[]})");
            return;
        case Mode::Dropped: {
            const std::string body = stepsBody(number).toStdString();
            response.set_content_provider(body.size(), "application/json; charset=utf-8",
                                          [body](size_t offset, size_t, httplib::DataSink& sink) {
                                              if (offset > 0)
                                                  return false; // the connection drops here
                                              sink.write(body.data(), body.size() / 2);
                                              return true;
                                          });
            return;
        }
        case Mode::RedirectElsewhere:
            response.set_redirect(elsewhere.toStdString(), 302);
            return;
        case Mode::RedirectOtherHost:
            response.set_redirect(QStringLiteral("%1://localhost:%2%3")
                                      .arg(https ? QStringLiteral("https") : QStringLiteral("http"))
                                      .arg(port)
                                      .arg(QLatin1StringView(kPath))
                                      .toStdString(),
                                  302);
            return;
        case Mode::RedirectToHttp:
            response.set_redirect(
                QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(QLatin1StringView(kPath)).toStdString(), 302);
            return;
        }
    }
};

ServiceDouble::ServiceDouble() : m_shared(std::make_shared<Shared>())
{
}

ServiceDouble::~ServiceDouble()
{
    stop();
}

bool ServiceDouble::start(quint16 port, bool https, const QString& certificateFile)
{
    stop();
    if (https) {
        X509* certificate = nullptr;
        EVP_PKEY* key = nullptr;
        const bool made = makeCertificate(certificateFile, certificate, key);
        if (made)
            m_shared->server = std::make_unique<httplib::SSLServer>(certificate, key);
        X509_free(certificate);
        EVP_PKEY_free(key);
        if (!made)
            return false;
    } else {
        m_shared->server = std::make_unique<httplib::Server>();
    }
    m_shared->https = https;
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->releasing = false;
    }
    // Headers and body go out at once: with Nagle's algorithm the body would wait for the
    // client's delayed acknowledgement of the headers, some 40 ms per answer.
    m_shared->server->set_tcp_nodelay(true);
    Shared* shared = m_shared.get();
    m_shared->server->Post(kPath, [shared](const httplib::Request& request, httplib::Response& response) {
        shared->answer(request, response);
    });
    const int bound = port == 0 ? m_shared->server->bind_to_any_port("127.0.0.1")
                                : (m_shared->server->bind_to_port("127.0.0.1", port) ? port : -1);
    if (bound <= 0) {
        m_shared->server.reset();
        return false;
    }
    m_shared->port = bound;
    // Bound already: requests that come before the thread listens wait in the backlog.
    m_shared->thread = std::thread([shared] { shared->server->listen_after_bind(); });
    // As in the site double: httplib's stop() does nothing to a server whose thread has not
    // started listening yet, and stop() would then wait for ever; so start() returns only once
    // it listens.
    while (!m_shared->server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void ServiceDouble::stop()
{
    if (!m_shared->server)
        return;
    releaseStalled();
    m_shared->server->stop();
    if (m_shared->thread.joinable())
        m_shared->thread.join();
    m_shared->server.reset();
}

quint16 ServiceDouble::port() const
{
    return static_cast<quint16>(m_shared->port);
}

QString ServiceDouble::url() const
{
    return QStringLiteral("%1://127.0.0.1:%2%3")
        .arg(m_shared->https ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(m_shared->port)
        .arg(QLatin1StringView(kPath));
}

void ServiceDouble::setSteps(const QString& number, const QList<Step>& newestFirst)
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->steps.insert(number, newestFirst);
}

bool ServiceDouble::loadFixture(const QString& path, QString* error)
{
    QFile file(path);
    const QJsonDocument document =
        file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()) : QJsonDocument();
    const QJsonObject answers = document.object().value(QStringLiteral("answers")).toObject();
    if (answers.isEmpty()) {
        if (error)
            *error = QStringLiteral("%1: no object \"answers\"").arg(path);
        return false;
    }
    const QTimeZone minsk(QByteArrayLiteral("Europe/Minsk"));
    for (auto it = answers.begin(); it != answers.end(); ++it) {
        QList<Step> newestFirst;
        for (const QJsonValue& value : it.value().toArray()) {
            const QJsonObject event = value.toObject();
            Step step;
            step.createdAt = event.value(QStringLiteral("date")).toString();
            QDateTime at = QDateTime::fromString(step.createdAt, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            at.setTimeZone(minsk.isValid() ? minsk : QTimeZone(3 * 3600));
            step.timestamp = at.isValid() ? at.toSecsSinceEpoch() : -1;
            step.event = event.value(QStringLiteral("event")).toString();
            step.place = event.value(QStringLiteral("office")).toString();
            newestFirst.prepend(step);
        }
        setSteps(it.key(), newestFirst);
    }
    return true;
}

void ServiceDouble::setMode(const QString& number, Mode mode, int parameter)
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->behaviours.insert(number, {mode, parameter, 200, {}, {}});
    m_shared->retriesAnswered.remove(number);
}

void ServiceDouble::setRawAnswer(const QString& number, int status, const QByteArray& body,
                                 const QByteArray& contentType)
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->behaviours.insert(number, {Mode::Raw, 0, status, body, contentType});
}

void ServiceDouble::setLatency(std::chrono::milliseconds latency)
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->latency = latency;
}

void ServiceDouble::releaseStalled()
{
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->releasing = true;
    }
    m_shared->released.notify_all();
}

QList<ServiceDouble::Request> ServiceDouble::requests() const
{
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->requests;
}

int ServiceDouble::requestCount(const QString& number) const
{
    const std::lock_guard lock(m_shared->mutex);
    return static_cast<int>(std::count_if(m_shared->requests.begin(), m_shared->requests.end(),
                                          [&number](const Request& request) { return request.number == number; }));
}

QByteArray ServiceDouble::stepsBody(const QString& number) const
{
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->stepsBody(number);
}
