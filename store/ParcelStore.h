#pragma once

#include "store/ArchiveMarks.h"
#include "store/Parcel.h"
#include "store/RunHistory.h"
#include "store/SQLiteDatabase.h"
#include "store/SQLiteException.h"
#include "store/SQLiteTable.h"
#include "store/SeenStatuses.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

// The parcel table `tracks` in `database.db`: opening the store and every statement the
// program sends to it. Failures are raised as ESQLiteException; the windows show the boxes.
class ParcelStore
{
public:
    static constexpr const char* kFileName = "database.db";

    // Who opens the file, and with it how the file is opened and how long a statement that meets
    // another connection's lock waits for it.
    enum class Role {
        // The window: the file and its table are made when the file is missing. A lock is waited
        // for only while `worthWaiting` (given to open()) says a check run of ours holds it: its
        // writes take milliseconds. Another program's lock fails at once.
        Window,
        // The check without a window: an existing file with `tracks` only, never made here (a
        // timer in a folder without the database must not leave an empty one). Any lock is
        // waited for (the open window saving an edit).
        Check,
        // The list: read-only, never made, never written; any lock is waited for.
        List,
    };

    enum class OpenResult {
        Opened,       // an existing file, used unaltered
        Created,      // a new file with the table `tracks` (the window only)
        OpenFailed,   // an existing file could not be opened, or read (Check, List): the program must end
        CreateFailed, // a new file or its table could not be made: start-up goes on
        Missing,      // Check, List: there is no such file; nothing was made
        NoTracks,     // Check, List: the file has no table `tracks`; the store stays closed
    };

    ParcelStore() = default;

    // Opens `fileName` (relative to the current directory unless absolute) as `role` opens it.
    // On OpenFailed/CreateFailed, lastOpenError() holds the layer's message; the store may stay
    // without a connection.
    OpenResult open(const std::string& fileName = kFileName, Role role = Role::Window,
                    std::function<bool()> worthWaiting = {});
    const QString& lastOpenError() const { return m_openError; }

    // Releases the connection; every later operation raises.
    void close();
    bool isOpen() const { return m_db != nullptr; }
    TSQLiteDatabase& database();

    // Every parcel, with the fields a list shows: id, first-event date, number, status, shop,
    // title, and whether it is archived. The history, comments and type stay empty: a list read
    // at every refresh decodes no histories; parcel() reads one parcel whole. A field that cannot
    // be read (a column a foreign table lacks) is left empty in its parcel, and the first such
    // failure is given in `fieldFailure`: no parcel is dropped for one bad field. A failure of the
    // query itself raises.
    std::vector<Parcel> parcels(QString* fieldFailure = nullptr);

    // The parcel with that id; nothing when no row has it (deleted meanwhile). Raises when one of
    // its fields cannot be read.
    std::optional<Parcel> parcel(std::int64_t id);

    // Adds `parcel`'s number, shop, title and comments as a new row; its id is the new row's.
    std::int64_t insert(const Parcel& parcel);
    // Adds every parcel as insert() does, in one transaction: all rows or, when one fails, none
    // (the failure is raised). Gives the new ids in the order of `parcels`.
    std::vector<std::int64_t> insertAll(const std::vector<Parcel>& parcels);
    // The statements on one parcel give whether its row was there: false when the statement ran
    // but no row has that id (deleted meanwhile by another window or process), so nothing was
    // written. A failure still raises. A text with a double quote or a NUL is refused whole.
    // edit() writes number, shop, title and comments; a parcel without an id names no row, so
    // nothing is sent and ESQLiteException is raised, as for a bad id below.
    bool edit(const Parcel& parcel);
    // Deletes the parcels `ids` in one transaction: all of them or, when a statement fails, none
    // (the failure is raised). Gives how many rows were there to delete.
    int removeAll(const std::vector<std::int64_t>& ids);
    bool storeCheckResult(std::int64_t id, const QString& status, const QString& date, const QString& history);
    bool storeNoInformation(std::int64_t id);

    // What reading the history of a parcel that is not there raises: the layer's words for a
    // field of an empty result.
    static ESQLiteException historyOfMissingParcel();

    // The id of a parcel about to be named in a statement; ESQLiteException for one without.
    static std::int64_t rowId(const Parcel& parcel);

    // The status the nothing-found statement stores: "Пока, нет информации!".
    static const QString& noInformationText();

    // The status each parcel's user last saw (see SeenStatuses). None of these raises.
    // Whoever opens the file first after an upgrade prepares it before any status changes.
    SeenStatuses::Preparation prepareSeen(std::string* cause = nullptr) noexcept;
    // The parcels whose status differs from the one their user last saw; nothing without the table.
    std::optional<std::unordered_set<std::int64_t>> changedParcels() noexcept;
    // Records `status` as seen for parcel `id`; false when nothing could be written.
    bool markSeen(std::int64_t id, const QString& status) noexcept;
    // Drops what was seen of a deleted parcel; false when that must wait for the next preparation.
    bool forgetSeen(std::int64_t id) noexcept;

    // The archive (see ArchiveMarks). setArchived() and offerForArchive() raise ESQLiteException;
    // offerForArchive() gives those of `ids` that had been neither offered nor archived before.
    void setArchived(const std::vector<std::int64_t>& ids, bool archived);
    std::vector<std::int64_t> offerForArchive(const std::vector<std::int64_t>& ids);

    // The check runs (see RunHistory). recordRun() raises ESQLiteException; newestRun() gives
    // nothing when no run was recorded or the table cannot be read.
    void recordRun(const RunRecord& run);
    std::optional<RunRecord> newestRun() noexcept;

private:
    OpenResult openExisting(const std::string& fileName, Role role);
    // noInformationText() as the file holds it.
    static const std::string& noInformationStatus();

    std::unique_ptr<TSQLiteDatabase> m_db;
    QString m_openError;
};
