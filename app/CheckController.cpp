#include "app/CheckController.h"

#include "app/ChangeNotice.h"
#include "app/GeneralErrorReport.h"
#include "app/HandlerGuard.h"
#include "app/ParcelListController.h"
#include "app/Prompts.h"
#include "parcels/ParcelGrid.h"
#include "tracking/CheckSession.h"
#include "tracking/CheckWords.h"
#include "tracking/RunRecords.h"

#include <QDateTime>
#include <QLabel>
#include <QTimer>

#include <utility>

CheckController::CheckController(const MainFormOptions& options, std::unique_ptr<TrackingSource> source,
                                 ParcelListController& list, Prompts& prompts, GeneralErrorReport& errorReport,
                                 const HandlerGuard& guard, Views views, QObject* parent)
    : QObject(parent), m_options(options), m_list(list), m_prompts(prompts), m_errorReport(errorReport), m_guard(guard),
      m_views(std::move(views)), m_session(new CheckSession(m_options.databasePath, std::move(source), {}, this))
{
    m_session->setObjectName(QStringLiteral("checkSession"));
    m_session->setLimits(m_options.checkRunLimits);
    // A row that cannot be written (the same full disk that kept the answers out) is no new
    // failure to show: the status bar tells of the run all the same (runRecorded).
    m_recorder = std::make_unique<RunRecorder>(*m_session, RunRecord::Origin::Window, m_options.now);
    followSession();
}

CheckController::~CheckController() = default;

bool CheckController::running() const
{
    return m_session->running();
}

void CheckController::stop()
{
    // A check run may still be on the stack; it sees the stop at its next step and ends there,
    // without touching the store again.
    m_session->stop();
}

void CheckController::run(Trigger trigger)
{
    m_guard.run([this, trigger] {
        if (running() || m_list.closed() || !m_list.store())
            return;
        // However the run ends, the menu must be usable again: an error that ends it early
        // would otherwise leave the grid, and with it every command, disabled for good.
        struct RunEnd
        {
            CheckController& check;
            ~RunEnd()
            {
                if (!check.m_list.closed())
                    check.m_views.grid->setEnabled(true);
            }
        } runEnd{*this};
        const CheckOutcome outcome = m_session->run(*m_list.store());
        // A run stopped by the window closing writes nothing more, its row neither.
        if (const auto recorded = m_recorder->takeLast(); recorded && !m_list.closed())
            emit runRecorded(recorded->run, recorded->stored);
        // A run over no parcels asks nothing and would otherwise say nothing either.
        if (outcome.end == CheckOutcome::End::WentThrough && outcome.parcels.empty() && !m_list.closed())
            m_views.appendStatusLine(checkwords::noParcelsLine());
        if (outcome.end == CheckOutcome::End::LockHeld && !m_list.closed()) {
            if (trigger == Trigger::Schedule)
                m_views.appendStatusLine(checkwords::scheduledRunSkippedLine());
            else
                m_prompts.showMessage(checkwords::checkingInBackgroundText(), Prompts::Icon::Information);
        }
        if (outcome.end == CheckOutcome::End::LockUnavailable && !m_list.closed())
            m_prompts.showError(checkwords::lockUnavailableText(outcome.lockProblem));
        notifyChanged(outcome);
        if (!m_list.closed())
            emit runOver();
    });
}

void CheckController::notifyChanged(const CheckOutcome& outcome)
{
    const QList<ChangedParcel> changed = ChangedParcel::fromOutcome(outcome);
    if (changed.isEmpty() || m_list.closed())
        return;
    // Out of the run's handler, so that the grid is usable again before the desktop is asked:
    // its notification service may take up to the notifier's time limit to answer. The window
    // says nothing when no notification could be shown.
    QTimer::singleShot(0, this, [this, changed] {
        if (m_options.notifyChanged)
            m_options.notifyChanged(changed);
        else
            ChangeNotice(this, m_options.notificationBus).show(changed);
    });
}

void CheckController::followSession()
{
    connect(m_session, &CheckSession::happened, this, &CheckController::show);
    connect(m_session, &CheckSession::finished, this, [this] {
        if (!m_list.closed())
            m_views.grid->setEnabled(true);
    });
}

void CheckController::show(const CheckEvent& event)
{
    const checkwords::Words said = checkwords::words(event);
    if (!said.report.isEmpty())
        m_errorReport.report(said.report);
    // The window's box shows no cause.
    if (!said.box.isEmpty())
        m_prompts.showError(said.box);
    // The window may have closed while a box was open.
    if (m_session->stopRequested())
        return;
    for (const QString& line : said.lines)
        m_views.appendStatusLine(line);
    if (!said.label.isEmpty()) {
        m_views.statusLabel->setText(said.label);
        m_views.statusLabel->adjustSize();
    }
    switch (event.kind) {
    case CheckEvent::Kind::Asking:
        // The grid, and with it every menu command, is the run's from the first question to the
        // end; a failed statement gives it back at once, as the program always did.
        m_views.grid->setEnabled(false);
        break;
    case CheckEvent::Kind::ParcelChecked:
        if (event.parcel.result == ParcelOutcome::Result::StoreFailed)
            m_views.grid->setEnabled(true);
        break;
    case CheckEvent::Kind::ResultsFinal:
        m_list.refresh();
        break;
    default:
        break;
    }
}
