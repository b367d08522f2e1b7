#include "data/dates.h"

#include <gtest/gtest.h>

#include <ctime>

namespace mg::dates {
namespace {

struct Ymd {
    int y, m, d;
};

Ymd ymd(int32_t dayNumber) { return {year(dayNumber), month(dayNumber), day(dayNumber)}; }

#define EXPECT_YMD(dayNumber, Y, M, D)                      \
    do {                                                    \
        const Ymd got = ymd(dayNumber);                     \
        EXPECT_EQ(got.y, Y) << "day number " << (dayNumber); \
        EXPECT_EQ(got.m, M) << "day number " << (dayNumber); \
        EXPECT_EQ(got.d, D) << "day number " << (dayNumber); \
    } while (0)

// ---- Day numbers ---------------------------------------------------------------------

TEST(DayNumber, FixedPoints) {
    EXPECT_EQ(dateFromMDY(2, 9, 2015), 78205);
    EXPECT_EQ(dateFromMDY(1, 1, 1801), 4);
    EXPECT_EQ(dateFromMDY(12, 31, 1800), kNoDate);  // before the first valid date
    EXPECT_EQ(dateFromMDY(1, 1, 1900), 36163);
    EXPECT_EQ(dateFromMDY(1, 1, 2000), 72687);
    EXPECT_YMD(78205, 2015, 2, 9);
    EXPECT_YMD(4, 1801, 1, 1);
}

TEST(DayNumber, WeekdayIsDayNumberModSeven) {
    EXPECT_EQ(weekday(78205), 1);                    // 9 Feb 2015 was a Monday
    EXPECT_EQ(weekday(dateFromMDY(1, 1, 2000)), 6);  // a Saturday
    EXPECT_EQ(weekday(dateFromMDY(12, 25, 2016)), 0);  // a Sunday
    EXPECT_EQ(weekday(dateFromMDY(1, 1, 1801)), 4);    // a Thursday
    EXPECT_EQ(weekday(0), 0);
}

TEST(DayNumber, NoDateGivesZeroParts) {
    EXPECT_EQ(year(kNoDate), 0);
    EXPECT_EQ(month(kNoDate), 0);
    EXPECT_EQ(day(kNoDate), 0);
    EXPECT_EQ(year(-5), 0);
}

TEST(DayNumber, OverflowingDaysRunIntoTheNextMonth) {
    EXPECT_YMD(dateFromMDY(2, 31, 2015), 2015, 3, 3);
    EXPECT_YMD(dateFromMDY(2, 31, 2016), 2016, 3, 2);
    EXPECT_YMD(dateFromMDY(2, 30, 2015), 2015, 3, 2);
    EXPECT_YMD(dateFromMDY(2, 29, 2015), 2015, 3, 1);
    EXPECT_YMD(dateFromMDY(2, 29, 2016), 2016, 2, 29);
    EXPECT_YMD(dateFromMDY(12, 32, 2015), 2016, 1, 1);
    EXPECT_YMD(dateFromMDY(1, 366, 2016), 2016, 12, 31);
    EXPECT_YMD(dateFromMDY(1, 367, 2016), 2017, 1, 1);
}

TEST(DayNumber, OverflowingMonthsRunIntoTheYears) {
    EXPECT_YMD(dateFromMDY(13, 1, 2015), 2016, 1, 1);
    EXPECT_YMD(dateFromMDY(14, 15, 2015), 2016, 2, 15);
    EXPECT_YMD(dateFromMDY(25, 1, 2015), 2017, 1, 1);
    EXPECT_YMD(dateFromMDY(0, 1, 2015), 2014, 12, 1);
    EXPECT_YMD(dateFromMDY(-1, 10, 2015), 2014, 11, 10);
    EXPECT_YMD(dateFromMDY(-12, 1, 2015), 2013, 12, 1);
}

TEST(DayNumber, DayZeroAndNegativeDaysRunBackwards) {
    EXPECT_YMD(dateFromMDY(1, 0, 2015), 2014, 12, 31);
    EXPECT_YMD(dateFromMDY(3, 0, 2016), 2016, 2, 29);
    EXPECT_YMD(dateFromMDY(3, 0, 2015), 2015, 2, 28);
    EXPECT_YMD(dateFromMDY(3, -1, 2015), 2015, 2, 27);
    EXPECT_YMD(dateFromMDY(0, 0, 2015), 2014, 11, 30);
}

TEST(DayNumber, MonthPlusOneOnLastDayOfMonth) {
    // Month + 1 keeps the day and lets it overflow.
    EXPECT_YMD(dateFromMDY(1 + 1, 31, 2015), 2015, 3, 3);
    EXPECT_YMD(dateFromMDY(12 + 1, 31, 2015), 2016, 1, 31);
    EXPECT_YMD(dateFromMDY(3 + 1, 31, 2015), 2015, 5, 1);
}

TEST(DayNumber, LeapYears) {
    auto daysInFebruary = [](int y) { return dateFromMDY(3, 1, y) - dateFromMDY(2, 1, y); };
    EXPECT_EQ(daysInFebruary(1900), 28);
    EXPECT_EQ(daysInFebruary(2000), 29);
    EXPECT_EQ(daysInFebruary(2015), 28);
    EXPECT_EQ(daysInFebruary(2016), 29);
    EXPECT_EQ(daysInFebruary(2100), 28);
    EXPECT_EQ(daysInFebruary(2400), 29);
    EXPECT_EQ(dateFromMDY(1, 1, 2001) - dateFromMDY(1, 1, 2000), 366);
    EXPECT_EQ(dateFromMDY(1, 1, 1901) - dateFromMDY(1, 1, 1900), 365);
}

TEST(DayNumber, EveryDayRoundTripsThroughItsParts) {
    int32_t previous = 0;
    for (int32_t n = dateFromMDY(1, 1, 1801); n <= dateFromMDY(12, 31, 2200); ++n) {
        const Ymd p = ymd(n);
        ASSERT_EQ(dateFromMDY(p.m, p.d, p.y), n);
        if (previous != 0) {
            const Ymd q = ymd(previous);
            const bool nextDay = p.y == q.y && p.m == q.m && p.d == q.d + 1;
            const bool nextMonth = p.d == 1 && ((p.y == q.y && p.m == q.m + 1) ||
                                                (p.y == q.y + 1 && p.m == 1 && q.m == 12));
            ASSERT_TRUE(nextDay || nextMonth) << n;
        }
        previous = n;
    }
}

TEST(DayNumber, ExtremeArgumentsDoNotOverflow) {
    EXPECT_EQ(dateFromMDY(1, 1, -100000), kNoDate);
    EXPECT_EQ(dateFromMDY(1, 1, 2147483647), kNoDate);
    EXPECT_EQ(dateFromMDY(2147483647, 2147483647, 2147483647), kNoDate);
    EXPECT_EQ(dateFromMDY(-2147483647 - 1, -2147483647 - 1, 2015), kNoDate);
    EXPECT_GT(dateFromMDY(1, 2147483647 - 100000, 1801), 0);
}

// ---- Time values ---------------------------------------------------------------------

TEST(TimeValue, HundredthsSinceMidnightPlusOne) {
    EXPECT_EQ(timeFromHMS(0, 0, 0), 1);
    EXPECT_EQ(timeFromHMS(23, 59, 59, 99), 8640000);
    EXPECT_EQ(timeFromHMS(13, 45, 0), 13 * 360000 + 45 * 6000 + 1);
    EXPECT_EQ(timeFromHMS(0, 0, 1, 50), 151);
    const int32_t t = timeFromHMS(13, 45, 7, 99);
    EXPECT_EQ(hours(t), 13);
    EXPECT_EQ(minutes(t), 45);
    EXPECT_EQ(seconds(t), 7);
    EXPECT_EQ(hours(kNoTime), 0);
    EXPECT_EQ(minutes(kNoTime), 0);
    EXPECT_EQ(seconds(kNoTime), 0);
    EXPECT_EQ(timeFromHMS(0, 0, 0, -5), kNoTime);
}

// ---- ISO text ------------------------------------------------------------------------

TEST(IsoText, FormatsDatesAndTimes) {
    EXPECT_EQ(toIsoDate(78205), "2015-02-09");
    EXPECT_EQ(toIsoDate(4), "1801-01-01");
    EXPECT_EQ(toIsoDate(dateFromMDY(12, 31, 9999)), "9999-12-31");
    EXPECT_EQ(toIsoDate(kNoDate), "");
    EXPECT_EQ(toIsoTime(timeFromHMS(13, 45, 0)), "13:45:00");
    EXPECT_EQ(toIsoTime(1), "00:00:00");
    EXPECT_EQ(toIsoTime(8640000), "23:59:59");
    EXPECT_EQ(toIsoTime(timeFromHMS(9, 5, 3, 99)), "09:05:03");
    EXPECT_EQ(toIsoTime(kNoTime), "");
}

TEST(IsoText, ParsesDates) {
    EXPECT_EQ(parseIsoDate("2015-02-09"), 78205);
    EXPECT_EQ(parseIsoDate("2015-2-9"), 78205);
    EXPECT_EQ(parseIsoDate(" 2015-02-09 "), 78205);
    EXPECT_EQ(parseIsoDate("2015-02-09 13:45:00"), 78205);
    EXPECT_EQ(parseIsoDate("2015-02-09T13:45:00.123"), 78205);
    EXPECT_EQ(parseIsoDate("2016-02-29"), dateFromMDY(2, 29, 2016));
    EXPECT_EQ(parseIsoDate("1801-01-01"), 4);
    EXPECT_EQ(parseIsoDate(""), kNoDate);
    EXPECT_EQ(parseIsoDate("   "), kNoDate);
}

TEST(IsoText, RejectsInvalidDates) {
    for (const char* text :
         {"2015-13-01", "abc", "2015-02-30", "2015-02-29", "1900-02-29", "2015-00-10", "2015-01-00",
          "2015-01-32", "1800-12-31", "15-02-09", "20150209", "2015/02/09", "2015-02-09x",
          "2015-002-09", "2015-02-09 25:00:00", "2015-02-09 13:45:60", "2015-02-09 garbage",
          "2015-02-09  13:45:00", "-2015-02-09", "2015-02-"}) {
        EXPECT_FALSE(parseIsoDate(text).has_value()) << text;
    }
}

TEST(IsoText, ParsesTimes) {
    EXPECT_EQ(parseIsoTime("13:45:00"), timeFromHMS(13, 45, 0));
    EXPECT_EQ(parseIsoTime("2015-02-09 13:45:00"), timeFromHMS(13, 45, 0));
    EXPECT_EQ(parseIsoTime("2015-02-09T13:45:00.123"), timeFromHMS(13, 45, 0, 12));
    EXPECT_EQ(parseIsoTime("2015-02-09 08:05:09.5"), timeFromHMS(8, 5, 9, 50));
    EXPECT_EQ(parseIsoTime("8:05"), timeFromHMS(8, 5, 0));
    EXPECT_EQ(parseIsoTime("00:00:00"), 1);
    EXPECT_EQ(parseIsoTime("23:59:59.99"), 8640000);
    EXPECT_EQ(parseIsoTime("2015-02-09"), kNoTime);
    EXPECT_EQ(parseIsoTime(""), kNoTime);
}

TEST(IsoText, RejectsInvalidTimes) {
    for (const char* text : {"24:00:00", "13:60:00", "13:45:60", "abc", "13", "13:4", "13:45:",
                             "13:45:00.", "13-45-00", "2015-02-30 13:45:00", "2015-02-09 13:45:00 x",
                             "2015-02-09X13:45:00", "2015-13-09"}) {
        EXPECT_FALSE(parseIsoTime(text).has_value()) << text;
    }
}

TEST(IsoText, FormattedTextParsesBack) {
    for (int32_t n : {4, 36163, 72687, 78205, dateFromMDY(2, 29, 2016), dateFromMDY(12, 31, 2099)}) {
        EXPECT_EQ(parseIsoDate(toIsoDate(n)), n);
    }
    for (int32_t t : {1, timeFromHMS(12, 0, 0), timeFromHMS(23, 59, 59)}) {
        EXPECT_EQ(parseIsoTime(toIsoTime(t)), t);
    }
}

// ---- The clock -----------------------------------------------------------------------

struct FixedClock : Clock {
    int32_t day;
    int32_t time;
    FixedClock(int32_t d, int32_t t) : day(d), time(t) {}
    int32_t today() const override { return day; }
    int32_t clock() const override { return time; }
};

TEST(Clock, ATestClockPinsTodayAndRestores) {
    FixedClock pinned(78205, timeFromHMS(9, 30, 0));
    setClock(&pinned);
    EXPECT_EQ(today(), 78205);
    EXPECT_EQ(now(), timeFromHMS(9, 30, 0));
    EXPECT_EQ(&clock(), &pinned);
    setClock(nullptr);
    EXPECT_NE(&clock(), &pinned);
    EXPECT_GT(today(), 78205);  // the system clock is well past 2015
}

TEST(Clock, SystemClockFollowsLocalTime) {
    setClock(nullptr);
    std::time_t t = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    const int32_t expected = dateFromMDY(local.tm_mon + 1, local.tm_mday, local.tm_year + 1900);
    const int32_t got = today();
    // Allow for the test running across midnight.
    EXPECT_TRUE(got == expected || got == expected + 1) << got << " vs " << expected;
    const int32_t time = now();
    EXPECT_GE(time, 1);
    EXPECT_LE(time, 8640000);
    const int secondsOfDay = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    const int nowSeconds = hours(time) * 3600 + minutes(time) * 60 + seconds(time);
    EXPECT_TRUE((nowSeconds - secondsOfDay >= 0 && nowSeconds - secondsOfDay < 5) ||
                got == expected + 1)
        << nowSeconds << " vs " << secondsOfDay;
}

}  // namespace
}  // namespace mg::dates
