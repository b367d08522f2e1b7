#pragma once
// How an INI file stores its text. Windows programs write INI files as plain single-byte text
// (the "ANSI" code page), as UTF-8 with a signature, or as UTF-16 in either byte order with
// its mark ("Unicode" in Notepad). The INI layer works on one form of the text and writes it
// back in the file's own encoding.

#include <optional>
#include <string>

namespace mg::ini {

// AnsiCodePage: on Windows, a file without a mark whose bytes are not UTF-8 is text in the
// system's ANSI code page; it is read into UTF-8 and written back in that code page.
enum class Encoding { Bytes, Utf8Signed, Utf16LE, Utf16BE, AnsiCodePage };

struct Decoded {
    Encoding encoding = Encoding::Bytes;
    std::string text;  // UTF-8 for the encodings with a signature or mark (which is not part of
                       // it), the file's own bytes for Bytes
};

// The file's bytes as text, with the encoding they came in; nullopt when they are not valid
// in the encoding their mark announces (an odd number of UTF-16 bytes, a broken surrogate pair).
std::optional<Decoded> decode(std::string bytes);

// The text as a file of `encoding` stores it, signature or mark included; nullopt when the
// encoding cannot hold it (text that is not UTF-8 for a UTF-16 file).
std::optional<std::string> encode(const std::string& text, Encoding encoding);

}  // namespace mg::ini
