#pragma once
// The database backends behind one small interface: open a connection, prepare a
// statement once and keep it, bind, step, read a column as exact text or integer,
// transactions, and errors carrying the backend's own code and text. Everything that is
// particular to one database lives behind this interface and in its Dialect.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/errors.h"

namespace mg::db {

// Connection settings from the connection INI file.
struct Settings {
    std::string driver = "odbc";   // "sqlite" or "odbc"
    std::string server = "(local)";
    std::string database = "tallowby";
    bool builtInLogin = true;      // the user name and password of the built-in login
    // ODBC only, each empty or 0 for its default: the ODBC driver's name (the platform's SQL
    // Server driver), a port, a data source name (then the driver and server come from it),
    // and the SQL dialect of the server ("mssql", or "postgresql" for the test server).
    std::string odbcDriver;
    int port = 0;
    std::string dsn;
    std::string dialect;
    // ODBC only: a SQL login of the practice's own, used instead of the built-in login (and
    // instead of Windows authentication, which a logon other than the built-in one gives).
    std::string user;
    std::string password;
};

// The ODBC connection string of the settings, and the same with the password masked (what
// a message or a trace may show).
std::string odbcConnectionString(const Settings& settings);
std::string maskedConnectionString(const std::string& connectionString);

enum class ValueKind { Null, Integer, Real, Text, Blob, Date, Time, DateTime };

// A value bound to a statement parameter. Dates, times and date-times hold their ISO text
// ("2026-12-07", "14:05:00", "2026-12-07 14:05:00") and are bound as the database's own
// date and time types, so that no language or date-format setting of a login reads them.
// A statement's columns never have these kinds: they read as Text.
struct Param {
    ValueKind kind = ValueKind::Null;
    int64_t i = 0;
    double f = 0;
    std::string text;
    static Param null() { return {}; }
    static Param integer(int64_t v) { return {ValueKind::Integer, v, 0, {}}; }
    static Param real(double v) { return {ValueKind::Real, 0, v, {}}; }
    static Param str(std::string v) { return {ValueKind::Text, 0, 0, std::move(v)}; }
    static Param date(std::string iso) { return {ValueKind::Date, 0, 0, std::move(iso)}; }
    static Param time(std::string iso) { return {ValueKind::Time, 0, 0, std::move(iso)}; }
    static Param dateTime(std::string iso) { return {ValueKind::DateTime, 0, 0, std::move(iso)}; }
};

class Statement {
public:
    virtual ~Statement() = default;
    // Clears the bindings and readies the statement to run again.
    virtual void reset() = 0;
    virtual void bind(int index, const Param& value) = 0;  // index from 1
    // true while a row is ready; false at the end or on an error (then `err` is set).
    virtual bool step(Error& err) = 0;
    virtual int columnCount() const = 0;
    virtual ValueKind kind(int column) const = 0;        // from 0
    virtual int64_t integer(int column) const = 0;
    virtual double real(int column) const = 0;
    // The value as exact text; a REAL is given in its shortest round-trip form.
    virtual std::string text(int column) const = 0;
};

struct Dialect;
enum class SqlDialect { SqlServer, Sqlite, PostgreSql };

struct LockHolder;  // data/lock_file.h

struct ObjectInfo {
    bool exists = false;
    bool isView = false;
    std::vector<std::string> columns;
};

class Connection {
public:
    virtual ~Connection() = default;
    // Prepares a statement once per connection and keeps it: the same text gives the
    // same statement. The statement belongs to the connection.
    virtual Statement* prepare(std::string_view sql, Error& err) = 0;
    // Runs a statement without parameters and without rows.
    virtual Error exec(std::string_view sql) = 0;

    // The outermost transaction: waits at most `timeoutSeconds` for the write lock and
    // fails with 32 when it is not granted in time.
    virtual Error begin(int timeoutSeconds) = 0;
    // A transaction that only reads, from one consistent view of the database that holds
    // back no writer, ended by rollback(): what a copy of the database reads in. PostgreSQL:
    // REPEATABLE READ, READ ONLY (a snapshot, no row locks). SQL Server: no transaction; each
    // read is its own statement under the database's READ COMMITTED, so its share locks last
    // only while the rows are read. The embedded database: a deferred (read) transaction.
    virtual Error beginReadOnly() = 0;
    virtual Error commit() = 0;
    virtual Error rollback() = 0;
    // Nested transactions inside the outermost one, in the statements of the connection's
    // dialect (data/dialect.cpp).
    Error savepoint(int depth);
    Error release(int depth);
    Error rollbackTo(int depth);

    // The value the database numbered the last insert with (an insert that does not give
    // it back as its row).
    virtual int64_t lastInsertId() = 0;
    virtual int64_t changes() = 0;

    // Whether a table or view of this name exists, and its columns; whether an index exists.
    // Both ask the queries of the connection's dialect (data/dialect.cpp).
    Error describe(std::string_view name, ObjectInfo& out);
    // Whether the table (its storage name) has an index of this name.
    Error indexExists(std::string_view table, std::string_view name, bool& exists);
    // How long a statement waits for a lock held by another connection.
    virtual void setBusyTimeout(int milliseconds) = 0;

    virtual const Dialect& dialect() const = 0;

    // An application lock named `name` on this database, held by this connection until it
    // is released, the connection closes or the process ends. `granted` false: another
    // connection holds it, and `holder` says where that one runs, as far as can be told.
    // An embedded database keeps it in a lock file beside the database file; a server
    // backend takes it from the server (sp_getapplock on SQL Server, pg_try_advisory_lock on
    // PostgreSQL). A backend without one grants every lock.
    virtual Error tryApplicationLock(std::string_view name, bool& granted, LockHolder& holder) {
        (void)name;
        (void)holder;
        granted = true;
        return Error::ok();
    }
    virtual void releaseApplicationLock(std::string_view name) { (void)name; }

    // Statements sent to the database so far (each is one round trip on a server).
    uint64_t statementsSent = 0;
};

// A connection's prepared statements by their text, kept for reuse: a statement found is
// reset first. When more than `limit` are kept, they are all let go before the next is kept
// (every statement is reset after use, so none is running then).
template <class S>
class StatementCache {
public:
    explicit StatementCache(size_t limit) : limit_(limit) {}
    S* find(std::string_view sql) {
        auto it = map_.find(sql);
        if (it == map_.end()) return nullptr;
        it->second->reset();
        return it->second.get();
    }
    S* keep(std::string_view sql, std::unique_ptr<S> statement) {
        if (map_.size() > limit_) map_.clear();
        return map_.emplace(std::string(sql), std::move(statement)).first->second.get();
    }
    void clear() { map_.clear(); }

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, std::unique_ptr<S>, Hash, std::equal_to<>> map_;
    size_t limit_;
};

// Sees every statement a server connection sends, in order: what the benchmarks replay
// through the same driver to measure the data layer's own cost.
struct StatementRecorder {
    virtual ~StatementRecorder() = default;
    virtual void prepared(std::string_view sql, const std::vector<Param>& params) = 0;  // run with these values
    virtual void direct(std::string_view sql) = 0;                                       // run as it is
    virtual void begin() = 0;
    virtual void end(bool commit) = 0;
};
// One recorder for the process ("nullptr" stops the recording).
void setStatementRecorder(StatementRecorder* recorder);

// Opens a connection for the settings. An embedded database file must exist already.
std::unique_ptr<Connection> connect(const Settings& settings, Error& err);

// A driver of the caller's own: connect() hands the settings whose driver has this name to
// `maker` (the tests' stand-in for a server they cannot start).
using ConnectionMaker = std::unique_ptr<Connection> (*)(const Settings& settings, Error& err);
void addDriver(const std::string& name, ConnectionMaker maker);

// The trace file: every statement a backend sends to the database, as it sends it, one per
// line, with the values bound to its parameters after "  -- " (text quoted); the
// transactions' BEGIN, COMMIT and ROLLBACK too. "" switches tracing off.
void setTraceFile(const std::string& path);
void trace(std::string_view statement, const std::vector<Param>& params = {});
bool tracing();

}  // namespace mg::db
