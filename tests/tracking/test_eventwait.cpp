// The one wait of the check run and the page driver: it sleeps in the event dispatcher until its
// condition holds, its deadline passes, a stop is requested or it is woken, and it goes on
// sleeping, not spinning, once the application has begun to quit.
#include "tracking/EventWait.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

namespace {

using Outcome = EventWait::Outcome;

TEST(EventWait, EndsOnItsConditionItsDeadlineAStopOrAWakeAndSleepsMeanwhileEvenWhileQuitting)
{
    bool stop = false;
    EventWait wait([&stop] { return stop; });
    int looks = 0;
    bool flag = false;
    QTimer::singleShot(30, [&] { flag = true; });
    EXPECT_EQ(wait.until([&] { return ++looks, flag; }, QDeadlineTimer(5000)), Outcome::Met);
    // Looked at after events only, not in a loop.
    EXPECT_LT(looks, 20);

    QElapsedTimer waited;
    waited.start();
    EXPECT_EQ(wait.sleep(QDeadlineTimer(50)), Outcome::TimedOut);
    EXPECT_GE(waited.elapsed(), 50);

    // A wake from a callback ends the sleep at once; one with nobody waiting ends the next.
    QTimer::singleShot(10, [&] { wait.wake(); });
    waited.restart();
    EXPECT_EQ(wait.sleep(QDeadlineTimer(5000)), Outcome::Woken);
    EXPECT_LT(waited.elapsed(), 2500);
    wait.wake();
    EXPECT_EQ(wait.sleep(QDeadlineTimer(5000)), Outcome::Woken);

    QTimer::singleShot(10, [&] { stop = true; });
    EXPECT_EQ(wait.until([] { return false; }, QDeadlineTimer(QDeadlineTimer::Forever)), Outcome::Stopped);
    stop = false;

    // Once the application has been told to quit, a nested event loop returns at once, and a
    // wait built on one would look thousands of times in 200 ms.
    QCoreApplication::exit(0);
    looks = 0;
    EXPECT_EQ(wait.until([&] { return ++looks, false; }, QDeadlineTimer(200)), Outcome::TimedOut);
    EXPECT_LT(looks, 20);
    // Only the application's own loop clears the quit again, for whatever runs after this test.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

} // namespace
