#pragma once
// The month a date picker shows: the month caption, the 37 day cells (seven columns, Sunday
// first; five full weeks and two cells of a sixth row, enough for a 31-day month that starts
// on a Saturday) and the cell of the selected day. Widget-free, so the arithmetic is tested
// on its own.

#include <array>
#include <cstdint>
#include <string>

namespace mg::ui {

inline constexpr int kCalendarCells = 37;
// Field numbers of the picker's window: the day texts are fields 9 to 45, the click regions
// over them fields 47 to 83.
inline constexpr int kFirstDayTextField = 9;
inline constexpr int kFirstDayRegionField = 47;

struct CalendarMonth {
    int32_t date = 0;       // LOC:DATE, the selected date
    std::string monthYear;  // LOC:MTH_YEAR, "March, 2015"
    int32_t firstDay = 0;   // LOC:FIRSTDAY
    int firstDow = 1;       // LOC:FIRSTDOW, 1 = Sunday to 7 = Saturday
    int32_t lastDay = 0;    // LOC:LASTDAY
    std::array<int, kCalendarCells> cells{};  // cell k+1 holds cells[k]; 0 is a blank cell

    // The month of `date` filled in.
    static CalendarMonth of(int32_t date);
    // The field number of the click region over the selected day.
    int circledField() const;
    // The day a click region stands for: the number in its cell, 1 for a blank cell.
    int dayOfField(int regionField) const;
    // Day `day` of the shown month.
    int32_t dayInMonth(int day) const;
};

// The full English name of month 1 to 12.
const char* monthName(int month);

// The buttons of the picker that move the selected date.
enum class CalendarStep { YearPlus, YearMinus, MonthPlus, MonthMinus };
// The date after a step: same day (and month), a day beyond the end of the month running on
// into the next (31 January + one month is 2 or 3 March; 29 February + one year is 1 March).
int32_t calendarStep(int32_t date, CalendarStep step);

}  // namespace mg::ui
