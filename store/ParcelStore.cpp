#include "ParcelStore.h"

#include "store/Cp1251.h"

#include <charconv>
#include <filesystem>
#include <initializer_list>
#include <string_view>
#include <system_error>

namespace {

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

// An id names a parcel only as a whole decimal number. An empty grid cell, or "1 OR 1=1" in a
// file whose id column another tool declared TEXT, names none: no statement is sent for it.
std::int64_t parcelId(const std::string& id)
{
    std::int64_t value = 0;
    const char* end = id.data() + id.size();
    const auto [stop, error] = std::from_chars(id.data(), end, value);
    if (id.empty() || error != std::errc() || stop != end)
        throw ESQLiteException("The parcel id \"" + id + "\" is not a whole decimal number");
    return value;
}

bool fileExists(const std::string& fileName)
{
    std::error_code error;
    const auto status = std::filesystem::symlink_status(fileName, error);
    return !error && status.type() != std::filesystem::file_type::not_found;
}

} // namespace

ParcelStore::OpenResult ParcelStore::open(const std::string& fileName)
{
    close();
    m_openError.clear();
    if (fileExists(fileName)) {
        // An existing file is used as it is: never inspected, never given a table.
        try {
            m_db = std::make_unique<TSQLiteDatabase>(fileName);
            return OpenResult::Opened;
        } catch (const ESQLiteException& e) {
            m_openError = e.what();
            return OpenResult::OpenFailed;
        }
    }
    try {
        m_db = std::make_unique<TSQLiteDatabase>(fileName);
        m_db->Execute(createTableSql());
        return OpenResult::Created;
    } catch (const ESQLiteException& e) {
        // A connection that opened stays open: later statements fail with their own boxes.
        m_openError = e.what();
        return OpenResult::CreateFailed;
    }
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

std::string ParcelStore::createTableSql()
{
    return std::string("CREATE TABLE tracks ") + "(id INTEGER PRIMARY KEY AUTOINCREMENT," + "s_track TEXT,"
           + "s_trackfull TEXT," + "s_title TEXT," + "s_date TEXT," + "s_status TEXT," + "s_shop TEXT,"
           + "s_comments TEXT," + "i_type INTEGER)";
}

std::string ParcelStore::listSql()
{
    return "SELECT * FROM tracks";
}

std::string ParcelStore::parcelSql()
{
    return "SELECT * FROM tracks WHERE id=?1";
}

std::string ParcelStore::insertSql()
{
    return std::string("INSERT INTO tracks") + " (s_track,s_shop,s_title,s_comments)" + " values(" + "?1,?2,?3,?4"
           + ")";
}

std::string ParcelStore::editSql()
{
    return std::string("UPDATE tracks SET") + " s_track=?1," + " s_shop=?2," + " s_title=?3," + " s_comments=?4"
           + " WHERE id=?5";
}

std::string ParcelStore::deleteSql()
{
    return "DELETE FROM tracks WHERE id=?1";
}

std::string ParcelStore::checkResultSql()
{
    return std::string("UPDATE tracks SET") + " s_status=?1," + " s_date=?2," + " s_trackfull=?3" + " WHERE id=?4";
}

std::string ParcelStore::noInformationSql()
{
    // The status is bound like every other value: between double quotes it would read as the
    // value of a column that a file from elsewhere happens to name so.
    return std::string("UPDATE tracks SET") + " s_status=?1" + " WHERE id=?2";
}

const std::string& ParcelStore::noInformationStatus()
{
    // "Пока, нет информации!" in the program's Windows-1251 text.
    static const std::string status = "\xCF\xEE\xEA\xE0, \xED\xE5\xF2 \xE8\xED\xF4\xEE\xF0\xEC\xE0\xF6\xE8\xE8!";
    return status;
}

std::unique_ptr<TSQLiteTable> ParcelStore::listAll()
{
    return database().Query(listSql());
}

std::unique_ptr<TSQLiteTable> ParcelStore::parcel(const std::string& id)
{
    return database().Query(parcelSql(), {parcelId(id)});
}

void ParcelStore::insert(const std::string& track, const std::string& shop, const std::string& title,
                         const std::string& comment)
{
    checkValues({track, shop, title, comment});
    database().Execute(insertSql(), {track, shop, title, comment});
}

bool ParcelStore::edit(const std::string& id, const std::string& track, const std::string& shop,
                       const std::string& title, const std::string& comment)
{
    checkValues({track, shop, title, comment});
    database().Execute(editSql(), {track, shop, title, comment, parcelId(id)});
    return database().changes() > 0;
}

bool ParcelStore::remove(const std::string& id)
{
    database().Execute(deleteSql(), {parcelId(id)});
    return database().changes() > 0;
}

bool ParcelStore::storeCheckResult(const std::string& id, const std::string& status, const std::string& date,
                                   const std::string& history)
{
    checkValues({status, date, history});
    database().Execute(checkResultSql(), {status, date, history, parcelId(id)});
    return database().changes() > 0;
}

bool ParcelStore::storeNoInformation(const std::string& id)
{
    database().Execute(noInformationSql(), {noInformationStatus(), parcelId(id)});
    return database().changes() > 0;
}

std::vector<Parcel> ParcelStore::parcels(std::string* fieldFailure)
{
    const std::unique_ptr<TSQLiteTable> table = listAll();
    std::vector<Parcel> found;
    found.reserve(static_cast<std::size_t>(table->RowCount()));
    const auto field = [&](const char* column) -> QString {
        try {
            return fromCp1251(table->FieldText(column));
        } catch (const std::exception& error) {
            if (fieldFailure != nullptr && fieldFailure->empty())
                *fieldFailure = error.what();
            return QString();
        }
    };
    for (table->Rewind(); !table->AtEnd(); table->NextRow()) {
        Parcel parcel;
        parcel.idText = field("id");
        const std::string id = toCp1251(parcel.idText);
        std::int64_t value = 0;
        const auto [stop, error] = std::from_chars(id.data(), id.data() + id.size(), value);
        if (!id.empty() && error == std::errc() && stop == id.data() + id.size())
            parcel.id = value;
        parcel.number = field("s_track");
        parcel.history = field("s_trackfull");
        parcel.title = field("s_title");
        parcel.firstEventDate = field("s_date");
        parcel.status = field("s_status");
        parcel.shop = field("s_shop");
        parcel.comments = field("s_comments");
        parcel.type = field("i_type");
        found.push_back(std::move(parcel));
    }
    return found;
}

bool ParcelStore::storeCheckResult(std::int64_t id, const QString& status, const QString& date,
                                   const QString& history)
{
    return storeCheckResult(std::to_string(id), toCp1251(status), toCp1251(date), toCp1251(history));
}

bool ParcelStore::storeNoInformation(std::int64_t id)
{
    return storeNoInformation(std::to_string(id));
}
