// Windows has no systemd user manager: the window never has one, and checks in the background
// while it is open (the timer as a scheduled task would be Windows' own way, not built yet).
#include "schedule/UserManager.h"

#include <QTimer>

struct UserManager::Bus
{
};

UserManager::~UserManager() = default;

UserManager* UserManager::forSession(const QString&, bool, QObject*)
{
    return nullptr;
}

void UserManager::readTimer(std::function<void(const TimerState&)> done)
{
    QTimer::singleShot(0, this, [done = std::move(done)] { done(TimerState{}); });
}

QString UserManager::switchTimer(bool)
{
    return QStringLiteral("В Windows нет менеджера служб пользователя: проверять в фоне можно, пока окно открыто.");
}
