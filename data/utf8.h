#pragma once
// Texts are UTF-8. Every place that cuts a text to a number of characters or pads it to a
// width counts characters, never bytes, and never cuts inside a character.
//
// A byte that does not begin a well-formed UTF-8 sequence (a stray continuation byte, a
// lead byte without its continuation bytes, an overlong form, a surrogate, a value beyond
// U+10FFFF) counts as one character of its own and is kept as it is: what another program
// stored is neither lost nor changed, and no input makes a count crash or loop.

#include <cstddef>
#include <string>
#include <string_view>

namespace mg::utf8 {

// The byte length of the character that starts at `at` (1 for a byte that does not begin
// a well-formed sequence); 0 at the end of the text.
size_t charBytes(std::string_view text, size_t at);
// The number of characters of the text.
size_t length(std::string_view text);
// Whether every character of the text is a well-formed UTF-8 sequence (what other readers of
// the database, such as Python's sqlite3, need to read it at all).
bool wellFormed(std::string_view text);
// The byte length of the first `characters` characters (the whole text when it has fewer).
size_t prefixBytes(std::string_view text, size_t characters);
// The first `characters` characters of the text.
std::string_view cut(std::string_view text, size_t characters);
// The text cut to `characters` characters, then blank-padded to exactly that many.
std::string padded(std::string_view text, size_t characters);
// Appends the code point `c` (at most U+10FFFF) in UTF-8.
void append(std::string& out, char32_t c);

}  // namespace mg::utf8
