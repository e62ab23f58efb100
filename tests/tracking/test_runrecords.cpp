// What a check run leaves in the runs table and how the window's status bar and `kurierix --list`
// word it: the ending by the precedence of `--check`'s exit status, and one sentence per ending;
// and the words of a run's events and of `--check`'s summary that no run through a host pins.
#include "tracking/CheckWords.h"
#include "tracking/CommandLineWords.h"
#include "tracking/RunRecords.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

using End = CheckOutcome::End;
using Ending = RunRecord::Ending;
using Result = ParcelOutcome::Result;

CheckOutcome outcomeOf(End end, std::initializer_list<Result> results)
{
    CheckOutcome outcome;
    outcome.end = end;
    for (const Result result : results) {
        ParcelOutcome parcel;
        parcel.result = result;
        parcel.statusBefore = QStringLiteral("old");
        parcel.statusAfter = result == Result::Stored ? QStringLiteral("new") : QStringLiteral("old");
        outcome.parcels.push_back(parcel);
    }
    return outcome;
}

TEST(RunRecords, EveryEndingIsTheOneAndHasTheStatusCheckEndsWith)
{
    const struct
    {
        CheckOutcome outcome;
        Ending ending;
        int status;
    } cases[] = {
        {outcomeOf(End::WentThrough, {Result::Stored, Result::NoAnswer, Result::NothingFound}), Ending::WentThrough, 0},
        {outcomeOf(End::WentThrough, {}), Ending::WentThrough, 0},
        {outcomeOf(End::SiteUnreachable, {Result::NotReached}), Ending::NoAnswer, 3},
        {outcomeOf(End::WentThrough, {Result::NoAnswer, Result::NoAnswer}), Ending::NoAnswer, 3},
        {outcomeOf(End::PageFailed, {Result::Stored, Result::PageError, Result::NotReached}), Ending::Interrupted, 3},
        {outcomeOf(End::PageFailed, {Result::Unreadable, Result::PageError}), Ending::Unreadable, 7},
        {outcomeOf(End::WentThrough, {Result::Unreadable, Result::Stored}), Ending::Unreadable, 7},
        {outcomeOf(End::WentThrough, {Result::Unreadable, Result::StoreFailed}), Ending::StoreFailed, 5},
        {outcomeOf(End::DatabaseUnreadable, {}), Ending::DatabaseUnreadable, 2},
        {outcomeOf(End::LockUnavailable, {}), Ending::LockUnavailable, 6},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(runrecords::endingOf(c.outcome), c.ending) << int(c.ending);
        EXPECT_EQ(runrecords::exitStatusOf(c.ending), c.status) << int(c.ending);
        EXPECT_TRUE(runrecords::worthRecording(c.outcome));
    }
    // Refused for another run, or stopped from outside: no row.
    for (const End end : {End::LockHeld, End::AlreadyRunning, End::Stopped})
        EXPECT_FALSE(runrecords::worthRecording(outcomeOf(end, {})));

    const QDateTime started(QDate(2013, 4, 1), QTime(9, 0), Qt::UTC);
    const RunRecord run = runrecords::recordOf(
        outcomeOf(End::PageFailed, {Result::Stored, Result::Stored, Result::NothingFound, Result::NoAnswer,
                                    Result::Unreadable, Result::StoreFailed, Result::PageError, Result::NotReached}),
        RunRecord::Origin::Terminal, QStringLiteral("page"), started, started.addSecs(60), 74);
    EXPECT_EQ(run.asked, 7);
    EXPECT_EQ(run.stored, 2);
    EXPECT_EQ(run.changed, 2);
    EXPECT_EQ(run.nothingFound, 1);
    EXPECT_EQ(run.noAnswer, 1);
    EXPECT_EQ(run.unreadable, 1);
    EXPECT_EQ(run.storeFailed, 1);
    EXPECT_EQ(run.ending, Ending::StoreFailed);
    EXPECT_EQ(run.exitStatus, 74);
    EXPECT_EQ(run.road, QStringLiteral("page"));
}

TEST(RunRecords, TheLastCheckLineSaysWhenAndWhatForEachEnding)
{
    const QDateTime now(QDate(2013, 4, 10), QTime(15, 0));
    const auto run = [](Ending ending, int changed, RunRecord::Origin origin = RunRecord::Origin::Window,
                        int exitStatus = 0) {
        RunRecord record;
        record.started = QDateTime(QDate(2013, 4, 10), QTime(12, 3));
        record.asked = 5;
        record.changed = changed;
        record.unreadable = 3;
        record.ending = ending;
        record.origin = origin;
        record.exitStatus = exitStatus ? exitStatus : runrecords::exitStatusOf(ending);
        return record;
    };
    const QString head = QStringLiteral("Последняя проверка: сегодня в 12:03 — ");
    EXPECT_EQ(checkwords::lastRunLine(std::nullopt, now), QStringLiteral("Посылки ещё не проверялись"));
    EXPECT_EQ(checkwords::lastRunLine(std::nullopt, now, QDateTime(QDate(2013, 4, 10), QTime(18, 14))),
              QStringLiteral("Посылки ещё не проверялись, первая проверка в 18:14"));
    EXPECT_EQ(checkwords::lastRunLine(run(Ending::WentThrough, 2), now), head + QStringLiteral("изменились 2 посылки"));
    EXPECT_EQ(checkwords::lastRunLine(run(Ending::WentThrough, 0), now),
              head + QStringLiteral("статусы не изменились"));
    EXPECT_EQ(checkwords::lastRunLine(run(Ending::NoAnswer, 0), now), head + QStringLiteral("сайт не ответил"));
    EXPECT_EQ(checkwords::lastRunLine(run(Ending::Unreadable, 1), now),
              head + QStringLiteral("ответы не прочитаны: 3"));
    EXPECT_EQ(checkwords::lastRunLine(run(Ending::StoreFailed, 1), now), head + QStringLiteral("не удалось сохранить"));
    EXPECT_EQ(checkwords::lastRunLine(run(Ending::Interrupted, 1), now),
              head + QStringLiteral("проверены не все посылки"));
    // With the next check, today, tomorrow or later.
    EXPECT_EQ(checkwords::lastRunLine(run(Ending::WentThrough, 21), now, QDateTime(QDate(2013, 4, 10), QTime(18, 14))),
              head + QStringLiteral("изменилась 21 посылка, следующая в 18:14"));
    EXPECT_EQ(checkwords::lastRunLine(run(Ending::WentThrough, 5), now, QDateTime(QDate(2013, 4, 11), QTime(0, 14))),
              head + QStringLiteral("изменились 5 посылок, следующая завтра в 00:14"));
    RunRecord older = run(Ending::WentThrough, 0);
    older.started = QDateTime(QDate(2012, 12, 31), QTime(23, 59));
    EXPECT_EQ(checkwords::lastRunLine(older, now),
              QStringLiteral("Последняя проверка: 31 декабря 2012 в 23:59 — статусы не изменились"));
    older.started = QDateTime(QDate(2013, 4, 9), QTime(8, 0));
    EXPECT_TRUE(checkwords::lastRunLine(older, now).startsWith(QStringLiteral("Последняя проверка: вчера в 08:00")));

    // A background run that failed for good is a fault, said with what to do; one the site did
    // not answer, or the window's own, is not.
    for (const int status : {2, 5, 6, 7}) {
        const RunRecord failed = run(Ending::WentThrough, 0, RunRecord::Origin::Timer, status);
        EXPECT_TRUE(checkwords::isBackgroundFault(failed)) << status;
        const QString line = checkwords::lastRunLine(failed, now, QDateTime(QDate(2013, 4, 10), QTime(18, 14)));
        EXPECT_TRUE(line.startsWith(head + QStringLiteral("фоновая проверка не смогла"))) << line.toStdString();
        EXPECT_TRUE(line.contains(QStringLiteral(", следующая в 18:14. "))) << line.toStdString();
    }
    EXPECT_EQ(checkwords::lastRunLine(run(Ending::StoreFailed, 0, RunRecord::Origin::Timer), now),
              head
                  + QStringLiteral("фоновая проверка не смогла сохранить ответы сайта. Проверьте, есть ли место на "
                                   "диске и можно ли писать в database.db, затем проверьте посылки сами (F5)."));
    EXPECT_FALSE(checkwords::isBackgroundFault(run(Ending::NoAnswer, 0, RunRecord::Origin::Timer)));
    EXPECT_FALSE(checkwords::isBackgroundFault(run(Ending::StoreFailed, 0, RunRecord::Origin::Window)));
}

TEST(CheckWords, EventsAndSummariesAreWordedAsTheHostsShowThem)
{
    using Kind = CheckEvent::Kind;
    const auto event = [](Kind kind, Result result = Result::NotReached,
                          TrackingAnswer::Kind answer = TrackingAnswer::Kind::NothingFound) {
        CheckEvent made = CheckEvent::of(kind);
        made.parcel.id = QStringLiteral("4");
        made.parcel.number = QStringLiteral("RA1BY");
        made.parcel.result = result;
        made.parcel.cause = QStringLiteral("disk I/O error");
        made.answer = answer;
        return made;
    };
    CheckEvent wait = event(Kind::Waiting);
    wait.seconds = 15;
    CheckEvent failedToLoad = event(Kind::SourceFailed);
    failedToLoad.parcel = {};
    failedToLoad.failure = SourceFailure::SiteNotLoaded;
    failedToLoad.detail = QStringLiteral("net::ERR_FAILED");
    CheckEvent failedOnParcel = event(Kind::SourceFailed);
    failedOnParcel.detail = QStringLiteral("TypeError: x is null");
    CheckEvent unreadableEnd = event(Kind::Ended);
    unreadableEnd.unreadable = 2;
    unreadableEnd.parcels = 3;

    const struct
    {
        CheckEvent event;
        QString report;
        QString boxWithCause;
        QStringList lines;
        QString label;
    } cases[] = {
        {wait, {}, {}, {QStringLiteral("- служба просит подождать 15 с")}, {}},
        {event(Kind::ParcelChecked, Result::StoreFailed, TrackingAnswer::Kind::Found),
         {},
         QStringLiteral("Ошибка №7 - Во время добавление данных возникла ошибка (disk I/O error)"),
         {},
         QStringLiteral("Статус: Ошибка, попробуйте позже.")},
        {event(Kind::ParcelChecked, Result::Unreadable),
         {},
         {},
         {QStringLiteral("- ответ сайта не удалось прочитать, данные не изменены"),
          QStringLiteral("- копию ответа сохранить не удалось (disk I/O error)")},
         {}},
        // A row deleted meanwhile is said once, after the answer's first line where nothing was found.
        {event(Kind::ParcelChecked, Result::NoLongerListed), {}, {}, {}, {}},
        {event(Kind::Answered, Result::NoLongerListed),
         {},
         {},
         {QStringLiteral("- получение данных"), QStringLiteral("- посылки больше нет в списке, ничего не записано")},
         {}},
        {failedToLoad,
         QStringLiteral("Не удалось загрузить сайт БелПочты: проверьте подключение к интернету и повторите проверку "
                        "позже (net::ERR_FAILED)."),
         {},
         {QStringLiteral(" Ошибка при загрузке сайта БелПочты")},
         {}},
        {failedOnParcel,
         QStringLiteral("TypeError: x is null"),
         {},
         {QStringLiteral("- ошибка при проверке посылки №RA1BY")},
         {}},
        {unreadableEnd,
         {},
         {},
         {QStringLiteral(" Ответы сайта по 2 из 3 посылок не удалось прочитать: данные этих посылок не изменены.")},
         QStringLiteral("Статус: Ответы сайта по 2 из 3 посылок не удалось прочитать: данные этих посылок не "
                        "изменены.")},
    };
    for (const auto& c : cases) {
        const checkwords::Words said = checkwords::words(c.event);
        EXPECT_EQ(said.report, c.report) << int(c.event.kind);
        EXPECT_EQ(said.boxWithCause, c.boxWithCause) << int(c.event.kind);
        EXPECT_EQ(said.lines, c.lines) << int(c.event.kind);
        EXPECT_EQ(said.label, c.label) << int(c.event.kind);
    }

    // `--check`'s ending: what stopped a run early, and answers whose copies could not be kept.
    CheckOutcome cut = outcomeOf(End::PageFailed, {Result::Stored, Result::PageError});
    EXPECT_EQ(checkwords::summaryEnding(cut, true, {}),
              QStringList{QStringLiteral("Проверены не все посылки: проверка прервана.")});
    cut.failure = SourceFailure::ServiceCertificate;
    EXPECT_EQ(checkwords::summaryEnding(cut, true, {}),
              QStringList{
                  QStringLiteral("Проверены не все посылки: сертификат службы недействителен, проверка остановлена.")});
    EXPECT_EQ(checkwords::summaryEnding(outcomeOf(End::WentThrough, {Result::NoAnswer}), false, {}),
              QStringList{QStringLiteral("Посылки не проверены: ни по одной нет ответа сайта.")});
    CheckOutcome unkept = outcomeOf(End::WentThrough, {Result::Unreadable, Result::Stored});
    unkept.parcels[0].cause = QStringLiteral("папку /x нельзя создать");
    EXPECT_EQ(checkwords::summaryEnding(unkept, true, QStringLiteral("/x")),
              (QStringList{QStringLiteral("Ответ сайта по 1 из 2 посылок не удалось прочитать: данные этой посылки "
                                          "не изменены."),
                           QStringLiteral("Копии таких ответов сохранить не удалось: папку /x нельзя создать.")}));
    EXPECT_EQ(checkwords::siteUnreachableLine("belpost.by", 80),
              QStringLiteral("сайт Белпочты недоступен: нет соединения с belpost.by:80"));
    EXPECT_EQ(checkwords::pageDidNotLoadLine("https://belpost.by/"),
              QStringLiteral("сайт Белпочты не ответил: страница https://belpost.by/ не загрузилась"));
}

} // namespace
