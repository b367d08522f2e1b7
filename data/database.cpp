#include "data/database.h"

#include <sqlite3.h>

#include <filesystem>

#include "data/ddl.h"
#include "data/dialect.h"
#include "data/embedded_sqlite.h"
#include "data/schema.h"

namespace mg::db {

Error createDatabase(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
        return Error::driver("exists", "The file " + path + " exists already: a new database needs a new file");
    if (Error missing = embeddedDatabaseMissing()) return missing;
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

Error createTables(const Settings& settings) {
    Error err;
    std::unique_ptr<Connection> c = connect(settings, err);
    if (!c) return err;
    const Dialect& d = c->dialect();
    for (const TableDecl& t : allTables()) {
        if (t.isResultTable()) continue;
        ObjectInfo info;
        if (Error e = c->describe(t.storageName(), info)) return e;
        if (info.exists)
            return Error::driver("exists", "The database " + settings.database + " has a table " + std::string(t.storageName()) +
                                               " already: init-db only makes the tables of an empty database");
    }
    if (Error e = c->begin(30)) return e;
    std::vector<std::string> statements = d.prelude();
    for (const TableDecl* t : creationOrder()) {
        statements.push_back(d.createTable(*t));
        for (std::string& i : d.createIndexes(*t)) statements.push_back(std::move(i));
    }
    for (const std::string& s : statements) {
        if (Error e = c->exec(s)) {
            c->rollback();
            return e;
        }
    }
    return c->commit();
}

}  // namespace mg::db
