#pragma once

#include "app/MainFormOptions.h"
#include "store/RunHistory.h"
#include "tracking/CheckOutcome.h"

#include <QObject>

#include <functional>
#include <memory>

class CheckSession;
class GeneralErrorReport;
class HandlerGuard;
class ParcelGrid;
class ParcelListController;
class Prompts;
class QLabel;
class RunRecorder;
class TrackingSource;

// The window's check run: it owns the check session and shows what the session tells: the
// status log and label, the boxes, the grid taken from the user while the run asks about the
// parcels and refreshed with its results, and one desktop notification of the changed parcels
// after the run. Every run it made leaves its row in the database.
class CheckController : public QObject
{
    Q_OBJECT

public:
    // The controls the run shows itself in, and the window's way of adding a status log line.
    struct Views
    {
        ParcelGrid* grid = nullptr;
        QLabel* statusLabel = nullptr;
        std::function<void(const QString&)> appendStatusLine;
    };

    CheckController(const MainFormOptions& options, std::unique_ptr<TrackingSource> source, ParcelListController& list,
                    Prompts& prompts, GeneralErrorReport& errorReport, const HandlerGuard& guard, Views views,
                    QObject* parent = nullptr);
    ~CheckController() override;

    // Who asked for a run: the user (the menu, F5), or the window's own schedule, whose run
    // finding the database held by another process's run says so in the log instead of a box.
    enum class Trigger { User, Schedule };

    // One check run over the window's parcels; nothing when one runs already or the window closed.
    void run(Trigger trigger = Trigger::User);
    bool running() const;
    // The window is closing: a run under way ends at its next step, and none starts.
    void stop();

signals:
    // A run of the window is over (one refused for another process's included).
    void runOver();
    // What a run did, and whether its row could be stored.
    void runRecorded(const RunRecord& run, bool stored);

private:
    // The session's signals shown in the window: the log, the label, the boxes, the grid.
    void followSession();
    // One desktop notification of the parcels whose status the run changed, once the run's
    // handler has returned.
    void notifyChanged(const CheckOutcome& outcome);

    const MainFormOptions& m_options;
    ParcelListController& m_list;
    Prompts& m_prompts;
    GeneralErrorReport& m_errorReport;
    const HandlerGuard& m_guard;
    Views m_views;
    CheckSession* m_session = nullptr; // a child: tests find it by its object name
    std::unique_ptr<RunRecorder> m_recorder;
};
