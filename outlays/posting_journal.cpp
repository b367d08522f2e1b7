#include "outlays/posting_journal.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "data/context.h"
#include "data/file_io.h"
#include "data/table.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace mg::outlays {
namespace {

// FNV-1a: enough to tell a whole line from one cut short or overwritten.
uint32_t checksum(std::string_view s) {
    uint32_t h = 2166136261u;
    for (unsigned char c : s) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

std::string hex(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::optional<std::string> unhex(std::string_view s) {
    if (s.size() % 2) return std::nullopt;
    std::string out;
    for (size_t i = 0; i < s.size(); i += 2) {
        unsigned v = 0;
        auto [p, ec] = std::from_chars(s.data() + i, s.data() + i + 2, v, 16);
        if (ec != std::errc() || p != s.data() + i + 2) return std::nullopt;
        out += static_cast<char>(v);
    }
    return out;
}

template <class T> bool number(std::string_view s, T& out) {
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size() && !s.empty();
}

// "a:b,c:d" into pairs.
bool pairs(std::string_view s, std::vector<std::pair<int32_t, int32_t>>& out) {
    while (!s.empty()) {
        size_t comma = s.find(',');
        std::string_view item = s.substr(0, comma);
        s = comma == std::string_view::npos ? std::string_view{} : s.substr(comma + 1);
        size_t colon = item.find(':');
        if (colon == std::string_view::npos) return false;
        std::pair<int32_t, int32_t> p;
        if (!number(item.substr(0, colon), p.first) || !number(item.substr(colon + 1), p.second)) return false;
        out.push_back(p);
    }
    return true;
}

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }


bool flush(int fd) {
#ifdef _WIN32
    return ::_commit(fd) == 0;
#else
    return ::fdatasync(fd) == 0;
#endif
}

}  // namespace

// T=<tracking reference> M=<matter in hex> L=<pref>:<batch>,... H=<batch>:<pref>,... S=<checksum>
std::string formatEntry(const JournalEntry& e) {
    std::string s = "T=" + std::to_string(e.trackRef) + " M=" + hex(e.matter) + " L=";
    for (size_t i = 0; i < e.lines.size(); ++i)
        s += (i ? "," : "") + std::to_string(e.lines[i].pref) + ":" + std::to_string(e.lines[i].batchNo);
    s += " H=";
    for (size_t i = 0; i < e.headers.size(); ++i)
        s += (i ? "," : "") + std::to_string(e.headers[i].batchNo) + ":" + std::to_string(e.headers[i].pref);
    char sum[16];
    std::snprintf(sum, sizeof sum, "%08x", checksum(s));
    return s + " S=" + sum;
}

std::optional<JournalEntry> parseEntry(std::string_view line) {
    const size_t at = line.rfind(" S=");
    if (at == std::string_view::npos) return std::nullopt;
    uint32_t sum = 0;
    {
        std::string_view digits = line.substr(at + 3);
        auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), sum, 16);
        if (ec != std::errc() || p != digits.data() + digits.size() || digits.size() != 8) return std::nullopt;
    }
    const std::string_view body = line.substr(0, at);
    if (checksum(body) != sum) return std::nullopt;

    std::string_view fields[4];
    const char* names[4] = {"T=", "M=", "L=", "H="};
    std::string_view rest = body;
    for (int i = 0; i < 4; ++i) {
        size_t blank = rest.find(' ');
        std::string_view f = rest.substr(0, blank);
        rest = blank == std::string_view::npos ? std::string_view{} : rest.substr(blank + 1);
        if (!f.starts_with(names[i])) return std::nullopt;
        fields[i] = f.substr(2);
    }
    JournalEntry e;
    if (!number(fields[0], e.trackRef)) return std::nullopt;
    std::optional<std::string> matter = unhex(fields[1]);
    if (!matter) return std::nullopt;
    e.matter = *matter;
    std::vector<std::pair<int32_t, int32_t>> l, h;
    if (!pairs(fields[2], l) || !pairs(fields[3], h)) return std::nullopt;
    for (auto [pref, batch] : l) e.lines.push_back({pref, batch});
    for (auto [batch, pref] : h) e.headers.push_back({batch, pref});
    return e;
}

std::optional<bool> committedInDatabase(Context& ctx, const JournalEntry& e, std::string& error) {
    Table& bad = ctx.table(TableId::BatchDetails);
    for (const JournalEntry::Line& l : e.lines) {
        ctx.set(BAD::PREF, l.pref);
        ctx.set(BAD::KEYID, 0);
        if (bad.set(BAD::BDPREF)) {
            error = ctx.errorText() + " " + ctx.fileError();
            return std::nullopt;
        }
        for (;;) {
            int rc = bad.next();
            if (rc == NotFoundErr) break;
            if (rc) {
                error = ctx.errorText() + " " + ctx.fileError();
                return std::nullopt;
            }
            if (ctx.get(BAD::PREF) != l.pref) break;
            if (ctx.get(BAD::BATCHNO) == l.batchNo && ctx.trimmed(BAD::MATTER) == e.matter && ctx.trimmed(BAD::REF) == "Doc Outlay")
                return true;
        }
    }
    if (!e.lines.empty()) return false;
    Table& bah = ctx.table(TableId::BatchH);
    for (const JournalEntry::Header& h : e.headers) {
        ctx.set(BAH::BATCHNO, h.batchNo);
        int rc = bah.get(BAH::BATCHH);
        if (rc == NoRecErr || rc == NotFoundErr) continue;
        if (rc) {
            error = ctx.errorText() + " " + ctx.fileError();
            return std::nullopt;
        }
        if (ctx.get(BAH::PREF) == h.pref && ctx.trimmed(BAH::REF) == "AutoOutlay") return true;
    }
    return false;
}

// ---- the file ---------------------------------------------------------------------------------

PostingJournal::~PostingJournal() { close(); }

bool PostingJournal::open(std::string& error) {
    if (fd_ >= 0) return true;
#ifdef _WIN32
    fd_ = ::_open(path_.c_str(), _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0666);
#endif
    if (fd_ < 0) {
        error = systemError(path_ + " cannot be opened");
        return false;
    }
    return true;
}

void PostingJournal::close() {
    if (fd_ < 0) return;
#ifdef _WIN32
    ::_close(fd_);
#else
    ::close(fd_);
#endif
    fd_ = -1;
}

bool PostingJournal::read(std::vector<JournalEntry>& out, std::string& error) const {
    out.clear();
    std::error_code ec;
    if (!std::filesystem::exists(path_, ec) && !ec) return true;  // no journal: nothing was left behind
    std::ifstream in(path_, std::ios::binary);
    if (!in) {
        error = systemError(path_ + " cannot be read");
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (in.eof()) break;  // the last line has no line end: its write did not finish
        std::optional<JournalEntry> e = parseEntry(line);
        if (!e) break;
        out.push_back(std::move(*e));
    }
    if (in.bad()) {
        error = systemError(path_ + " cannot be read");
        return false;
    }
    return true;
}

bool PostingJournal::append(const JournalEntry& e, std::string& error) {
    if (fd_ < 0 && !open(error)) return false;
    if (!files::writeAll(fd_, formatEntry(e) + "\n") || !flush(fd_)) {
        error = systemError(path_ + " cannot be written");
        return false;
    }
    return true;
}

bool PostingJournal::clear(std::string& error) {
    if (fd_ < 0 && !open(error)) return false;
#ifdef _WIN32
    const bool ok = ::_chsize(fd_, 0) == 0 && flush(fd_);
#else
    const bool ok = ::ftruncate(fd_, 0) == 0 && ::fsync(fd_) == 0;
#endif
    if (!ok) error = systemError(path_ + " cannot be emptied");
    return ok;
}

}  // namespace mg::outlays
