#include "data/dates.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <limits>

namespace mg::dates {
namespace {

// Days since 1 January 1970 of a proleptic Gregorian date (any year), and back.
constexpr long long daysFromCivil(long long y, long long m, long long d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yearOfEra = y - era * 400;
    const long long dayOfYear = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

struct Civil {
    int year = 0, month = 0, day = 0;
};

Civil civilFromDays(long long z) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long dayOfEra = z - era * 146097;
    const long long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long mp = (5 * dayOfYear + 2) / 153;
    const int d = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {static_cast<int>(yearOfEra + era * 400 + (m <= 2)), m, d};
}

// Day 0 is 28 December 1800.
constexpr long long kEpoch = daysFromCivil(1800, 12, 28);
constexpr int32_t kFirstValidDay = 4;  // 1 January 1801

Civil civil(int32_t dayNumber) {
    if (dayNumber <= 0) return {};
    return civilFromDays(dayNumber + kEpoch);
}

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

long long floorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// A small reader over ISO text.
struct Reader {
    std::string_view text;
    size_t pos = 0;

    bool atEnd() const { return pos == text.size(); }
    bool eat(char c) {
        if (pos < text.size() && text[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
    bool isDigitAt(size_t at) const { return at < text.size() && text[at] >= '0' && text[at] <= '9'; }
    // Between minDigits and maxDigits digits.
    bool number(int minDigits, int maxDigits, int& out) {
        int count = 0;
        out = 0;
        while (count < maxDigits && isDigitAt(pos)) {
            out = out * 10 + (text[pos++] - '0');
            ++count;
        }
        return count >= minDigits && !isDigitAt(pos);
    }
};

std::string_view trimmed(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// "YYYY-M-D" checked as a real calendar date from 1 January 1801 on.
bool readDate(Reader& r, int32_t& dayNumber) {
    int y = 0, m = 0, d = 0;
    if (!(r.number(4, 4, y) && r.eat('-') && r.number(1, 2, m) && r.eat('-') && r.number(1, 2, d)))
        return false;
    if (y < 1801 || m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m)) return false;
    dayNumber = dateFromMDY(m, d, y);
    return true;
}

// "H:MM", "HH:MM:SS" or "HH:MM:SS.fff" (fractions beyond hundredths are dropped).
bool readTime(Reader& r, int32_t& timeValue) {
    int h = 0, m = 0, s = 0, hundredths = 0;
    if (!(r.number(1, 2, h) && r.eat(':') && r.number(2, 2, m))) return false;
    if (r.eat(':') && !r.number(2, 2, s)) return false;
    if (r.eat('.')) {
        if (!r.isDigitAt(r.pos)) return false;
        for (int i = 0; r.isDigitAt(r.pos); ++i, ++r.pos)
            if (i < 2) hundredths += (r.text[r.pos] - '0') * (i == 0 ? 10 : 1);
    }
    if (h > 23 || m > 59 || s > 59) return false;
    timeValue = timeFromHMS(h, m, s, hundredths);
    return true;
}

// The separator between a date and its time part.
bool readSeparator(Reader& r) { return r.eat(' ') || r.eat('T'); }

}  // namespace

int32_t dateFromMDY(int month, int day, int year) {
    // Months run on into the years, then the day counts on from the first of the month.
    const long long monthIndex = static_cast<long long>(month) - 1;
    const long long y = year + floorDiv(monthIndex, 12);
    const long long m = monthIndex - floorDiv(monthIndex, 12) * 12 + 1;
    const long long result = daysFromCivil(y, m, 1) + (static_cast<long long>(day) - 1) - kEpoch;
    if (result < kFirstValidDay || result > std::numeric_limits<int32_t>::max()) return kNoDate;
    return static_cast<int32_t>(result);
}

int year(int32_t dayNumber) { return civil(dayNumber).year; }
int month(int32_t dayNumber) { return civil(dayNumber).month; }
int day(int32_t dayNumber) { return civil(dayNumber).day; }
int weekday(int32_t dayNumber) { return ((dayNumber % 7) + 7) % 7; }

int32_t timeFromHMS(int hours, int minutes, int seconds, int hundredths) {
    const long long value =
        ((static_cast<long long>(hours) * 60 + minutes) * 60 + seconds) * 100 + hundredths + 1;
    if (value < 1 || value > std::numeric_limits<int32_t>::max()) return kNoTime;
    return static_cast<int32_t>(value);
}

int hours(int32_t timeValue) { return timeValue <= 0 ? 0 : (timeValue - 1) / 360000; }
int minutes(int32_t timeValue) { return timeValue <= 0 ? 0 : (timeValue - 1) / 6000 % 60; }
int seconds(int32_t timeValue) { return timeValue <= 0 ? 0 : (timeValue - 1) / 100 % 60; }

std::string toIsoDate(int32_t dayNumber) {
    if (dayNumber <= 0) return {};
    const Civil c = civil(dayNumber);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", c.year, c.month, c.day);
    return buffer;
}

std::string toIsoTime(int32_t timeValue) {
    if (timeValue <= 0) return {};
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", hours(timeValue), minutes(timeValue),
                  seconds(timeValue));
    return buffer;
}

std::optional<int32_t> parseIsoDate(std::string_view text) {
    Reader r{trimmed(text)};
    if (r.atEnd()) return kNoDate;
    int32_t dayNumber = kNoDate, timeValue = kNoTime;
    if (!readDate(r, dayNumber)) return std::nullopt;
    if (!r.atEnd() && !(readSeparator(r) && readTime(r, timeValue))) return std::nullopt;
    if (!r.atEnd()) return std::nullopt;
    return dayNumber;
}

std::optional<int32_t> parseIsoTime(std::string_view text) {
    Reader r{trimmed(text)};
    if (r.atEnd()) return kNoTime;
    int32_t dayNumber = kNoDate, timeValue = kNoTime;
    if (r.isDigitAt(0) && r.isDigitAt(1) && r.isDigitAt(2) && r.isDigitAt(3)) {
        // A date comes first; the time part after it is optional.
        if (!readDate(r, dayNumber)) return std::nullopt;
        if (r.atEnd()) return kNoTime;
        if (!readSeparator(r)) return std::nullopt;
    }
    if (!readTime(r, timeValue) || !r.atEnd()) return std::nullopt;
    return timeValue;
}

namespace {

struct LocalNow {
    std::tm tm{};
    int hundredths = 0;
};

LocalNow localNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t whole = system_clock::to_time_t(time_point_cast<std::chrono::seconds>(now));
    LocalNow result;
#ifdef _WIN32
    localtime_s(&result.tm, &whole);
#else
    localtime_r(&whole, &result.tm);
#endif
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    result.hundredths = static_cast<int>((millis < 0 ? millis + 1000 : millis) / 10);
    return result;
}

const Clock kSystemClock;
std::atomic<const Clock*> installedClock{nullptr};

}  // namespace

int32_t Clock::today() const {
    const LocalNow now = localNow();
    return dateFromMDY(now.tm.tm_mon + 1, now.tm.tm_mday, now.tm.tm_year + 1900);
}

int32_t Clock::clock() const {
    const LocalNow now = localNow();
    // A leap second (tm_sec 60) is kept within the day.
    return timeFromHMS(now.tm.tm_hour, now.tm.tm_min, now.tm.tm_sec > 59 ? 59 : now.tm.tm_sec,
                       now.hundredths);
}

const Clock& clock() {
    const Clock* c = installedClock.load(std::memory_order_acquire);
    return c ? *c : kSystemClock;
}

void setClock(const Clock* replacement) { installedClock.store(replacement, std::memory_order_release); }

}  // namespace mg::dates
