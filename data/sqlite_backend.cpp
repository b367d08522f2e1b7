// The embedded database: SQLite through its own C API.
//
// Storage conventions (other programs read and write the same file): text without
// trailing blanks, compared without regard to case; dates as ISO text; decimals with
// places as plain decimal text; the database runs in WAL mode with full synchronous
// commits, because it posts money: a transaction reported committed survives a power cut.

#include <sqlite3.h>

#include <atomic>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <unordered_map>

#include "data/embedded_sqlite.h"
#include "data/backend.h"
#include "data/dialect.h"
#include "data/lock_file.h"

namespace mg::db {
namespace {

constexpr int kDefaultBusyMs = 10000;

Error sqliteError(sqlite3* db, int rc) {
    int ext = db ? sqlite3_extended_errcode(db) : rc;
    if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) {
        Error e = Error::of(IsLockedErr);
        e.driverCode = std::to_string(ext);
        e.driverText = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        return e;
    }
    if (ext == SQLITE_CONSTRAINT_UNIQUE || ext == SQLITE_CONSTRAINT_PRIMARYKEY) {
        Error e = Error::of(DupKeyErr);
        e.driverCode = std::to_string(ext);
        e.driverText = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        return e;
    }
    return Error::driver(std::to_string(ext), db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
}

class SqliteStatement final : public Statement {
public:
    SqliteStatement(sqlite3* db, sqlite3_stmt* st, uint64_t* counter) : db_(db), st_(st), counter_(counter) {}
    ~SqliteStatement() override { sqlite3_finalize(st_); }

    void reset() override {
        sqlite3_reset(st_);
        sqlite3_clear_bindings(st_);
        started_ = false;
        traced_.clear();
    }
    void bind(int index, const Param& v) override {
        if (tracing()) {  // the values go into the trace with the statement
            if (static_cast<size_t>(index) > traced_.size()) traced_.resize(static_cast<size_t>(index));
            traced_[static_cast<size_t>(index - 1)] = v;
        }
        switch (v.kind) {
        case ValueKind::Null: sqlite3_bind_null(st_, index); break;
        case ValueKind::Integer: sqlite3_bind_int64(st_, index, v.i); break;
        case ValueKind::Real: sqlite3_bind_double(st_, index, v.f); break;
        case ValueKind::Text:
        case ValueKind::Blob:
        case ValueKind::Date:  // dates and times are stored as ISO text
        case ValueKind::Time:
        case ValueKind::DateTime:
            sqlite3_bind_text(st_, index, v.text.data(), static_cast<int>(v.text.size()), SQLITE_TRANSIENT);
            break;
        }
    }
    bool step(Error& err) override {
        if (!started_) {
            started_ = true;
            ++*counter_;
            if (tracing()) trace(sqlite3_sql(st_), traced_);
        }
        int rc = sqlite3_step(st_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) {
            err = Error::ok();
            return false;
        }
        err = sqliteError(db_, rc);
        sqlite3_reset(st_);
        return false;
    }
    int columnCount() const override { return sqlite3_column_count(st_); }
    ValueKind kind(int c) const override {
        switch (sqlite3_column_type(st_, c)) {
        case SQLITE_INTEGER: return ValueKind::Integer;
        case SQLITE_FLOAT: return ValueKind::Real;
        case SQLITE_TEXT: return ValueKind::Text;
        case SQLITE_BLOB: return ValueKind::Blob;
        default: return ValueKind::Null;
        }
    }
    int64_t integer(int c) const override { return sqlite3_column_int64(st_, c); }
    double real(int c) const override { return sqlite3_column_double(st_, c); }
    std::string text(int c) const override {
        if (sqlite3_column_type(st_, c) == SQLITE_FLOAT) {
            char buf[64];
            auto r = std::to_chars(buf, buf + sizeof buf, sqlite3_column_double(st_, c));
            return std::string(buf, r.ptr);
        }
        const unsigned char* p = sqlite3_column_text(st_, c);
        if (!p) return {};
        return std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(st_, c)));
    }

private:
    sqlite3* db_;
    sqlite3_stmt* st_;
    uint64_t* counter_;
    bool started_ = false;
    std::vector<Param> traced_;  // the values bound, kept only while tracing
};

class SqliteConnection final : public Connection {
public:
    explicit SqliteConnection(sqlite3* db) : db_(db) {}
    ~SqliteConnection() override {
        cache_.clear();
        sqlite3_close_v2(db_);
    }

    Statement* prepare(std::string_view sql, Error& err) override {
        err = Error::ok();
        if (Statement* kept = cache_.find(sql)) return kept;
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &st, nullptr);
        if (rc != SQLITE_OK) {
            err = sqliteError(db_, rc);
            sqlite3_finalize(st);
            return nullptr;
        }
        err = Error::ok();
        auto owned = std::make_unique<SqliteStatement>(db_, st, &statementsSent);
        return cache_.keep(sql, std::move(owned));
    }

    Error exec(std::string_view sql) override {
        ++statementsSent;
        trace(sql);
        std::string s(sql);
        int rc = sqlite3_exec(db_, s.c_str(), nullptr, nullptr, nullptr);
        return rc == SQLITE_OK ? Error::ok() : sqliteError(db_, rc);
    }

    Error begin(int timeoutSeconds) override {
        sqlite3_busy_timeout(db_, timeoutSeconds * 1000);
        Error e = exec("BEGIN IMMEDIATE");
        sqlite3_busy_timeout(db_, kDefaultBusyMs);
        return e;
    }
    Error beginReadOnly() override { return exec("BEGIN DEFERRED"); }
    Error commit() override {
        Error e = exec("COMMIT");
        if (e) exec("ROLLBACK");
        return e;
    }
    Error rollback() override { return exec("ROLLBACK"); }

    int64_t lastInsertId() override { return sqlite3_last_insert_rowid(db_); }
    int64_t changes() override { return sqlite3_changes64(db_); }

    void setBusyTimeout(int milliseconds) override { sqlite3_busy_timeout(db_, milliseconds); }

    const Dialect& dialect() const override { return dialectOf(SqlDialect::Sqlite); }

    // The lock file "<database file>.<name>.lock" beside the database.
    Error tryApplicationLock(std::string_view name, bool& granted, LockHolder& holder) override {
        granted = false;
        const std::string key(name);
        if (locks_.count(key)) {
            granted = true;
            return Error::ok();
        }
        const char* file = sqlite3_db_filename(db_, "main");
        if (!file || !*file) {  // a database in memory is this connection's alone
            granted = true;
            return Error::ok();
        }
        Error err;
        std::unique_ptr<LockFile> lock = LockFile::tryTake(std::string(file) + "." + key + ".lock", holder, err);
        if (err) return err;
        if (lock) {
            locks_[key] = std::move(lock);
            granted = true;
        }
        return Error::ok();
    }
    void releaseApplicationLock(std::string_view name) override { locks_.erase(std::string(name)); }

private:
    sqlite3* db_;
    std::map<std::string, std::unique_ptr<LockFile>> locks_;
    StatementCache<SqliteStatement> cache_{2000};
};

}  // namespace

std::unique_ptr<Connection> connectSqlite(const Settings& settings, Error& err) {
    if ((err = embeddedDatabaseMissing())) return nullptr;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(settings.database.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        err = Error::driver(std::to_string(db ? sqlite3_extended_errcode(db) : rc),
                            std::string(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)) + ": " + settings.database);
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_extended_result_codes(db, 1);
    // A double-quoted name is always a name: without this SQLite takes a quoted name that
    // matches no column for a string literal, and "CREATE INDEX ... ("LOGON")" on a table
    // without that column would index a constant instead of failing.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, static_cast<int*>(nullptr));
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, static_cast<int*>(nullptr));
    // A file that is not a database shows itself at the first read. The journal mode is
    // set without waiting: a database another program holds locked just stays as it is
    // (the first table open then reports the lock), instead of holding up the connect.
    sqlite3_busy_timeout(db, 0);
    rc = sqlite3_exec(db, "PRAGMA synchronous=FULL; PRAGMA journal_mode=WAL;", nullptr, nullptr, nullptr);
    sqlite3_busy_timeout(db, kDefaultBusyMs);
    if (rc != SQLITE_OK && rc != SQLITE_READONLY && (rc & 0xff) != SQLITE_BUSY) {
        err = Error::driver(std::to_string(sqlite3_extended_errcode(db)), std::string(sqlite3_errmsg(db)) + ": " + settings.database);
        sqlite3_close_v2(db);
        return nullptr;
    }
    err = Error::ok();
    return std::make_unique<SqliteConnection>(db);
}

}  // namespace mg::db
