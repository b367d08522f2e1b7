#include "maintenance/list_format.h"

#include <cctype>

namespace mg::browse {
namespace {

bool alignOf(char c, Align& out) {
    switch (std::toupper(static_cast<unsigned char>(c))) {
    case 'L': out = Align::Left; return true;
    case 'R': out = Align::Right; return true;
    case 'C': out = Align::Centre; return true;
    case 'D': out = Align::Decimal; return true;
    default: return false;
    }
}

}  // namespace

std::optional<std::vector<ListColumn>> parseListFormat(std::string_view f, std::string* why) {
    std::vector<ListColumn> cols;
    size_t i = 0;
    auto fail = [&](const std::string& text) -> std::optional<std::vector<ListColumn>> {
        if (why) *why = text + " at offset " + std::to_string(i);
        return std::nullopt;
    };
    auto number = [&](int& out) {
        size_t start = i;
        int v = 0;
        while (i < f.size() && std::isdigit(static_cast<unsigned char>(f[i]))) v = v * 10 + (f[i++] - '0');
        out = v;
        return i > start;
    };
    // "(n)" after an alignment letter; absent gives 0.
    auto indent = [&](int& out) {
        out = 0;
        if (i >= f.size() || f[i] != '(') return true;
        ++i;
        if (!number(out) || i >= f.size() || f[i] != ')') return false;
        ++i;
        return true;
    };
    while (i < f.size()) {
        ListColumn c;
        if (!number(c.width)) return fail("a column width is missing");
        if (i >= f.size() || !alignOf(f[i], c.align)) return fail("an alignment (L, R, C or D) is missing");
        ++i;
        if (!indent(c.indent)) return fail("a bad indent");
        c.headerAlign = c.align;
        // Modifiers up to the header or the picture.
        while (i < f.size() && f[i] != '~' && f[i] != '@') {
            if (f[i] == '|') c.rightBorder = true;
            else if (f[i] == 'M' || f[i] == 'm') c.resizable = true;
            else if (std::isdigit(static_cast<unsigned char>(f[i]))) return fail("a column without a picture");
            ++i;
        }
        if (i < f.size() && f[i] == '~') {
            size_t end = f.find('~', i + 1);
            if (end == std::string_view::npos) return fail("an unclosed header");
            c.header = std::string(f.substr(i + 1, end - i - 1));
            i = end + 1;
            if (i < f.size() && alignOf(f[i], c.headerAlign)) {
                ++i;
                if (!indent(c.headerIndent)) return fail("a bad header indent");
            }
        }
        if (i >= f.size() || f[i] != '@') return fail("a picture is missing");
        size_t end = f.find('@', i + 1);
        if (end == std::string_view::npos) return fail("an unclosed picture");
        c.picture = std::string(f.substr(i + 1, end - i - 1));
        if (c.picture.empty()) return fail("an empty picture");
        i = end + 1;
        cols.push_back(std::move(c));
    }
    if (cols.empty()) return fail("no columns");
    return cols;
}

}  // namespace mg::browse
