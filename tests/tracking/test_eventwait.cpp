// The one wait of the check run and the page driver, in what the check run's tests do not reach:
// a wake ends it at once, and once the application has begun to quit it still sleeps.
#include "tracking/EventWait.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

namespace {

TEST(EventWait, AWakeEndsItAtOnceAndItSleepsRatherThanSpinsWhileTheApplicationQuits)
{
    EventWait wait;
    QTimer::singleShot(10, [&] { wait.wake(); });
    const QDeadlineTimer deadline(20000);
    EXPECT_EQ(wait.sleep(deadline), EventWait::Outcome::Woken);
    // Ended by the wake, not by the deadline's own alarm (after which the wake is found too).
    EXPECT_FALSE(deadline.hasExpired());
    // Likewise what a precise timer changes ends a wait for it.
    bool changed = false;
    QTimer::singleShot(10, Qt::PreciseTimer, [&] { changed = true; });
    const QDeadlineTimer second(20000);
    EXPECT_EQ(wait.until([&] { return changed; }, second), EventWait::Outcome::Met);
    EXPECT_FALSE(second.hasExpired());
    // A wake with nobody waiting ends the next wait, so that no notification is missed.
    wait.wake();
    EXPECT_EQ(wait.sleep(QDeadlineTimer(20000)), EventWait::Outcome::Woken);

    // Told to quit, a nested event loop returns at once: a wait built on one would look
    // thousands of times in 200 ms.
    QCoreApplication::exit(0);
    int looks = 0;
    EXPECT_EQ(wait.until([&] { return ++looks, false; }, QDeadlineTimer(200)), EventWait::Outcome::TimedOut);
    EXPECT_LT(looks, 20);
    // Only the application's own loop clears the quit again, for whatever runs after this test.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

} // namespace
