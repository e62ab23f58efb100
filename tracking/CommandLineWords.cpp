#include "tracking/CommandLineWords.h"

#include "readings/PlainLine.h"
#include "tracking/CheckWords.h"
#include "tracking/RunRecords.h"

#include <QDir>

#include <algorithm>

namespace checkwords {

namespace {

// What stopped a run early, as the end of a summary line.
QString stoppedBecause(const CheckOutcome& outcome, const QString& otherwise)
{
    if (outcome.end != CheckOutcome::End::PageFailed)
        return otherwise;
    QString reason;
    switch (outcome.failure) {
    case SourceFailure::ServiceModuleMissing:
        reason = QStringLiteral("не удалось загрузить компонент проверки посылок");
        break;
    case SourceFailure::ServiceSilent:
        reason = QStringLiteral("служба не ответила по трём посылкам подряд");
        break;
    case SourceFailure::ServiceRedirected:
        reason = QStringLiteral("служба перенаправила запрос на чужой адрес");
        break;
    case SourceFailure::ServiceCertificate:
        reason = QStringLiteral("сертификат службы недействителен");
        break;
    default:
        // The page's failures are said in full in the run's report.
        return otherwise;
    }
    return reason + QStringLiteral(", проверка остановлена.");
}

} // namespace

QString otherRunHoldsLine(const std::string& databasePath, const QString& holder)
{
    return QStringLiteral("базу данных %1 уже проверяет другой процесс").arg(QString::fromStdString(databasePath))
           + (holder.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(holder));
}

QString siteUnreachableLine(const std::string& host, int port)
{
    return QStringLiteral("сайт Белпочты недоступен: нет соединения с %1:%2")
        .arg(QString::fromStdString(host))
        .arg(port);
}

QString pageDidNotLoadLine(const std::string& url)
{
    return QStringLiteral("сайт Белпочты не ответил: страница %1 не загрузилась").arg(QString::fromStdString(url));
}

QString notificationNotShownLine(const QString& failure)
{
    return QStringLiteral("уведомление на рабочем столе не показано: ") + failure;
}

QString databaseUnreadableLine(const std::string& path, const QString& reason, const QString& cause)
{
    QString line = QStringLiteral("не удалось открыть или прочитать базу данных ") + QString::fromStdString(path);
    if (!reason.isEmpty())
        line += QStringLiteral(": ") + reason;
    if (!cause.isEmpty())
        line += QStringLiteral(" (") + cause + u')';
    return line;
}

QString missingFileReason()
{
    return QStringLiteral("такого файла нет в папке %1").arg(QDir::toNativeSeparators(QDir::currentPath()));
}

QString noTracksReason()
{
    return QStringLiteral("в ней нет таблицы tracks");
}

QString recordNotStoredLine(const QString& failure)
{
    return QStringLiteral("запись об этой проверке не сохранена в базе данных (%1)").arg(failure);
}

QString changedLine(const ParcelOutcome& parcel)
{
    QStringList label;
    for (const QString* part : {&parcel.number, &parcel.shop, &parcel.title}) {
        const QString line = plainLine(*part);
        if (!line.isEmpty())
            label += line;
    }
    return QStringLiteral("Новый статус: ") + label.join(QStringLiteral(", ")) + QStringLiteral(": ")
           + plainLine(parcel.statusAfter);
}

QStringList summaryEnding(const CheckOutcome& outcome, bool anyChanged, const QString& copiesFolder)
{
    const auto& parcels = outcome.parcels;
    QStringList lines;
    // Answers that could not be read are said whatever else happened: they do not go away by
    // themselves, and a run that stays quiet about them lets every parcel go stale.
    const int unreadable = outcome.count(ParcelOutcome::Result::Unreadable);
    if (unreadable > 0) {
        lines += unreadableSentence(unreadable, std::ssize(parcels));
        const auto saved = std::find_if(parcels.begin(), parcels.end(),
                                        [](const ParcelOutcome& parcel) { return !parcel.savedCopy.isEmpty(); });
        if (saved != parcels.end())
            lines += QStringLiteral("Такие ответы сохранены в папке %1: обновите программу или отправьте файл ответа "
                                    "её разработчикам.")
                         .arg(QDir::toNativeSeparators(copiesFolder));
        else
            lines += QStringLiteral("Копии таких ответов сохранить не удалось: %1.")
                         .arg(std::find_if(parcels.begin(), parcels.end(), [](const ParcelOutcome& parcel) {
                                  return parcel.result == ParcelOutcome::Result::Unreadable;
                              })->cause);
    }
    // The order in which the causes count is the one every run's record and exit status keep.
    const RunRecord::Ending ending = runrecords::endingOf(outcome);
    switch (ending) {
    case RunRecord::Ending::StoreFailed:
        lines += QStringLiteral("Не удалось сохранить в базе данных ответы сайта по %1 из %2 %3.")
                     .arg(outcome.count(ParcelOutcome::Result::StoreFailed))
                     .arg(parcels.size())
                     .arg(parcelsAfterOutOf(std::ssize(parcels)));
        break;
    case RunRecord::Ending::NoAnswer:
        if (outcome.end == CheckOutcome::End::SiteUnreachable)
            lines += QStringLiteral("Посылки не проверены: сайт Белпочты недоступен.");
        else
            lines += QStringLiteral("Посылки не проверены: ")
                     + stoppedBecause(outcome, QStringLiteral("ни по одной нет ответа сайта."));
        break;
    case RunRecord::Ending::WentThrough:
        if (!anyChanged)
            lines += QStringLiteral("Статусы посылок не изменились.");
        break;
    default:
        break;
    }
    if ((ending == RunRecord::Ending::Interrupted || ending == RunRecord::Ending::Unreadable)
        && outcome.end != CheckOutcome::End::WentThrough)
        lines += QStringLiteral("Проверены не все посылки: ")
                 + stoppedBecause(outcome, QStringLiteral("проверка прервана."));
    return lines;
}

} // namespace checkwords
