#pragma once
// INI files with Windows semantics: section and key names compared without regard to
// case, a missing file or key gives the default, a write changes only its key and keeps
// the rest of the file (comments, other sections, order). Every write goes to a
// temporary file in the same folder that is then renamed over the old one, so a crash
// never leaves a half-written file. CRLF line ends and "Key = value" with blanks around
// the '=' read the same as "Key=value".

#include <string>
#include <string_view>

namespace mg::ini {

// The file used when a read or write names no file: a per-user settings file of the
// program ($XDG_CONFIG_HOME/marrowgate/marrowgate.ini, else ~/.config/marrowgate/...;
// %APPDATA%\Marrowgate\marrowgate.ini on Windows). MARROWGATE_DEFAULT_INI overrides it.
std::string defaultIniPath();

// The value of `key` in `section` of `file` with surrounding blanks removed, or
// `defaultValue` when the file, the section or the key is missing. An empty `file`
// means the default INI file. An unreadable or garbled file reads as missing.
std::string get(std::string_view file, std::string_view section, std::string_view key,
                std::string_view defaultValue = {});
// As get, taken as a whole number: the leading integer of the text ("12abc" is 12,
// "abc" is 0, blank is the default).
long long getInt(std::string_view file, std::string_view section, std::string_view key,
                 long long defaultValue = 0);

// Writes `value` under `key` in `section` (created when missing) and returns true when
// the file was written. The old file stays untouched when the write fails.
bool put(std::string_view file, std::string_view section, std::string_view key,
         std::string_view value);

}  // namespace mg::ini
