#pragma once

#include <QString>

#include <cstdint>
#include <unordered_set>
#include <vector>

class TSQLiteDatabase;

// The store's own bookkeeping; the rest of the program reaches it through ParcelStore.
//
// Which parcels their user put in the archive, and which delivered parcels the window has
// already offered for it, kept in database.db in a table of its own (`kurierix_archive`: the
// parcel's id, whether it is archived, whether it was offered). `tracks` stays as older copies of
// the program know it; the table is made at the first write, and rows of parcels no longer in
// `tracks` are dropped at every write.
class ArchiveMarks
{
public:
    static constexpr const char* kTableName = "kurierix_archive";

    // The archived parcels; none when the table is missing or cannot be read.
    static std::unordered_set<std::int64_t> archived(TSQLiteDatabase& db) noexcept;

    // Puts the parcels `ids` in the archive, or takes them out, in one transaction; ids no longer
    // in `tracks` are passed over. An archived parcel counts as offered. Raises ESQLiteException.
    static void setArchived(TSQLiteDatabase& db, const std::vector<std::int64_t>& ids, bool archived);

    // Notes the parcels `ids` as offered for the archive, in one transaction, and gives those of
    // them that were neither offered nor archived before. Raises ESQLiteException.
    static std::vector<std::int64_t> offer(TSQLiteDatabase& db, const std::vector<std::int64_t>& ids);

    // Whether a status (the newest event, as stored) says the parcel was handed over or issued
    // ("Вручено", "Вручение адресату", "Выдано"), never one that says it waits to be ("Поступило
    // для вручения", "Ожидает адресата", "Готово к выдаче"), failed or went back. Every parcel
    // the program counts as delivered is counted by this one table of words.
    static bool handedOver(const QString& status);
};
