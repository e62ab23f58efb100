#include "app/BackgroundController.h"

#include "app/HandlerGuard.h"
#include "app/Prompts.h"
#include "app/WindowSchedule.h"
#include "app/WindowSettings.h"

#include <QAction>
#include <QApplication>

#include <chrono>
#include <utility>

namespace {

const QString kWhileOpenKey = QStringLiteral("background/whileWindowOpen");
const QString kHoursKey = QStringLiteral("background/hours");

} // namespace

BackgroundController::BackgroundController(const MainFormOptions& options, Prompts& prompts, const HandlerGuard& guard,
                                           Views views, QObject* parent)
    : QObject(parent), m_options(options), m_prompts(prompts), m_guard(guard), m_views(std::move(views)),
      m_dropIn(options.userUnitConfigHome)
{
    setObjectName(QStringLiteral("backgroundChecks"));
    m_schedule = new WindowSchedule(m_views.windowFree, m_views.scheduledRun, m_options.scheduleTicks, this);
    m_schedule->setObjectName(QStringLiteral("windowSchedule"));
}

BackgroundController::~BackgroundController() = default;

void BackgroundController::start()
{
    if (!m_manager) {
        m_manager = UserManager::forSession(m_options.userManagerBus, m_options.sessionBus, this);
        if (!m_manager) {
            take(UserManager::TimerState{});
            return;
        }
    }
    m_manager->readTimer([this](const UserManager::TimerState& state) { take(state); });
}

bool BackgroundController::byManager() const
{
    return m_state && m_state->reach == UserManager::Reach::Ready;
}

std::optional<CheckInterval> BackgroundController::windowInterval() const
{
    const WindowSettings settings;
    if (!settings.value(kWhileOpenKey).toBool())
        return std::nullopt;
    return checkintervals::fromHours(settings.value(kHoursKey).toInt()).value_or(checkintervals::kDefault);
}

void BackgroundController::take(const UserManager::TimerState& state)
{
    m_state = state;
    bool on = state.on;
    if (byManager()) {
        m_schedule->setInterval(std::nullopt);
    } else {
        const std::optional<CheckInterval> interval = windowInterval();
        on = bool(interval);
        m_schedule->setInterval(
            interval ? std::optional(std::chrono::minutes(std::chrono::hours(checkintervals::hours(*interval))))
                     : std::nullopt);
    }
    m_views.menuItem->setChecked(on);
    emit changed();
}

QDateTime BackgroundController::now() const
{
    return m_options.now ? m_options.now() : QDateTime::currentDateTime();
}

std::optional<QDateTime> BackgroundController::nextCheck() const
{
    if (byManager())
        return m_state->on ? m_state->nextElapse : std::nullopt;
    const std::optional<std::int64_t> untilNext = m_schedule->untilNext();
    if (!untilNext)
        return std::nullopt;
    return now().addMSecs(*untilNext);
}

void BackgroundController::ranNow()
{
    m_schedule->ranNow();
    emit changed();
}

void BackgroundController::nextCheckPassed()
{
    if (!byManager() || !m_manager || m_askedAgainFor == m_state->nextElapse)
        return;
    m_askedAgainFor = m_state->nextElapse;
    start();
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

void BackgroundController::openDialog()
{
    m_guard.run([this] {
        // The item's check mark follows the truth, not the click.
        m_views.menuItem->setChecked(byManager() ? m_state->on : bool(windowInterval()));
        BackgroundDialog::Shown shown;
        shown.byManager = byManager();
        shown.now = now();
        shown.next = nextCheck();
        if (shown.byManager) {
            shown.on = m_state->on;
            shown.interval = m_dropIn.read();
        } else {
            shown.note = whyInWindow();
            const std::optional<CheckInterval> interval = windowInterval();
            shown.on = bool(interval);
            shown.interval = interval.value_or(checkintervals::fromHours(WindowSettings().value(kHoursKey).toInt())
                                                   .value_or(checkintervals::kDefault));
        }
        // Made when first asked for, so that the start-up does not pay for it.
        if (!m_dialog)
            m_dialog = new BackgroundDialog(m_views.window);
        const std::optional<BackgroundDialog::Choice> choice = m_dialog->ask(shown);
        if (!choice || *choice == BackgroundDialog::Choice{shown.on, shown.interval})
            return;
        if (shown.byManager)
            applyByManager(*choice);
        else
            applyInWindow(*choice);
    });
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

void BackgroundController::applyInWindow(const BackgroundDialog::Choice& choice)
{
    WindowSettings settings;
    settings.setValue(kWhileOpenKey, choice.on);
    settings.setValue(kHoursKey, checkintervals::hours(choice.interval));
    settings.sync();
    take(m_state.value_or(UserManager::TimerState{}));
}
