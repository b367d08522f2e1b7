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

// A write made ready ahead of the moment it must take effect: the new file is written and
// flushed beside the old one, and publish() puts it in place with a single rename. A
// program that must record a fact right after a database commit stages the write before
// the commit and publishes it after, so a crash can fall between the two only during that
// one rename. A staged write that is never published leaves the old file as it was.
class StagedWrite {
public:
    StagedWrite() = default;
    StagedWrite(StagedWrite&& other) noexcept;
    StagedWrite& operator=(StagedWrite&& other) noexcept;
    StagedWrite(const StagedWrite&) = delete;
    StagedWrite& operator=(const StagedWrite&) = delete;
    ~StagedWrite();  // abandons an unpublished write

    bool ready() const { return !temp_.empty(); }
    // Puts the new file in place; true when it is there.
    bool publish();
    void abandon();

private:
    friend StagedWrite stage(std::string_view, std::string_view, std::string_view, std::string_view);
    std::string temp_;
    std::string target_;
};

// Prepares the write of `value` under `key` in `section` (as put does) without putting it in
// place; the result is not ready when it cannot be prepared (then put would fail too).
StagedWrite stage(std::string_view file, std::string_view section, std::string_view key,
                  std::string_view value);

}  // namespace mg::ini
