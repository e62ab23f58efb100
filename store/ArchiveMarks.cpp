#include "store/ArchiveMarks.h"

#include "store/PlainLine.h"
#include "store/RowIds.h"
#include "store/SQLiteDatabase.h"
#include "store/SQLiteException.h"

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

int ArchiveMarks::offer(TSQLiteDatabase& db, const std::vector<std::int64_t>& ids)
{
    if (ids.empty())
        return 0;
    return inTransaction(db, [&] {
        int offered = 0;
        for (const std::int64_t id : ids) {
            db.Execute("INSERT INTO " + kTable
                           + " (id, offered) SELECT id, 1 FROM tracks WHERE id=?1"
                             " ON CONFLICT(id) DO UPDATE SET offered=1 WHERE offered=0 AND archived=0",
                       {id});
            offered += db.changes() > 0 ? 1 : 0;
        }
        return offered;
    });
}

bool ArchiveMarks::handedOver(const QString& status)
{
    // The operator's words for the last step ("Вручено", "Вручение отправления адресату",
    // "Выдано"); a failed attempt or a return is no delivery.
    const QString text = plainLine(status).toLower();
    if (text.contains(QStringLiteral("попытк")) || text.contains(QStringLiteral("неудач"))
        || text.contains(QStringLiteral("не вруч")) || text.contains(QStringLiteral("возврат")))
        return false;
    return text.contains(QStringLiteral("вруч")) || text.contains(QStringLiteral("выдан"));
}
