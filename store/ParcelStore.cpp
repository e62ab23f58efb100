#include "ParcelStore.h"

#include <filesystem>
#include <system_error>

namespace {

// Values travel as bound parameters, so a value that reads like a column name ("id",
// "s_track", "rowid") is still stored as the text given. A double quote or a NUL byte is
// refused as before: such a value was never storable and must not be half-written.
void checkValues(const std::vector<std::string>& values)
{
    for (const std::string& value : values) {
        if (value.find('"') != std::string::npos)
            throw ESQLiteException("A text value holds a double quote and cannot be stored");
        if (value.find('\0') != std::string::npos)
            throw ESQLiteException("A text value holds a NUL character and cannot be stored");
    }
}

bool fileExists(const std::string& fileName)
{
    std::error_code error;
    const auto status = std::filesystem::symlink_status(fileName, error);
    return !error && status.type() != std::filesystem::file_type::not_found;
}

}  // namespace

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

std::string ParcelStore::parcelSql(const std::string& id)
{
    return "SELECT * FROM tracks WHERE id=" + id;
}

std::string ParcelStore::insertSql()
{
    return std::string("INSERT INTO tracks") + " (s_track,s_shop,s_title,s_comments)" + " values(" + "?1,?2,?3,?4"
           + ")";
}

std::string ParcelStore::editSql(const std::string& id)
{
    return std::string("UPDATE tracks SET") + " s_track=?1," + " s_shop=?2," + " s_title=?3," + " s_comments=?4"
           + " WHERE id=" + id;
}

std::string ParcelStore::deleteSql(const std::string& id)
{
    return "DELETE FROM tracks WHERE id=" + id;
}

std::string ParcelStore::checkResultSql(const std::string& id)
{
    return std::string("UPDATE tracks SET") + " s_status=?1," + " s_date=?2," + " s_trackfull=?3" + " WHERE id="
           + id;
}

std::string ParcelStore::noInformationSql(const std::string& id)
{
    // "Пока, нет информации!" in the program's Windows-1251 text.
    static const std::string noInformation =
        "\xCF\xEE\xEA\xE0, \xED\xE5\xF2 \xE8\xED\xF4\xEE\xF0\xEC\xE0\xF6\xE8\xE8!";
    return std::string("UPDATE tracks SET") + " s_status=" + "\"" + noInformation + "\"" + " WHERE id=" + id;
}

std::unique_ptr<TSQLiteTable> ParcelStore::listAll()
{
    return database().Query(listSql());
}

std::unique_ptr<TSQLiteTable> ParcelStore::parcel(const std::string& id)
{
    return database().Query(parcelSql(id));
}

void ParcelStore::insert(const std::string& track, const std::string& shop, const std::string& title,
                         const std::string& comment)
{
    const std::vector<std::string> values{track, shop, title, comment};
    checkValues(values);
    database().Execute(insertSql(), values);
}

void ParcelStore::edit(const std::string& id, const std::string& track, const std::string& shop,
                       const std::string& title, const std::string& comment)
{
    const std::vector<std::string> values{track, shop, title, comment};
    checkValues(values);
    database().Execute(editSql(id), values);
}

void ParcelStore::remove(const std::string& id)
{
    database().Execute(deleteSql(id));
}

void ParcelStore::storeCheckResult(const std::string& id, const std::string& status, const std::string& date,
                                   const std::string& history)
{
    const std::vector<std::string> values{status, date, history};
    checkValues(values);
    database().Execute(checkResultSql(id), values);
}

void ParcelStore::storeNoInformation(const std::string& id)
{
    database().Execute(noInformationSql(id));
}
