#pragma once

#include "store/Parcel.h"
#include "store/SQLiteDatabase.h"
#include "store/SQLiteException.h"
#include "store/SQLiteTable.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The parcel table `tracks` in `database.db`: opening the store and every statement the
// program sends to it. Failures are raised as ESQLiteException; the windows show the boxes.
class ParcelStore
{
public:
    static constexpr const char* kFileName = "database.db";

    enum class OpenResult {
        Opened,       // an existing file, used unaltered
        Created,      // a new file with the table `tracks`
        OpenFailed,   // an existing file could not be opened: the program must end
        CreateFailed, // a new file or its table could not be made: start-up goes on
    };

    ParcelStore() = default;

    // Opens `fileName` (relative to the current directory unless absolute), creating the file
    // and the table only when the file does not exist. On OpenFailed/CreateFailed,
    // lastOpenError() holds the layer's message; the store may stay without a connection.
    OpenResult open(const std::string& fileName = kFileName);
    const std::string& lastOpenError() const { return m_openError; }

    // Releases the connection; every later operation raises.
    void close();
    bool isOpen() const { return m_db != nullptr; }
    TSQLiteDatabase& database();

    // "SELECT * FROM tracks": every parcel, in ascending id.
    std::unique_ptr<TSQLiteTable> listAll();

    // Every parcel, decoded. A field that cannot be read (a column a foreign table lacks) is left
    // empty in its parcel, and the first such failure is given in `fieldFailure`: no parcel is
    // dropped for one bad field. A failure of the query itself raises.
    std::vector<Parcel> parcels(std::string* fieldFailure = nullptr);

    // The operations on one parcel take its id as the grid and the row snapshot hold it:
    // decimal text (Windows-1251). It is bound as an integer; an id that is not a whole
    // decimal number names no parcel, so nothing is sent and ESQLiteException is raised.
    std::unique_ptr<TSQLiteTable> parcel(const std::string& id);

    void insert(const std::string& track, const std::string& shop, const std::string& title,
                const std::string& comment);
    // The statements on one parcel give whether its row was there: false when the statement ran
    // but no row has that id (deleted meanwhile by another window or process), so nothing was
    // written. A failure still raises.
    bool edit(const std::string& id, const std::string& track, const std::string& shop, const std::string& title,
              const std::string& comment);
    bool remove(const std::string& id);
    bool storeCheckResult(const std::string& id, const std::string& status, const std::string& date,
                          const std::string& history);
    bool storeNoInformation(const std::string& id);
    // The same, for a parcel named by its numeric id; texts are encoded to the file's code page.
    bool storeCheckResult(std::int64_t id, const QString& status, const QString& date, const QString& history);
    bool storeNoInformation(std::int64_t id);

    // The status the nothing-found statement stores: "Пока, нет информации!".
    static const std::string& noInformationStatus();

    // The statement texts, for tests and for anyone who reads the database by hand. Values
    // and the id are parameters (?1, ?2, ...) in the order of the operation's arguments, the
    // id last; the nothing-found statement's status (noInformationStatus()) comes before it.
    static std::string createTableSql();
    static std::string listSql();
    static std::string parcelSql();
    static std::string insertSql();
    static std::string editSql();
    static std::string deleteSql();
    static std::string checkResultSql();
    static std::string noInformationSql();

private:
    std::unique_ptr<TSQLiteDatabase> m_db;
    std::string m_openError;
};
