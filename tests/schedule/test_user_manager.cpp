// The background timer as the program switches it: the user manager asked and told over D-Bus (a
// private dbus-daemon with a stand-in for the manager, or a real `systemd --user` where
// test_real_user_manager.sh can start one), and the timer's drop-in file.
#include "schedule/TimerDropIn.h"
#include "schedule/UserManager.h"

#include "support/PrivateBus.h"
#include "support/TestSupport.h"
#include "support/UserManagerDouble.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace {

using testsupport::UserManagerDouble;

UserManager::TimerState readNow(UserManager& manager)
{
    std::optional<UserManager::TimerState> state;
    manager.readTimer([&state](const UserManager::TimerState& read) { state = read; });
    EXPECT_TRUE(testsupport::waitUntil([&] { return state.has_value(); }));
    return state.value_or(UserManager::TimerState{});
}

class UserManagerOnPrivateBus : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_bus = std::make_unique<testsupport::PrivateBus>();
        s_double = std::make_unique<UserManagerDouble>();
        QString error;
        ASSERT_TRUE(s_bus->start(&error)) << error.toStdString();
        ASSERT_TRUE(s_bus->serve(UserManagerDouble::kService, UserManagerDouble::kPaths, s_double.get(), &error))
            << error.toStdString();
    }

    static void TearDownTestSuite()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("caller"));
        s_bus.reset();
        s_double.reset();
    }

    void SetUp() override
    {
        s_double->setTimer({});
        s_double->clearCalls();
    }

    UserManager m_manager{QDBusConnection::connectToBus(s_bus->address(), QStringLiteral("caller"))};
    static inline std::unique_ptr<testsupport::PrivateBus> s_bus;
    static inline std::unique_ptr<UserManagerDouble> s_double;
};

TEST_F(UserManagerOnPrivateBus, ReadsWhetherTheTimerIsOnAndWhenItRunsNext)
{
    using Reach = UserManager::Reach;
    // Installed and switched off, as the package leaves it.
    UserManager::TimerState state = readNow(m_manager);
    EXPECT_EQ(state.reach, Reach::Ready);
    EXPECT_FALSE(state.on);
    EXPECT_FALSE(state.nextElapse);

    // Switched on in a terminal: enabled and running, with its next elapse.
    const QDateTime next(QDate(2013, 4, 1), QTime(18, 14), Qt::UTC);
    s_double->setTimer(
        {true, QStringLiteral("enabled"), QStringLiteral("active"), quint64(next.toMSecsSinceEpoch()) * 1000, 0});
    state = readNow(m_manager);
    EXPECT_TRUE(state.on);
    EXPECT_EQ(state.nextElapse, next);
    // Started by hand without being enabled, it runs until the session ends: on as well.
    s_double->setTimer({true, QStringLiteral("disabled"), QStringLiteral("active"), 0, 0});
    EXPECT_TRUE(readNow(m_manager).on);

    s_double->setTimer({false});
    EXPECT_EQ(readNow(m_manager).reach, Reach::NotInstalled);
    s_double->setTimer({});
    s_double->failNext(QStringLiteral("GetUnitFileState"), QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"),
                       QStringLiteral("Access denied"));
    state = readNow(m_manager);
    EXPECT_EQ(state.reach, Reach::Failed);
    EXPECT_TRUE(state.failure.endsWith(QStringLiteral("(Access denied)."))) << state.failure.toStdString();

    UserManager nowhere(QDBusConnection::connectToBus(s_bus->deadAddress(), QStringLiteral("nowhere")));
    EXPECT_EQ(readNow(nowhere).reach, Reach::NoManager);
    QDBusConnection::disconnectFromBus(QStringLiteral("nowhere"));
}

TEST_F(UserManagerOnPrivateBus, SwitchesTheTimerAsSystemctlWouldAndSaysWhichStepFailed)
{
    const QDateTime next(QDate(2013, 4, 1), QTime(15, 7), Qt::UTC);
    s_double->setTimer(
        {true, QStringLiteral("disabled"), QStringLiteral("inactive"), 0, quint64(next.toMSecsSinceEpoch()) * 1000});
    EXPECT_EQ(m_manager.switchTimer(true), QString());
    EXPECT_EQ(s_double->calls(),
              (QStringList{QStringLiteral("EnableUnitFiles kurierix-check.timer false false"), QStringLiteral("Reload"),
                           QStringLiteral("RestartUnit kurierix-check.timer replace")}));
    const UserManager::TimerState on = readNow(m_manager);
    EXPECT_TRUE(on.on);
    EXPECT_EQ(on.nextElapse, next);

    s_double->clearCalls();
    EXPECT_EQ(m_manager.switchTimer(false), QString());
    EXPECT_EQ(s_double->calls(),
              (QStringList{QStringLiteral("StopUnit kurierix-check.timer replace"),
                           QStringLiteral("DisableUnitFiles kurierix-check.timer false"), QStringLiteral("Reload")}));
    EXPECT_FALSE(readNow(m_manager).on);

    // The step that failed is said with the manager's words, and nothing after it is asked.
    s_double->clearCalls();
    s_double->failNext(QStringLiteral("EnableUnitFiles"), QStringLiteral("org.freedesktop.systemd1.UnitMasked"),
                       QStringLiteral("Unit file kurierix-check.timer is masked."));
    EXPECT_EQ(m_manager.switchTimer(true),
              QStringLiteral("Не удалось включить таймер kurierix-check.timer (Unit file kurierix-check.timer is "
                             "masked.)."));
    EXPECT_EQ(s_double->calls().size(), 1);
    s_double->failNext(QStringLiteral("Reload"), QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
                       QStringLiteral("Did not receive a reply."));
    EXPECT_EQ(m_manager.switchTimer(false),
              QStringLiteral("Менеджер служб пользователя не перечитал задания (Did not receive a reply.)."));
}

TEST(TimerDropIn, HoldsEachIntervalsCalendarWholeAndNothingForTheDefault)
{
    QTemporaryDir config;
    const TimerDropIn dropIn(config.path());
    EXPECT_EQ(dropIn.path(), config.path() + QStringLiteral("/systemd/user/kurierix-check.timer.d/interval.conf"));
    const auto text = [](const char* every, const char* calendar) {
        return QByteArray("# Курьерикс: как часто проверять посылки в фоне (меню «Проверять в фоне…»).\n"
                          "# Файл пишет программа; для проверки каждые 6 часов она его удаляет.\n"
                          "[Unit]\n"
                          "Description=Курьерикс: проверка посылок ")
               + every + "\n\n[Timer]\nOnCalendar=\nOnCalendar=" + calendar + "\n";
    };
    const struct
    {
        CheckInterval interval;
        QByteArray content;
    } cases[] = {
        {CheckInterval::Hour, text("каждый час", "*-*-* *:00:00")},
        {CheckInterval::ThreeHours, text("каждые 3 часа", "*-*-* 00/3:00:00")},
        {CheckInterval::TwelveHours, text("каждые 12 часов", "*-*-* 00/12:00:00")},
        {CheckInterval::Day, text("раз в день", "*-*-* 00:00:00")},
    };
    QString failure;
    for (const auto& c : cases) {
        ASSERT_TRUE(dropIn.apply(c.interval, &failure)) << failure.toStdString();
        QFile file(dropIn.path());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), c.content) << checkintervals::caption(c.interval).toStdString();
        EXPECT_EQ(dropIn.read(), c.interval);
    }
    // Written whole: nothing but the file is left in its folder.
    EXPECT_EQ(QDir(config.path() + QStringLiteral("/systemd/user/kurierix-check.timer.d")).entryList(QDir::Files),
              QStringList{QStringLiteral("interval.conf")});

    EXPECT_FALSE(TimerDropIn::content(CheckInterval::SixHours));
    ASSERT_TRUE(dropIn.apply(CheckInterval::SixHours, &failure));
    EXPECT_FALSE(QFile::exists(dropIn.path()));
    EXPECT_EQ(dropIn.read(), CheckInterval::SixHours);

    // A folder that cannot be made is said with the file's name.
    QFile blocker(config.path() + QStringLiteral("/blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    const TimerDropIn blocked(blocker.fileName());
    EXPECT_FALSE(blocked.apply(CheckInterval::Day, &failure));
    EXPECT_TRUE(failure.contains(blocker.fileName())) << failure.toStdString();
}

// Run by test_real_user_manager.sh as the throwaway user whose manager it started, with the
// units installed under that user's ~/.local; skipped anywhere else.
TEST(RealUserManager, SwitchesTheInstalledTimerOnWithTheChosenIntervalAndOffAgain)
{
    if (qEnvironmentVariableIsEmpty("KURIERIX_REAL_USER_MANAGER"))
        GTEST_SKIP() << "needs the user manager that tests/schedule/test_real_user_manager.sh starts";
    const auto systemctl = [](const QStringList& arguments) {
        QProcess process;
        process.start(QStringLiteral("systemctl"), QStringList{QStringLiteral("--user")} + arguments);
        process.waitForFinished();
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    UserManager manager(QDBusConnection::sessionBus());
    ASSERT_EQ(readNow(manager).reach, UserManager::Reach::Ready);
    const TimerDropIn dropIn(QDir::homePath() + QStringLiteral("/.config"));
    QString failure;
    ASSERT_TRUE(dropIn.apply(CheckInterval::ThreeHours, &failure)) << failure.toStdString();
    ASSERT_EQ(manager.switchTimer(true), QString());
    const UserManager::TimerState on = readNow(manager);
    EXPECT_TRUE(on.on);
    ASSERT_TRUE(on.nextElapse);
    // At most three hours and the random half hour away.
    EXPECT_LE(QDateTime::currentDateTimeUtc().secsTo(*on.nextElapse), 3 * 3600 + 1800);
    const QString timers = systemctl({QStringLiteral("list-timers")});
    EXPECT_TRUE(timers.contains(QStringLiteral("kurierix-check.timer"))) << timers.toStdString();
    const QString calendar = systemctl({QStringLiteral("show"), QStringLiteral("-p"), QStringLiteral("TimersCalendar"),
                                        QStringLiteral("kurierix-check.timer")});
    EXPECT_TRUE(calendar.contains(QStringLiteral("00/3:00:00"))) << calendar.toStdString();

    ASSERT_TRUE(dropIn.apply(CheckInterval::SixHours, &failure));
    ASSERT_EQ(manager.switchTimer(false), QString());
    EXPECT_FALSE(readNow(manager).on);
    EXPECT_FALSE(systemctl({QStringLiteral("list-timers")}).contains(QStringLiteral("kurierix-check.timer")));
}

} // namespace
