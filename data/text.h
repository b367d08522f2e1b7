#pragma once
// Small text helpers of the data layer: fixed-width text compares without its trailing
// blanks, names without regard to case, and cells of CSV files.

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace mg::text {

// The text without its trailing blanks.
inline std::string_view rtrim(std::string_view s) {
    const size_t end = s.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view() : s.substr(0, end + 1);
}

// Whether two names are the same without regard to case (ASCII letters).
inline bool eqNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// A cell of a CSV file: quoted, its quotes doubled, when it holds a comma, a quote or a line
// break; as it is otherwise.
inline std::string csvCell(std::string_view t) {
    if (t.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(t);
    std::string out = "\"";
    for (char c : t) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace mg::text
