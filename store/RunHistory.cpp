#include "store/RunHistory.h"

#include "store/RowIds.h"
#include "store/SQLiteDatabase.h"
#include "store/SQLiteException.h"

#include <array>
#include <utility>

namespace {

const std::string kTable = RunHistory::kTableName;

constexpr std::array<std::pair<RunRecord::Origin, const char*>, 3> kOrigins = {{
    {RunRecord::Origin::Window, "window"},
    {RunRecord::Origin::Timer, "timer"},
    {RunRecord::Origin::Terminal, "terminal"},
}};

constexpr std::array<std::pair<RunRecord::Ending, const char*>, 7> kEndings = {{
    {RunRecord::Ending::WentThrough, "went-through"},
    {RunRecord::Ending::NoAnswer, "no-answer"},
    {RunRecord::Ending::Interrupted, "interrupted"},
    {RunRecord::Ending::StoreFailed, "store-failed"},
    {RunRecord::Ending::Unreadable, "unreadable"},
    {RunRecord::Ending::DatabaseUnreadable, "database-unreadable"},
    {RunRecord::Ending::LockUnavailable, "lock-unavailable"},
}};

template <typename Value, std::size_t N>
std::optional<Value> fromWord(const std::array<std::pair<Value, const char*>, N>& words, const std::string& word)
{
    for (const auto& [value, text] : words) {
        if (word == text)
            return value;
    }
    return std::nullopt;
}

template <typename Value, std::size_t N>
std::string toWord(const std::array<std::pair<Value, const char*>, N>& words, Value value)
{
    for (const auto& [known, text] : words) {
        if (known == value)
            return text;
    }
    return {};
}

std::string timeText(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODate).toStdString();
}

QDateTime timeOf(const std::string& text)
{
    QDateTime time = QDateTime::fromString(QString::fromStdString(text), Qt::ISODate);
    return time.isValid() ? time.toUTC() : QDateTime();
}

int count(const TSQLiteTable& table, const char* column)
{
    return int(wholeNumber(table.FieldText(column)).value_or(0));
}

} // namespace

std::string RunHistory::originWord(RunRecord::Origin origin)
{
    return toWord(kOrigins, origin);
}

std::string RunHistory::endingWord(RunRecord::Ending ending)
{
    return toWord(kEndings, ending);
}

void RunHistory::record(TSQLiteDatabase& db, const RunRecord& run)
{
    // A file without the parcels' table is none of the program's: nothing of ours goes into it.
    if (!db.HasTable("tracks"))
        throw ESQLiteException("The database has no table tracks");
    db.Execute("BEGIN IMMEDIATE");
    try {
        // The id gives the order of the rows: the row added last is the newest run, whatever
        // the clocks of the processes that wrote them said.
        db.Execute("CREATE TABLE IF NOT EXISTS " + kTable
                   + " (id INTEGER PRIMARY KEY AUTOINCREMENT, started TEXT, ended TEXT, origin TEXT, road TEXT,"
                     " asked INTEGER, stored INTEGER, changed INTEGER, nothing_found INTEGER, no_answer INTEGER,"
                     " unreadable INTEGER, store_failed INTEGER, ending TEXT, exit_status INTEGER)");
        db.Execute("INSERT INTO " + kTable
                       + " (started, ended, origin, road, asked, stored, changed, nothing_found, no_answer,"
                         " unreadable, store_failed, ending, exit_status)"
                         " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)",
                   {timeText(run.started), timeText(run.ended), originWord(run.origin), run.road.toStdString(),
                    std::int64_t(run.asked), std::int64_t(run.stored), std::int64_t(run.changed),
                    std::int64_t(run.nothingFound), std::int64_t(run.noAnswer), std::int64_t(run.unreadable),
                    std::int64_t(run.storeFailed), endingWord(run.ending), std::int64_t(run.exitStatus)});
        db.Execute("DELETE FROM " + kTable + " WHERE id <= (SELECT id FROM " + kTable
                   + " ORDER BY id DESC LIMIT 1 OFFSET " + std::to_string(kKept) + ")");
        db.Execute("COMMIT");
    } catch (...) {
        db.rollback();
        throw;
    }
}

std::optional<RunRecord> RunHistory::newest(TSQLiteDatabase& db) noexcept
{
    try {
        if (!db.HasTable(kTable))
            return std::nullopt;
        const auto table = db.Query("SELECT * FROM " + kTable + " ORDER BY id DESC LIMIT 1");
        if (table->AtEnd())
            return std::nullopt;
        RunRecord run;
        run.started = timeOf(table->FieldText("started"));
        run.ended = timeOf(table->FieldText("ended"));
        run.road = QString::fromStdString(table->FieldText("road"));
        // A word this version does not know (a newer copy's) reads as the most common one.
        run.origin = fromWord(kOrigins, table->FieldText("origin")).value_or(RunRecord::Origin::Terminal);
        run.ending = fromWord(kEndings, table->FieldText("ending")).value_or(RunRecord::Ending::WentThrough);
        run.asked = count(*table, "asked");
        run.stored = count(*table, "stored");
        run.changed = count(*table, "changed");
        run.nothingFound = count(*table, "nothing_found");
        run.noAnswer = count(*table, "no_answer");
        run.unreadable = count(*table, "unreadable");
        run.storeFailed = count(*table, "store_failed");
        run.exitStatus = count(*table, "exit_status");
        return run;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}
