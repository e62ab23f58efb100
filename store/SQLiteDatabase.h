#pragma once

#include "store/SQLiteTable.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// A value bound to one statement parameter: text (Windows-1251 bytes, stored as given) or a
// 64-bit integer.
using SQLiteValue = std::variant<std::string, std::int64_t>;

// One open connection to one SQLite database file. Text goes to SQLite as the program's
// Windows-1251 bytes and comes back as the same bytes: nothing is converted to UTF-8.
class TSQLiteDatabase
{
public:
    enum class OpenMode {
        ReadWriteCreate, // the window's: read and write, the file created when missing
        ReadOnly,        // never creates the file and never writes to it
    };

    // Opens `fileName` (created when missing, unless read-only) and applies the two open-time
    // settings. Raises ESQLiteException when the file cannot be opened or is not a database.
    // The connection runs no trigger, calls no function the file's schema names unless SQLite
    // deems it harmless, and refuses statements that would damage the file on purpose
    // (PRAGMA writable_schema and the like): a file from elsewhere cannot add work of its own
    // to the program's statements.
    explicit TSQLiteDatabase(const std::string& fileName, OpenMode mode = OpenMode::ReadWriteCreate);
    virtual ~TSQLiteDatabase();

    TSQLiteDatabase(const TSQLiteDatabase&) = delete;
    TSQLiteDatabase& operator=(const TSQLiteDatabase&) = delete;

    // Runs the first statement of `sql`, which must return no rows.
    void Execute(const std::string& sql);
    // As Execute, with `values` bound to the statement's parameters ?1, ?2, ... so that a text
    // is always stored as the text given and an integer is never read as part of the statement.
    void Execute(const std::string& sql, const std::vector<SQLiteValue>& values);

    // The rows the last INSERT, UPDATE or DELETE of this connection inserted, changed or
    // deleted: 0 when its WHERE matched none.
    std::int64_t changes() const;

    // Runs the first statement of `sql` and copies all its rows.
    std::unique_ptr<TSQLiteTable> Query(const std::string& sql);
    // As Query, with `values` bound to the statement's parameters.
    std::unique_ptr<TSQLiteTable> Query(const std::string& sql, const std::vector<SQLiteValue>& values);

    // Whether the database holds a table of that name, ignoring the case of ASCII letters.
    bool HasTable(const std::string& tableName);

    // The rowid of the row the last successful INSERT of this connection made.
    std::int64_t lastInsertRowId() const;
    // Whether the file was opened (or can only be written) read-only.
    bool isReadOnly() const;
    // Whether a transaction begun by this connection is still open.
    bool inTransaction() const;
    // Undoes an open transaction, if there is one; never raises.
    void rollback() noexcept;

    // "PRAGMA data_version": a number that changes when another connection has committed to the
    // file since this connection last asked, and never by this connection's own writes.
    std::int64_t dataVersion();
    // Whether the last failed call met a lock that another connection holds.
    bool lockedByOther() const;

    // How a statement that meets another connection's lock behaves. By default it fails at once.
    // With a wait, it tries again for up to `maxMs`, but only if `worthWaiting` (asked once when
    // the lock is met; empty: always) says the holder will soon let go.
    void setBusyWait(int maxMs, std::function<bool()> worthWaiting = {});

private:
    struct BusyWait;
    static int onBusy(void* wait, int attempts);

    struct Finalizer
    {
        void operator()(sqlite3_stmt* statement) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, Finalizer>;

    Statement prepare(const std::string& sql, const std::vector<SQLiteValue>& values);
    [[noreturn]] void raiseStatementError(const char* context, const std::string& sql) const;

    struct Closer
    {
        void operator()(sqlite3* db) const;
    };
    // Declared before the connection, which refers to it until it is closed.
    std::unique_ptr<BusyWait> m_busyWait;
    std::unique_ptr<sqlite3, Closer> m_db;
};
