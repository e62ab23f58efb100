// Days in transit: which date texts are read, how, and how the days are counted.
#include "support/TestSupport.h"

#include "readings/DaysInTransit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

namespace {

const QLocale kC = QLocale::c();
const QLocale kRussian(QLocale::Russian, QLocale::Belarus);
const QLocale kAmerican(QLocale::English, QLocale::UnitedStates);

QDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

} // namespace

TEST(DaysInTransit, CountsWholeDaysAndDropsTheFraction)
{
    const QDateTime now = at(2013, 4, 1, 12, 0);
    EXPECT_EQ(daysInTransit("2013-03-31 12:01:00", now, kC), 0); // 23 h 59 min
    EXPECT_EQ(daysInTransit("2013-03-31 12:00:00", now, kC), 1); // exactly one day
    EXPECT_EQ(daysInTransit("2013-03-31 11:00:00", now, kC), 1); // 25 h
    EXPECT_EQ(daysInTransit("2013-03-30 12:00:01", now, kC), 1); // a second short of two days
    EXPECT_EQ(daysInTransit("2013-04-01 12:00:00", now, kC), 0);
    EXPECT_EQ(daysInTransit("2012-04-01 12:00:00", now, kC), 365);
}

TEST(DaysInTransit, AFutureDateCountsLikeAPastOne)
{
    const QDateTime now = at(2013, 4, 1, 12, 0);
    EXPECT_EQ(daysInTransit("2013-04-03 13:00:00", now, kC), 2); // 49 h ahead
    EXPECT_EQ(daysInTransit("2013-04-02 11:59:00", now, kC), 0);
}

TEST(DaysInTransit, TheTrackingPagesFormIsReadUnderEveryLocale)
{
    const QDateTime now = at(2013, 3, 26, 12, 30);
    for (const QLocale& locale : {kC, kRussian, kAmerican, QLocale(QLocale::German), QLocale(QLocale::Japanese)})
        EXPECT_EQ(daysInTransit("2013-03-16 12:30:00", now, locale), 10) << locale.name().toStdString();
}

TEST(DaysInTransit, TheDottedFormIsReadInTheLocalesFieldOrder)
{
    const QDateTime now = at(2013, 3, 26, 12, 30);
    // Day first where the locale writes dates that way.
    EXPECT_EQ(daysInTransit("16.03.2013 12:30:00", now, kRussian), 10);
    EXPECT_EQ(daysInTransit("16.03.2013 12:30:00", now, kC), 10);
    EXPECT_EQ(daysInTransit("03.02.2013 12:30:00", now, kRussian), 51); // 3 February
    // Month first under a month-first locale: 2 March.
    EXPECT_EQ(daysInTransit("03.02.2013 12:30:00", now, kAmerican), 24);
    // A day that cannot be a month is no date there.
    EXPECT_THROW(daysInTransit("16.03.2013 12:30:00", now, kAmerican), std::runtime_error);
}

TEST(DaysInTransit, OtherNumericFormsOfTheLocaleAreRead)
{
    const QDateTime now = at(2013, 3, 26, 12, 30);
    EXPECT_EQ(daysInTransit("16.03.2013", now, kRussian), 10);          // no time: midnight
    EXPECT_EQ(daysInTransit("16.03.13 12:30", now, kRussian), 10);      // two-digit year, no seconds
    EXPECT_EQ(daysInTransit("3/16/2013 12:30 PM", now, kAmerican), 10); // the American way
    EXPECT_EQ(daysInTransit("2013-03-16T12:30:00", now, kC), 10);
    EXPECT_EQ(daysInTransit("  2013-03-16 12:30:00 ", now, kC), 10);
}

TEST(DaysInTransit, ATextThatIsNoDateThrows)
{
    const QDateTime now = at(2013, 3, 26);
    for (const char* text : {"2013-13-45 12:30:00", "2013-02-30 10:00:00", "2013-03-16 25:00:00", "16.03.2013 12:61:00",
                             "tomorrow", "12:30:00", "2013-03-16 12:30:00 extra", "x013-03-16 12:30:00"})
        EXPECT_THROW(daysInTransit(text, now, kRussian), std::runtime_error) << text;
}

TEST(DaysInTransit, GivesTheLocalMoment)
{
    const auto read = readLocalDateTime("2013-03-16 12:30:00", kC);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, at(2013, 3, 16, 12, 30));
    EXPECT_EQ(read->timeSpec(), Qt::LocalTime);
    // A month written as a word is no date.
    EXPECT_FALSE(readLocalDateTime(QStringLiteral("16 марта"), kRussian).has_value());
}

// Whatever the system's zone, a count is what the C library's local time gives: across changes
// of the clocks (a day of 23 or 25 hours), and long after a zone's last change, where counting
// takes a shortcut. CTest runs this again under zones that still change their clocks and zones
// that stopped (Minsk in 2011, Moscow in 2014).
TEST(DaysInTransit, CountsInTheSystemsZone)
{
    const QDateTime nows[] = {at(2013, 3, 31, 12),  at(2013, 10, 27, 12, 30), at(2011, 3, 27, 12),
                              at(2014, 10, 26, 12), at(2026, 12, 7, 9, 15),   at(1995, 6, 1, 0, 30)};
    const char* const dates[] = {"2013-03-30 12:00:00", "2013-03-30 12:30:00", "2013-10-26 12:30:00",
                                 "2011-03-26 12:00:00", "2014-10-25 12:00:00", "2014-10-25 11:00:00",
                                 "2026-12-06 09:15:00", "2026-11-30 10:00:00", "2000-01-01 00:00:00",
                                 "1995-05-31 23:30:00"};
    constexpr qint64 kDay = 24LL * 60 * 60 * 1000;
    for (const QDateTime& now : nows) {
        for (const char* date : dates) {
            const QDateTime then =
                QDateTime::fromString(QString::fromLatin1(date), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            ASSERT_TRUE(then.isValid()) << date;
            EXPECT_EQ(daysInTransit(date, now, kC), std::llabs(now.msecsTo(then)) / kDay)
                << date << " from " << now.toString(Qt::ISODate).toStdString() << " in " << qgetenv("TZ").toStdString();
        }
    }
}
