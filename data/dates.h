#pragma once
// Dates are day numbers and times are time values, as the rest of the suite keeps them.
//
//  - A day number counts days from 28 December 1800 (day 0, a Sunday), so
//    day number mod 7 is the weekday with 0 Sunday. 0 itself means "no date".
//    Valid dates run from 1 January 1801 onward.
//  - A time value is hundredths of a second since midnight plus one: 1 is midnight,
//    8640000 is 23:59:59.99. 0 means "no time".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mg::dates {

constexpr int32_t kNoDate = 0;
constexpr int32_t kNoTime = 0;

// A day number from month, day and year. Overflowing days and months run on:
// (2, 30, 2015) is 2 March 2015, (13, 1, 2015) is 1 January 2016, (1, 0, 2015) is
// 31 December 2014. Gives 0 for a result before 1 January 1801.
int32_t dateFromMDY(int month, int day, int year);

int year(int32_t dayNumber);   // 0 for no date
int month(int32_t dayNumber);  // 1..12, 0 for no date
int day(int32_t dayNumber);    // 1..31, 0 for no date
int weekday(int32_t dayNumber);  // dayNumber mod 7, 0 Sunday

// Time value from hours, minutes, seconds and hundredths.
int32_t timeFromHMS(int hours, int minutes, int seconds, int hundredths = 0);
int hours(int32_t timeValue);
int minutes(int32_t timeValue);
int seconds(int32_t timeValue);

// ISO forms used by the embedded database: "YYYY-MM-DD" and "HH:MM:SS".
// Formatting no date or no time gives an empty string; parsing accepts "YYYY-M-D" too,
// with an optional time part after a blank or a 'T' (ignored by parseIsoDate).
std::string toIsoDate(int32_t dayNumber);
std::string toIsoTime(int32_t timeValue);
std::optional<int32_t> parseIsoDate(std::string_view text);
// The time part of "YYYY-MM-DD HH:MM:SS[.fff]" or of a bare "HH:MM:SS"; no time part gives kNoTime.
std::optional<int32_t> parseIsoTime(std::string_view text);

// The clock the program runs on. Tests replace it to pin today's date.
struct Clock {
    virtual ~Clock() = default;
    virtual int32_t today() const;   // day number of the local date
    virtual int32_t clock() const;   // time value of the local time of day
};
// The process-wide clock (the system clock unless a test installed another).
const Clock& clock();
// Installs a clock for the whole process; nullptr restores the system clock.
void setClock(const Clock* replacement);
inline int32_t today() { return clock().today(); }
inline int32_t now() { return clock().clock(); }

}  // namespace mg::dates
