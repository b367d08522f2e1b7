#pragma once
// INI files with Windows semantics: section and key names compared without regard to
// case, a missing file or key gives the default, a write changes only its key and keeps
// the rest of the file (comments, other sections, order). Every write goes to a
// temporary file in the same folder that is then renamed over the old one, so a crash
// never leaves a half-written file; a temporary left by a process that was killed is
// removed by a later write. CRLF line ends and "Key = value" with blanks around the '='
// read the same as "Key=value". A value between double quotes reads without them; a ';'
// after a value is part of the value (comments stand on lines of their own).
//
// Files are read in the encodings Windows programs write them in: plain single-byte text,
// UTF-8 with a signature, and UTF-16 in either byte order with its mark ("Unicode" in
// Notepad). Values come back as UTF-8 for the last three and as the file's bytes for the
// first; a write keeps the file's encoding.

#include <optional>
#include <string>
#include <string_view>

namespace mg::ini {

// The file used when a read or write names no file: a per-user settings file of the
// program ($XDG_CONFIG_HOME/marrowgate/marrowgate.ini, else ~/.config/marrowgate/...;
// %APPDATA%\Marrowgate\marrowgate.ini on Windows). MARROWGATE_DEFAULT_INI overrides it.
std::string defaultIniPath();

// What reading a file found: a file that is not there differs from one that is there but
// cannot be read (no permission, a folder) or is not an INI file (binary, broken UTF-16).
enum class FileStatus { Read, Missing, Unreadable, Garbled };

struct Lookup {
    FileStatus file = FileStatus::Missing;
    std::optional<std::string> value;  // the key's value when the file was read and has it
    // The file is there but its settings cannot be known: a caller that must not go on
    // with a default (a missing key would mean "start from the beginning") stops here.
    bool unusable() const { return file == FileStatus::Unreadable || file == FileStatus::Garbled; }
};

// `key` in `section` of `file` (empty: the default INI file), telling a missing key from a
// file that could not be read.
Lookup lookup(std::string_view file, std::string_view section, std::string_view key);
FileStatus fileStatus(std::string_view file);

// The value of `key` in `section` of `file` with surrounding blanks removed, or
// `defaultValue` when the file, the section or the key is missing. An empty `file`
// means the default INI file. An unreadable or garbled file reads as missing (lookup
// tells them apart).
std::string get(std::string_view file, std::string_view section, std::string_view key,
                std::string_view defaultValue = {});
// As get, taken as a whole number: the leading integer of the text ("12abc" is 12,
// "abc" is 0, blank is the default).
long long getInt(std::string_view file, std::string_view section, std::string_view key,
                 long long defaultValue = 0);
// A value's text taken as getInt takes it; saturates rather than wraps.
long long wholeNumber(std::string_view text, long long blankValue = 0);
// A value's text when it is a whole number and nothing else: blanks around it, an optional
// sign and decimal digits (saturating rather than wrapping). Nothing for a blank value, "abc",
// "0x14", "1e9" or "12abc", which getInt would read as a number all the same.
std::optional<long long> strictWholeNumber(std::string_view text);

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
