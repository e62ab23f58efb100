#include "ParcelStore.h"

#include "store/Cp1251.h"
#include "store/PrivateFile.h"
#include "store/RowIds.h"

#include <array>
#include <filesystem>
#include <initializer_list>
#include <string_view>

namespace {

// How long a statement that meets another connection's lock waits for it, where it waits: every
// writer of ours holds the lock for milliseconds only.
constexpr int kBusyWaitMs = 2000;

// Values travel as bound parameters, so a value that reads like a column name ("id",
// "s_track", "rowid") is still stored as the text given. A double quote or a NUL byte is
// refused as before: such a value was never storable and must not be half-written.
void checkValues(std::initializer_list<std::string_view> values)
{
    for (const std::string_view value : values) {
        if (value.find('"') != std::string_view::npos)
            throw ESQLiteException("A text value holds a double quote and cannot be stored");
        if (value.find('\0') != std::string_view::npos)
            throw ESQLiteException("A text value holds a NUL character and cannot be stored");
    }
}

// A parcel without an id (its row's id is no whole number) names no row, whatever its text.
std::int64_t parcelId(const Parcel& parcel)
{
    if (!parcel.id)
        throw ESQLiteException(QStringLiteral("The parcel id \"%1\" is not a whole decimal number").arg(parcel.idText));
    return *parcel.id;
}

// The columns of `tracks` a parcel is read from, in the order a failure to read them is reported.
// A list shows the `listed` ones; the others are read for one parcel, or for every field.
struct ParcelColumn
{
    const char* name;
    QString Parcel::*field;
    bool listed;
};
constexpr ParcelColumn kParcelColumns[] = {
    {"id", &Parcel::idText, true},
    {"s_track", &Parcel::number, true},
    {"s_trackfull", &Parcel::history, false},
    {"s_title", &Parcel::title, true},
    {"s_date", &Parcel::firstEventDate, true},
    {"s_status", &Parcel::status, true},
    {"s_shop", &Parcel::shop, true},
    {"s_comments", &Parcel::comments, false},
    {"i_type", &Parcel::type, false},
};
constexpr std::size_t kIdColumn = 0;

// Reads parcels from the rows of a result. Each column is found once per result, not once per
// field of every row: a list of thousands of parcels is read at every refresh. A column the
// result lacks (a foreign table) leaves its field empty, and the first such failure goes to
// `fieldFailure`.
class ParcelReader
{
public:
    enum Fields {
        Listed, // the fields a list shows; the others are not read
        Every,
    };

    ParcelReader(const TSQLiteTable& table, Fields fields, QString* fieldFailure) : m_table(table)
    {
        m_index.fill(-1); // not read
        for (std::size_t c = 0; c < std::size(kParcelColumns); ++c) {
            const ParcelColumn& column = kParcelColumns[c];
            if (fields == Listed && !column.listed)
                continue;
            try {
                m_index[c] = table.ColumnIndex(column.name);
            } catch (const std::exception& error) {
                if (fieldFailure != nullptr && fieldFailure->isEmpty())
                    *fieldFailure = QString::fromUtf8(error.what());
            }
        }
    }

    // The parcel of the table's current row.
    Parcel current() const
    {
        Parcel parcel;
        for (std::size_t c = 0; c < std::size(kParcelColumns); ++c) {
            if (m_index[c] < 0)
                continue;
            const std::string bytes = m_table.FieldText(m_index[c]);
            parcel.*kParcelColumns[c].field = fromCp1251(bytes);
            if (c == kIdColumn)
                parcel.id = wholeNumber(bytes);
        }
        return parcel;
    }

private:
    const TSQLiteTable& m_table;
    std::array<std::int32_t, std::size(kParcelColumns)> m_index;
};

bool fileExists(const std::string& fileName)
{
    std::error_code error;
    const auto status = std::filesystem::symlink_status(fileName, error);
    return !error && status.type() != std::filesystem::file_type::not_found;
}

// The statement texts. Values and the id are parameters (?1, ?2, ...) in the order of the
// operation's arguments, the id last; the nothing-found statement's status comes before it.
std::string createTableSql()
{
    return std::string("CREATE TABLE tracks ") + "(id INTEGER PRIMARY KEY AUTOINCREMENT," + "s_track TEXT,"
           + "s_trackfull TEXT," + "s_title TEXT," + "s_date TEXT," + "s_status TEXT," + "s_shop TEXT,"
           + "s_comments TEXT," + "i_type INTEGER)";
}

std::string listSql()
{
    return "SELECT * FROM tracks";
}

std::string parcelSql()
{
    return "SELECT * FROM tracks WHERE id=?1";
}

std::string insertSql()
{
    return std::string("INSERT INTO tracks") + " (s_track,s_shop,s_title,s_comments)" + " values(" + "?1,?2,?3,?4"
           + ")";
}

std::string editSql()
{
    return std::string("UPDATE tracks SET") + " s_track=?1," + " s_shop=?2," + " s_title=?3," + " s_comments=?4"
           + " WHERE id=?5";
}

std::string deleteSql()
{
    return "DELETE FROM tracks WHERE id=?1";
}

std::string checkResultSql()
{
    return std::string("UPDATE tracks SET") + " s_status=?1," + " s_date=?2," + " s_trackfull=?3" + " WHERE id=?4";
}

std::string noInformationSql()
{
    // The status is bound like every other value: between double quotes it would read as the
    // value of a column that a file from elsewhere happens to name so.
    return std::string("UPDATE tracks SET") + " s_status=?1" + " WHERE id=?2";
}

} // namespace

ParcelStore::OpenResult ParcelStore::open(const std::string& fileName, Role role, std::function<bool()> worthWaiting)
{
    close();
    m_openError.clear();
    if (role != Role::Window)
        return openExisting(fileName, role);
    OpenResult result = OpenResult::Opened;
    if (fileExists(fileName)) {
        // An existing file is used as it is: never inspected, never given a table.
        try {
            m_db = std::make_unique<TSQLiteDatabase>(fileName);
        } catch (const ESQLiteException& e) {
            m_openError = e.message();
            return OpenResult::OpenFailed;
        }
    } else {
        createPrivateFile(fileName);
        try {
            m_db = std::make_unique<TSQLiteDatabase>(fileName);
            m_db->Execute(createTableSql());
            result = OpenResult::Created;
        } catch (const ESQLiteException& e) {
            // A connection that opened stays open: later statements fail with their own boxes.
            m_openError = e.message();
            result = OpenResult::CreateFailed;
        }
    }
    if (m_db && worthWaiting)
        m_db->setBusyWait(kBusyWaitMs, std::move(worthWaiting));
    return result;
}

ParcelStore::OpenResult ParcelStore::openExisting(const std::string& fileName, Role role)
{
    // As the user sees the folder: a link to nowhere is no database either.
    std::error_code error;
    if (!std::filesystem::exists(fileName, error))
        return OpenResult::Missing;
    try {
        m_db = std::make_unique<TSQLiteDatabase>(fileName, role == Role::List
                                                               ? TSQLiteDatabase::OpenMode::ReadOnly
                                                               : TSQLiteDatabase::OpenMode::ReadWriteCreate);
        // The list waits already for the question whether there is a table at all.
        if (role == Role::List)
            m_db->setBusyWait(kBusyWaitMs);
        if (!m_db->HasTable("tracks")) {
            m_db.reset();
            return OpenResult::NoTracks;
        }
    } catch (const ESQLiteException& e) {
        m_db.reset();
        m_openError = e.message();
        return OpenResult::OpenFailed;
    }
    m_db->setBusyWait(kBusyWaitMs);
    return OpenResult::Opened;
}

void ParcelStore::close()
{
    m_db.reset();
}

TSQLiteDatabase& ParcelStore::database()
{
    if (!m_db)
        throw ESQLiteException("The database is not open");
    return *m_db;
}

const std::string& ParcelStore::noInformationStatus()
{
    // "Пока, нет информации!" in the program's Windows-1251 text.
    static const std::string status = "\xCF\xEE\xEA\xE0, \xED\xE5\xF2 \xE8\xED\xF4\xEE\xF0\xEC\xE0\xF6\xE8\xE8!";
    return status;
}

const QString& ParcelStore::noInformationText()
{
    static const QString text = fromCp1251(noInformationStatus());
    return text;
}

std::optional<Parcel> ParcelStore::parcel(std::int64_t id)
{
    const std::unique_ptr<TSQLiteTable> table = database().Query(parcelSql(), {id});
    if (table->AtEnd())
        return std::nullopt;
    QString failure;
    Parcel found = ParcelReader(*table, ParcelReader::Every, &failure).current();
    // One parcel is read for its fields; a field that is not there is a failure of the read.
    if (!failure.isEmpty())
        throw ESQLiteException(failure);
    return found;
}

std::int64_t ParcelStore::insert(const Parcel& parcel)
{
    const std::string track = toCp1251(parcel.number), shop = toCp1251(parcel.shop), title = toCp1251(parcel.title),
                      comment = toCp1251(parcel.comments);
    checkValues({track, shop, title, comment});
    database().Execute(insertSql(), {track, shop, title, comment});
    return database().lastInsertRowId();
}

std::vector<std::int64_t> ParcelStore::insertAll(const std::vector<Parcel>& parcels)
{
    // Every text is encoded and checked before the first row is written.
    std::vector<std::vector<SQLiteValue>> rows;
    rows.reserve(parcels.size());
    for (const Parcel& parcel : parcels) {
        std::string track = toCp1251(parcel.number), shop = toCp1251(parcel.shop), title = toCp1251(parcel.title),
                    comment = toCp1251(parcel.comments);
        checkValues({track, shop, title, comment});
        rows.push_back({std::move(track), std::move(shop), std::move(title), std::move(comment)});
    }
    TSQLiteDatabase& db = database();
    std::vector<std::int64_t> ids;
    ids.reserve(rows.size());
    db.Execute("BEGIN IMMEDIATE");
    try {
        for (const std::vector<SQLiteValue>& values : rows) {
            db.Execute(insertSql(), values);
            ids.push_back(db.lastInsertRowId());
        }
        db.Execute("COMMIT");
    } catch (...) {
        db.rollback();
        throw;
    }
    return ids;
}

bool ParcelStore::edit(const Parcel& parcel)
{
    const std::string track = toCp1251(parcel.number), shop = toCp1251(parcel.shop), title = toCp1251(parcel.title),
                      comment = toCp1251(parcel.comments);
    checkValues({track, shop, title, comment});
    database().Execute(editSql(), {track, shop, title, comment, parcelId(parcel)});
    return database().changes() > 0;
}

int ParcelStore::removeAll(const std::vector<std::int64_t>& ids)
{
    TSQLiteDatabase& db = database();
    int removed = 0;
    db.Execute("BEGIN IMMEDIATE");
    try {
        for (const std::int64_t id : ids) {
            db.Execute(deleteSql(), {id});
            removed += db.changes() > 0 ? 1 : 0;
        }
        db.Execute("COMMIT");
    } catch (...) {
        db.rollback();
        throw;
    }
    return removed;
}

ESQLiteException ParcelStore::historyOfMissingParcel()
{
    try {
        TSQLiteTable().FieldText("s_trackfull");
    } catch (const ESQLiteException& e) {
        return e;
    }
    return ESQLiteException("Empty dataset");
}

std::int64_t ParcelStore::rowId(const Parcel& parcel)
{
    return parcelId(parcel);
}

std::vector<Parcel> ParcelStore::parcels(QString* fieldFailure)
{
    const std::unique_ptr<TSQLiteTable> table = database().Query(listSql());
    std::vector<Parcel> found;
    if (table->RowCount() == 0)
        return found;
    found.reserve(static_cast<std::size_t>(table->RowCount()));
    const ParcelReader reader(*table, ParcelReader::Listed, fieldFailure);
    for (table->Rewind(); !table->AtEnd(); table->NextRow())
        found.push_back(reader.current());
    const std::unordered_set<std::int64_t> archived = ArchiveMarks::archived(database());
    for (Parcel& parcel : found)
        parcel.archived = parcel.id && archived.count(*parcel.id) > 0;
    return found;
}

bool ParcelStore::storeCheckResult(std::int64_t id, const QString& status, const QString& date, const QString& history)
{
    const std::string statusBytes = toCp1251(status), dateBytes = toCp1251(date), historyBytes = toCp1251(history);
    checkValues({statusBytes, dateBytes, historyBytes});
    database().Execute(checkResultSql(), {statusBytes, dateBytes, historyBytes, id});
    return database().changes() > 0;
}

bool ParcelStore::storeNoInformation(std::int64_t id)
{
    database().Execute(noInformationSql(), {noInformationStatus(), id});
    return database().changes() > 0;
}

SeenStatuses::Preparation ParcelStore::prepareSeen(std::string* cause) noexcept
{
    if (!m_db) {
        if (cause)
            *cause = "the database is not open";
        return SeenStatuses::Preparation::Untouched;
    }
    return SeenStatuses::prepare(*m_db, cause);
}

std::optional<std::unordered_set<std::int64_t>> ParcelStore::changedParcels() noexcept
{
    if (!m_db)
        return std::nullopt;
    return SeenStatuses::changedParcels(*m_db);
}

bool ParcelStore::markSeen(std::int64_t id, const QString& status) noexcept
{
    try {
        return m_db && SeenStatuses::markSeen(*m_db, id, toCp1251(status));
    } catch (...) {
        return false; // no memory for the encoded text: the row stays bold until the next click
    }
}

bool ParcelStore::forgetSeen(std::int64_t id) noexcept
{
    return m_db && SeenStatuses::forget(*m_db, id);
}

void ParcelStore::setArchived(const std::vector<std::int64_t>& ids, bool archived)
{
    ArchiveMarks::setArchived(database(), ids, archived);
}

std::vector<std::int64_t> ParcelStore::offerForArchive(const std::vector<std::int64_t>& ids)
{
    return ArchiveMarks::offer(database(), ids);
}

void ParcelStore::recordRun(const RunRecord& run)
{
    RunHistory::record(database(), run);
}

std::optional<RunRecord> ParcelStore::newestRun() noexcept
{
    if (!m_db)
        return std::nullopt;
    return RunHistory::newest(*m_db);
}
