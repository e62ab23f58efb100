#pragma once

#include "schedule/TimerState.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVariantList>

#include <functional>
#include <optional>

// The user's systemd manager (org.freedesktop.systemd1 on the session bus), asked through its own
// D-Bus interface about the background check's timer and told to switch it on or off, as
// `systemctl --user enable --now` and `disable --now` would, without a child process.
class UserManager : public QObject
{
    Q_OBJECT

public:
    static inline const QString kTimer = QStringLiteral("kurierix-check.timer");
    // How long one call waits for the manager: a reload of every unit can take seconds.
    static constexpr int kReplyTimeoutMs = 15000;

    using Reach = ::TimerState::Reach;
    using TimerState = ::TimerState;

    explicit UserManager(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    // Asks the manager about the timer without waiting for it; `done` gets the answer later,
    // never before this returns. A timer that is being started has no next elapse yet: it is
    // asked again a few times, a moment apart.
    void readTimer(std::function<void(const TimerState&)> done);

    // Switches the timer on (enable its unit file, reload, start it afresh so that a new
    // calendar holds) or off (stop it, disable, reload), waiting for every answer. Empty when it
    // went through; otherwise the sentence of the step that failed.
    QString switchTimer(bool on);

private:
    QDBusMessage managerCall(const QString& method, const QVariantList& arguments = {}) const;
    void askAsync(const QDBusMessage& call, std::function<void(const QDBusMessage&)> then);
    void readAttempt(std::function<void(const TimerState&)> done, int attemptsLeft);

    QDBusConnection m_bus;
};
