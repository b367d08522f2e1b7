#include "ui/picture.h"

#include <climits>

#include "data/dates.h"
#include "data/utf8.h"

namespace mg::picture {
namespace {

constexpr int kMaxWidth = 255;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!isDigit(c)) return false;
    return true;
}

// Reads an unsigned decimal at s[i...], moving i past it; nullopt when there is no digit or
// the number is absurdly large for a picture.
std::optional<int> readCount(std::string_view s, size_t& i) {
    const size_t start = i;
    int n = 0;
    while (i < s.size() && isDigit(s[i])) {
        n = n * 10 + (s[i] - '0');
        if (n > 100000) return std::nullopt;
        ++i;
    }
    if (i == start) return std::nullopt;
    return n;
}

std::string twoDigits(int n) {
    std::string s = std::to_string(n);
    return s.size() < 2 ? "0" + s : s;
}

std::string groupThousands(const std::string& digits) {
    std::string out;
    const size_t n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string formatPlainNumber(const Decimal& value, const Picture& p) {
    std::string text = value.toString(p.decimals);
    bool negative = !text.empty() && text.front() == '-';
    if (negative) text.erase(0, 1);
    const size_t point = text.find('.');
    std::string whole = text.substr(0, point);
    std::string places = point == std::string::npos ? std::string() : text.substr(point + 1);
    if (whole.empty()) whole = "0";
    places.resize(static_cast<size_t>(p.decimals), '0');

    const bool zero = whole.find_first_not_of('0') == std::string::npos &&
                      places.find_first_not_of('0') == std::string::npos;
    if (zero) {
        if (p.blankWhenZero) return {};
        negative = false;  // no "-0.00"
    }

    const auto build = [&](bool grouped) {
        std::string body = grouped ? groupThousands(whole) : whole;
        if (p.decimals > 0) body += "." + places;
        if (p.zeroPad) {
            const int sign = negative ? 1 : 0;
            const int missing = p.width - sign - static_cast<int>(body.size());
            if (missing > 0) body.insert(0, static_cast<size_t>(missing), '0');
        }
        return negative ? "-" + body : body;
    };

    // A picture that groups always groups: a value whose grouped text does not fit shows
    // '#' rather than an ungrouped text that a column of grouped amounts would mix with.
    const size_t width = static_cast<size_t>(p.width);
    std::string shown = build(p.grouping && !p.zeroPad);
    if (shown.size() > width) return std::string(width, '#');
    shown.insert(0, width - shown.size(), ' ');
    return shown;
}

std::string formatPattern(const Decimal& value, const Picture& p) {
    const std::string text = value.toString(0);
    std::string result = p.pattern;
    const auto overflow = [&] {
        for (char& c : result)
            if (c == '<' || c == '#') c = '#';
        return result;
    };
    if (!text.empty() && text.front() == '-' && text.find_first_not_of("-0") != std::string::npos)
        return overflow();
    const std::string digits = text.front() == '-' ? text.substr(1) : text;
    if (digits.size() > static_cast<size_t>(p.width)) return overflow();

    size_t used = 0;  // digits placed, from the right
    for (size_t i = result.size(); i-- > 0;) {
        char& c = result[i];
        if (c != '<' && c != '#') continue;
        if (used < digits.size()) {
            c = digits[digits.size() - 1 - used];
            ++used;
        } else {
            c = (c == '#') ? '0' : ' ';
        }
    }
    return result;
}

int32_t clampToInt32(long long v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Splits typed number text into sign, whole digits (commas removed) and places; nullopt when
// it is not a number as a user would type one.
struct TypedNumber {
    bool negative = false;
    std::string whole;
    std::string places;
};

std::optional<TypedNumber> splitTyped(std::string_view t) {
    TypedNumber n;
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
        n.negative = t.front() == '-';
        t = trim(t.substr(1));
    } else if (!t.empty() && t.back() == '-') {
        n.negative = true;
        t = trim(t.substr(0, t.size() - 1));
    }
    const size_t point = t.find('.');
    const std::string_view whole = t.substr(0, point);
    const std::string_view places =
        point == std::string_view::npos ? std::string_view() : t.substr(point + 1);
    if (whole.empty() && places.empty()) return std::nullopt;
    if (!places.empty() && !allDigits(places)) return std::nullopt;

    if (whole.find(',') != std::string_view::npos) {
        // Thousand groups: 1 to 3 digits, then groups of exactly 3.
        size_t start = 0;
        bool first = true;
        while (true) {
            const size_t comma = whole.find(',', start);
            const std::string_view group = whole.substr(start, comma - start);
            if (!allDigits(group)) return std::nullopt;
            if (first ? group.size() > 3 : group.size() != 3) return std::nullopt;
            n.whole += group;
            first = false;
            if (comma == std::string_view::npos) break;
            start = comma + 1;
        }
    } else if (!whole.empty()) {
        if (!allDigits(whole)) return std::nullopt;
        n.whole = whole;
    }
    n.places = places;
    return n;
}

}  // namespace

std::optional<Picture> parsePicture(std::string_view text) {
    text = trim(text);
    if (!text.empty() && text.front() == '@') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;

    Picture p;
    const char letter = text.front();
    size_t i = 1;
    const auto blankSuffix = [&] {
        if (i < text.size() && (text[i] == 'b' || text[i] == 'B')) {
            p.blankWhenZero = true;
            ++i;
        }
        return i == text.size();
    };

    switch (letter) {
    case 'n':
    case 'N': {
        p.kind = Kind::Number;
        p.zeroPad = letter == 'N';
        if (i < text.size() && text[i] == '-') {
            p.minus = true;
            ++i;
        }
        const auto width = readCount(text, i);
        if (!width || *width < 1 || *width > kMaxWidth) return std::nullopt;
        p.width = *width;
        if (i < text.size() && text[i] == '.') {
            ++i;
            const auto places = readCount(text, i);
            if (!places || *places > Decimal::kMaxScale) return std::nullopt;
            p.decimals = *places;
        }
        p.grouping = p.decimals > 0 && !p.zeroPad;
        if (!blankSuffix()) return std::nullopt;
        return p;
    }
    case 's':
    case 'S':
    case 'd':
    case 'D':
    case 't':
    case 'T': {
        const char lower = static_cast<char>(letter | 0x20);
        p.kind = lower == 's' ? Kind::Text : lower == 'd' ? Kind::Date : Kind::Time;
        const auto width = readCount(text, i);
        if (!width || *width < 1 || (p.kind == Kind::Text && *width > 100000)) return std::nullopt;
        p.width = *width;
        if (!blankSuffix()) return std::nullopt;
        return p;
    }
    case 'p':
    case 'P': {
        if (text.size() < 2 || text.back() != letter) return std::nullopt;
        p.kind = Kind::Pattern;
        p.pattern = std::string(text.substr(1, text.size() - 2));
        for (char c : p.pattern)
            if (c == '<' || c == '#') ++p.width;
        if (p.width == 0 || p.width > Decimal::kMaxDigits) return std::nullopt;
        return p;
    }
    default:
        return std::nullopt;
    }
}

std::string formatNumber(const Decimal& value, const Picture& picture) {
    switch (picture.kind) {
    case Kind::Number:
        return formatPlainNumber(value, picture);
    case Kind::Pattern:
        return formatPattern(value, picture);
    case Kind::Text:
        return cutToCharacters(value.toString(), picture.width);
    case Kind::Date:
        return formatDate(clampToInt32(value.toInt64()));
    case Kind::Time:
        return formatTime(clampToInt32(value.toInt64()));
    }
    return value.toString();
}

std::string formatNumber(const Decimal& value, std::string_view picture) {
    const auto p = parsePicture(picture);
    return p ? formatNumber(value, *p) : value.toString();
}

std::string format(long long value, std::string_view picture) {
    const auto p = parsePicture(picture);
    return p ? formatNumber(Decimal(value), *p) : std::to_string(value);
}

std::optional<Decimal> parseNumber(std::string_view typed, const Picture& picture) {
    if (picture.kind != Kind::Number && picture.kind != Kind::Pattern) return std::nullopt;
    const std::string_view t = trim(typed);
    if (t.empty()) return Decimal(0);
    const auto n = splitTyped(t);
    if (!n) return std::nullopt;
    if (picture.kind == Kind::Pattern && (n->negative || !n->places.empty())) return std::nullopt;
    if (n->whole.size() + n->places.size() > static_cast<size_t>(Decimal::kMaxDigits))
        return std::nullopt;

    std::string clean = n->negative ? "-" : "";
    clean += n->whole.empty() ? "0" : n->whole;
    if (!n->places.empty()) clean += "." + n->places;
    const auto parsed = Decimal::parse(clean);
    if (!parsed) return std::nullopt;
    const Decimal value = parsed->roundTo(picture.kind == Kind::Number ? picture.decimals : 0);

    // The value must be one the picture can show, thousands separators included.
    if (picture.kind == Kind::Number) {
        Picture shown = picture;
        shown.blankWhenZero = false;
        if (formatPlainNumber(value, shown).find('#') != std::string::npos) return std::nullopt;
    } else if (value.toString(0).size() > static_cast<size_t>(picture.width)) {
        return std::nullopt;
    }
    return value;
}

std::optional<Decimal> parseNumber(std::string_view typed, std::string_view picture) {
    const auto p = parsePicture(picture);
    if (!p) return std::nullopt;
    return parseNumber(typed, *p);
}

std::string cutToCharacters(std::string_view text, int characters) {
    if (characters <= 0) return {};
    return std::string(utf8::cut(text, static_cast<size_t>(characters)));
}

std::string formatText(std::string_view text, std::string_view picture) {
    const auto p = parsePicture(picture);
    if (p && p->kind == Kind::Text) return cutToCharacters(text, p->width);
    return std::string(text);
}

std::string parseText(std::string_view typed, std::string_view picture) {
    return formatText(typed, picture);
}

std::string formatDate(int32_t dayNumber) {
    if (dayNumber <= dates::kNoDate) return {};
    return twoDigits(dates::day(dayNumber)) + "/" + twoDigits(dates::month(dayNumber)) + "/" +
           std::to_string(dates::year(dayNumber));
}

std::optional<int32_t> parseDate(std::string_view typed) {
    const std::string_view t = trim(typed);
    if (t.empty()) return dates::kNoDate;

    std::string_view parts[3];
    size_t count = 0;
    size_t start = 0;
    for (size_t i = 0; i <= t.size(); ++i) {
        if (i < t.size() && t[i] != '/' && t[i] != '-' && t[i] != '.') continue;
        if (count == 3) return std::nullopt;
        parts[count++] = t.substr(start, i - start);
        start = i + 1;
    }
    if (count != 3) return std::nullopt;
    for (const auto& part : parts)
        if (!allDigits(part)) return std::nullopt;
    if (parts[0].size() > 2 || parts[1].size() > 2) return std::nullopt;
    if (parts[2].size() != 2 && parts[2].size() != 4) return std::nullopt;

    const int d = std::stoi(std::string(parts[0]));
    const int m = std::stoi(std::string(parts[1]));
    int y = std::stoi(std::string(parts[2]));
    if (parts[2].size() == 2) y += (y < 50) ? 2000 : 1900;
    if (m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;

    const int32_t day = dates::dateFromMDY(m, d, y);
    if (day <= dates::kNoDate) return std::nullopt;
    if (dates::day(day) != d || dates::month(day) != m || dates::year(day) != y)
        return std::nullopt;  // 31/02 and the like
    return day;
}

std::string formatTime(int32_t timeValue) {
    if (timeValue <= dates::kNoTime) return {};
    return twoDigits(dates::hours(timeValue)) + ":" + twoDigits(dates::minutes(timeValue));
}

std::optional<int32_t> parseTime(std::string_view typed) {
    const std::string_view t = trim(typed);
    if (t.empty()) return dates::kNoTime;

    std::string_view parts[3];
    size_t count = 0;
    size_t start = 0;
    for (size_t i = 0; i <= t.size(); ++i) {
        if (i < t.size() && t[i] != ':') continue;
        if (count == 3) return std::nullopt;
        parts[count++] = t.substr(start, i - start);
        start = i + 1;
    }
    if (count < 2) return std::nullopt;
    for (size_t k = 0; k < count; ++k)
        if (!allDigits(parts[k])) return std::nullopt;
    if (parts[0].size() > 2 || parts[1].size() != 2) return std::nullopt;
    if (count == 3 && parts[2].size() != 2) return std::nullopt;

    const int h = std::stoi(std::string(parts[0]));
    const int m = std::stoi(std::string(parts[1]));
    const int s = count == 3 ? std::stoi(std::string(parts[2])) : 0;
    if (h > 23 || m > 59 || s > 59) return std::nullopt;
    return dates::timeFromHMS(h, m, s);
}

}  // namespace mg::picture
