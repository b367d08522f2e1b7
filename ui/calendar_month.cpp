#include "ui/calendar_month.h"

#include "data/dates.h"

namespace mg::ui {

const char* monthName(int month) {
    static const char* const names[] = {"January", "February", "March",     "April",   "May",      "June",
                                        "July",    "August",   "September", "October", "November", "December"};
    return month >= 1 && month <= 12 ? names[month - 1] : "";
}

CalendarMonth CalendarMonth::of(int32_t date) {
    CalendarMonth m;
    m.date = date;
    const int month = dates::month(date);
    const int year = dates::year(date);
    m.monthYear = std::string(monthName(month)) + ", " + std::to_string(year);
    m.firstDay = dates::dateFromMDY(month, 1, year);
    m.firstDow = ((m.firstDay % 7) + 7) % 7 + 1;
    m.lastDay = dates::dateFromMDY(month + 1, 1, year) - 1;  // month 13 runs into January
    int counter = 0;
    for (int k = 1; k <= (m.lastDay - m.firstDay) + m.firstDow && k <= kCalendarCells; ++k)
        if (k >= m.firstDow) m.cells[k - 1] = ++counter;
    return m;
}

int CalendarMonth::circledField() const { return dates::day(date) + firstDow + 45; }

int CalendarMonth::dayOfField(int regionField) const {
    const int cell = regionField - kFirstDayRegionField;
    if (cell < 0 || cell >= kCalendarCells || cells[cell] == 0) return 1;
    return cells[cell];
}

int32_t CalendarMonth::dayInMonth(int day) const { return dates::dateFromMDY(dates::month(date), day, dates::year(date)); }

int32_t calendarStep(int32_t date, CalendarStep step) {
    const int m = dates::month(date), d = dates::day(date), y = dates::year(date);
    switch (step) {
    case CalendarStep::YearPlus: return dates::dateFromMDY(m, d, y + 1);
    case CalendarStep::YearMinus: return dates::dateFromMDY(m, d, y - 1);
    case CalendarStep::MonthPlus: return dates::dateFromMDY(m + 1, d, y);
    case CalendarStep::MonthMinus: return dates::dateFromMDY(m - 1, d, y);
    }
    return date;
}

}  // namespace mg::ui
