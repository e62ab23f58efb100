#include "console/ConsoleCheck.h"

#include "console/Console.h"
#include "console/ExitStatus.h"
#include "console/StopSignals.h"
#include "notify/DesktopNotifier.h"
#include "seen/SeenStatuses.h"
#include "store/Cp1251.h"
#include "store/ParcelStore.h"
#include "store/PlainLine.h"
#include "tracking/EventWait.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <csignal>

namespace {

// A statement that meets another connection's lock (the open window saving an edit) waits this
// long for it.
constexpr int kBusyWaitMs = 2000;

QString unreadable(const std::string& path, const QString& cause)
{
    return QStringLiteral("не удалось открыть или прочитать базу данных %1: %2")
        .arg(QString::fromStdString(path), cause);
}

} // namespace

ConsoleCheck::ConsoleCheck(const Settings& settings, const CheckSession& session)
    : m_settings(settings), m_session(session)
{
}

int ConsoleCheck::run(const Settings& settings)
{
    int status = ExitStatus::Ok;
    int signal = 0;
    {
        CheckSession session(settings.databasePath, settings.pageFactory, settings.endpoints);
        session.setLimits(settings.limits);
        const StopSignals stopSignals([&session] { session.stop(); });
        ConsoleCheck host(settings, session);
        // A reader that went away (`| head`) must not end the run between two statements.
        std::signal(SIGPIPE, SIG_IGN);

        // Never made here: a timer in a folder without the database must not leave an empty one.
        if (!QFileInfo::exists(QString::fromStdString(settings.databasePath))) {
            Console::writeError(
                unreadable(settings.databasePath, QStringLiteral("нет такого файла в %1").arg(QDir::currentPath())));
            return ExitStatus::DatabaseUnreadable;
        }
        ParcelStore store;
        if (store.open(settings.databasePath) != ParcelStore::OpenResult::Opened) {
            Console::writeError(unreadable(settings.databasePath, fromCp1251(store.lastOpenError())));
            return ExitStatus::DatabaseUnreadable;
        }
        try {
            if (!store.database().HasTable("tracks"))
                throw ESQLiteException("no table tracks");
        } catch (const std::exception& e) {
            Console::writeError(unreadable(settings.databasePath, fromCp1251(e.what())));
            return ExitStatus::DatabaseUnreadable;
        }
        store.database().setBusyWait(kBusyWaitMs);
        // Before any status changes, so that in a file the window never opened every status held
        // now counts as seen, and the window shows this run's changes in bold.
        SeenStatuses::prepare(store.database());

        const CheckOutcome outcome = session.run(store, host);
        // A signal that came as the run ended has not been handled yet.
        EventWait::handlePending();
        signal = stopSignals.received();
        if (signal == 0)
            status = host.finish(outcome);
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
        Console::writeError(QStringLiteral("базу данных %1 уже проверяет другой процесс (%2)")
                                .arg(QString::fromStdString(m_settings.databasePath), fromCp1251(outcome.cause)));
        return ExitStatus::DatabaseBusy;
    case End::DatabaseUnreadable:
        // The general error report has said why.
        return ExitStatus::DatabaseUnreadable;
    case End::Stopped:
    case End::AlreadyRunning:
        return ExitStatus::Ok;
    case End::SiteUnreachable:
        Console::writeError(QStringLiteral("сайт Белпочты недоступен: нет соединения с %1:%2")
                                .arg(QString::fromStdString(m_settings.endpoints.probeHost))
                                .arg(m_settings.endpoints.probePort));
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
    QList<ChangedParcel> notified;
    for (const ParcelOutcome& parcel : changed) {
        summary += changedLine(parcel) + u'\n';
        notified += ChangedParcel::fromStored(parcel.number, parcel.shop, parcel.title, parcel.statusAfter);
    }
    if (changed.empty())
        summary = QStringLiteral("Статусы посылок не изменились.\n");
    const bool written = Console::writeOut(summary);

    const DesktopNotifier::Result shown = DesktopNotifier().notify(notified);
    if (!notified.isEmpty() && !shown.sent)
        Console::writeError(QStringLiteral("уведомление на рабочем столе не показано: ") + shown.failure);

    if (outcome.end != End::WentThrough)
        return ExitStatus::SiteUnreachable;
    return written ? ExitStatus::Ok : ExitStatus::OutputFailed;
}

QString ConsoleCheck::changedLine(const ParcelOutcome& parcel)
{
    QStringList label;
    for (const std::string* part : {&parcel.number, &parcel.shop, &parcel.title}) {
        const QString line = plainLine(fromCp1251(*part));
        if (!line.isEmpty())
            label += line;
    }
    return QStringLiteral("Новый статус: ") + label.join(QStringLiteral(", ")) + QStringLiteral(": ")
           + plainLine(fromCp1251(parcel.statusAfter));
}

bool ConsoleCheck::silent() const
{
    return m_session.stopRequested();
}

void ConsoleCheck::setCurrentResult(std::shared_ptr<TSQLiteTable>)
{
}

void ConsoleCheck::appendStatusLine(const std::string& line)
{
    if (!m_settings.quiet && !silent())
        Console::writeOut(fromCp1251(line) + u'\n');
}

void ConsoleCheck::setStatusLabel(const std::string&)
{
}

void ConsoleCheck::setGridEnabled(bool)
{
}

void ConsoleCheck::refreshGrid()
{
}

void ConsoleCheck::showErrorBox(const std::string& text, const std::string& cause)
{
    if (!silent())
        Console::writeError(fromCp1251(text) + QStringLiteral(" (") + fromCp1251(cause) + u')');
}

void ConsoleCheck::reportError(const std::string& message)
{
    if (!silent())
        Console::writeError(fromCp1251(message));
}
