#include "tools/sitedouble/SiteDouble.h"

#include <httplib.h>

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QStringEncoder>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace {

const char* const kHtmlType = "text/html; charset=windows-1251";

// The page as the site serves it. %ALERT%, %FIELD%, %AFTER%, %LOADING% and %HOSTILE% are filled in
// per load from the page faults; %SPLIT% marks where a load that never completes stops.
const char16_t kPage[] = uR"html(<!DOCTYPE html>
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=windows-1251">
<title>Отслеживание почтовых отправлений</title>
<style>
body { font-family: Tahoma, sans-serif; font-size: 13px; }
table.events td { padding: 3px 6px; }
td.theader { font-weight: bold; }
#results { margin-top: 12px; }
</style>
%ALERT%</head>
<body>
<h2>Отслеживание почтовых отправлений</h2>
<form id="search" action="/" method="get" onsubmit="return seek(this);">
<table>
<tr><td><input type="radio" name="internal" id="internal-1" value="1" checked><label for="internal-1">Внутренние почтовые отправления</label></td></tr>
<tr><td><input type="radio" name="internal" id="internal-2" value="2"><label for="internal-2">Международные и EMS отправления</label></td></tr>
<tr><td><label for="%FIELD%">Номер отправления:</label> <input type="text" id="%FIELD%" name="%FIELD%" size="24"></td></tr>
<tr><td><input type="submit" name="btn_seek" value="Искать"></td></tr>
</table>
%AFTER%</form>
<div id="results"></div>
%SPLIT%<script>
var searchSerial = 0;
var failure = '<p class="error">Сервис временно недоступен, повторите запрос позже</p>';
function seek(form) {
    var kind = "";
    for (var i = 0; i < form.internal.length; i++)
        if (form.internal[i].checked)
            kind = form.internal[i].value;
    var number = document.getElementById("%FIELD%").value;
    var results = document.getElementById("results");
    var serial = ++searchSerial;
%LOADING%    var request = new XMLHttpRequest();
    request.open("GET", "/answer?item=" + encodeURIComponent(number) + "&kind=" + kind, true);
    request.onload = function () {
        if (serial == searchSerial)
            results.innerHTML = request.status == 200 ? request.responseText : failure;
%ANSWERED%    };
    request.onerror = function () {
        if (serial == searchSerial)
            results.innerHTML = failure;
    };
    request.send();
%HOSTILE%    return false;
}
</script>
</body>
</html>
)html";

const char16_t kLoading[] =
    uR"(    results.innerHTML = '<p class="loading">Загрузка...<br><img src="/loading.gif" width="32" height="32" alt=""></p>';
)";
const char16_t kAlert[] = uR"(<script>alert("Уважаемые пользователи! Сайт работает в тестовом режиме.");</script>
)";
const char16_t kInputAfterButton[] =
    uR"(<input type="checkbox" id="remember" name="remember" value="1"><label for="remember">Запомнить номер</label>
)";
// Run by the page once an answer is in place, for the script faults.
const char16_t kLoopingScript[] = u"        for (;;) {}\n";
const char16_t kNulInCells[] = uR"(        var cells = results.getElementsByTagName("td");
        for (var c = 0; c < cells.length; c++)
            if (cells[c].className != "theader")
                cells[c].insertBefore(document.createTextNode("\u0000"), cells[c].firstChild);
)";
// Run by the page's search once it has asked for the answer, for the page lifetime faults.
const char16_t kBusy[] = uR"(    if (!window.busySince) {
        window.busySince = Date.now();
        new Worker(URL.createObjectURL(new Blob(["for (;;) {}"], {type: "text/javascript"})));
        setInterval(function () {
            fetch("/beacon?t=" + Date.now(), {cache: "no-store"}).catch(function () {});
        }, %1);
    }
)";
const char16_t kHugeTexts[] = uR"(    var huge = serial + "x".repeat(%1);
    document.title = huge;
    console.log(huge);
    setTimeout(function () { throw new Error(huge); }, 0);
    try {
        location.hash = huge;
    } catch (error) {
    }
)";
const char16_t kNotFound[] = u"<p class=\"notfound\">По вашему запросу ничего не найдено</p>\n";

// A transparent 1x1 GIF for the loading image.
const unsigned char kLoadingGif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80,
                                     0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0x21, 0xf9, 0x04,
                                     0x01, 0x00, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00, 0x01,
                                     0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3b};

QByteArray toCp1251Bytes(const QString& text)
{
    QStringEncoder encoder("windows-1251");
    return encoder.encode(text);
}

QString escapeHtml(const QString& text)
{
    return text.toHtmlEscaped();
}

QList<SiteDouble::Event> generatedEvents(int count)
{
    static const char16_t* const kEvents[] = {
        u"Получение отправления от отправителя",          u"Отправка отправления из учреждения обмена",
        u"Поступление отправления в учреждение обмена",   u"Передача отправления на таможню",
        u"Поступление отправления в учреждение доставки",
    };
    static const char16_t* const kOffices[] = {u"100614*", u"BEIJING", u"MINSK PI 2", u"220050", u"220007"};
    QList<SiteDouble::Event> events;
    QDateTime when(QDate(2013, 3, 1), QTime(8, 0), Qt::UTC);
    for (int i = 0; i < count; ++i) {
        events.append({when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), QString::fromUtf16(kEvents[i % 5]),
                       QString::fromUtf16(kOffices[i % 5])});
        when = when.addSecs(7 * 3600 + 60 * (i % 13));
    }
    return events;
}

} // namespace

struct SiteDouble::Shared
{
    mutable std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    quint64 releases = 0;

    QMap<QString, std::optional<QList<Event>>> answers; // nullopt: not found
    PageFaults pageFaults;
    AnswerFaults answerFaults;
    QHash<QString, AnswerFaults> numberFaults;

    QHash<QString, int> counts;
    QList<Search> searches;
    int pageRequests = 0;
    int beaconRequests = 0;

    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    int port = 0;

    QString renderPage(const PageFaults& faults) const;
    QString renderAnswer(const QString& number, const QString& kind, const AnswerFaults& faults) const;
    AnswerFaults faultsFor(const QString& number) const;
    // Holds the calling server thread until `until` passes (when given), a release or the stop.
    void hold(std::unique_lock<std::mutex>& lock, std::optional<std::chrono::steady_clock::time_point> until);
    void handlePage(httplib::Response& response);
    void handleAnswer(const httplib::Request& request, httplib::Response& response);
};

QString SiteDouble::Shared::renderPage(const PageFaults& faults) const
{
    QString page = QString::fromUtf16(kPage);
    page.replace(QStringLiteral("%ALERT%"), faults.alertOnLoad ? QString::fromUtf16(kAlert) : QString());
    page.replace(QStringLiteral("%FIELD%"), faults.noItemField ? QStringLiteral("barcode") : QStringLiteral("item"));
    page.replace(QStringLiteral("%AFTER%"),
                 faults.inputAfterButton ? QString::fromUtf16(kInputAfterButton) : QString());
    page.replace(QStringLiteral("%LOADING%"), faults.noLoadingText ? QString() : QString::fromUtf16(kLoading));
    QString hostile;
    if (faults.busyAfterSearchMs > 0)
        hostile += QString::fromUtf16(kBusy).arg(faults.busyAfterSearchMs);
    if (faults.hugeTextsChars > 0)
        hostile += QString::fromUtf16(kHugeTexts).arg(faults.hugeTextsChars);
    page.replace(QStringLiteral("%HOSTILE%"), hostile);
    QString answered;
    if (faults.nulInCells)
        answered += QString::fromUtf16(kNulInCells);
    if (faults.loopingScript)
        answered += QString::fromUtf16(kLoopingScript);
    page.replace(QStringLiteral("%ANSWERED%"), answered);
    return page;
}

QString SiteDouble::Shared::renderAnswer(const QString& number, const QString& kind, const AnswerFaults& faults) const
{
    // The domestic search knows nothing of international items, and vice versa.
    const auto it = answers.constFind(number);
    if (kind != QLatin1String("2") || it == answers.constEnd() || !it->has_value())
        return QString::fromUtf16(kNotFound);

    const QList<Event> events = faults.manyEvents > 0 ? generatedEvents(faults.manyEvents) : **it;
    QString html = QStringLiteral("<table class=\"events\" cellspacing=\"1\" cellpadding=\"3\">\n<tr>");
    for (const char16_t* header : {u"Дата", u"Событие", u"POST OFFICE"})
        html +=
            QStringLiteral("<td class=\"theader\" style=\"background:none\">%1</td>").arg(QString::fromUtf16(header));
    html += QStringLiteral("</tr>\n");
    for (qsizetype row = 0; row < events.size(); ++row) {
        const Event& event = events.at(row);
        const QString plain = faults.transparentPlainRows
                                  ? QStringLiteral("<td style=\"background-color: transparent\">")
                                  : QStringLiteral("<td style=\"background: none\">");
        const QString cell = row % 2 == 0 ? QStringLiteral("<td style=\"background:#8be3ff\">") : plain;
        QString what = faults.rawCells ? event.event : escapeHtml(event.event);
        QString office = faults.rawCells ? event.office : escapeHtml(event.office);
        if (faults.markupInCells) {
            what = QStringLiteral("<b>%1</b>").arg(what);
            office = QStringLiteral("<a href=\"#\" title=\"%1\">%1</a>").arg(office);
        }
        if (faults.unclosedCells) {
            html += QStringLiteral("<tr>") + cell + escapeHtml(event.date) + cell + what + cell + office
                    + QStringLiteral("\n");
            continue;
        }
        html += QStringLiteral("<tr>") + cell + escapeHtml(event.date) + QStringLiteral("</td>") + cell + what
                + QStringLiteral("</td>") + cell + office + QStringLiteral("</td><!--<td></td>--></tr>\n");
    }
    if (!faults.unclosedCells)
        html += QStringLiteral("</table>\n");
    if (faults.paddingBytes > 0) {
        // Plain text without markup, in lines, as a long notice would come.
        const QString line = QStringLiteral("Служебная информация сервиса отслеживания. ");
        QString filler;
        filler.reserve(faults.paddingBytes + line.size());
        while (filler.size() < faults.paddingBytes)
            filler += line;
        filler.truncate(faults.paddingBytes);
        html += QStringLiteral("<div class=\"notice\">") + filler + QStringLiteral("</div>\n");
    }
    return html;
}

SiteDouble::AnswerFaults SiteDouble::Shared::faultsFor(const QString& number) const
{
    return numberFaults.value(number, answerFaults);
}

void SiteDouble::Shared::hold(std::unique_lock<std::mutex>& lock,
                              std::optional<std::chrono::steady_clock::time_point> until)
{
    const quint64 releasesAtStart = releases;
    const auto done = [&] { return stopping || releases != releasesAtStart; };
    if (until)
        wake.wait_until(lock, *until, done);
    else
        wake.wait(lock, done);
}

void SiteDouble::Shared::handlePage(httplib::Response& response)
{
    PageFaults faults;
    {
        std::lock_guard lock(mutex);
        ++pageRequests;
        faults = pageFaults;
    }
    response.set_header("Cache-Control", "no-store");

    if (faults.closeConnection) {
        // Promise a body and send none: the client sees the connection drop.
        response.set_content_provider(4096, kHtmlType, [](size_t, size_t, httplib::DataSink&) { return false; });
        return;
    }
    if (faults.httpStatus != 200) {
        response.status = faults.httpStatus;
        response.set_content(toCp1251Bytes(QStringLiteral("<html><body><h1>%1</h1><p>Сервис временно недоступен</p>"
                                                          "</body></html>")
                                               .arg(faults.httpStatus))
                                 .toStdString(),
                             kHtmlType);
        return;
    }

    const QByteArray page = toCp1251Bytes(renderPage(faults));
    const qsizetype split = page.indexOf("%SPLIT%");
    const QByteArray head = page.left(split);
    const QByteArray tail = page.mid(split + 7);
    if (!faults.loadNeverCompletes) {
        response.set_content((head + tail).toStdString(), kHtmlType);
        return;
    }
    // Send the first part, then keep the response open until released or stopped.
    response.set_chunked_content_provider(kHtmlType, [this, head, tail](size_t offset, httplib::DataSink& sink) {
        if (offset == 0)
            return sink.write(head.constData(), static_cast<size_t>(head.size()));
        {
            std::unique_lock lock(mutex);
            hold(lock, std::nullopt);
        }
        sink.write(tail.constData(), static_cast<size_t>(tail.size()));
        sink.done();
        return true;
    });
}

void SiteDouble::Shared::handleAnswer(const httplib::Request& request, httplib::Response& response)
{
    const QString number = QString::fromStdString(request.get_param_value("item"));
    const QString kind = QString::fromStdString(request.get_param_value("kind"));
    const auto received = std::chrono::steady_clock::now();

    QByteArray body;
    AnswerFaults faults;
    {
        std::unique_lock lock(mutex);
        ++counts[number];
        searches.append({number, kind});
        faults = faultsFor(number);
        if (faults.noAnswer)
            hold(lock, std::nullopt);
        else if (faults.latency.count() > 0)
            hold(lock, received + faults.latency);
        body = toCp1251Bytes(renderAnswer(number, kind, faults));
    }

    response.set_header("Cache-Control", "no-store");
    if (faults.closeConnection) {
        response.set_content_provider(static_cast<size_t>(body.size()), kHtmlType,
                                      [](size_t, size_t, httplib::DataSink&) { return false; });
        return;
    }
    response.set_content(body.toStdString(), kHtmlType);
}

SiteDouble::SiteDouble() : m_shared(std::make_shared<Shared>())
{
}

SiteDouble::~SiteDouble()
{
    stop();
}

bool SiteDouble::start(quint16 port)
{
    if (isRunning())
        return true;
    Shared& shared = *m_shared;
    {
        std::lock_guard lock(shared.mutex);
        shared.stopping = false;
    }
    auto server = std::make_unique<httplib::Server>();
    // Held answers each keep a thread, so allow more than the default handful.
    server->new_task_queue = [] { return new httplib::ThreadPool(16); };
    // A short keep-alive so that stop() is not held up by idle browser connections.
    server->set_keep_alive_timeout(1);
    // httplib writes the headers and the body of a response apart; with Nagle's algorithm on,
    // the body then waits for the client's delayed acknowledgement (up to 40 ms on Linux), and
    // an answer meant to come at once would come tens of milliseconds late.
    server->set_tcp_nodelay(true);
    server->Get("/", [&shared](const httplib::Request&, httplib::Response& response) { shared.handlePage(response); });
    server->Get("/answer", [&shared](const httplib::Request& request, httplib::Response& response) {
        shared.handleAnswer(request, response);
    });
    server->Get("/beacon", [&shared](const httplib::Request&, httplib::Response& response) {
        {
            std::lock_guard lock(shared.mutex);
            ++shared.beaconRequests;
        }
        response.set_header("Cache-Control", "no-store");
        response.set_content("", "text/plain");
    });
    server->Get("/loading.gif", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(reinterpret_cast<const char*>(kLoadingGif), sizeof kLoadingGif, "image/gif");
    });

    const int bound =
        port == 0 ? server->bind_to_any_port("127.0.0.1") : (server->bind_to_port("127.0.0.1", port) ? port : -1);
    if (bound <= 0)
        return false;
    shared.port = bound;
    shared.server = std::move(server);
    shared.thread = std::thread([&shared] { shared.server->listen_after_bind(); });
    // httplib's stop() does nothing to a server whose thread has not started listening yet,
    // and stop() would then wait for ever; so start() returns only once it listens.
    while (!shared.server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void SiteDouble::stop()
{
    Shared& shared = *m_shared;
    if (!shared.server)
        return;
    {
        std::lock_guard lock(shared.mutex);
        shared.stopping = true;
    }
    shared.wake.notify_all();
    shared.server->stop();
    if (shared.thread.joinable())
        shared.thread.join();
    shared.server.reset();
    shared.port = 0;
}

bool SiteDouble::isRunning() const
{
    return m_shared->server != nullptr;
}

quint16 SiteDouble::port() const
{
    return static_cast<quint16>(m_shared->port);
}

QString SiteDouble::url() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(port());
}

bool SiteDouble::loadFixture(const QString& path, QString* error)
{
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (document.isNull())
        return fail(QStringLiteral("%1: %2 at offset %3").arg(path, parseError.errorString()).arg(parseError.offset));
    if (!document.isObject() || !document.object().value(QLatin1String("answers")).isObject())
        return fail(QStringLiteral("%1: expected an object with an object \"answers\"").arg(path));

    QMap<QString, std::optional<QList<Event>>> answers;
    const QJsonObject answersObject = document.object().value(QLatin1String("answers")).toObject();
    for (auto it = answersObject.begin(); it != answersObject.end(); ++it) {
        if (it.value().isNull()) {
            answers.insert(it.key(), std::nullopt);
            continue;
        }
        if (!it.value().isArray())
            return fail(QStringLiteral("%1: the answer for \"%2\" is neither a list nor null").arg(path, it.key()));
        QList<Event> events;
        for (const QJsonValue& value : it.value().toArray()) {
            const QJsonObject event = value.toObject();
            if (!value.isObject() || !event.value(QLatin1String("date")).isString()
                || !event.value(QLatin1String("event")).isString() || !event.value(QLatin1String("office")).isString())
                return fail(QStringLiteral("%1: an event of \"%2\" lacks date, event or office").arg(path, it.key()));
            events.append({event.value(QLatin1String("date")).toString(),
                           event.value(QLatin1String("event")).toString(),
                           event.value(QLatin1String("office")).toString()});
        }
        answers.insert(it.key(), events);
    }
    const QJsonValue latency = document.object().value(QLatin1String("latencyMs"));
    if (!latency.isUndefined() && (!latency.isDouble() || latency.toInt(-1) < 0))
        return fail(QStringLiteral("%1: \"latencyMs\" is not a count of milliseconds").arg(path));
    QHash<QString, int> latencyFor;
    const QJsonObject latencyForObject = document.object().value(QLatin1String("latencyMsFor")).toObject();
    for (auto it = latencyForObject.begin(); it != latencyForObject.end(); ++it) {
        if (!it.value().isDouble() || it.value().toInt(-1) < 0)
            return fail(QStringLiteral("%1: the latency of \"%2\" is not a count of milliseconds").arg(path, it.key()));
        latencyFor.insert(it.key(), it.value().toInt());
    }

    std::lock_guard lock(m_shared->mutex);
    m_shared->answers.insert(answers);
    if (!latency.isUndefined())
        m_shared->answerFaults.latency = std::chrono::milliseconds(latency.toInt());
    for (auto it = latencyFor.begin(); it != latencyFor.end(); ++it) {
        AnswerFaults faults = m_shared->numberFaults.value(it.key(), m_shared->answerFaults);
        faults.latency = std::chrono::milliseconds(it.value());
        m_shared->numberFaults.insert(it.key(), faults);
    }
    return true;
}

void SiteDouble::setAnswer(const QString& number, const QList<Event>& events)
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->answers.insert(number, events);
}

void SiteDouble::setNotFound(const QString& number)
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->answers.insert(number, std::nullopt);
}

void SiteDouble::clearAnswers()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->answers.clear();
}

void SiteDouble::setPageFaults(const PageFaults& faults)
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->pageFaults = faults;
}

SiteDouble::PageFaults SiteDouble::pageFaults() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->pageFaults;
}

void SiteDouble::setAnswerFaults(const AnswerFaults& faults)
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->answerFaults = faults;
}

void SiteDouble::setAnswerFaults(const QString& number, const AnswerFaults& faults)
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->numberFaults.insert(number, faults);
}

void SiteDouble::clearFaults()
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->pageFaults = {};
        m_shared->answerFaults = {};
        m_shared->numberFaults.clear();
    }
    releaseStalled();
}

void SiteDouble::releaseStalled()
{
    {
        std::lock_guard lock(m_shared->mutex);
        ++m_shared->releases;
    }
    m_shared->wake.notify_all();
}

int SiteDouble::searchCount(const QString& number) const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->counts.value(number);
}

int SiteDouble::totalSearches() const
{
    std::lock_guard lock(m_shared->mutex);
    return static_cast<int>(m_shared->searches.size());
}

QList<SiteDouble::Search> SiteDouble::searches() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->searches;
}

int SiteDouble::pageRequests() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->pageRequests;
}

int SiteDouble::beaconRequests() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->beaconRequests;
}

void SiteDouble::resetCounters()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->counts.clear();
    m_shared->searches.clear();
    m_shared->pageRequests = 0;
    m_shared->beaconRequests = 0;
}

QByteArray SiteDouble::pageBytes() const
{
    std::lock_guard lock(m_shared->mutex);
    return toCp1251Bytes(m_shared->renderPage(m_shared->pageFaults)).replace("%SPLIT%", "");
}

QByteArray SiteDouble::answerBytes(const QString& number, const QString& kind) const
{
    std::lock_guard lock(m_shared->mutex);
    return toCp1251Bytes(m_shared->renderAnswer(number, kind, m_shared->faultsFor(number)));
}
