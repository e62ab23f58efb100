#include "console/ConsoleCheck.h"

#include "console/Console.h"
#include "console/StandardStreams.h"
#include "console/StopSignals.h"
#include "notify/DesktopNotifier.h"
#include "store/ParcelStore.h"
#include "tracking/CheckWords.h"
#include "tracking/CommandLineWords.h"
#include "tracking/EventWait.h"
#include "tracking/ExitStatus.h"
#include "tracking/RunRecords.h"
#include "tracking/TrackingRoad.h"

#include <optional>

ConsoleCheck::ConsoleCheck(const Settings& settings, CheckSession& session) : m_settings(settings), m_session(session)
{
    QObject::connect(&session, &CheckSession::happened, [this](const CheckEvent& event) { show(event); });
}

int ConsoleCheck::run(const Settings& settings)
{
    int status = ExitStatus::Ok;
    int signal = 0;
    {
        CheckSession session(settings.databasePath,
                             makeTrackingSource(settings.tracking, settings.endpoints, settings.pageFactory));
        session.setLimits(settings.limits);
        // Every run leaves its row, a run refused for want of a lock too (its row is all it writes).
        RunRecorder recorder(session, settings.origin);
        const StopSignals stopSignals([&session] { session.stop(); });
        ConsoleCheck host(settings, session);
        // A reader that went away (`| head`) must not end the run between two statements.
        standardstreams::keepRunningWithoutReader();

        ParcelStore store;
        switch (store.open(settings.databasePath, ParcelStore::Role::Check)) {
        case ParcelStore::OpenResult::Opened:
            break;
        case ParcelStore::OpenResult::Missing:
            Console::writeError(
                checkwords::databaseUnreadableLine(settings.databasePath, checkwords::missingFileReason()));
            return ExitStatus::DatabaseUnreadable;
        case ParcelStore::OpenResult::NoTracks:
            Console::writeError(
                checkwords::databaseUnreadableLine(settings.databasePath, checkwords::noTracksReason()));
            return ExitStatus::DatabaseUnreadable;
        default:
            Console::writeError(checkwords::databaseUnreadableLine(settings.databasePath, {}, store.lastOpenError()));
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
                Console::writeError(checkwords::recordNotStoredLine(recorded->failure));
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
        Console::writeError(checkwords::otherRunHoldsLine(m_settings.databasePath, outcome.cause));
        return ExitStatus::DatabaseBusy;
    case End::LockUnavailable:
        Console::writeError(checkwords::lockUnavailableText(outcome.lockProblem));
        return ExitStatus::LockUnavailable;
    case End::DatabaseUnreadable:
        // The report has said why.
        return ExitStatus::DatabaseUnreadable;
    case End::Stopped:
    case End::AlreadyRunning:
        return ExitStatus::Ok;
    case End::SiteUnreachable:
        Console::writeError(
            checkwords::siteUnreachableLine(m_session.source().probeHost(), m_session.source().probePort()));
        break;
    case End::SiteDidNotAnswer:
        Console::writeError(checkwords::pageDidNotLoadLine(m_settings.endpoints.trackingUrl));
        break;
    case End::PageFailed:
    case End::WentThrough:
        break;
    }

    const std::vector<ParcelOutcome> changed = outcome.changed();
    QString summary;
    for (const ParcelOutcome& parcel : changed)
        summary += checkwords::changedLine(parcel) + u'\n';
    const QList<ChangedParcel> notified = ChangedParcel::fromOutcome(outcome);
    for (const QString& line :
         checkwords::summaryEnding(outcome, !changed.empty(), m_session.unreadableCopies().folder()))
        summary += line + u'\n';
    const bool written = Console::writeOut(summary);

    // The bus only when there is something to show: a run that changed nothing leaves it alone.
    // A system with no notification for a program without a window (Windows) is not a failure.
    if (!notified.isEmpty() && DesktopNotifier::available()) {
        const DesktopNotifier::Result shown = DesktopNotifier(m_settings.sessionBus).notify(notified);
        if (!shown.sent)
            Console::writeError(checkwords::notificationNotShownLine(shown.failure));
    }

    // The status, and with it the order in which the causes count, is the one every run's record
    // keeps.
    const int status = runrecords::exitStatusOf(runrecords::endingOf(outcome));
    if (status != ExitStatus::Ok)
        return status;
    return written ? ExitStatus::Ok : ExitStatus::OutputFailed;
}

void ConsoleCheck::prepareProcess(bool loggingRulesChosen)
{
    // Nothing is shown, so no display is used, whatever the session says: a display that has gone
    // (after a logout, an ssh session's) would otherwise end the run as it starts. Without one no
    // library can start a session bus of its own either (D-Bus starts one only for an X display):
    // a session without a bus gets one line about the notification, and nothing is left running.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    // Standard error carries the program's own lines only. The browser engine describes its set-up
    // (no sandbox as root, no graphics) through Qt's logging, in this process and in its helper
    // processes, which take the rule with the environment. The program's own warnings have the
    // category "kurierix". A developer's QT_LOGGING_RULES shows everything again.
    if (!loggingRulesChosen)
        qputenv("QT_LOGGING_RULES", "*=false;kurierix=true");
}

RunRecord::Origin ConsoleCheck::originNamed(const QString& origin)
{
    return origin == u"timer" ? RunRecord::Origin::Timer : RunRecord::Origin::Terminal;
}

bool ConsoleCheck::silent() const
{
    return m_session.stopRequested();
}

void ConsoleCheck::show(const CheckEvent& event)
{
    const checkwords::Words said = checkwords::words(event);
    if (silent())
        return;
    if (!said.report.isEmpty()) {
        // A database that could not be read is said as for any command; the source's reports
        // are the program's own sentences.
        if (event.kind == CheckEvent::Kind::DatabaseUnreadable)
            Console::writeError(checkwords::databaseUnreadableLine(m_settings.databasePath, said.report));
        else
            Console::writeError(said.report);
    }
    if (!said.boxWithCause.isEmpty())
        Console::writeError(said.boxWithCause);
    if (m_settings.quiet)
        return;
    for (const QString& line : said.lines)
        Console::writeOut(line + u'\n');
}
