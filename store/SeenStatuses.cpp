#include "store/SeenStatuses.h"

#include "store/Cp1251.h"
#include "store/RowIds.h"
#include "store/SQLiteDatabase.h"
#include "store/SQLiteException.h"

namespace {

const std::string kTable = SeenStatuses::kTableName;

// Makes the table and counts every current status as seen, all or nothing. The write lock comes
// first, so that no other connection changes a status between the copy and the commit, and
// nothing is written to a file whose pages do not all read back.
SeenStatuses::Preparation create(TSQLiteDatabase& db)
{
    db.Execute("BEGIN IMMEDIATE");
    if (db.HasTable(kTable)) { // another copy made it while this one waited
        db.Execute("COMMIT");
        return SeenStatuses::Preparation::Ready;
    }
    const auto check = db.Query("PRAGMA quick_check");
    if (check->RowCount() != 1 || check->FieldText(0) != "ok")
        throw ESQLiteException(QStringLiteral("the file is damaged: ")
                               + (check->AtEnd() ? QString() : fromCp1251(check->FieldText(0))));
    db.Execute("CREATE TABLE " + kTable + " (id INTEGER PRIMARY KEY, s_status TEXT)");
    db.Execute("INSERT INTO " + kTable + " (id, s_status) SELECT id, s_status FROM tracks");
    db.Execute("COMMIT");
    return SeenStatuses::Preparation::Ready;
}

// Rows of parcels that an older copy deleted. Written only when there are some, so that an
// ordinary start writes nothing; a failure leaves them for the next start.
void dropDeleted(TSQLiteDatabase& db)
{
    const std::string deleted = " FROM " + kTable + " WHERE id NOT IN (SELECT id FROM tracks)";
    if (db.Query("SELECT 1" + deleted + " LIMIT 1")->RowCount() > 0)
        db.Execute("DELETE" + deleted);
}

} // namespace

SeenStatuses::Preparation SeenStatuses::prepare(TSQLiteDatabase& db, std::string* cause) noexcept
{
    const auto untouched = [cause](const std::string& why) {
        if (cause)
            *cause = why;
        return Preparation::Untouched;
    };
    if (db.isReadOnly())
        return untouched("the database is read-only");
    try {
        if (!db.HasTable("tracks"))
            return untouched("the database has no table tracks");
        if (!db.HasTable(kTable))
            return create(db);
    } catch (const std::exception& e) {
        // A lock held by another connection passes; anything else about a file stays as it is.
        const bool busy = db.lockedByOther();
        // Leaves no transaction open after a failure, whatever SQLite already undid by itself.
        db.rollback();
        if (cause)
            *cause = e.what();
        return busy ? Preparation::Busy : Preparation::Untouched;
    }
    try {
        dropDeleted(db);
    } catch (const std::exception&) {
    }
    return Preparation::Ready;
}

std::optional<std::unordered_set<std::int64_t>> SeenStatuses::changedParcels(TSQLiteDatabase& db) noexcept
{
    try {
        // Compared as stored bytes; a parcel without a row was seen with no status.
        const auto table = db.Query("SELECT t.id FROM tracks t LEFT JOIN " + kTable
                                    + " s ON s.id = t.id WHERE ifnull(t.s_status, '') IS NOT ifnull(s.s_status, '')");
        return idsOfFirstColumn(*table);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool SeenStatuses::markSeen(TSQLiteDatabase& db, std::int64_t id, const std::string& status) noexcept
{
    try {
        db.Execute("INSERT OR REPLACE INTO " + kTable + " (id, s_status) SELECT id, ?2 FROM tracks WHERE id=?1",
                   {id, status});
        return db.changes() > 0;
    } catch (const std::exception&) {
        return false;
    }
}

bool SeenStatuses::forget(TSQLiteDatabase& db, std::int64_t id) noexcept
{
    try {
        db.Execute("DELETE FROM " + kTable + " WHERE id=?1", {id});
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
