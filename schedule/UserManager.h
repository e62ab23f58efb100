#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QDBusConnection;

// The user's systemd manager (org.freedesktop.systemd1 on the session bus), asked through its own
// D-Bus interface about the background check's timer and told to switch it on or off, as
// `systemctl --user enable --now` and `disable --now` would, without a child process. Windows
// has none: there the window checks in the background while it is open.
class UserManager : public QObject
{
    Q_OBJECT

public:
    static inline const QString kTimer = QStringLiteral("kurierix-check.timer");
    // How long one call waits for the manager: a reload of every unit can take seconds.
    static constexpr int kReplyTimeoutMs = 15000;

    enum class Reach {
        Ready,        // the manager answers and the timer's unit file is installed
        NoManager,    // no bus, or no user manager on it
        NotInstalled, // the manager knows no kurierix-check.timer
        Failed,       // the manager answered with an error of another kind: `failure` says it
    };

    struct TimerState
    {
        Reach reach = Reach::NoManager;
        bool on = false; // enabled, or running
        std::optional<QDateTime> nextElapse;
        QString failure; // a sentence, the manager's own words in parentheses
    };

    // The manager on `bus`.
    explicit UserManager(const QDBusConnection& bus, QObject* parent = nullptr);
    ~UserManager() override;

    // The user's manager for the window: on the bus at `busAddress` when one is named (a
    // connection of its own, closed with the manager), else on the session bus where the session
    // has one (`sessionBus`). Nothing without a bus, and nothing on Windows.
    static UserManager* forSession(const QString& busAddress, bool sessionBus, QObject* parent);

    // Asks the manager about the timer without waiting for it; `done` gets the answer later,
    // never before this returns. A timer that is being started has no next elapse yet: it is
    // asked again a few times, a moment apart.
    void readTimer(std::function<void(const TimerState&)> done);

    // Switches the timer on (enable its unit file, reload, start it afresh so that a new
    // calendar holds) or off (stop it, disable, reload), waiting for every answer. Empty when it
    // went through; otherwise the sentence of the step that failed.
    QString switchTimer(bool on);

private:
    struct Bus;

    void readAttempt(std::function<void(const TimerState&)> done, int attemptsLeft);

    std::unique_ptr<Bus> m_bus;
};
