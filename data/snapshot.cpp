#include "data/snapshot.h"

#include <sqlite3.h>

#include "data/embedded_sqlite.h"

namespace mg::db {
namespace {

Error failed(sqlite3* db, const std::string& what) {
    const int code = db ? sqlite3_extended_errcode(db) : SQLITE_CANTOPEN;
    return Error::driver(std::to_string(code), what + ": " + (db ? sqlite3_errmsg(db) : "cannot open"));
}

}  // namespace

Error snapshotDatabase(const std::string& source, const std::string& target) {
    if (Error missing = embeddedDatabaseMissing()) return missing;
    sqlite3* src = nullptr;
    sqlite3* dst = nullptr;
    Error e;
    // Opened for writing although nothing is written (query_only): a connection that cannot
    // write leaves the WAL's side files behind when it closes; this one, when it is the last,
    // removes them again, so the folder is left as it was found.
    if (sqlite3_open_v2(source.c_str(), &src, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK ||
        sqlite3_exec(src, "PRAGMA query_only=1", nullptr, nullptr, nullptr) != SQLITE_OK) {
        e = failed(src, "opening " + source);
    } else if (sqlite3_open_v2(target.c_str(), &dst, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) !=
               SQLITE_OK) {
        e = failed(dst, "creating " + target);
    } else {
        sqlite3_busy_timeout(src, 5000);
        sqlite3_backup* b = sqlite3_backup_init(dst, "main", src, "main");
        if (!b) {
            e = failed(dst, "copying " + source);
        } else {
            int rc = sqlite3_backup_step(b, -1);  // every page from one read transaction
            sqlite3_backup_finish(b);
            if (rc != SQLITE_DONE) e = Error::driver(std::to_string(rc), "copying " + source + ": " + sqlite3_errstr(rc));
        }
    }
    sqlite3_close(src);
    sqlite3_close(dst);
    return e;
}

}  // namespace mg::db
