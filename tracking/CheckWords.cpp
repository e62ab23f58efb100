#include "tracking/CheckWords.h"

#include "tracking/ExitStatus.h"

#include <array>

namespace checkwords {

namespace {

// "2 апреля в 12:03", "сегодня в 12:03", "вчера в 12:03", "завтра в 00:14"; today's time alone
// ("в 18:14") where `todayPlain` asks for it.
QString whenText(const QDateTime& time, const QDateTime& now, bool todayPlain = false)
{
    static const std::array<const char*, 12> kMonths = {"января",   "февраля", "марта",  "апреля",
                                                        "мая",      "июня",    "июля",   "августа",
                                                        "сентября", "октября", "ноября", "декабря"};
    const QDateTime local = time.toLocalTime();
    const QDate day = local.date();
    const QDate today = now.toLocalTime().date();
    const QString clock = local.toString(QStringLiteral("HH:mm"));
    if (day == today)
        return (todayPlain ? QStringLiteral("в ") : QStringLiteral("сегодня в ")) + clock;
    if (day == today.addDays(-1))
        return QStringLiteral("вчера в ") + clock;
    if (day == today.addDays(1))
        return QStringLiteral("завтра в ") + clock;
    QString date = QString::number(day.day()) + u' ' + QString::fromUtf8(kMonths[std::size_t(day.month() - 1)]);
    if (day.year() != today.year())
        date += u' ' + QString::number(day.year());
    return date + QStringLiteral(" в ") + clock;
}

// "изменились 2 посылки", "изменилась 21 посылка".
QString changedText(int changed)
{
    const bool one = changed % 10 == 1 && changed % 100 != 11;
    return (one ? QStringLiteral("изменилась ") : QStringLiteral("изменились ")) + parcelCount(changed);
}

QString whatItDid(const RunRecord& run)
{
    switch (run.ending) {
    case RunRecord::Ending::WentThrough:
        if (run.asked == 0)
            return QStringLiteral("нет посылок для проверки");
        return run.changed > 0 ? changedText(run.changed) : QStringLiteral("статусы не изменились");
    case RunRecord::Ending::NoAnswer:
        return QStringLiteral("сайт не ответил");
    case RunRecord::Ending::Interrupted:
        return QStringLiteral("проверены не все посылки");
    case RunRecord::Ending::StoreFailed:
        return QStringLiteral("не удалось сохранить");
    case RunRecord::Ending::Unreadable:
        return QStringLiteral("ответы не прочитаны: %1").arg(run.unreadable);
    case RunRecord::Ending::DatabaseUnreadable:
        return QStringLiteral("не удалось прочитать базу данных");
    case RunRecord::Ending::LockUnavailable:
        return QStringLiteral("не удалось заблокировать базу данных");
    }
    return {};
}

// A failed background run: what went wrong, and what the user can do about it.
QString faultText(const RunRecord& run, QString* advice)
{
    const QString journal = QStringLiteral("journalctl --user -u kurierix-check.service");
    switch (run.exitStatus) {
    case ExitStatus::DatabaseUnreadable:
        *advice = QStringLiteral("Подробности: %1.").arg(journal);
        return QStringLiteral("фоновая проверка не смогла прочитать базу данных");
    case ExitStatus::StoreFailed:
        *advice = QStringLiteral("Проверьте, есть ли место на диске и можно ли писать в database.db, затем "
                                 "проверьте посылки сами (F5).");
        return QStringLiteral("фоновая проверка не смогла сохранить ответы сайта");
    case ExitStatus::LockUnavailable:
        *advice = QStringLiteral("Файл блокировки рядом с database.db нельзя создать или заменить; подробности: %1.")
                      .arg(journal);
        return QStringLiteral("фоновая проверка не смогла заблокировать базу данных");
    default:
        *advice = QStringLiteral("Обновите программу или отправьте её разработчикам сохранённые ответы из "
                                 "~/.cache/kurierix/unreadable/.");
        return QStringLiteral("фоновая проверка не смогла прочитать ответы сайта: %1").arg(run.unreadable);
    }
}

} // namespace

QString parcelsAfterOutOf(qsizetype count)
{
    // "из 1 посылки", "из 21 посылки", but "из 11 посылок", "из 3 посылок".
    return count % 10 == 1 && count % 100 != 11 ? QStringLiteral("посылки") : QStringLiteral("посылок");
}

QString parcelCount(qsizetype count)
{
    const qsizetype lastDigit = count % 10;
    const qsizetype lastTwo = count % 100;
    QString noun = QStringLiteral("посылок");
    if (lastDigit == 1 && lastTwo != 11)
        noun = QStringLiteral("посылка");
    else if (lastDigit >= 2 && lastDigit <= 4 && (lastTwo < 12 || lastTwo > 14))
        noun = QStringLiteral("посылки");
    return QString::number(count) + u' ' + noun;
}

QString unreadableSentence(qsizetype unreadable, qsizetype asked)
{
    if (unreadable == 1)
        return QStringLiteral("Ответ сайта по 1 из %1 %2 не удалось прочитать: данные этой посылки не изменены.")
            .arg(asked)
            .arg(parcelsAfterOutOf(asked));
    return QStringLiteral("Ответы сайта по %1 из %2 %3 не удалось прочитать: данные этих посылок не изменены.")
        .arg(unreadable)
        .arg(asked)
        .arg(parcelsAfterOutOf(asked));
}

QString moment(const QDateTime& time, const QDateTime& now)
{
    return whenText(time, now);
}

bool isBackgroundFault(const RunRecord& run)
{
    if (run.origin != RunRecord::Origin::Timer)
        return false;
    switch (run.exitStatus) {
    case ExitStatus::DatabaseUnreadable:
    case ExitStatus::StoreFailed:
    case ExitStatus::LockUnavailable:
    case ExitStatus::UnreadableAnswer:
        return true;
    default:
        return false;
    }
}

QString lastRunLine(const std::optional<RunRecord>& run, const QDateTime& now, const std::optional<QDateTime>& next)
{
    if (!run)
        return QStringLiteral("Посылки ещё не проверялись")
               + (next ? QStringLiteral(", первая проверка ") + whenText(*next, now, true) : QString());
    QString line = QStringLiteral("Последняя проверка: ") + whenText(run->started, now) + QStringLiteral(" — ");
    const QString nextText = next ? QStringLiteral(", следующая ") + whenText(*next, now, true) : QString();
    if (!isBackgroundFault(*run))
        return line + whatItDid(*run) + nextText;
    QString advice;
    line += faultText(*run, &advice);
    return line + nextText + QStringLiteral(". ") + advice;
}

} // namespace checkwords
