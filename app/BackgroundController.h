#pragma once

#include "app/BackgroundDialog.h"
#include "app/MainFormOptions.h"
#include "schedule/TimerDropIn.h"
#include "schedule/UserManager.h"

#include <QDateTime>
#include <QObject>

#include <functional>
#include <optional>

class HandlerGuard;
class Prompts;
class QAction;
class QWidget;
class WindowSchedule;

// Checks that run by themselves, and the menu item and dialog that switch them. Where the user's
// systemd manager runs the background check's timer, the dialog switches the timer through the
// manager and its interval through the timer's drop-in file, and what it shows is what the
// manager says; elsewhere the window checks at the chosen interval while it is open, a choice
// kept in the program's settings.
class BackgroundController : public QObject
{
    Q_OBJECT

public:
    struct Views
    {
        QAction* menuItem = nullptr;
        QWidget* window = nullptr;
        // Whether the window may start a run now (no dialog or box open, no run under way), and
        // the run that the window's schedule starts.
        std::function<bool()> windowFree;
        std::function<void()> scheduledRun;
    };

    BackgroundController(const MainFormOptions& options, Prompts& prompts, const HandlerGuard& guard, Views views,
                         QObject* parent = nullptr);
    ~BackgroundController() override;

    // Asks the user manager how the timer stands. Until it answers, nothing runs by itself.
    void start();
    // "Проверять в фоне…".
    void openDialog();
    // A run of the window ended: the window's schedule counts its interval from now.
    void ranNow();
    // When the next check runs by itself; nothing when none will, or it is not known.
    std::optional<QDateTime> nextCheck() const;
    // The next check named is past: the manager is asked again, once for each such time.
    void nextCheckPassed();
    // The manager has answered (or there is none to ask).
    bool known() const { return m_state.has_value(); }

signals:
    // Whether checks run by themselves, or when the next one does, may have changed.
    void changed();

private:
    void take(const UserManager::TimerState& state);
    bool byManager() const;
    // The choice kept for the window's own schedule, when it is on.
    std::optional<CheckInterval> windowInterval() const;
    void applyByManager(const BackgroundDialog::Choice& choice);
    void applyInWindow(const BackgroundDialog::Choice& choice);
    QString whyInWindow() const;
    QDateTime now() const;

    const MainFormOptions& m_options;
    Prompts& m_prompts;
    const HandlerGuard& m_guard;
    Views m_views;
    UserManager* m_manager = nullptr;
    TimerDropIn m_dropIn;
    WindowSchedule* m_schedule = nullptr; // a child: tests find it by its object name
    BackgroundDialog* m_dialog = nullptr;
    std::optional<UserManager::TimerState> m_state;
    std::optional<QDateTime> m_askedAgainFor;
};
