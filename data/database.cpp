#include "data/database.h"

#include <sqlite3.h>

#include <filesystem>

#include "data/ddl.h"

namespace mg::db {

Error createDatabase(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
        return Error::driver("exists", "The file " + path + " exists already: a new database needs a new file");
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        Error e = Error::driver(std::to_string(rc), std::string(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)) + ": " + path);
        sqlite3_close_v2(db);
        return e;
    }
    std::string script = "PRAGMA journal_mode=WAL; BEGIN; " + ddl::script(SqlDialect::Sqlite) + "COMMIT;";
    char* msg = nullptr;
    rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &msg);
    Error e;
    if (rc != SQLITE_OK) {
        e = Error::driver(std::to_string(sqlite3_extended_errcode(db)), msg ? msg : sqlite3_errstr(rc));
        sqlite3_free(msg);
    }
    sqlite3_close_v2(db);
    if (e) std::filesystem::remove(path, ec);
    return e;
}

}  // namespace mg::db
