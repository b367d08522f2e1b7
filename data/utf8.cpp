#include "data/utf8.h"

namespace mg::utf8 {

size_t charBytes(std::string_view text, size_t at) {
    if (at >= text.size()) return 0;
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0) low = 0x90;   // no overlong forms
        if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
    } else {
        return 1;  // a continuation byte, C0, C1 or F5..FF where a character should start
    }
    if (at + n > text.size()) return 1;
    if (byte(at + 1) < low || byte(at + 1) > high) return 1;
    for (size_t i = 2; i < n; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 1;
    return n;
}

size_t length(std::string_view text) {
    size_t count = 0;
    for (size_t at = 0; at < text.size(); at += charBytes(text, at)) ++count;
    return count;
}

bool wellFormed(std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        const size_t n = charBytes(text, at);
        if (n == 1 && static_cast<unsigned char>(text[at]) >= 0x80) return false;
        at += n;
    }
    return true;
}

size_t prefixBytes(std::string_view text, size_t characters) {
    size_t at = 0;
    for (size_t count = 0; count < characters && at < text.size(); ++count) at += charBytes(text, at);
    return at;
}

std::string_view cut(std::string_view text, size_t characters) { return text.substr(0, prefixBytes(text, characters)); }

std::string padded(std::string_view text, size_t characters) {
    size_t at = 0, count = 0;
    for (; count < characters && at < text.size(); ++count) at += charBytes(text, at);
    std::string out(text.substr(0, at));
    out.append(characters - count, ' ');
    return out;
}

void append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace mg::utf8
