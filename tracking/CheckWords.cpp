#include "tracking/CheckWords.h"

#include "store/FloatText.h"
#include "tracking/ExitStatus.h"
#include "tracking/page/BrowserModule.h"

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

// In place of what a parcel's answer would have changed, when its row was deleted meanwhile.
QString noLongerListedLine()
{
    return QStringLiteral("- посылки больше нет в списке, ничего не записано");
}

QString errorLabel()
{
    return QStringLiteral("Статус: Ошибка, попробуйте позже.");
}

void parcelChecked(const CheckEvent& event, Words& said)
{
    const ParcelOutcome& parcel = event.parcel;
    switch (parcel.result) {
    case ParcelOutcome::Result::StoreFailed:
        said.box = QStringLiteral("Ошибка №7 - Во время добавление данных возникла ошибка");
        said.boxWithCause = said.box + QStringLiteral(" (") + parcel.cause + u')';
        said.label = errorLabel();
        break;
    case ParcelOutcome::Result::NoAnswer:
        said.lines += QStringLiteral("- нет ответа по номеру");
        break;
    case ParcelOutcome::Result::Unreadable:
        said.lines += QStringLiteral("- ответ сайта не удалось прочитать, данные не изменены");
        said.lines += parcel.savedCopy.isEmpty()
                          ? QStringLiteral("- копию ответа сохранить не удалось (%1)").arg(parcel.cause)
                          : QStringLiteral("- ответ сохранён в файле ") + parcel.savedCopy;
        break;
    case ParcelOutcome::Result::Refused:
        said.lines += QStringLiteral("- служба не приняла запрос: ") + parcel.cause;
        break;
    case ParcelOutcome::Result::NoLongerListed:
        // Where nothing was found, the answer's own lines say it.
        if (event.answer == TrackingAnswer::Kind::Found)
            said.lines += noLongerListedLine();
        break;
    default:
        break;
    }
}

void ended(const CheckEvent& event, Words& said)
{
    switch (event.end) {
    case CheckOutcome::End::WentThrough:
        // A run whose answers could not all be read is no success, and never looks like one.
        if (event.unreadable > 0) {
            const QString sentence = unreadableSentence(event.unreadable, event.parcels);
            said.lines += u' ' + sentence;
            said.label = QStringLiteral("Статус: ") + sentence;
        } else {
            said.label = QStringLiteral("Статус: ok");
        }
        break;
    case CheckOutcome::End::SiteUnreachable:
        said.lines += QStringLiteral(" Сайт БелПочты не доступен");
        said.label = QStringLiteral("Статус: Сайт Белпочты не доступен, зайдите позже!");
        break;
    case CheckOutcome::End::SiteDidNotAnswer:
        said.label = QStringLiteral("Статус: Сайт Белпочты не ответил, зайдите позже!");
        break;
    case CheckOutcome::End::PageFailed:
        said.label = errorLabel();
        break;
    default:
        break;
    }
}

// What the user is told of a source's failure: one sentence to act on; empty where the detail
// says it all.
QString failureSentence(SourceFailure failure)
{
    switch (failure) {
    case SourceFailure::None:
        break;
    case SourceFailure::SiteNotLoaded:
        return QStringLiteral("Не удалось загрузить сайт БелПочты: проверьте подключение к интернету и повторите "
                              "проверку позже");
    case SourceFailure::SiteErrorAnswer:
        return QStringLiteral("Сайт БелПочты ответил ошибкой: повторите проверку позже");
    case SourceFailure::SitePageChanged:
        return QStringLiteral("Сайт БелПочты изменил свою страницу, и на ней нет нужного программе поля: "
                              "проверьте посылки на самом сайте");
    case SourceFailure::SiteNoAnswer:
        return QStringLiteral("Сайт БелПочты не ответил вовремя: повторите проверку позже");
    case SourceFailure::BrowserFailed:
        return QStringLiteral("Встроенный браузер программы перестал работать: повторите проверку, а если это не "
                              "поможет, перезапустите программу");
    case SourceFailure::BrowserModuleMissing:
    case SourceFailure::ServiceModuleMissing:
        return QStringLiteral("Не удалось загрузить компонент проверки посылок: установите программу заново");
    case SourceFailure::BrowserNotPackaged:
        // Which package to install, or on Windows that the page road is not there.
        return BrowserModule::missingSentence();
    case SourceFailure::Stopped:
        return QStringLiteral("Проверка посылок остановлена");
    case SourceFailure::ServiceSilent:
        return QStringLiteral("Служба отслеживания БелПочты не ответила по трём посылкам подряд: повторите проверку "
                              "позже");
    case SourceFailure::ServiceRedirected:
        return QStringLiteral("Служба отслеживания БелПочты перенаправила запрос на чужой или незащищённый адрес, "
                              "проверка остановлена");
    case SourceFailure::ServiceCertificate:
        return QStringLiteral("Сертификат службы отслеживания БелПочты недействителен, проверка остановлена");
    }
    return {};
}

} // namespace

Words words(const CheckEvent& event)
{
    using Kind = CheckEvent::Kind;
    Words said;
    switch (event.kind) {
    case Kind::Probing:
        said.lines += QStringLiteral(" Проверка интернета...");
        said.label = QStringLiteral("Статус: Проверка интернета");
        break;
    case Kind::SiteReachable:
        said.lines += QStringLiteral(" Сайт БелПочты доступен");
        said.label = QStringLiteral("Статус: Сайт Белпочты доступен");
        break;
    case Kind::Asking:
        said.label = QStringLiteral("Статус: Получение данных... ждите");
        break;
    case Kind::ParcelAsked:
        said.lines += QStringLiteral("- посылка №") + event.parcel.number;
        break;
    case Kind::RequestSent:
        said.lines += QStringLiteral("- отправка данных");
        break;
    case Kind::Answered:
        said.lines += QStringLiteral("- получение данных");
        if (event.answer == TrackingAnswer::Kind::NothingFound)
            said.lines += event.parcel.result == ParcelOutcome::Result::NoLongerListed
                              ? noLongerListedLine()
                              : QStringLiteral("- нет данных по номеру");
        break;
    case Kind::ParcelChecked:
        parcelChecked(event, said);
        break;
    case Kind::Waiting:
        said.lines += QStringLiteral("- служба просит подождать %1 с").arg(event.seconds);
        break;
    case Kind::SourceProblem:
        said.lines += QStringLiteral("- ") + sourceProblemText(event.problem);
        break;
    case Kind::SiteDidNotAnswer:
        said.lines += QStringLiteral(" Сайт БелПочты не ответил");
        break;
    case Kind::SourceFailed:
        // One sentence to act on, then the technical detail; an error that is not the source's
        // is reported as it is worded.
        said.report = failureSentence(event.failure).isEmpty()
                          ? event.detail
                          : failureSentence(event.failure) + QStringLiteral(" (") + event.detail + QStringLiteral(").");
        said.lines += event.parcel.id.isEmpty()
                          ? QStringLiteral(" Ошибка при загрузке сайта БелПочты")
                          : QStringLiteral("- ошибка при проверке посылки №") + event.parcel.number;
        break;
    case Kind::DatabaseUnreadable:
        said.report = event.detail;
        break;
    case Kind::AllAsked:
        said.lines += QStringLiteral(" Время работы (сек) ") + floatText(static_cast<double>(event.elapsedMs) / 1000.0);
        break;
    case Kind::ResultsFinal:
        break;
    case Kind::Ended:
        ended(event, said);
        break;
    }
    return said;
}

QString noParcelsLine()
{
    return QStringLiteral(" Нет посылок для проверки");
}

QString scheduledRunLine()
{
    return QStringLiteral(" Проверка по расписанию");
}

QString scheduledRunSkippedLine()
{
    return QStringLiteral(" Проверка по расписанию пропущена: посылки уже проверяются в фоне");
}

QString checkingInBackgroundText()
{
    return QStringLiteral("Посылки уже проверяются в фоне. Попробуйте позже.");
}

QString lockUnavailableText(const RunLock::Problem& problem)
{
    QString sentence;
    switch (problem.kind) {
    case RunLock::Problem::Kind::Unreplaceable:
        sentence = QStringLiteral("Проверка не начата: файл блокировки %1 остался от прерванной проверки или испорчен, "
                                  "и заменить его не удалось. Удалите его и начните проверку снова")
                       .arg(problem.file);
        break;
    case RunLock::Problem::Kind::Uncreatable:
        sentence = QStringLiteral("Проверка не начата: в папке %1 не удалось создать файл блокировки %2, без которого "
                                  "проверка не идёт. %3")
                       .arg(problem.folder, problem.file,
                            problem.diskFull ? QStringLiteral("Освободите место на диске")
                                             : QStringLiteral("Разрешите запись в эту папку"));
        break;
    case RunLock::Problem::Kind::NoLocking:
        sentence = QStringLiteral("Проверка не начата: файловая система папки %1 не позволяет заблокировать файл %2. "
                                  "Перенесите базу данных в другую папку")
                       .arg(problem.folder, problem.file);
        break;
    }
    return sentence + QStringLiteral(" (%1).").arg(problem.cause);
}

QString sourceProblemText(const SourceProblem& problem)
{
    switch (problem.kind) {
    case SourceProblem::Kind::None:
        break;
    case SourceProblem::Kind::CaFileUnreadable:
        return QStringLiteral("файла сертификатов KURIERIX_SERVICE_CA=\"%1\" нет или его нельзя прочитать (%2): "
                              "доверяются только системные сертификаты")
            .arg(problem.file, problem.cause);
    case SourceProblem::Kind::CaFileNotPem:
        return QStringLiteral("в файле KURIERIX_SERVICE_CA=\"%1\" нет сертификата PEM: доверяются только системные "
                              "сертификаты")
            .arg(problem.file);
    }
    return {};
}

QString unreadableDetail(const UnreadableReason& reason)
{
    using Kind = UnreadableReason::Kind;
    QString detail;
    switch (reason.kind) {
    case Kind::None:
        break;
    case Kind::NoEventOnPage:
        detail = QStringLiteral("no event can be read on the page");
        break;
    case Kind::RowsPassedOver:
        detail = QStringLiteral("rows of the event table the pattern passes over");
        break;
    case Kind::TooLong:
        detail = QStringLiteral("the answer is longer than %1 bytes").arg(reason.count);
        break;
    case Kind::NotJson:
        detail = QStringLiteral("not JSON: %1 at byte %2").arg(reason.text).arg(reason.count);
        break;
    case Kind::NotObject:
        detail = QStringLiteral("not a JSON object");
        break;
    case Kind::DataNotList:
        detail = QStringLiteral("\"data\" is not a list");
        break;
    case Kind::OtherNumber:
        detail = QStringLiteral("the answer is for another number: \"%1\"").arg(reason.text);
        break;
    case Kind::NoEntryForNumber:
        detail = QStringLiteral("none of the %1 entries of \"data\" is for the number asked").arg(reason.count);
        break;
    case Kind::StepsNotList:
        detail = QStringLiteral("\"steps\" is not a list");
        break;
    case Kind::StepNotObject:
        detail = QStringLiteral("not an object");
        break;
    case Kind::FieldNotText:
        detail = QStringLiteral("\"%1\" is not text").arg(reason.text);
        break;
    case Kind::PlaceIndexNeither:
        detail = QStringLiteral("\"place_index\" is neither text nor a whole number");
        break;
    case Kind::CodeIsStructure:
        detail = QStringLiteral("\"code\" is a structure");
        break;
    case Kind::TimestampNotCount:
        detail = QStringLiteral("\"timestamp\" is no count of seconds");
        break;
    case Kind::CreatedAtNotDate:
        detail = QStringLiteral("\"created_at\" is no date and time: \"%1\"").arg(reason.text);
        break;
    case Kind::TimeOutOfRange:
        detail = QStringLiteral("the time is outside the years 1970 to 9999");
        break;
    }
    if (reason.step >= 0)
        return QStringLiteral("steps[%1]: ").arg(reason.step) + detail;
    return detail;
}

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
