#include "store/ArchiveMarks.h"

#include "store/PlainLine.h"
#include "store/RowIds.h"
#include "store/SQLiteDatabase.h"
#include "store/SQLiteException.h"

#include <algorithm>

namespace {

const std::string kTable = ArchiveMarks::kTableName;

// Runs `body` in one write transaction on a table that is there, rows of deleted parcels gone
// first; anything that fails leaves the file as it was.
template <typename Body> auto inTransaction(TSQLiteDatabase& db, Body body)
{
    db.Execute("BEGIN IMMEDIATE");
    try {
        db.Execute("CREATE TABLE IF NOT EXISTS " + kTable
                   + " (id INTEGER PRIMARY KEY, archived INTEGER NOT NULL DEFAULT 0,"
                     " offered INTEGER NOT NULL DEFAULT 0)");
        db.Execute("DELETE FROM " + kTable + " WHERE id NOT IN (SELECT id FROM tracks)");
        auto result = body();
        db.Execute("COMMIT");
        return result;
    } catch (...) {
        db.rollback();
        throw;
    }
}

} // namespace

std::unordered_set<std::int64_t> ArchiveMarks::archived(TSQLiteDatabase& db) noexcept
{
    std::unordered_set<std::int64_t> ids;
    try {
        if (!db.HasTable(kTable))
            return ids;
        const auto table = db.Query("SELECT id FROM " + kTable + " WHERE archived");
        ids = idsOfFirstColumn(*table);
    } catch (const std::exception&) {
        ids.clear();
    }
    return ids;
}

void ArchiveMarks::setArchived(TSQLiteDatabase& db, const std::vector<std::int64_t>& ids, bool archived)
{
    if (ids.empty())
        return;
    inTransaction(db, [&] {
        for (const std::int64_t id : ids) {
            db.Execute("INSERT INTO " + kTable
                           + " (id, archived, offered) SELECT id, ?2, ?2 FROM tracks WHERE id=?1"
                             " ON CONFLICT(id) DO UPDATE SET archived=excluded.archived,"
                             " offered=max(offered, excluded.offered)",
                       {id, std::int64_t(archived ? 1 : 0)});
        }
        return true;
    });
}

std::vector<std::int64_t> ArchiveMarks::offer(TSQLiteDatabase& db, const std::vector<std::int64_t>& ids)
{
    if (ids.empty())
        return {};
    return inTransaction(db, [&] {
        std::vector<std::int64_t> offered;
        for (const std::int64_t id : ids) {
            db.Execute("INSERT INTO " + kTable
                           + " (id, offered) SELECT id, 1 FROM tracks WHERE id=?1"
                             " ON CONFLICT(id) DO UPDATE SET offered=1 WHERE offered=0 AND archived=0",
                       {id});
            if (db.changes() > 0)
                offered.push_back(id);
        }
        return offered;
    });
}

namespace {

// What the operator's event texts say of a parcel, as words (or beginnings of words) in the
// status, lower-cased. A parcel is handed over when a word of the first kind is there and none
// of the second: "для вручения" holds "вручени" but says that it waits.
struct DeliveryWords
{
    std::vector<QString> handedOver;
    std::vector<QString> notYet;
};

const DeliveryWords& deliveryWords()
{
    static const DeliveryWords words{
        // "Вручено", "Вручена", "Вручение адресату", "Вручение отправления адресату", "Выдано",
        // "Выдана", "Выдача адресату", "Получено адресатом".
        {
            QStringLiteral("вручено"),
            QStringLiteral("вручена"),
            QStringLiteral("вручен "),
            QStringLiteral("вручение"),
            QStringLiteral("выдано"),
            QStringLiteral("выдана"),
            QStringLiteral("выдан "),
            QStringLiteral("выдача"),
            QStringLiteral("получено адресатом"),
        },
        // Waiting to be handed over, a failed attempt, a return, a refusal.
        {
            QStringLiteral("для вручения"),
            QStringLiteral("к вручению"),
            QStringLiteral("на вручение"),
            QStringLiteral("место вручения"),
            QStringLiteral("для выдачи"),
            QStringLiteral("к выдаче"),
            QStringLiteral("на выдачу"),
            QStringLiteral("ожида"),
            QStringLiteral("готов"),
            QStringLiteral("попытк"),
            QStringLiteral("неудач"),
            QStringLiteral("невозможн"),
            QStringLiteral("не вруч"),
            QStringLiteral("не выд"),
            QStringLiteral("возврат"),
            QStringLiteral("отказ"),
            QStringLiteral("отправител"),
        },
    };
    return words;
}

} // namespace

bool ArchiveMarks::handedOver(const QString& status)
{
    // One line of lower-case words with a blank after the last, so that "вручен " also matches
    // at the end; "ё" read as "е".
    QString text = plainLine(status).toLower() + u' ';
    text.replace(u'ё', u'е');
    const DeliveryWords& words = deliveryWords();
    const auto holds = [&text](const QString& word) { return text.contains(word); };
    return std::any_of(words.handedOver.begin(), words.handedOver.end(), holds)
           && std::none_of(words.notYet.begin(), words.notYet.end(), holds);
}
