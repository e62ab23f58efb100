// The table of check runs: made beside `tracks` at the first run recorded, read back whole, and
// kept to the newest 200 rows.
#include "store/ParcelStore.h"
#include "store/RunHistory.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

RunRecord sampleRun(int changed)
{
    RunRecord run;
    run.started = QDateTime(QDate(2013, 4, 1), QTime(9, 3), Qt::UTC);
    run.ended = run.started.addSecs(42);
    run.road = QStringLiteral("service");
    run.origin = RunRecord::Origin::Timer;
    run.asked = 9;
    run.stored = 4;
    run.changed = changed;
    run.nothingFound = 1;
    run.noAnswer = 1;
    run.unreadable = 2;
    run.storeFailed = 1;
    run.ending = RunRecord::Ending::StoreFailed;
    run.exitStatus = 5;
    return run;
}

TEST(RunHistory, ARunIsRecordedWholeBesideTracksAndTheNewest200Stay)
{
    QTemporaryDir dir;
    ParcelStore store;
    ASSERT_EQ(store.open(dir.filePath(QStringLiteral("database.db")).toStdString()), ParcelStore::OpenResult::Created);
    EXPECT_FALSE(store.newestRun());
    EXPECT_FALSE(store.database().HasTable(RunHistory::kTableName));

    store.recordRun(sampleRun(3));
    EXPECT_EQ(store.newestRun(), sampleRun(3));
    // By hand, the table reads in plain words and UTC times.
    const auto row = store.database().Query("SELECT started, origin, road, ending, exit_status FROM kurierix_runs");
    EXPECT_EQ(row->FieldText(0), "2013-04-01T09:03:00Z");
    EXPECT_EQ(row->FieldText(1), "timer");
    EXPECT_EQ(row->FieldText(2), "service");
    EXPECT_EQ(row->FieldText(3), "store-failed");
    EXPECT_EQ(row->FieldText(4), "5");

    for (int i = 1; i <= RunHistory::kKept + 4; ++i)
        store.recordRun(sampleRun(i));
    EXPECT_EQ(store.database().Query("SELECT count(*) FROM kurierix_runs")->FieldText(0), "200");
    EXPECT_EQ(store.database().Query("SELECT min(changed) FROM kurierix_runs")->FieldText(0), "5");
    // The newest is the row written last, whatever its times say.
    EXPECT_EQ(store.newestRun()->changed, RunHistory::kKept + 4);

    // A word a newer copy wrote is read as the most common one, never as a failure.
    store.database().Execute("UPDATE kurierix_runs SET origin='cron', ending='later'");
    EXPECT_EQ(store.newestRun()->origin, RunRecord::Origin::Terminal);
    EXPECT_EQ(store.newestRun()->ending, RunRecord::Ending::WentThrough);

    // A file without `tracks` is none of ours: nothing goes into it.
    TSQLiteDatabase foreign(dir.filePath(QStringLiteral("other.db")).toStdString());
    foreign.Execute("CREATE TABLE notes (x TEXT)");
    EXPECT_THROW(RunHistory::record(foreign, sampleRun(1)), ESQLiteException);
    EXPECT_FALSE(foreign.HasTable(RunHistory::kTableName));
}

} // namespace
