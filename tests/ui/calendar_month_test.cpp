// The month grid of the date picker and its date steps, one row per case a reader can check
// against a wall calendar.

#include <gtest/gtest.h>

#include "data/dates.h"
#include "ui/calendar_month.h"

namespace mg::ui {
namespace {

using dates::dateFromMDY;

TEST(CalendarMonth, GridOfEachKindOfMonth) {
    struct Row {
        int m, d, y;
        const char* caption;
        int firstDow;      // 1 Sunday .. 7 Saturday
        int firstCell;     // the cell that holds day 1
        int lastCell;      // the cell that holds the month's last day
        int circled;       // the click region's field over the given day
    };
    const Row rows[] = {
        {2, 1, 2015, "February, 2015", 1, 1, 28, 47},      // starts on a Sunday, 28 days: four full weeks
        {8, 15, 2015, "August, 2015", 7, 7, 37, 67},       // starts on a Saturday, 31 days: ends in cell 37
        {11, 30, 2024, "November, 2024", 6, 6, 35, 81},    // starts on a Friday
        {6, 1, 2024, "June, 2024", 7, 7, 36, 53},          // 30 days from a Saturday ends in cell 36
        {2, 29, 2024, "February, 2024", 5, 5, 33, 79},     // leap February
        {12, 31, 2026, "December, 2026", 3, 3, 33, 79},    // the last day of the year
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.caption);
        CalendarMonth m = CalendarMonth::of(dateFromMDY(r.m, r.d, r.y));
        EXPECT_EQ(m.monthYear, r.caption);
        EXPECT_EQ(m.firstDow, r.firstDow);
        EXPECT_EQ(m.lastDay - m.firstDay + 1, dates::day(dateFromMDY(r.m + 1, 0, r.y)));
        for (int k = 1; k <= kCalendarCells; ++k) {
            const int expected = k >= r.firstCell && k <= r.lastCell ? k - r.firstCell + 1 : 0;
            EXPECT_EQ(m.cells[k - 1], expected) << "cell " << k;
        }
        EXPECT_EQ(m.circledField(), r.circled);
        EXPECT_EQ(m.dayOfField(r.circled), r.d);
    }
}

TEST(CalendarMonth, BlankCellStandsForTheFirst) {
    CalendarMonth m = CalendarMonth::of(dateFromMDY(8, 15, 2015));  // day 1 in cell 7
    EXPECT_EQ(m.dayOfField(kFirstDayRegionField), 1);                // cell 1 is blank
    EXPECT_EQ(m.dayOfField(kFirstDayRegionField + 6), 1);            // cell 7 holds day 1
    EXPECT_EQ(m.dayOfField(kFirstDayRegionField + 7), 2);
    EXPECT_EQ(m.dayInMonth(1), dateFromMDY(8, 1, 2015));
}

TEST(CalendarMonth, StepsRunOnPastTheEndOfTheMonth) {
    struct Row {
        int m, d, y;
        CalendarStep step;
        int em, ed, ey;
    };
    const Row rows[] = {
        {1, 31, 2015, CalendarStep::MonthPlus, 3, 3, 2015},   // 31 February 2015 is 3 March
        {1, 31, 2016, CalendarStep::MonthPlus, 3, 2, 2016},   // and 2 March in a leap year
        {3, 31, 2015, CalendarStep::MonthMinus, 3, 3, 2015},  // back into March again
        {3, 31, 2016, CalendarStep::MonthMinus, 3, 2, 2016},
        {12, 15, 2015, CalendarStep::MonthPlus, 1, 15, 2016}, // December goes to January
        {1, 15, 2016, CalendarStep::MonthMinus, 12, 15, 2015},
        {2, 29, 2016, CalendarStep::YearPlus, 3, 1, 2017},    // 29 February + a year is 1 March
        {2, 29, 2016, CalendarStep::YearMinus, 3, 1, 2015},
        {7, 4, 2015, CalendarStep::YearPlus, 7, 4, 2016},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.m << "/" << r.d << "/" << r.y << " step " << static_cast<int>(r.step));
        EXPECT_EQ(calendarStep(dateFromMDY(r.m, r.d, r.y), r.step), dateFromMDY(r.em, r.ed, r.ey));
    }
}

}  // namespace
}  // namespace mg::ui
