#pragma once
// Writing files that must reach the disk whole: the INI layer's staged files and the outlay
// import's posting journal.

#include <string>

namespace mg::files {

// Writes the whole text to the open file descriptor, going on after a write that was
// interrupted or took only part of the text; false when the system refused a write.
bool writeAll(int fd, const std::string& text);

}  // namespace mg::files
