#pragma once
// Display pictures: how a number, a text, a date or a time is shown in an entry field, a list
// column or a report band, and how what the user typed is taken back. One module serves every
// window and report, so that an amount looks the same wherever it appears.
//
// A picture may be written with or without its leading '@' ("@n-14" and "n-14" are the same).
//
// Numbers:  n[-]W[.D][b]   or   N[-]W[.D][b]
//   W   the number of positions the text occupies, sign, separators and point included;
//       the number is right-aligned in them (blank-padded on the left).
//   .D  D places after the point (0 to 18); the value is rounded half away from zero.
//   -   a negative value shows a leading minus. A picture without '-' shows the minus as
//       well: a money amount that silently lost its sign would be worse than a wide field.
//       The flag is kept in Picture::minus for callers that care.
//   grouping: pictures with decimals ("n8.2", "n-26.2") separate thousands with ','
//       ("1,234.56", "-1,234.56"), whatever the value's sign; whole-number pictures ("n-14",
//       "n20", "n4") never do, because they hold counts and tracking references ("104233").
//       A picture never switches between the two: a value whose text (separators included)
//       does not fit shows '#', so a column of amounts is either all grouped or all plain.
//   N   (upper case) pads with leading zeros instead of blanks ("N2": 7 shows "07"); such a
//       picture never groups.
//   b   blank when zero: a zero value shows as "". Without it zero shows as "0" or "0.00".
//   A value too wide for W shows W '#' characters.
//   Typed text is taken back with blanks around it, a leading or trailing minus, a leading
//   '+', ',' between thousand groups (each group after the first exactly three digits, so
//   "1,5" is refused rather than read as 15) and one decimal point. More places than D are
//   rounded to D; a value that would not fit W as the picture shows it (separators
//   included), letters and anything else are refused.
//   Empty text is zero.
//
// Texts:    s W [b]   (also S) — the text cut to W characters (UTF-8 sequences count as one
//   character and are never split). Typed text is cut the same way. 'b' changes nothing for
//   a text (empty already shows blank).
//
// Dates:    d N  (also D; "d17" is the system's short date) — DD/MM/YYYY, day first as the
//   practice writes dates. Every date picture number shows this one form. No date (0) shows
//   "". Typed dates take '/', '-' or '.' between day, month and year; day and month have
//   one or two digits; the year four digits, or two: 00-49 are 2000-2049, 50-99 are
//   1950-1999. Dates that do not exist (31/02/2015) or lie before 1801 are refused; empty
//   text is no date.
//
// Times:    t N  (also T; "t7" is the system's short time) — HH:MM on the 24-hour clock.
//   Every time picture number shows this one form. No time (0) shows "". Typed times are
//   "H:MM", "HH:MM" or "HH:MM:SS" (hours 0-23, minutes and seconds two digits, 0-59);
//   empty text is no time.
//
// Patterns: p...p  (also P...P, closed by the letter that opened it) — literal text with
//   digit positions: '#' always shows a digit (zero when the number has run out), '<' shows a
//   blank where the number has run out. "pPage <<#p" shows page 7 as "Page   7". A
//   negative value or one with more digits than positions fills the positions with '#'.
//   Typed text for a pattern is the bare number.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "data/decimal.h"

namespace mg::picture {

enum class Kind { Number, Text, Date, Time, Pattern };

struct Picture {
    Kind kind = Kind::Text;
    int width = 0;               // positions of a number, characters of a text, digits of a pattern
    int decimals = 0;            // places after the point (numbers)
    bool minus = false;          // '-' given (numbers)
    bool grouping = false;       // thousands separated by ',' (numbers with decimals)
    bool zeroPad = false;        // upper-case N: leading zeros instead of blanks
    bool blankWhenZero = false;  // 'b' suffix
    std::string pattern;         // the text between the delimiters (patterns)
};

// The picture described by `text`, or nullopt when it is not one this module knows.
std::optional<Picture> parsePicture(std::string_view text);

// A number through any picture: number and pattern pictures as described above, a date
// picture takes the whole part as a day number, a time picture as a time value, a text
// picture shows the plain decimal text cut to its width. Text that is not a picture at all
// gives the plain decimal text.
std::string formatNumber(const Decimal& value, const Picture& picture);
std::string formatNumber(const Decimal& value, std::string_view picture);

// A whole number through any picture, as formatNumber (day numbers, time values, page
// numbers and counts come this way).
std::string format(long long value, std::string_view picture);

// What the user typed in a number (or pattern) field, rounded to the picture's places, or
// nullopt when it is not acceptable (or the picture is not a number or pattern picture).
std::optional<Decimal> parseNumber(std::string_view typed, const Picture& picture);
std::optional<Decimal> parseNumber(std::string_view typed, std::string_view picture);

// A text through a text picture: cut to its width. Any other picture leaves the text as it is.
std::string formatText(std::string_view text, std::string_view picture);
// What was typed in a text field: also just cut to the width.
std::string parseText(std::string_view typed, std::string_view picture);
// `text` cut to `characters` UTF-8 characters.
std::string cutToCharacters(std::string_view text, int characters);

// The short date (DD/MM/YYYY) of a day number; "" for no date.
std::string formatDate(int32_t dayNumber);
// A typed date as a day number; kNoDate (0) for empty text, nullopt when not a valid date.
std::optional<int32_t> parseDate(std::string_view typed);

// The short time (HH:MM) of a time value; "" for no time.
std::string formatTime(int32_t timeValue);
// A typed time as a time value; kNoTime (0) for empty text, nullopt when not a valid time.
std::optional<int32_t> parseTime(std::string_view typed);

}  // namespace mg::picture
