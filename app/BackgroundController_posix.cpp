#include "app/BackgroundController.h"

#include "app/Prompts.h"
#include "schedule/UserManager.h"

#include <QApplication>
#include <QDBusConnection>

namespace {

const QString kBusName = QStringLiteral("kurierix-user-manager");

// The user manager is reached on the session bus. Without one, Qt would have the desktop's bus
// started (dbus-launch): a desktop without a bus has no user manager on one either, and nothing
// of D-Bus is set up for it.
std::optional<QDBusConnection> userManagerBus(const MainFormOptions& options)
{
    if (!options.userManagerBus.isEmpty())
        return QDBusConnection::connectToBus(options.userManagerBus, kBusName);
    if (!options.sessionBus)
        return std::nullopt;
    return QDBusConnection::sessionBus();
}

} // namespace

BackgroundController::~BackgroundController()
{
    // A bus of its own is closed with the last reference to it, and its name is free again.
    if (!m_options.userManagerBus.isEmpty())
        QDBusConnection::disconnectFromBus(kBusName);
}

void BackgroundController::start()
{
    if (!m_manager) {
        std::optional<QDBusConnection> bus = userManagerBus(m_options);
        if (!bus) {
            take(UserManager::TimerState{});
            return;
        }
        m_manager = new UserManager(*bus, this);
    }
    m_manager->readTimer([this](const UserManager::TimerState& state) { take(state); });
}

QString BackgroundController::whyInWindow() const
{
    const QString rest =
        QStringLiteral(", поэтому Курьерикс может проверять посылки сам только пока открыто его окно.");
    if (!m_state)
        return QStringLiteral("Менеджер служб пользователя (systemd --user) пока не ответил") + rest;
    switch (m_state->reach) {
    case UserManager::Reach::NotInstalled:
        return QStringLiteral("Задания фоновой проверки (kurierix-check.timer) здесь не установлены") + rest;
    case UserManager::Reach::Failed:
        return m_state->failure + QStringLiteral(" Пока окно открыто, Курьерикс может проверять посылки сам.");
    default:
        return QStringLiteral("Здесь не запущен менеджер служб пользователя (systemd --user)") + rest;
    }
}

void BackgroundController::applyByManager(const BackgroundDialog::Choice& choice)
{
    QString failure;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The interval first: switching on reloads the manager, which then reads it.
    if (m_dropIn.apply(choice.interval, &failure))
        failure = m_manager->switchTimer(choice.on);
    QApplication::restoreOverrideCursor();
    if (!failure.isEmpty())
        m_prompts.showError(failure);
    // What holds now, whatever went through.
    start();
}
