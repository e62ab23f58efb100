#include "schedule/UserManager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusArgument>
#include <QDBusError>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <limits>
#include <memory>
#include <utility>

namespace {

const QString kService = QStringLiteral("org.freedesktop.systemd1");
const QString kPath = QStringLiteral("/org/freedesktop/systemd1");
const QString kManager = QStringLiteral("org.freedesktop.systemd1.Manager");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
// The name of the window's own connection to a bus it was told of.
const QString kOwnBusName = QStringLiteral("kurierix-user-manager");

// A timer being started has no next elapse until its start job has run.
constexpr int kReadAttempts = 4;
constexpr int kReadPauseMs = 250;

// The manager's own words for a failed call.
QString wordsOf(const QDBusMessage& reply)
{
    const QDBusError error(reply);
    return error.message().isEmpty() ? error.name() : error.message();
}

bool failed(const QDBusMessage& reply)
{
    return reply.type() != QDBusMessage::ReplyMessage;
}

bool noManager(const QDBusMessage& reply)
{
    switch (QDBusError(reply).type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::NoServer:
    case QDBusError::Disconnected:
        return true;
    default:
        return false;
    }
}

bool unitMissing(const QDBusMessage& reply)
{
    const QString name = QDBusError(reply).name();
    return name == u"org.freedesktop.DBus.Error.FileNotFound" || name == u"org.freedesktop.systemd1.NoSuchUnit";
}

// A property as Get gives it: a variant, which Qt may or may not have unwrapped.
QVariant propertyValue(const QDBusMessage& reply)
{
    const QVariant value = reply.arguments().value(0);
    return value.canConvert<QDBusVariant>() ? value.value<QDBusVariant>().variant() : value;
}

bool enabledState(const QString& state)
{
    return state == u"enabled" || state == u"enabled-runtime" || state == u"linked" || state == u"linked-runtime";
}

QDBusMessage managerCall(const QString& method, const QVariantList& arguments = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager, method);
    call.setArguments(arguments);
    return call;
}

} // namespace

struct UserManager::Bus
{
    QDBusConnection connection;
    // A connection of its own, closed with the manager: its name is free again.
    bool own = false;

    ~Bus()
    {
        if (own)
            QDBusConnection::disconnectFromBus(kOwnBusName);
    }

    void askAsync(QObject* context, const QDBusMessage& call, std::function<void(const QDBusMessage&)> then)
    {
        auto* watcher = new QDBusPendingCallWatcher(connection.asyncCall(call, kReplyTimeoutMs), context);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [watcher, then = std::move(then)] {
            watcher->deleteLater();
            then(watcher->reply());
        });
    }
};

UserManager::UserManager(const QDBusConnection& bus, QObject* parent) : QObject(parent), m_bus(new Bus{bus})
{
}

UserManager::~UserManager() = default;

UserManager* UserManager::forSession(const QString& busAddress, bool sessionBus, QObject* parent)
{
    // Without a session bus Qt would have the desktop's bus started (dbus-launch): a desktop
    // without a bus has no user manager on one either, and nothing of D-Bus is set up for it.
    if (!busAddress.isEmpty()) {
        auto* manager = new UserManager(QDBusConnection::connectToBus(busAddress, kOwnBusName), parent);
        manager->m_bus->own = true;
        return manager;
    }
    return sessionBus ? new UserManager(QDBusConnection::sessionBus(), parent) : nullptr;
}

void UserManager::readTimer(std::function<void(const TimerState&)> done)
{
    readAttempt(std::move(done), kReadAttempts);
}

void UserManager::readAttempt(std::function<void(const TimerState&)> done, int attemptsLeft)
{
    if (!m_bus->connection.isConnected()) {
        QTimer::singleShot(0, this, [done = std::move(done)] { done(TimerState{}); });
        return;
    }
    // The answers come one after another; the state gathers them.
    auto state = std::make_shared<TimerState>();
    auto finish = [this, done, state, attemptsLeft](bool pending) {
        if (pending && attemptsLeft > 1) {
            QTimer::singleShot(kReadPauseMs, this, [this, done, attemptsLeft] { readAttempt(done, attemptsLeft - 1); });
            return;
        }
        done(*state);
    };
    m_bus->askAsync(
        this, managerCall(QStringLiteral("GetUnitFileState"), {kTimer}), [=, this](const QDBusMessage& fileState) {
            if (failed(fileState)) {
                state->reach = noManager(fileState) ? Reach::NoManager
                                                    : (unitMissing(fileState) ? Reach::NotInstalled : Reach::Failed);
                if (state->reach == Reach::Failed)
                    state->failure = QStringLiteral("Менеджер служб пользователя не сказал, включён ли таймер %1 (%2).")
                                         .arg(kTimer, wordsOf(fileState));
                finish(false);
                return;
            }
            state->reach = Reach::Ready;
            const bool enabled = enabledState(fileState.arguments().value(0).toString());
            m_bus->askAsync(
                this, managerCall(QStringLiteral("LoadUnit"), {kTimer}), [=, this](const QDBusMessage& unit) {
                    if (failed(unit)) {
                        state->on = enabled;
                        finish(false);
                        return;
                    }
                    const QString path = unit.arguments().value(0).value<QDBusObjectPath>().path();
                    QDBusMessage all =
                        QDBusMessage::createMethodCall(kService, path, kProperties, QStringLiteral("GetAll"));
                    all << QStringLiteral("org.freedesktop.systemd1.Unit");
                    m_bus->askAsync(this, all, [=, this](const QDBusMessage& unitProperties) {
                        const QString active = qdbus_cast<QVariantMap>(unitProperties.arguments().value(0))
                                                   .value(QStringLiteral("ActiveState"))
                                                   .toString();
                        const bool running = active == u"active" || active == u"activating" || active == u"reloading";
                        state->on = enabled || running;
                        QDBusMessage timer =
                            QDBusMessage::createMethodCall(kService, path, kProperties, QStringLiteral("Get"));
                        timer << QStringLiteral("org.freedesktop.systemd1.Timer")
                              << QStringLiteral("NextElapseUSecRealtime");
                        m_bus->askAsync(this, timer, [=](const QDBusMessage& next) {
                            const qulonglong usec = failed(next) ? 0 : propertyValue(next).toULongLong();
                            // The manager says "never" with the largest value, as it does for a
                            // timer whose next elapse it has not computed yet.
                            if (usec > 0 && usec != std::numeric_limits<qulonglong>::max())
                                state->nextElapse = QDateTime::fromMSecsSinceEpoch(qint64(usec / 1000), Qt::UTC);
                            // Switched on, but its start job has not run yet.
                            finish(enabled && !state->nextElapse);
                        });
                    });
                });
        });
}

QString UserManager::switchTimer(bool on)
{
    if (!m_bus->connection.isConnected())
        return QStringLiteral("Менеджер служб пользователя недоступен: нет сеансовой шины D-Bus (%1).")
            .arg(m_bus->connection.lastError().message());
    struct Step
    {
        QDBusMessage call;
        QString sentence;
    };
    const QStringList files{kTimer};
    const QString replace = QStringLiteral("replace");
    std::vector<Step> steps;
    const Step reload{managerCall(QStringLiteral("Reload")),
                      QStringLiteral("Менеджер служб пользователя не перечитал задания (%1).")};
    if (on) {
        steps = {{managerCall(QStringLiteral("EnableUnitFiles"), {files, false, false}),
                  QStringLiteral("Не удалось включить таймер %1 (%2).").arg(kTimer)},
                 reload,
                 {managerCall(QStringLiteral("RestartUnit"), {kTimer, replace}),
                  QStringLiteral("Не удалось запустить таймер %1 (%2).").arg(kTimer)}};
    } else {
        steps = {{managerCall(QStringLiteral("StopUnit"), {kTimer, replace}),
                  QStringLiteral("Не удалось остановить таймер %1 (%2).").arg(kTimer)},
                 {managerCall(QStringLiteral("DisableUnitFiles"), {files, false}),
                  QStringLiteral("Не удалось выключить таймер %1 (%2).").arg(kTimer)},
                 reload};
    }
    for (const Step& step : steps) {
        const QDBusMessage reply = m_bus->connection.call(step.call, QDBus::Block, kReplyTimeoutMs);
        if (failed(reply))
            return step.sentence.arg(wordsOf(reply));
    }
    return {};
}
