#include "app/BackgroundController.h"

// Windows has no systemd user manager: the window checks by itself while it is open. The task
// scheduler could run the check without the window; it is not used yet.

BackgroundController::~BackgroundController() = default;

void BackgroundController::start()
{
    take(TimerState{});
}

QString BackgroundController::whyInWindow() const
{
    return QStringLiteral("В Windows Курьерикс может проверять посылки сам только пока открыто его окно.");
}

void BackgroundController::applyByManager(const BackgroundDialog::Choice& choice)
{
    // Never asked for: without a manager every choice is the window's own.
    applyInWindow(choice);
}
