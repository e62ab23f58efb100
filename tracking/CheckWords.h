#pragma once

#include "store/RunHistory.h"
#include "tracking/CheckEvent.h"
#include "tracking/CheckOutcome.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// Every sentence about a check run, for every host: the window and `kurierix --check` say what
// the run tells (CheckEvent) and how it ended in these words, and the foot line and `--list` say
// what the recorded runs did. What only the command line prints is in CommandLineWords.h.
namespace checkwords {

// What one event says, in the order a host shows it: the report or the box first (modal in the
// window: a host stopped while it is open shows nothing more of the event), then the status
// log's lines, then the status label's new text.
struct Words
{
    QString report;       // the general error report
    QString box;          // the "Ошибка" box, as the window shows it
    QString boxWithCause; // the same box on a terminal: its technical reason follows
    QStringList lines;    // of the status log
    QString label;        // the status label's new text; empty: it stays
};
Words words(const CheckEvent& event);

// The window's own lines: a run over no parcels, a run its schedule starts, one that the
// schedule skipped or the user asked for while another process's run held the database.
QString noParcelsLine();
QString scheduledRunLine();
QString scheduledRunSkippedLine();
QString checkingInBackgroundText();

// Why a run did not begin for want of its lock, and what to do: for the window's box and for
// `kurierix --check`.
QString lockUnavailableText(const RunLock::Problem& problem);

// What a source says is wrong without ending the run, and what follows from it.
QString sourceProblemText(const SourceProblem& problem);

// What in an answer could not be read, in English for whoever maintains the program: the header
// of the answer's saved copy says it ("steps[2]: \"code\" is a structure").
QString unreadableDetail(const UnreadableReason& reason);
// "посылки" or "посылок", as "из N …" wants it.
QString parcelsAfterOutOf(qsizetype count);

// "1 посылка", "3 посылки", "5 посылок": the count with the noun in its plural form.
QString parcelCount(qsizetype count);

// "Ответы сайта по 3 из 5 посылок не удалось прочитать: данные этих посылок не изменены."
QString unreadableSentence(qsizetype unreadable, qsizetype asked);

// A moment as of `now`, in local time: "сегодня в 12:03", "вчера в 12:03", "завтра в 00:14",
// "2 апреля в 12:03" ("2 апреля 2012 в 12:03" in another year).
QString moment(const QDateTime& time, const QDateTime& now);

// What the newest recorded run did, as of `now` (local time): "Последняя проверка: сегодня в
// 12:03 — изменились 2 посылки", with ", следующая в 18:14" when the next one is known; "Посылки
// ещё не проверялись" without a run (", первая проверка в 18:14"). A background run that failed for a reason that does
// not go away by itself (isBackgroundFault) is said with what to do about it.
QString lastRunLine(const std::optional<RunRecord>& run, const QDateTime& now,
                    const std::optional<QDateTime>& next = std::nullopt);

// The background timer's run ended with 2, 5, 6 or 7: a database it could not read or write, a
// lock it could not take, answers it could not read. The next timer would fail the same way.
bool isBackgroundFault(const RunRecord& run);

} // namespace checkwords
