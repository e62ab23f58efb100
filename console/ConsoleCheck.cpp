#include "console/ConsoleCheck.h"

#include "console/Console.h"
#include "console/ParcelList.h"
#include "console/StopSignals.h"
#include "notify/DesktopNotifier.h"
#include "store/Cp1251.h"
#include "store/ParcelStore.h"
#include "store/PlainLine.h"
#include "tracking/CheckWords.h"
#include "tracking/EventWait.h"
#include "tracking/ExitStatus.h"
#include "tracking/RunRecords.h"
#include "tracking/TrackingRoad.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <csignal>
#include <optional>

namespace {

// How the summary of a run that got as far as its parcels ends, and the exit status that goes
// with it: the last lines never say less than the status does.
struct Ending
{
    QStringList lines; // empty when the changed parcels' lines say it all
    int status;
};

// What stopped a run early, as the end of a summary line.
QString stoppedBecause(const CheckOutcome& outcome, const QString& otherwise)
{
    if (outcome.end == CheckOutcome::End::PageFailed && !outcome.stopReason.isEmpty())
        return outcome.stopReason + QStringLiteral(", проверка остановлена.");
    return otherwise;
}

Ending endingOf(const CheckOutcome& outcome, bool anyChanged, const QString& copiesFolder)
{
    const auto& parcels = outcome.parcels;
    QStringList lines;
    // Answers that could not be read are said whatever else happened: they do not go away by
    // themselves, and a run that stays quiet about them lets every parcel go stale.
    const int unreadable = outcome.count(ParcelOutcome::Result::Unreadable);
    if (unreadable > 0) {
        lines += checkwords::unreadableSentence(unreadable, std::ssize(parcels));
        const auto saved = std::find_if(parcels.begin(), parcels.end(),
                                        [](const ParcelOutcome& parcel) { return !parcel.savedCopy.isEmpty(); });
        if (saved != parcels.end())
            lines += QStringLiteral("Такие ответы сохранены в папке %1: обновите программу или отправьте файл ответа "
                                    "её разработчикам.")
                         .arg(copiesFolder);
        else
            lines += QStringLiteral("Копии таких ответов сохранить не удалось: %1.")
                         .arg(std::find_if(parcels.begin(), parcels.end(), [](const ParcelOutcome& parcel) {
                                  return parcel.result == ParcelOutcome::Result::Unreadable;
                              })->cause);
    }
    // The status, and with it the order in which the causes count, is the one every run's record
    // keeps.
    const RunRecord::Ending ending = runrecords::endingOf(outcome);
    const int status = runrecords::exitStatusOf(ending);
    switch (ending) {
    case RunRecord::Ending::StoreFailed:
        lines += QStringLiteral("Не удалось сохранить в базе данных ответы сайта по %1 из %2 %3.")
                     .arg(outcome.count(ParcelOutcome::Result::StoreFailed))
                     .arg(parcels.size())
                     .arg(checkwords::parcelsAfterOutOf(std::ssize(parcels)));
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
    return {lines, status};
}

} // namespace

ConsoleCheck::ConsoleCheck(const Settings& settings, CheckSession& session) : m_settings(settings), m_session(session)
{
    QObject::connect(&session, &CheckSession::progress, [this](const QString& line) { writeLine(line); });
    QObject::connect(&session, &CheckSession::askingStarted, [this] { m_asking = true; });
    QObject::connect(&session, &CheckSession::errorBox,
                     [this](const QString& text, const QString& cause) { writeErrorBox(text, cause); });
    QObject::connect(&session, &CheckSession::errorReport, [this](const QString& message) { writeReport(message); });
}

int ConsoleCheck::run(const Settings& settings)
{
    int status = ExitStatus::Ok;
    int signal = 0;
    {
        CheckSession session(settings.databasePath, makeTrackingSource(settings.endpoints, settings.pageFactory));
        session.setLimits(settings.limits);
        // Every run leaves its row, a run refused for want of a lock too (its row is all it writes).
        RunRecorder recorder(session, settings.origin);
        const StopSignals stopSignals([&session] { session.stop(); });
        ConsoleCheck host(settings, session);
        // A reader that went away (`| head`) must not end the run between two statements.
        std::signal(SIGPIPE, SIG_IGN);

        ParcelStore store;
        switch (store.open(settings.databasePath, ParcelStore::Role::Check)) {
        case ParcelStore::OpenResult::Opened:
            break;
        case ParcelStore::OpenResult::Missing:
            Console::writeError(Console::databaseUnreadable(settings.databasePath, ParcelList::missingFileReason()));
            return ExitStatus::DatabaseUnreadable;
        case ParcelStore::OpenResult::NoTracks:
            Console::writeError(Console::databaseUnreadable(settings.databasePath, ParcelList::noTracksReason()));
            return ExitStatus::DatabaseUnreadable;
        default:
            Console::writeError(
                Console::databaseUnreadable(settings.databasePath, {}, fromCp1251(store.lastOpenError())));
            return ExitStatus::DatabaseUnreadable;
        }

        const CheckOutcome outcome = session.run(store, [&store] {
            // Once the run holds the database (a run refused for the lock writes nothing) and
            // before any status changes, so that in a file the window never opened every status
            // held now counts as seen, and the window shows this run's changes in bold.
            store.prepareSeen();
        });
        // A signal that came as the run ended has not been handled yet.
        EventWait::handlePending();
        signal = stopSignals.received();
        if (signal == 0) {
            status = host.finish(outcome);
            // A run that could not read the database, store its answers or have its lock has said
            // why; the same cause keeps its row out, and is not said twice.
            const bool saidWhy = status == ExitStatus::DatabaseUnreadable || status == ExitStatus::StoreFailed
                                 || status == ExitStatus::LockUnavailable;
            const std::optional<RunRecorder::Recorded> recorded = recorder.takeLast();
            if (recorded && !recorded->stored && !saidWhy)
                Console::writeError(
                    QStringLiteral("запись об этой проверке не сохранена в базе данных (%1)").arg(recorded->failure));
        }
        // The store, the lock and the page (and with it the browser engine) go here.
    }
    // Stopped: nothing more was written, and the process ends as the signal would have ended it.
    if (signal != 0)
        StopSignals::endBySignal(signal);
    return status;
}

int ConsoleCheck::finish(const CheckOutcome& outcome)
{
    using End = CheckOutcome::End;
    switch (outcome.end) {
    case End::LockHeld:
        Console::writeError(QStringLiteral("базу данных %1 уже проверяет другой процесс")
                                .arg(QString::fromStdString(m_settings.databasePath))
                            + (outcome.cause.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(outcome.cause)));
        return ExitStatus::DatabaseBusy;
    case End::LockUnavailable:
        Console::writeError(outcome.cause);
        return ExitStatus::LockUnavailable;
    case End::DatabaseUnreadable:
        // The report has said why.
        return ExitStatus::DatabaseUnreadable;
    case End::Stopped:
    case End::AlreadyRunning:
        return ExitStatus::Ok;
    case End::SiteUnreachable:
        Console::writeError(QStringLiteral("сайт Белпочты недоступен: нет соединения с %1:%2")
                                .arg(QString::fromStdString(m_session.source().probeHost()))
                                .arg(m_session.source().probePort()));
        break;
    case End::SiteDidNotAnswer:
        Console::writeError(QStringLiteral("сайт Белпочты не ответил: страница %1 не загрузилась")
                                .arg(QString::fromStdString(m_settings.endpoints.trackingUrl)));
        break;
    case End::PageFailed:
    case End::WentThrough:
        break;
    }

    const std::vector<ParcelOutcome> changed = outcome.changed();
    QString summary;
    for (const ParcelOutcome& parcel : changed)
        summary += changedLine(parcel) + u'\n';
    const QList<ChangedParcel> notified = ChangedParcel::fromOutcome(outcome);
    const Ending ending = endingOf(outcome, !changed.empty(), m_session.unreadableCopies().folder());
    for (const QString& line : ending.lines)
        summary += line + u'\n';
    const bool written = Console::writeOut(summary);

    // The bus only when there is something to show: a run that changed nothing leaves it alone.
    if (!notified.isEmpty()) {
        const DesktopNotifier::Result shown = DesktopNotifier().notify(notified);
        if (!shown.sent)
            Console::writeError(QStringLiteral("уведомление на рабочем столе не показано: ") + shown.failure);
    }

    if (ending.status != ExitStatus::Ok)
        return ending.status;
    return written ? ExitStatus::Ok : ExitStatus::OutputFailed;
}

RunRecord::Origin ConsoleCheck::originFromEnvironment()
{
    return qEnvironmentVariable("KURIERIX_CHECK_ORIGIN") == u"timer" ? RunRecord::Origin::Timer
                                                                     : RunRecord::Origin::Terminal;
}

QString ConsoleCheck::changedLine(const ParcelOutcome& parcel)
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

bool ConsoleCheck::silent() const
{
    return m_session.stopRequested();
}

void ConsoleCheck::writeLine(const QString& line)
{
    if (!m_settings.quiet && !silent())
        Console::writeOut(line + u'\n');
}

void ConsoleCheck::writeErrorBox(const QString& text, const QString& cause)
{
    if (!silent())
        Console::writeError(text + QStringLiteral(" (") + cause + u')');
}

void ConsoleCheck::writeReport(const QString& message)
{
    if (silent())
        return;
    // Before the run asks about its parcels, the report can only be about reading them: the run
    // has worded its cause, SQLite's own words in parentheses. Later reports (the source's) are
    // the program's own sentences.
    if (!m_asking)
        Console::writeError(Console::databaseUnreadable(m_settings.databasePath, message));
    else
        Console::writeError(message);
}
