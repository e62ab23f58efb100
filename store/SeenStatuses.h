#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>

class TSQLiteDatabase;

// The store's own bookkeeping; the rest of the program reaches it through ParcelStore.
//
// The status each parcel's user last saw, kept in database.db in a table of its own
// (`kurierix_seen`: the parcel's id and its status as the same Windows-1251 bytes as in `tracks`).
// `tracks` and its definition stay as they are, so older copies of the program still read the
// file; rows they leave behind for parcels they deleted are dropped at the next preparation.
//
// A parcel without a row counts as last seen without a status, and NULL counts as the empty
// status: a parcel added later is not marked, and is marked once a check gives it a status.
//
// Nothing here throws or asks anything: a file where the table cannot be made or read simply
// shows no changed parcels, and the caller's own work goes on.
class SeenStatuses
{
public:
    static constexpr const char* kTableName = "kurierix_seen";

    enum class Preparation {
        Ready,     // the table is there
        Untouched, // read-only, no `tracks`, damaged or foreign: nothing was written, nor will be
        Busy,      // another connection holds the file: nothing was written; prepare again later
    };

    // Whoever opens the file first after an upgrade calls this before any check changes a
    // status. A missing table is made, in one transaction, with every current status counted as
    // seen; in a file that has the table, rows of parcels no longer in `tracks` are dropped.
    // `cause`, when given, receives SQLite's reason for anything but Ready.
    static Preparation prepare(TSQLiteDatabase& db, std::string* cause = nullptr) noexcept;

    // The parcels whose status in `tracks` differs from the one their user last saw; nothing when
    // the table is missing or cannot be read. A row whose id is no whole number is never counted.
    static std::optional<std::unordered_set<std::int64_t>> changedParcels(TSQLiteDatabase& db) noexcept;

    // Records `status` as the one the user has now seen for parcel `id`, if that parcel is still
    // in `tracks`. False when nothing could be written (a lock, a read-only file, no table).
    // `status` is the stored Windows-1251 bytes.
    static bool markSeen(TSQLiteDatabase& db, std::int64_t id, const std::string& status) noexcept;

    // Drops the row of a deleted parcel. False when it could not be dropped now; the next
    // preparation drops it then.
    static bool forget(TSQLiteDatabase& db, std::int64_t id) noexcept;
};
