#include "data/file_io.h"
#include "data/lock_file.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string_view>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <process.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace mg::db {
namespace {

// Windows locks are mandatory: a locked byte cannot be read by anyone else. The lock is
// therefore taken on one byte far past the holder's text, which stays readable.
[[maybe_unused]] constexpr unsigned long kLockedByte = 0x7FFFFFF0ul;
constexpr size_t kMaxHolderText = 4096;

std::string localNow() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

std::string oneLine(std::string s) {
    for (char& c : s)
        if (c == '\r' || c == '\n') c = ' ';
    return s;
}

}  // namespace

std::string LockHolder::describe() const {
    if (host.empty() && folder.empty() && pid == 0) return "on another station or process";
    std::string s = "on " + (host.empty() ? std::string("an unnamed station") : host);
    if (!folder.empty()) s += " in " + folder;
    if (pid) s += " (process " + std::to_string(pid) + ")";
    if (!since.empty()) s += " since " + since;
    return s;
}

std::string holderText(const LockHolder& h) {
    return "host=" + oneLine(h.host) + "\nfolder=" + oneLine(h.folder) + "\npid=" + std::to_string(h.pid) + "\nsince=" + oneLine(h.since) +
           "\n";
}

LockHolder parseHolder(const std::string& text) {
    LockHolder h;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, eq);
        const std::string value(line.substr(eq + 1));
        if (key == "host") h.host = value;
        else if (key == "folder") h.folder = value;
        else if (key == "since") h.since = value;
        else if (key == "pid") h.pid = std::strtoll(value.c_str(), nullptr, 10);
    }
    return h;
}

LockHolder thisProcess() {
    LockHolder h;
    char name[256] = {};
#ifdef _WIN32
    DWORD size = sizeof name;
    if (GetComputerNameA(name, &size)) h.host.assign(name, size);
    h.pid = static_cast<long long>(_getpid());
#else
    if (::gethostname(name, sizeof name - 1) == 0) h.host = name;
    h.pid = static_cast<long long>(::getpid());
#endif
    std::error_code ec;
    h.folder = files::textOf(std::filesystem::current_path(ec));
    h.since = localNow();
    return h;
}

#ifdef _WIN32

LockFile::~LockFile() {
    if (!handle_) return;
    OVERLAPPED ov{};
    ov.Offset = kLockedByte;
    UnlockFileEx(static_cast<HANDLE>(handle_), 0, 1, 0, &ov);
    CloseHandle(static_cast<HANDLE>(handle_));
}

std::unique_ptr<LockFile> LockFile::tryTake(const std::string& path, LockHolder& holder, Error& err) {
    err = Error::ok();
    HANDLE h = CreateFileW(files::pathOf(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        err = Error::driver(std::to_string(GetLastError()), "The lock file " + path + " cannot be opened");
        return nullptr;
    }
    OVERLAPPED ov{};
    ov.Offset = kLockedByte;
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov)) {
        const DWORD code = GetLastError();
        if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) {
            // As below: a holder met right after it took the lock is read again a few times.
            for (int attempt = 0; attempt < 20; ++attempt) {
                char buf[kMaxHolderText];
                DWORD got = 0;
                SetFilePointer(h, 0, nullptr, FILE_BEGIN);
                ReadFile(h, buf, sizeof buf, &got, nullptr);
                holder = parseHolder(std::string(buf, got));
                if (holder.pid != 0) break;
                Sleep(10);
            }
        } else {
            err = Error::driver(std::to_string(code), "The lock file " + path + " cannot be locked");
        }
        CloseHandle(h);
        return nullptr;
    }
    const std::string text = holderText(thisProcess());
    SetFilePointer(h, 0, nullptr, FILE_BEGIN);
    DWORD written = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    SetEndOfFile(h);
    std::unique_ptr<LockFile> lock(new LockFile);
    lock->handle_ = h;
    return lock;
}

#else

LockFile::~LockFile() {
    if (fd_ < 0) return;
    // The text is cleared before the lock goes, so nobody reads a holder that has left.
    [[maybe_unused]] int cleared = ::ftruncate(fd_, 0);
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
}

std::unique_ptr<LockFile> LockFile::tryTake(const std::string& path, LockHolder& holder, Error& err) {
    err = Error::ok();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        err = Error::driver(std::to_string(errno), "The lock file " + path + " cannot be opened: " + std::strerror(errno));
        return nullptr;
    }
    // flock belongs to the open file, not to the process: a second connection of the same
    // process is refused as another process is.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        if (code == EWOULDBLOCK) {
            // The holder writes where it runs right after it took the lock: a holder met in
            // that moment is read again a few times before it is left unnamed.
            for (int attempt = 0; attempt < 20; ++attempt) {
                char buf[kMaxHolderText];
                const ssize_t got = ::pread(fd, buf, sizeof buf, 0);
                holder = parseHolder(std::string(buf, got > 0 ? static_cast<size_t>(got) : 0));
                if (holder.pid != 0) break;
                ::usleep(10000);
            }
        } else {
            err = Error::driver(std::to_string(code), "The lock file " + path + " cannot be locked: " + std::strerror(code));
        }
        ::close(fd);
        return nullptr;
    }
    const std::string text = holderText(thisProcess());
    bool ok = ::ftruncate(fd, 0) == 0;
    ok = ok && ::pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
    (void)ok;  // the text only serves a refusal message; the lock is what counts
    std::unique_ptr<LockFile> lock(new LockFile);
    lock->fd_ = fd;
    return lock;
}

#endif

}  // namespace mg::db
