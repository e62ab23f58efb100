#include "bench/harness/BenchParcels.h"

#include "store/Cp1251.h"
#include "store/ParcelStore.h"
#include "tests/support/TracksTable.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <sqlite3.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace {

using Connection = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;
using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

Connection open(const std::string& path, int flags)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    Connection connection(db, &sqlite3_close);
    if (rc != SQLITE_OK)
        throw std::runtime_error("cannot open " + path + ": " + sqlite3_errstr(rc));
    return connection;
}

void exec(sqlite3* db, const std::string& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw std::runtime_error(message);
    }
}

struct Event
{
    QString date;
    QString event;
    QString office;
};

// Four events, a day apart from a first event that moves with the parcel's index.
QList<Event> eventsOf(int index)
{
    const QDateTime first(QDate(2013, 1, 1).addDays(index % 300), QTime(8 + index % 10, 15));
    static const char16_t* const kEvents[] = {
        u"Получение отправления от отправителя", u"Отправка отправления из учреждения обмена",
        u"Поступление отправления в учреждение обмена", u"Поступление отправления в учреждение доставки"};
    static const char16_t* const kOffices[] = {u"100614*", u"BEIJING", u"MINSK PI 2", u"220050"};
    QList<Event> events;
    for (int i = 0; i < 4; ++i)
        events.append({first.addDays(i).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), QString::fromUtf16(kEvents[i]),
                       QString::fromUtf16(kOffices[i])});
    return events;
}

} // namespace

std::string BenchParcels::number(int index)
{
    char text[16];
    std::snprintf(text, sizeof text, "RB%09dCN", index);
    return text;
}

void BenchParcels::writeDatabase(const std::string& path, int count, bool checked)
{
    std::remove(path.c_str());
    const Connection db = open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    exec(db.get(), kCreateTracks);
    exec(db.get(), "BEGIN");
    sqlite3_stmt* raw = nullptr;
    const char* insert = "INSERT INTO tracks (s_track,s_shop,s_title,s_comments,s_status,s_date,s_trackfull) "
                         "VALUES (?1,?2,?3,?4,?5,?6,?7)";
    if (sqlite3_prepare_v2(db.get(), insert, -1, &raw, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db.get()));
    const Statement statement(raw, &sqlite3_finalize);

    static const char16_t* const kShops[] = {u"AliExpress", u"Ebay", u"Joom", u"DealExtreme"};
    static const char16_t* const kTitles[] = {u"Чехол для телефона", u"Карта памяти 32 ГБ", u"Фонарик",
                                              u"Набор отвёрток"};
    for (int i = 1; i <= count; ++i) {
        std::vector<std::string> values = {number(i), toCp1251(QString::fromUtf16(kShops[i % 4])),
                                           toCp1251(QString::fromUtf16(kTitles[i % 4])), std::string()};
        if (checked) {
            const QList<Event> events = eventsOf(i);
            QStringList history;
            for (const Event& event : events)
                history << event.date + QLatin1Char(' ') + event.event + QLatin1Char(' ') + event.office;
            values.push_back(toCp1251(events.last().event));
            values.push_back(toCp1251(events.first().date));
            values.push_back(toCp1251(history.join(QStringLiteral("\r\n"))));
        }
        for (std::size_t v = 0; v < 7; ++v) {
            const int slot = int(v) + 1;
            if (v < values.size())
                sqlite3_bind_text(raw, slot, values[v].data(), int(values[v].size()), SQLITE_TRANSIENT);
            else
                sqlite3_bind_null(raw, slot);
        }
        if (sqlite3_step(raw) != SQLITE_DONE)
            throw std::runtime_error(sqlite3_errmsg(db.get()));
        sqlite3_reset(raw);
    }
    exec(db.get(), "COMMIT");
}

void BenchParcels::writeFixture(const std::string& path, int count, int latencyMs, int heldFirst, int heldMs)
{
    QJsonObject held;
    for (int i = 1; i <= heldFirst; ++i)
        held.insert(QString::fromStdString(number(i)), heldMs);
    QJsonObject answers;
    for (int i = 1; i <= count; ++i) {
        QJsonArray events;
        for (const Event& event : eventsOf(i))
            events.append(QJsonObject{{QStringLiteral("date"), event.date},
                                      {QStringLiteral("event"), event.event},
                                      {QStringLiteral("office"), event.office}});
        answers.insert(QString::fromStdString(number(i)), events);
    }
    const QJsonObject fixture{{QStringLiteral("latencyMs"), latencyMs},
                              {QStringLiteral("latencyMsFor"), held},
                              {QStringLiteral("answers"), answers}};
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(QJsonDocument(fixture).toJson(QJsonDocument::Indented)) < 0)
        throw std::runtime_error("cannot write " + path);
}

void BenchParcels::clearResults(const std::string& path)
{
    const Connection db = open(path, SQLITE_OPEN_READWRITE);
    exec(db.get(), "UPDATE tracks SET s_status=NULL, s_date=NULL, s_trackfull=NULL");
}

int BenchParcels::checkedRows(const std::string& path)
{
    const Connection db = open(path, SQLITE_OPEN_READONLY);
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db.get(), "SELECT count(*) FROM tracks WHERE length(s_trackfull) > 0", -1, &raw, nullptr)
        != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db.get()));
    const Statement statement(raw, &sqlite3_finalize);
    return sqlite3_step(raw) == SQLITE_ROW ? sqlite3_column_int(raw, 0) : 0;
}
