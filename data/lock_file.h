#pragma once
// An application lock for an embedded database: a small file beside the database file, held
// with an operating-system lock (flock on POSIX, LockFileEx on Windows). The operating system
// lets go of the lock when the process ends, however it ends, so a file left behind by a dead
// process is no lock. The holder writes into the file where it runs and since when, so a
// program that is refused can say who holds the lock.

#include <memory>
#include <string>

#include "data/errors.h"

namespace mg::db {

// Who holds an application lock, as the holder wrote it down.
struct LockHolder {
    std::string host;
    std::string folder;
    long long pid = 0;
    std::string since;  // local time, YYYY-MM-DD HH:MM:SS
    // "on WS-2 in C:\Practice (process 4411) since 2026-12-07 13:35:02"; a holder that has
    // not (yet) said where it runs is "on another station or process".
    std::string describe() const;
};

class LockFile {
public:
    ~LockFile();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    // Takes the lock of the file at `path` (created when missing) without waiting. Granted:
    // the lock is returned and held until it is destroyed. Held elsewhere: nullptr with
    // `holder` filled in and `err` clear. The file cannot be made or locked: nullptr and `err`.
    static std::unique_ptr<LockFile> tryTake(const std::string& path, LockHolder& holder, Error& err);

private:
    LockFile() = default;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// The holder text the lock file keeps (one "key=value" a line), and its reading back.
std::string holderText(const LockHolder& h);
LockHolder parseHolder(const std::string& text);
// This process as a holder: host name, current folder, process id, now.
LockHolder thisProcess();

}  // namespace mg::db
