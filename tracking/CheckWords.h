#pragma once

#include "store/RunHistory.h"

#include <QDateTime>
#include <QString>

#include <optional>

// Sentences about a whole check run that the window and `kurierix --check` both say.
namespace checkwords {

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
