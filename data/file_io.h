#pragma once
// Writing files that must reach the disk whole: the INI layer's staged files and the outlay
// import's posting journal.

#include <filesystem>
#include <string>
#include <string_view>

namespace mg::files {

// Every file name in the program is UTF-8 text. As the system's path: on Windows its UTF-16
// name (a path made from narrow text there reads it in the ANSI code page), elsewhere the
// bytes as they are.
std::filesystem::path pathOf(std::string_view utf8);
// And back: the UTF-8 text of a path.
std::string textOf(const std::filesystem::path& p);

// Writes the whole text to the open file descriptor, going on after a write that was
// interrupted or took only part of the text; false when the system refused a write.
bool writeAll(int fd, const std::string& text);

}  // namespace mg::files
