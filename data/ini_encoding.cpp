// The encodings of INI files: UTF-16, signed UTF-8 and (on Windows) the ANSI code page to and
// from UTF-8 text.

#include "data/ini_encoding.h"

#include "data/utf8.h"

#include <string_view>

#ifdef _WIN32
#include <windows.h>
#endif

namespace mg::ini {
namespace {

constexpr std::string_view kUtf8Signature = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEMark = "\xFF\xFE";
constexpr std::string_view kUtf16BEMark = "\xFE\xFF";


// UTF-16 (after its mark) as UTF-8; nullopt for an odd length or a broken surrogate pair.
std::optional<std::string> fromUtf16(std::string_view bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0) return std::nullopt;
    const auto unit = [&](size_t i) -> char16_t {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    std::string out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i < bytes.size(); i += 2) {
        const char16_t u = unit(i);
        if (u >= 0xDC00 && u <= 0xDFFF) return std::nullopt;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 2 >= bytes.size()) return std::nullopt;
            const char16_t low = unit(i + 2);
            if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
            utf8::append(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (low - 0xDC00));
            i += 2;
            continue;
        }
        utf8::append(out, u);
    }
    return out;
}

// UTF-8 as UTF-16 without a mark; nullopt when the text is not valid UTF-8 (a value in a
// single-byte code page cannot be put into a UTF-16 file unchanged).
std::optional<std::string> toUtf16(std::string_view text, bool bigEndian) {
    std::string out;
    out.reserve(text.size() * 2);
    const auto put16 = [&](char16_t u) {
        const char hi = static_cast<char>(u >> 8);
        const char lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int more = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            more = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3;
            cp = c & 0x07;
        } else {
            return std::nullopt;
        }
        if (more > 0 && i + static_cast<size_t>(more) >= text.size()) return std::nullopt;
        for (int k = 1; k <= more; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((cc & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kLeast[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put16(static_cast<char16_t>(0xD800 + (cp >> 10)));
            put16(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            put16(static_cast<char16_t>(cp));
        }
        i += static_cast<size_t>(more) + 1;
    }
    return out;
}

#ifdef _WIN32
// Text of the ANSI code page to UTF-8, and back; a character the code page cannot hold makes the
// text unwritable (nullopt) rather than written as '?'.
std::optional<std::string> fromCodePage(std::string_view bytes) {
    if (bytes.empty()) return std::string();
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
    const int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(m), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, out.data(), m, nullptr, nullptr);
    return out;
}

std::optional<std::string> toCodePage(const std::string& text) {
    if (text.empty()) return std::string();
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    BOOL lost = FALSE;
    const int m = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, nullptr, 0, nullptr, &lost);
    if (m <= 0 || lost) return std::nullopt;
    std::string out(static_cast<size_t>(m), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, out.data(), m, nullptr, nullptr);
    return out;
}
#endif

}  // namespace

std::optional<Decoded> decode(std::string bytes) {
    const std::string_view b = bytes;
    if (b.starts_with(kUtf16LEMark)) {
        auto text = fromUtf16(b.substr(2), false);
        if (!text) return std::nullopt;
        return Decoded{Encoding::Utf16LE, std::move(*text)};
    }
    if (b.starts_with(kUtf16BEMark)) {
        auto text = fromUtf16(b.substr(2), true);
        if (!text) return std::nullopt;
        return Decoded{Encoding::Utf16BE, std::move(*text)};
    }
    if (b.starts_with(kUtf8Signature)) return Decoded{Encoding::Utf8Signed, bytes.substr(kUtf8Signature.size())};
#ifdef _WIN32
    if (!utf8::wellFormed(b)) {
        auto text = fromCodePage(b);
        if (!text) return std::nullopt;
        return Decoded{Encoding::AnsiCodePage, std::move(*text)};
    }
#endif
    return Decoded{Encoding::Bytes, std::move(bytes)};
}

std::optional<std::string> encode(const std::string& text, Encoding encoding) {
    switch (encoding) {
    case Encoding::Bytes:
        return text;
    case Encoding::AnsiCodePage:
#ifdef _WIN32
        return toCodePage(text);
#else
        return text;
#endif
    case Encoding::Utf8Signed:
        return std::string(kUtf8Signature) + text;
    case Encoding::Utf16LE:
    case Encoding::Utf16BE: {
        const bool big = encoding == Encoding::Utf16BE;
        auto body = toUtf16(text, big);
        if (!body) return std::nullopt;
        return std::string(big ? kUtf16BEMark : kUtf16LEMark) + *body;
    }
    }
    return std::nullopt;
}

}  // namespace mg::ini
