#include "SQLiteDatabase.h"

#include "Cp1251.h"
#include "SQLiteException.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <string>
#include <utility>

struct TSQLiteDatabase::BusyWait
{
    int maxMs = 0;
    std::function<bool()> worthWaiting;
    // Of the lock met last.
    std::chrono::steady_clock::time_point metAt;
    bool waiting = false;
};

void TSQLiteDatabase::Closer::operator()(sqlite3* db) const
{
    sqlite3_close(db);
}

void TSQLiteDatabase::Finalizer::operator()(sqlite3_stmt* statement) const
{
    sqlite3_finalize(statement);
}

TSQLiteDatabase::TSQLiteDatabase(const std::string& fileName, OpenMode mode)
{
    sqlite3* raw = nullptr;
    const int flags = mode == OpenMode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(fileName.c_str(), &raw, flags, nullptr);
    std::unique_ptr<sqlite3, Closer> db(raw);
    if (rc != SQLITE_OK) {
        const QString prefix =
            QStringLiteral("Failed to open database \"%1\" : ").arg(QString::fromStdString(fileName));
        if (!db)
            throw ESQLiteException(prefix + QStringLiteral("unknown error"), rc);
        throw ESQLiteException(prefix + QString::fromUtf8(sqlite3_errmsg(db.get())),
                               sqlite3_extended_errcode(db.get()));
    }
    // Text values between double quotes, as the program's statements once wrote them, read as
    // text literals whatever default this SQLite library was built with.
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DML, 1, nullptr);
    // A file from elsewhere may carry triggers and schema objects that call functions: the
    // program's own statements must do what they say and nothing more. Its own tables use
    // neither, so a connection that cannot be made so is no connection for this program.
    const std::pair<int, int> guards[] = {
        {SQLITE_DBCONFIG_ENABLE_TRIGGER, 0},
        {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
        {SQLITE_DBCONFIG_DEFENSIVE, 1},
    };
    for (const auto& [option, wanted] : guards) {
        int now = -1;
        if (sqlite3_db_config(db.get(), option, wanted, &now) != SQLITE_OK || now != wanted)
            throw ESQLiteException(QStringLiteral("Failed to open database \"%1\" : cannot guard against the file's "
                                                  "triggers")
                                       .arg(QString::fromStdString(fileName)));
    }
    m_db = std::move(db);

    Execute("PRAGMA SYNCHRONOUS=NORMAL;");
    Execute("PRAGMA temp_store = MEMORY;");
    // No busy time-out: a database locked by another program fails at once (see setBusyWait).
}

TSQLiteDatabase::~TSQLiteDatabase() = default;

void TSQLiteDatabase::raiseStatementError(const char* context, const std::string& sql) const
{
    const char* message = m_db ? sqlite3_errmsg(m_db.get()) : nullptr;
    const int code = m_db ? sqlite3_extended_errcode(m_db.get()) : SQLITE_OK;
    if (m_db && sqlite3_errcode(m_db.get()) != SQLITE_OK && message)
        throw ESQLiteException(fromCp1251(std::string(context) + " \"" + sql + "\" : " + message), code);
    throw ESQLiteException(QString::fromLatin1(context), code);
}

TSQLiteDatabase::Statement TSQLiteDatabase::prepare(const std::string& sql, const std::vector<SQLiteValue>& values)
{
    if (!m_db)
        throw ESQLiteException("Database is not open");
    sqlite3_stmt* raw = nullptr;
    // Only the first statement of the text is compiled; the rest is never run.
    const int rc = sqlite3_prepare_v2(m_db.get(), sql.c_str(), -1, &raw, nullptr);
    Statement statement(raw);
    if (rc != SQLITE_OK)
        raiseStatementError("Error executing SQL", sql);
    if (!statement)
        raiseStatementError("Could not prepare SQL statement", sql);

    if (sqlite3_bind_parameter_count(statement.get()) != static_cast<int>(values.size()))
        throw ESQLiteException(fromCp1251("Wrong number of values for SQL statement \"" + sql + "\""));
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int slot = static_cast<int>(i + 1);
        int bound = SQLITE_OK;
        if (const auto* number = std::get_if<std::int64_t>(&values[i])) {
            bound = sqlite3_bind_int64(statement.get(), slot, *number);
        } else {
            const std::string& text = std::get<std::string>(values[i]);
            if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
                throw ESQLiteException(fromCp1251("Value too long for SQL statement \"" + sql + "\""));
            bound =
                sqlite3_bind_text(statement.get(), slot, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
        if (bound != SQLITE_OK)
            raiseStatementError("Error executing SQL", sql);
    }
    return statement;
}

void TSQLiteDatabase::Execute(const std::string& sql)
{
    Execute(sql, {});
}

void TSQLiteDatabase::Execute(const std::string& sql, const std::vector<SQLiteValue>& values)
{
    Statement statement = prepare(sql, values);
    if (sqlite3_step(statement.get()) != SQLITE_DONE)
        raiseStatementError("Error executing SQL statement", sql);
}

std::int64_t TSQLiteDatabase::changes() const
{
    return m_db ? sqlite3_changes64(m_db.get()) : 0;
}

std::int64_t TSQLiteDatabase::lastInsertRowId() const
{
    return m_db ? sqlite3_last_insert_rowid(m_db.get()) : 0;
}

bool TSQLiteDatabase::isReadOnly() const
{
    return m_db && sqlite3_db_readonly(m_db.get(), "main") == 1;
}

bool TSQLiteDatabase::inTransaction() const
{
    return m_db && !sqlite3_get_autocommit(m_db.get());
}

void TSQLiteDatabase::rollback() noexcept
{
    if (inTransaction())
        sqlite3_exec(m_db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

std::unique_ptr<TSQLiteTable> TSQLiteDatabase::Query(const std::string& sql)
{
    return Query(sql, {});
}

std::unique_ptr<TSQLiteTable> TSQLiteDatabase::Query(const std::string& sql, const std::vector<SQLiteValue>& values)
{
    Statement statement = prepare(sql, values);
    auto table = std::make_unique<TSQLiteTable>();
    for (;;) {
        const int rc = sqlite3_step(statement.get());
        if (rc == SQLITE_DONE)
            break;
        if (rc == SQLITE_BUSY)
            throw ESQLiteException("Could not prepare SQL statement", sqlite3_extended_errcode(m_db.get()));
        if (rc != SQLITE_ROW)
            raiseStatementError("Could not retrieve data", sql);
        table->appendRow(statement.get());
    }
    table->m_currentRow = 0;
    return table;
}

bool TSQLiteDatabase::HasTable(const std::string& tableName)
{
    std::string lowered = tableName;
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    // The name is bound, never pasted into the statement, so any name is safe to ask about.
    const auto result =
        Query("select [sql] from sqlite_master where [type] = 'table' and lower(name) = ?1 ", {lowered});
    return result->RowCount() > 0;
}

std::int64_t TSQLiteDatabase::dataVersion()
{
    return std::stoll(Query("PRAGMA data_version")->FieldText(0));
}

bool TSQLiteDatabase::lockedByOther() const
{
    const int code = m_db ? sqlite3_errcode(m_db.get()) & 0xFF : SQLITE_OK;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

void TSQLiteDatabase::setBusyWait(int maxMs, std::function<bool()> worthWaiting)
{
    if (!m_db)
        return;
    if (maxMs <= 0) {
        sqlite3_busy_handler(m_db.get(), nullptr, nullptr);
        m_busyWait.reset();
        return;
    }
    if (!m_busyWait)
        m_busyWait = std::make_unique<BusyWait>();
    m_busyWait->maxMs = maxMs;
    m_busyWait->worthWaiting = std::move(worthWaiting);
    sqlite3_busy_handler(m_db.get(), &TSQLiteDatabase::onBusy, m_busyWait.get());
}

// SQLite calls this each time a statement meets a lock, `attempts` counting from 0 for each lock
// met; non-zero means "try again".
int TSQLiteDatabase::onBusy(void* data, int attempts)
{
    auto& wait = *static_cast<BusyWait*>(data);
    const auto now = std::chrono::steady_clock::now();
    if (attempts == 0) {
        wait.metAt = now;
        try {
            wait.waiting = !wait.worthWaiting || wait.worthWaiting();
        } catch (...) {
            wait.waiting = false;
        }
    }
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - wait.metAt).count();
    if (!wait.waiting || waited >= wait.maxMs)
        return 0;
    // Another program's statements are short: look again soon, but do not spin.
    sqlite3_sleep(static_cast<int>(std::min<long long>(5, wait.maxMs - waited)));
    return 1;
}
