#pragma once

#include <QDateTime>
#include <QString>

#include <optional>
#include <string>

class TSQLiteDatabase;

// One check run as the program remembers it: who ran it, when, on which road, what became of its
// parcels and how it ended.
struct RunRecord
{
    enum class Origin {
        Window,   // the window's menu, F5, or its own schedule
        Timer,    // the background check's user unit
        Terminal, // `kurierix --check` typed by someone
    };
    // How the run ended, as the exit status of `--check` tells it.
    enum class Ending {
        WentThrough,        // 0
        NoAnswer,           // 3: the site unreachable, or no parcel got an answer
        Interrupted,        // 3: the run ended before its last parcel
        StoreFailed,        // 5
        Unreadable,         // 7
        DatabaseUnreadable, // 2: the parcels could not be read
        LockUnavailable,    // 6
    };

    QDateTime started; // UTC
    QDateTime ended;   // UTC
    QString road;      // "service" or "page"
    Origin origin = Origin::Window;
    int asked = 0; // parcels the run put the question for
    int stored = 0;
    int changed = 0; // parcels whose stored status is now another
    int nothingFound = 0;
    int noAnswer = 0;
    int unreadable = 0;
    int storeFailed = 0;
    Ending ending = Ending::WentThrough;
    int exitStatus = 0; // the window's runs: the status `--check` would have ended with

    bool operator==(const RunRecord&) const = default;
};

// The store's own bookkeeping; the rest of the program reaches it through ParcelStore.
//
// The newest check runs of a database, kept in it in a table of its own (`kurierix_runs`), made
// at the first run that is recorded. Whoever ran a check (the window, the background timer, a
// terminal) adds one row at its end; the newest kKept rows stay. Times are UTC, ISO 8601 with a
// "Z"; the origin, road and ending are plain words, so that the table reads well by hand.
class RunHistory
{
public:
    static constexpr const char* kTableName = "kurierix_runs";
    static constexpr int kKept = 200;

    // Adds `run` and drops what is older than the newest kKept rows, in one transaction. Raises
    // ESQLiteException, and writes nothing into a file without `tracks`.
    static void record(TSQLiteDatabase& db, const RunRecord& run);

    // The run recorded last; nothing when none was, or the table cannot be read.
    static std::optional<RunRecord> newest(TSQLiteDatabase& db) noexcept;

    // The words the table holds for an origin and an ending.
    static std::string originWord(RunRecord::Origin origin);
    static std::string endingWord(RunRecord::Ending ending);
};
