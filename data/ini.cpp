// INI files: reads go through SimpleIni (case-insensitive names, one value per key, the first
// one in the file when a key is repeated); writes are a line edit of the file's own text, so
// everything the write does not touch stays byte for byte as it was, line ends included.
// A file is read in its own encoding (plain bytes, UTF-8 with a signature, UTF-16 in either
// byte order with its mark) as UTF-8 text, and written back in that same encoding.

#include "data/ini.h"
#include "data/file_io.h"
#include "data/ini_encoding.h"

#define SI_NO_CONVERSION  // the text handed to it is plain bytes; files are decoded here
#ifndef SI_IMPLEMENTATION
#define SI_IMPLEMENTATION
#endif
#include <SimpleIni.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace mg::ini {
namespace {

// INI files are small; anything beyond this is not one of ours.
constexpr std::uintmax_t kMaxIniBytes = 8u * 1024u * 1024u;

enum class FileState { Missing, Ok, Garbled, Unreadable };

// Everything below works on `text`: UTF-8 for the files with a signature, the file's own
// bytes otherwise.
struct FileText {
    FileState state = FileState::Missing;
    Encoding encoding = Encoding::Bytes;
    std::string text;  // without the signature
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (isBlank(s.front()) || s.front() == '\r' || s.front() == '\n'))
        s.remove_prefix(1);
    while (!s.empty() && (isBlank(s.back()) || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// Text with NUL bytes or other control characters (a binary file, UTF-16 without its mark, a
// file overwritten with garbage) is not an INI file.
bool looksGarbled(std::string_view bytes) {
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20) continue;
        if (c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') continue;
        if (c == 0x1A) continue;  // an old end-of-file mark
        return true;
    }
    return false;
}

FileText readFile(const fs::path& path) {
    FileText result;
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (ec || !fs::exists(st)) {
        result.state = (ec && ec != std::errc::no_such_file_or_directory)
                           ? FileState::Unreadable
                           : FileState::Missing;
        return result;
    }
    if (!fs::is_regular_file(st)) {
        result.state = FileState::Unreadable;
        return result;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        result.state = FileState::Unreadable;
        return result;
    }
    if (size > kMaxIniBytes) {
        result.state = FileState::Garbled;
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.state = FileState::Unreadable;
        return result;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        result.state = FileState::Unreadable;
        return result;
    }
    auto decoded = decode(std::move(buffer).str());
    if (!decoded) {
        result.state = FileState::Garbled;
        return result;
    }
    result.encoding = decoded->encoding;
    result.text = std::move(decoded->text);
    result.state = looksGarbled(result.text) ? FileState::Garbled : FileState::Ok;
    return result;
}

fs::path resolve(std::string_view file) {
    return files::pathOf(file.empty() ? defaultIniPath() : std::string(file));
}

// ---- the line model used by put -------------------------------------------------------

struct Line {
    enum Kind { Other, Section, Key };
    std::string text;  // without its line end
    std::string end;   // "\r\n", "\n", "\r" or "" (last line without a line end)
    Kind kind = Other;
    std::string name;     // section or key name, blanks trimmed
    size_t valueAt = 0;   // Key: where the value starts (after '=' and the blanks after it)
};

// Classifies a line the way SimpleIni reads it: blanks skipped, ';' and '#' start a comment,
// "[name]" opens a section, "name=value" is a key, everything else is ignored.
void classify(Line& line) {
    std::string_view t = line.text;
    size_t i = 0;
    while (i < t.size() && isBlank(t[i])) ++i;
    if (i == t.size() || t[i] == ';' || t[i] == '#') return;
    if (t[i] == '[') {
        const size_t close = t.find(']', i + 1);
        if (close == std::string_view::npos) return;
        line.kind = Line::Section;
        line.name = std::string(trimBlanks(t.substr(i + 1, close - i - 1)));
        return;
    }
    const size_t eq = t.find('=', i);
    if (eq == std::string_view::npos) return;
    const std::string_view name = trimBlanks(t.substr(i, eq - i));
    if (name.empty()) return;
    line.kind = Line::Key;
    line.name = std::string(name);
    size_t v = eq + 1;
    while (v < t.size() && isBlank(t[v])) ++v;
    line.valueAt = v;
}

std::vector<Line> splitLines(const std::string& bytes) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t i = start;
        while (i < bytes.size() && bytes[i] != '\n' && bytes[i] != '\r') ++i;
        Line line;
        line.text = bytes.substr(start, i - start);
        if (i < bytes.size()) {
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                line.end = "\r\n";
            } else {
                line.end = std::string(1, bytes[i]);
            }
        }
        classify(line);
        start = i + line.end.size();
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string platformLineEnd() {
#ifdef _WIN32
    return "\r\n";
#else
    return "\n";
#endif
}

// The line end the file already uses (its first one); a file without any takes the platform's.
std::string lineEndOf(const std::vector<Line>& lines) {
    for (const Line& l : lines)
        if (!l.end.empty()) return l.end;
    return platformLineEnd();
}

bool validName(std::string_view name, bool isSection) {
    if (name.empty()) return false;
    for (char c : name)
        if (c == '\0' || c == '\r' || c == '\n') return false;
    if (isSection) return name.find(']') == std::string_view::npos;
    if (name.find('=') != std::string_view::npos) return false;
    return name.front() != '[' && name.front() != ';' && name.front() != '#';
}

bool validValue(std::string_view value) {
    for (char c : value)
        if (c == '\0' || c == '\r' || c == '\n') return false;
    return true;
}

// The file's text with `key` in `section` set to `value`.
std::string edited(const std::string& original, std::string_view section, std::string_view key,
                   std::string_view value) {
    std::vector<Line> lines = splitLines(original);
    const std::string eol = lineEndOf(lines);

    // The first matching key in any section of that name wins, as it does for reads.
    bool inSection = false;
    std::optional<size_t> firstHeader;
    std::optional<size_t> lastKeyOfFirst;
    bool inFirst = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        Line& l = lines[i];
        if (l.kind == Line::Section) {
            inSection = sameName(l.name, section);
            inFirst = inSection && !firstHeader;
            if (inFirst) firstHeader = i;
            continue;
        }
        if (!inSection || l.kind != Line::Key) continue;
        if (sameName(l.name, key)) {
            l.text = l.text.substr(0, l.valueAt) + std::string(value);
            std::string out;
            for (const Line& x : lines) out += x.text + x.end;
            return out;
        }
        if (inFirst) lastKeyOfFirst = i;
    }

    const std::string keyLine = std::string(key) + "=" + std::string(value);
    if (firstHeader) {
        const size_t after = lastKeyOfFirst ? *lastKeyOfFirst : *firstHeader;
        if (lines[after].end.empty()) lines[after].end = eol;
        Line added;
        added.text = keyLine;
        added.end = eol;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(after) + 1, std::move(added));
        std::string out;
        for (const Line& x : lines) out += x.text + x.end;
        return out;
    }

    std::string out = original;
    if (!lines.empty()) {
        if (lines.back().end.empty()) out += eol;
        if (!trimBlanks(lines.back().text).empty()) out += eol;  // a blank line between sections
    }
    out += "[" + std::string(section) + "]" + eol + keyLine + eol;
    return out;
}

// ---- atomic replacement -----------------------------------------------------------------

#ifdef _WIN32
int processId() { return _getpid(); }
#else
int processId() { return static_cast<int>(::getpid()); }
#endif


void syncFolder(const fs::path& folder) {
#ifndef _WIN32
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    (void)folder;
#endif
}

// Whether a process of that id runs on this computer. When that cannot be told, it is taken
// to run: its file is left alone.
bool processRunning(long long pid) {
    if (pid <= 0 || pid > INT_MAX) return true;
#ifdef _WIN32
    HANDLE h = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!h) return ::GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool ended = ::GetExitCodeProcess(h, &code) && code != STILL_ACTIVE;
    ::CloseHandle(h);
    return !ended;
#else
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
#endif
}

// The temporary of a write is named after its file and the writing process:
// "Quillerton.ini.tmp-<process id>".
constexpr std::string_view kTempInfix = ".tmp-";

fs::path tempPathOf(const fs::path& target) {
    fs::path temp = target;
    temp += std::string(kTempInfix) + std::to_string(processId());
    return temp;
}

// A temporary of a process that is no longer running (killed or crashed while it wrote or
// held a staged write) is removed by the next write of the same file. A temporary is left
// alone while its process runs, and for a minute after it was last written even when no
// such process runs here: the folder may be shared with a computer where it does.
constexpr auto kStaleAfter = std::chrono::minutes(1);

void removeStaleTemporaries(const fs::path& target) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string prefix = target.filename().string() + std::string(kTempInfix);
    const auto now = fs::file_time_type::clock::now();
    std::vector<fs::path> stale;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= prefix.size() || name.size() > prefix.size() + 10 || !name.starts_with(prefix)) continue;
        const std::string_view digits = std::string_view(name).substr(prefix.size());
        if (digits.find_first_not_of("0123456789") != std::string_view::npos) continue;
        const long long pid = std::stoll(std::string(digits));
        if (pid == processId()) continue;  // this process's own, reused by its writes
        std::error_code fileEc;
        if (!it->is_regular_file(fileEc) || it->is_symlink(fileEc)) continue;
        const auto written = it->last_write_time(fileEc);
        if (fileEc || now - written < kStaleAfter) continue;
        if (processRunning(pid)) continue;
        stale.push_back(it->path());
    }
    for (const fs::path& p : stale) fs::remove(p, ec);
}

// Writes `text` to a temporary file beside `target` and flushes it to disk. On failure the
// temporary is removed and an empty path returned; `target` is never touched.
fs::path stageFile(const fs::path& target, const std::string& text, std::optional<fs::perms> keepPerms) {
    const fs::path temp = tempPathOf(target);
    std::error_code ec;

#ifdef _WIN32
    const int fd = ::_wopen(temp.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    // A leftover temporary of an earlier crash with the same process id is reused; anything
    // that is not a plain file at that name (a folder, a link) makes the write fail.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                          0666);
#endif
    if (fd < 0) return {};

    bool ok = files::writeAll(fd, text);
#ifdef _WIN32
    ok = ok && ::_commit(fd) == 0;
    ok = (::_close(fd) == 0) && ok;
#else
    if (ok && keepPerms) ::fchmod(fd, static_cast<mode_t>(*keepPerms) & 07777);
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
#endif
    if (!ok) {
        fs::remove(temp, ec);
        return {};
    }
    return temp;
}

// Puts a staged file in place with one rename, then makes the rename durable.
bool publishFile(const fs::path& temp, const fs::path& target) {
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    syncFolder(target.parent_path());
    return true;
}

}  // namespace

std::string defaultIniPath() {
    if (const char* over = std::getenv("MARROWGATE_DEFAULT_INI"); over && *over) return over;
#ifdef _WIN32
    if (const char* appData = std::getenv("APPDATA"); appData && *appData)
        return files::textOf(fs::path(appData) / "Marrowgate" / "marrowgate.ini");
    return "marrowgate.ini";
#else
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        return (fs::path(xdg) / "marrowgate" / "marrowgate.ini").string();
    if (const char* home = std::getenv("HOME"); home && *home)
        return (fs::path(home) / ".config" / "marrowgate" / "marrowgate.ini").string();
    return "marrowgate.ini";
#endif
}

namespace {

FileStatus statusOf(FileState state) {
    switch (state) {
    case FileState::Ok:
        return FileStatus::Read;
    case FileState::Missing:
        return FileStatus::Missing;
    case FileState::Garbled:
        return FileStatus::Garbled;
    case FileState::Unreadable:
        return FileStatus::Unreadable;
    }
    return FileStatus::Unreadable;
}

}  // namespace

FileStatus fileStatus(std::string_view file) { return statusOf(readFile(resolve(file)).state); }

Lookup lookup(std::string_view file, std::string_view section, std::string_view key) {
    Lookup result;
    const FileText text = readFile(resolve(file));
    result.file = statusOf(text.state);
    if (text.state != FileState::Ok) return result;

    const std::string sectionName(trimBlanks(section));
    const std::string keyName(trimBlanks(key));
    if (sectionName.empty() || keyName.empty()) return result;

    CSimpleIniA ini(/*utf8*/ false, /*multiKey*/ true, /*multiLine*/ false);
    if (ini.LoadData(text.text.data(), text.text.size()) < 0) {
        result.file = FileStatus::Garbled;
        return result;
    }
    CSimpleIniA::TNamesDepend values;
    if (!ini.GetAllValues(sectionName.c_str(), keyName.c_str(), values) || values.empty()) return result;
    // A repeated key (or a key repeated in a repeated section) reads as its first occurrence.
    const CSimpleIniA::Entry* first = &values.front();
    for (const auto& e : values)
        if (e.nOrder < first->nOrder) first = &e;
    std::string_view value = trimBlanks(first->pItem ? first->pItem : "");
    // A value between double quotes is read without them; what is inside stays as written.
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    result.value = std::string(value);
    return result;
}

std::string get(std::string_view file, std::string_view section, std::string_view key,
                std::string_view defaultValue) {
    Lookup found = lookup(file, section, key);
    return found.value ? std::move(*found.value) : std::string(defaultValue);
}

long long wholeNumber(std::string_view text, long long blankValue) {
    const std::string_view t = trimBlanks(text);
    if (t.empty()) return blankValue;
    size_t i = 0;
    bool negative = false;
    if (t[i] == '+' || t[i] == '-') {
        negative = t[i] == '-';
        ++i;
    }
    // Accumulated as a negative number so that LLONG_MIN fits; saturates on overflow.
    long long n = 0;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
        const int digit = t[i] - '0';
        if (n < (LLONG_MIN + digit) / 10) {
            n = LLONG_MIN;
            continue;
        }
        n = n * 10 - digit;
    }
    if (negative) return n;
    return n == LLONG_MIN ? LLONG_MAX : -n;
}

std::optional<long long> strictWholeNumber(std::string_view text) {
    const std::string_view t = trimBlanks(text);
    const size_t digitsAt = !t.empty() && (t[0] == '+' || t[0] == '-') ? 1 : 0;
    if (t.size() == digitsAt) return std::nullopt;
    for (size_t i = digitsAt; i < t.size(); ++i)
        if (t[i] < '0' || t[i] > '9') return std::nullopt;
    return wholeNumber(t);
}

long long getInt(std::string_view file, std::string_view section, std::string_view key,
                 long long defaultValue) {
    return wholeNumber(get(file, section, key, {}), defaultValue);
}

StagedWrite stage(std::string_view file, std::string_view section, std::string_view key,
                  std::string_view value) {
    const std::string_view sectionName = trimBlanks(section);
    const std::string_view keyName = trimBlanks(key);
    if (!validName(sectionName, true) || !validName(keyName, false) || !validValue(value))
        return {};

    fs::path path = resolve(file);
    std::error_code ec;
    if (file.empty() && path.has_parent_path()) {
        fs::create_directories(path.parent_path(), ec);
        if (ec) return {};
    }
    // Writing through a link replaces the file it points at, not the link.
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        const fs::path real = fs::weakly_canonical(path, ec);
        if (ec) return {};
        path = real;
    }

    const FileText current = readFile(path);
    // A file that exists but cannot be read, or is not an INI file, is never overwritten.
    if (current.state == FileState::Unreadable || current.state == FileState::Garbled)
        return {};

    std::optional<fs::perms> perms;
    if (current.state == FileState::Ok) {
        const fs::file_status st = fs::status(path, ec);
        if (!ec) perms = st.permissions();
    }
    // The file keeps its encoding; a value it cannot hold is not written.
    const std::optional<std::string> bytes = encode(edited(current.text, sectionName, keyName, value), current.encoding);
    if (!bytes) return {};
    removeStaleTemporaries(path);
    fs::path temp = stageFile(path, *bytes, perms);
    if (temp.empty()) return {};
    StagedWrite w;
    w.temp_ = files::textOf(temp);
    w.target_ = files::textOf(path);
    return w;
}

bool put(std::string_view file, std::string_view section, std::string_view key,
         std::string_view value) {
    return stage(file, section, key, value).publish();
}

StagedWrite::StagedWrite(StagedWrite&& other) noexcept
    : temp_(std::move(other.temp_)), target_(std::move(other.target_)) {
    other.temp_.clear();
}

StagedWrite& StagedWrite::operator=(StagedWrite&& other) noexcept {
    if (this != &other) {
        abandon();
        temp_ = std::move(other.temp_);
        target_ = std::move(other.target_);
        other.temp_.clear();
    }
    return *this;
}

StagedWrite::~StagedWrite() { abandon(); }

bool StagedWrite::publish() {
    if (temp_.empty()) return false;
    const bool ok = publishFile(files::pathOf(temp_), files::pathOf(target_));
    temp_.clear();
    return ok;
}

void StagedWrite::abandon() {
    if (temp_.empty()) return;
    std::error_code ec;
    fs::remove(files::pathOf(temp_), ec);
    temp_.clear();
}

}  // namespace mg::ini

namespace mg::files {

#ifdef _WIN32
fs::path pathOf(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return fs::path(wide);
}

std::string textOf(const fs::path& p) {
    const std::wstring& wide = p.native();
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
    return text;
}
#else
fs::path pathOf(std::string_view utf8) { return fs::path(utf8); }
std::string textOf(const fs::path& p) { return p.string(); }
#endif

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
#ifdef _WIN32
        const int n = ::_write(fd, text.data() + done, static_cast<unsigned>(text.size() - done));
#else
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
#endif
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace mg::files
