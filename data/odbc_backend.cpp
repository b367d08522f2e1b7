// The database server: ODBC (unixODBC, or the system's driver manager on Windows) with the
// platform's SQL Server driver, or PostgreSQL's driver for the test server. Nothing else in
// the program calls ODBC.
//
// Statements are prepared once per connection and kept; parameters are bound by type
// (text as the server's character type, passed as UTF-16 so that the driver converts it
// whatever the locale); every result is read whole and its cursor closed at once, since a
// SQL Server connection serves one active result set at a time.

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <cstring>
#include <iterator>
#include <string>
#include <atomic>
#include <mutex>
#include <unordered_map>

#include "data/backend.h"
#include "data/dialect.h"
#include "data/lock_file.h"
#include "data/utf8.h"

namespace mg::db {
namespace {

constexpr int kDefaultLockMs = 10000;
std::atomic<StatementRecorder*> recorder{nullptr};

// ---- text between UTF-8 and the UTF-16 of SQLWCHAR ----

std::u16string utf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp = c;
        size_t n = 1;
        if (c >= 0xF0) {
            n = 4;
            cp = c & 0x07;
        } else if (c >= 0xE0) {
            n = 3;
            cp = c & 0x0F;
        } else if (c >= 0xC0) {
            n = 2;
            cp = c & 0x1F;
        }
        if (i + n > s.size()) {
            n = 1;
            cp = 0xFFFD;
        } else {
            for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string utf8(const char16_t* s, size_t n) {
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        uint32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < n) cp = 0x10000 + ((cp - 0xD800) << 10) + (s[++i] - 0xDC00);
        mg::utf8::append(out, cp);
    }
    return out;
}

// ---- errors ----

struct Diagnostic {
    std::string state;
    long native = 0;
    std::string text;
};

Diagnostic diagnose(SQLSMALLINT type, SQLHANDLE h) {
    Diagnostic d;
    for (SQLSMALLINT i = 1;; ++i) {
        // The wide call, as every text call here: a driver manager may offer no other.
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR msg[1024] = {};
        SQLSMALLINT len = 0;
        SQLRETURN rc = SQLGetDiagRecW(type, h, i, state, &native, msg, static_cast<SQLSMALLINT>(std::size(msg)), &len);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) break;
        if (i == 1) {
            const auto* code = reinterpret_cast<const char16_t*>(state);
            d.state = utf8(code, std::char_traits<char16_t>::length(code));
            d.native = native;
        }
        // One line: the message goes into message boxes and single error lines.
        const auto* text = reinterpret_cast<const char16_t*>(msg);
        const std::string whole = utf8(text, std::char_traits<char16_t>::length(text));
        std::string m;
        for (const char* p = whole.c_str(); *p; ++p) {
            const bool blank = *p == '\n' || *p == '\r' || *p == '\t' || *p == ' ';
            if (blank && (m.empty() || m.back() == ' ')) continue;
            m += blank ? ' ' : *p;
        }
        while (!m.empty() && (m.back() == ';' || m.back() == ' ')) m.pop_back();
        if (!m.empty()) d.text += (d.text.empty() ? "" : " ") + m;
    }
    if (d.state.empty()) d.state = "HY000";
    return d;
}

// The data layer's code of a server error, by the server's own codes: a lock not granted
// in time or a deadlock is 32, a unique-key violation 40, anything else 90.
int codeOf(SqlDialect dialect, const Diagnostic& d) {
    if (dialect == SqlDialect::SqlServer) {
        if (d.native == 1222 || d.native == 1205) return IsLockedErr;
        if (d.native == 2627 || d.native == 2601) return DupKeyErr;
        if (d.state == "40001") return IsLockedErr;
        return FileSystemErr;
    }
    if (d.state == "55P03" || d.state == "40P01" || d.state == "40001") return IsLockedErr;
    if (d.state == "23505") return DupKeyErr;
    return FileSystemErr;
}

Error odbcError(SqlDialect dialect, SQLSMALLINT type, SQLHANDLE h) {
    Diagnostic d = diagnose(type, h);
    Error e = Error::of(codeOf(dialect, d));
    e.driverCode = d.state + "/" + std::to_string(d.native);
    e.driverText = d.text;
    return e;
}

SQLHENV environment() {
    static SQLHENV env = [] {
        SQLHENV h = SQL_NULL_HENV;
        if (SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h)))
            SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return h;
    }();
    return env;
}

class OdbcConnection;

// The parts of an ISO date, time or date-time ("2026-12-07", "14:05:00",
// "2026-12-07 14:05:00"); a time alone is on 1900-01-01, SQL Server's first day.
struct IsoParts {
    int year = 1900, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

IsoParts isoParts(std::string_view s) {
    IsoParts v;
    auto num = [&](size_t at, size_t n, int& out) {
        if (at + n > s.size()) return;
        int x = 0;
        if (std::from_chars(s.data() + at, s.data() + at + n, x).ec == std::errc()) out = x;
    };
    size_t t = 0;
    if (s.size() >= 10 && s[4] == '-') {
        num(0, 4, v.year);
        num(5, 2, v.month);
        num(8, 2, v.day);
        t = 11;
    }
    if (s.size() >= t + 5 && s[t + 2] == ':') {
        num(t, 2, v.hour);
        num(t + 3, 2, v.minute);
        num(t + 6, 2, v.second);
    }
    return v;
}

struct Cell {
    ValueKind kind = ValueKind::Null;
    int64_t i = 0;
    double f = 0;
    std::string text;
};

enum class Fetch { Integer, Real, Date, Time, Timestamp, Text, Narrow, Binary };

class OdbcStatement final : public Statement {
public:
    OdbcStatement(OdbcConnection& conn, SQLHSTMT h, std::string sql) : conn_(conn), h_(h), sql_(std::move(sql)) {}
    ~OdbcStatement() override { SQLFreeHandle(SQL_HANDLE_STMT, h_); }

    void reset() override {
        if (executed_) SQLFreeStmt(h_, SQL_CLOSE);
        executed_ = false;
        params_.clear();
    }
    void bind(int index, const Param& value) override {
        if (static_cast<size_t>(index) > params_.size()) params_.resize(static_cast<size_t>(index));
        params_[static_cast<size_t>(index - 1)] = value;
    }
    bool step(Error& err) override;
    // A batch (an insert and the select of its identity) gives a result without rows first:
    // moves on to the first result with columns, if any.
    bool moveToRows(Error& err);
    int columnCount() const override { return static_cast<int>(fetch_.size()); }
    ValueKind kind(int c) const override { return row_[static_cast<size_t>(c)].kind; }
    int64_t integer(int c) const override {
        const Cell& x = row_[static_cast<size_t>(c)];
        switch (x.kind) {
        case ValueKind::Integer: return x.i;
        case ValueKind::Real: return static_cast<int64_t>(x.f);
        case ValueKind::Text: return std::strtoll(x.text.c_str(), nullptr, 10);
        default: return 0;
        }
    }
    double real(int c) const override {
        const Cell& x = row_[static_cast<size_t>(c)];
        switch (x.kind) {
        case ValueKind::Integer: return static_cast<double>(x.i);
        case ValueKind::Real: return x.f;
        case ValueKind::Text: return std::strtod(x.text.c_str(), nullptr);
        default: return 0;
        }
    }
    std::string text(int c) const override {
        const Cell& x = row_[static_cast<size_t>(c)];
        switch (x.kind) {
        case ValueKind::Integer: return std::to_string(x.i);
        case ValueKind::Real: {
            char buf[64];
            auto r = std::to_chars(buf, buf + sizeof buf, x.f);
            return std::string(buf, r.ptr);
        }
        case ValueKind::Null: return {};
        default: return x.text;
        }
    }

private:
    bool describeColumns(Error& err);
    bool readRow(Error& err);
    bool readChunks(SQLUSMALLINT col, SQLSMALLINT ctype, Cell& cell, Error& err);

    OdbcConnection& conn_;
    SQLHSTMT h_;
    std::string sql_;
    bool executed_ = false;
    bool described_ = false;
    std::vector<Param> params_;
    std::vector<std::u16string> wide_;  // the text parameters as bound, alive until the execute ends
    std::vector<SQLLEN> lengths_;
    std::vector<SQL_DATE_STRUCT> dates_;  // likewise the dates, times and date-times
    std::vector<SQL_TIME_STRUCT> times_;
    std::vector<SQL_TIMESTAMP_STRUCT> stamps_;
    std::vector<Fetch> fetch_;
    std::vector<Cell> row_;
};

class OdbcConnection final : public Connection {
public:
    OdbcConnection(SQLHDBC dbc, SqlDialect dialect) : dbc_(dbc), dialect_(dialect) {}
    ~OdbcConnection() override {
        cache_.clear();
        if (inTransaction_) SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    }

    Statement* prepare(std::string_view sql, Error& err) override {
        err = Error::ok();
        if (Statement* kept = cache_.find(sql)) return kept;
        SQLHSTMT h = SQL_NULL_HSTMT;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &h))) {
            err = failure(SQL_HANDLE_DBC, dbc_);
            return nullptr;
        }
        std::u16string text = utf16(sql);
        SQLRETURN rc = SQLPrepareW(h, reinterpret_cast<SQLWCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size()));
        if (!SQL_SUCCEEDED(rc)) {
            err = failure(SQL_HANDLE_STMT, h);
            SQLFreeHandle(SQL_HANDLE_STMT, h);
            return nullptr;
        }
        err = Error::ok();
        auto owned = std::make_unique<OdbcStatement>(*this, h, std::string(sql));
        return cache_.keep(sql, std::move(owned));
    }

    Error exec(std::string_view sql) override {
        if (Error e = settle(sql)) return e;
        return direct(sql);
    }

    Error begin(int timeoutSeconds) override {
        // The lock wait of the transaction: a statement that waits longer for a row another
        // station holds fails with 32.
        if (Error e = applyLockTimeout(timeoutSeconds * 1000)) return e;
        if (!SQL_SUCCEEDED(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)))
            return failure(SQL_HANDLE_DBC, dbc_);
        inTransaction_ = true;
        trace("BEGIN");  // the driver sends it with the transaction's first statement
        if (StatementRecorder* r = recorder.load()) r->begin();
        return Error::ok();
    }
    Error beginReadOnly() override {
        const std::string set = dialect().readOnlyTransaction();
        if (set.empty()) return Error::ok();  // every read its own statement
        if (Error e = settle(set)) return e;
        if (!SQL_SUCCEEDED(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)))
            return failure(SQL_HANDLE_DBC, dbc_);
        inTransaction_ = true;
        trace("BEGIN");
        // The driver opens the transaction before this statement, so it is its first.
        if (Error e = direct(set)) {
            rollback();
            return e;
        }
        return Error::ok();
    }
    Error commit() override {
        ++statementsSent;
        trace("COMMIT");
        Error e;
        if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT))) {
            e = failure(SQL_HANDLE_DBC, dbc_);
            SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
        }
        endTransaction(true);
        return e;
    }
    Error rollback() override {
        ++statementsSent;
        trace("ROLLBACK");
        Error e;
        if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK))) e = failure(SQL_HANDLE_DBC, dbc_);
        endTransaction(false);
        return e;
    }
    int64_t lastInsertId() override {
        Error err;
        Statement* st = prepare(dialect_ == SqlDialect::SqlServer ? "SELECT SCOPE_IDENTITY()" : "SELECT lastval()", err);
        if (!st) return 0;
        int64_t id = st->step(err) ? st->integer(0) : 0;
        st->reset();
        return id;
    }
    int64_t changes() override { return changes_; }

    // The server's own application lock, held by this session until it is released or the
    // session ends, so a station that dies lets go of it: pg_try_advisory_lock on PostgreSQL,
    // sp_getapplock with the session as owner on SQL Server. Neither waits.
    Error tryApplicationLock(std::string_view name, bool& granted, LockHolder& holder) override {
        granted = false;
        const bool pg = dialect_ == SqlDialect::PostgreSql;
        const std::string resource = "marrowgate." + std::string(name);
        Error err;
        Statement* st = prepare(pg ? "SELECT CASE WHEN pg_try_advisory_lock(hashtext(?)) THEN 1 ELSE 0 END"
                                   : "SET NOCOUNT ON; DECLARE @r int; EXEC @r = sp_getapplock @Resource = ?, @LockMode = 'Exclusive', "
                                     "@LockOwner = 'Session', @LockTimeout = 0; SELECT CASE WHEN @r >= 0 THEN 1 ELSE 0 END",
                                err);
        if (!st) return err;
        st->bind(1, Param::str(resource));
        const bool row = st->step(err);
        granted = row && st->integer(0) == 1;
        st->reset();
        if (err) return err;
        if (granted) {
            // Where this holder runs, for a station that is refused: PostgreSQL shows it as the
            // session's application name (63 characters at most).
            if (pg) {
                const LockHolder me = thisProcess();
                std::string tag = "marrowgate|" + std::to_string(me.pid) + "|" + me.since + "|" + me.host;
                for (char& ch : tag)
                    if (ch == '\'') ch = ' ';
                tag.resize(std::min<size_t>(tag.size(), 63));
                direct("SET application_name = '" + tag + "'");
            }
            return Error::ok();
        }
        // Who holds it.
        st = prepare(pg ? "SELECT a.application_name, COALESCE(a.client_hostname, host(a.client_addr), ''), "
                          "to_char(a.backend_start, 'YYYY-MM-DD HH24:MI:SS') FROM pg_locks l JOIN pg_stat_activity a ON a.pid = l.pid "
                          "WHERE l.locktype = 'advisory' AND l.granted AND l.pid <> pg_backend_pid()"
                        : "SELECT s.program_name, s.host_name, CONVERT(varchar(19), s.login_time, 120) FROM sys.dm_tran_locks l "
                          "JOIN sys.dm_exec_sessions s ON s.session_id = l.request_session_id WHERE l.resource_type = 'APPLICATION' "
                          "AND l.request_status = 'GRANT' AND l.request_session_id <> @@SPID",
                     err);
        if (!st) return Error::ok();  // refused all the same; who holds it stays unnamed
        if (st->step(err)) {
            const std::string app = st->text(0);
            holder.host = st->text(1);
            holder.since = st->text(2);
            if (app.rfind("marrowgate|", 0) == 0) {
                // marrowgate|pid|since|host
                const size_t a = app.find('|', 11), b = a == std::string::npos ? a : app.find('|', a + 1);
                if (a != std::string::npos) holder.pid = std::atoll(app.substr(11, a - 11).c_str());
                if (b != std::string::npos) {
                    holder.since = app.substr(a + 1, b - a - 1);
                    if (b + 1 < app.size()) holder.host = app.substr(b + 1);
                }
            }
        }
        st->reset();
        return Error::ok();
    }
    void releaseApplicationLock(std::string_view name) override {
        const bool pg = dialect_ == SqlDialect::PostgreSql;
        Error err;
        Statement* st = prepare(pg ? "SELECT pg_advisory_unlock(hashtext(?))"
                                   : "EXEC sp_releaseapplock @Resource = ?, @LockOwner = 'Session'",
                                err);
        if (!st) return;
        st->bind(1, Param::str("marrowgate." + std::string(name)));
        while (st->step(err)) {
        }
        st->reset();
    }

    void setBusyTimeout(int milliseconds) override { wantedLockMs_ = milliseconds; }

    const Dialect& dialect() const override { return dialectOf(dialect_); }
    SqlDialect kind() const { return dialect_; }

    // Before a statement outside a transaction: the lock wait asked for is put in force, once
    // per connection and then only when it changes for a statement that may wait for a row.
    // The wait of the last transaction stays in force after it (a transaction that begins
    // with the same wait sends nothing), and on PostgreSQL a plain read, which takes no row
    // lock and reads the last committed rows, runs under whatever wait is in force: an
    // attachment then costs no lock-wait statement at all.
    Error settle(std::string_view sql) {
        if (inTransaction_ || wantedLockMs_ == appliedLockMs_) return Error::ok();
        if (appliedLockMs_ >= 0 && !mayWaitForRows(sql)) return Error::ok();
        return applyLockTimeout(wantedLockMs_);
    }
    Error failure(SQLSMALLINT type, SQLHANDLE h) const { return odbcError(dialect_, type, h); }
    void setChanges(int64_t n) { changes_ = n; }

private:
    // Whether a statement may wait for a row another connection holds: on SQL Server every
    // statement may (its reads take shared locks); on PostgreSQL all but a SELECT without a
    // locking clause.
    bool mayWaitForRows(std::string_view sql) const {
        if (dialect_ != SqlDialect::PostgreSql) return true;
        std::string s;
        s.reserve(sql.size());
        for (char c : sql) s += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const size_t start = s.find_first_not_of(" \t\r\n(");
        if (start == std::string::npos || s.compare(start, 6, "select") != 0) return true;
        for (const char* locking : {" for update", " for no key update", " for share", " for key share"})
            if (s.find(locking) != std::string::npos) return true;
        return false;
    }
    Error applyLockTimeout(int ms) {
        if (ms == appliedLockMs_) return Error::ok();
        Error e = direct(dialect().lockTimeout(ms));
        if (!e) appliedLockMs_ = ms;
        return e;
    }
    Error direct(std::string_view sql) {
        ++statementsSent;
        trace(sql);
        if (StatementRecorder* r = recorder.load()) r->direct(sql);
        SQLHSTMT h = SQL_NULL_HSTMT;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &h))) return failure(SQL_HANDLE_DBC, dbc_);
        std::u16string text = utf16(sql);
        SQLRETURN rc = SQLExecDirectW(h, reinterpret_cast<SQLWCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size()));
        Error e;
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            e = failure(SQL_HANDLE_STMT, h);
        } else {
            SQLLEN n = 0;
            if (SQL_SUCCEEDED(SQLRowCount(h, &n))) changes_ = n;
        }
        SQLFreeHandle(SQL_HANDLE_STMT, h);
        return e;
    }
    void endTransaction(bool commit) {
        if (StatementRecorder* r = recorder.load()) r->end(commit);
        SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
        inTransaction_ = false;
    }

    SQLHDBC dbc_;
    SqlDialect dialect_;
    StatementCache<OdbcStatement> cache_{500};
    int64_t changes_ = 0;
    bool inTransaction_ = false;
    int wantedLockMs_ = kDefaultLockMs;
    int appliedLockMs_ = -1;
};

bool OdbcStatement::describeColumns(Error& err) {
    SQLSMALLINT n = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(h_, &n))) {
        err = conn_.failure(SQL_HANDLE_STMT, h_);
        return false;
    }
    fetch_.clear();
    for (SQLUSMALLINT c = 1; c <= n; ++c) {
        SQLSMALLINT type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        // Only the column's type is needed: no name buffer, so that the call is the same with
        // and without UNICODE.
        SQLDescribeCol(h_, c, nullptr, 0, nullptr, &type, &size, &digits, &nullable);
        Fetch f = Fetch::Text;
        switch (type) {
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT:
        case SQL_BIT: f = Fetch::Integer; break;
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE: f = Fetch::Real; break;
        case SQL_NUMERIC:
        case SQL_DECIMAL: f = Fetch::Narrow; break;  // exact, as text
        case SQL_TYPE_DATE:
        case SQL_DATE: f = Fetch::Date; break;
        case SQL_TYPE_TIME:
        case SQL_TIME: f = Fetch::Time; break;
        case SQL_TYPE_TIMESTAMP:
        case SQL_TIMESTAMP: f = Fetch::Timestamp; break;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY: f = Fetch::Binary; break;
        default: f = Fetch::Text;
        }
        fetch_.push_back(f);
    }
    row_.assign(fetch_.size(), Cell{});
    described_ = true;
    return true;
}

bool OdbcStatement::readChunks(SQLUSMALLINT col, SQLSMALLINT ctype, Cell& cell, Error& err) {
    std::string bytes;
    char buf[4096];
    while (true) {
        SQLLEN ind = 0;
        SQLRETURN rc = SQLGetData(h_, col, ctype, buf, sizeof buf, &ind);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) {
            err = conn_.failure(SQL_HANDLE_STMT, h_);
            return false;
        }
        if (ind == SQL_NULL_DATA) {
            cell.kind = ValueKind::Null;
            return true;
        }
        size_t terminator = ctype == SQL_C_WCHAR ? sizeof(SQLWCHAR) : ctype == SQL_C_CHAR ? 1 : 0;
        size_t got = (ind == SQL_NO_TOTAL || static_cast<size_t>(ind) > sizeof buf - terminator) ? sizeof buf - terminator
                                                                                               : static_cast<size_t>(ind);
        bytes.append(buf, got);
        if (rc == SQL_SUCCESS) break;
    }
    if (ctype == SQL_C_WCHAR) {
        cell.text = utf8(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
        cell.kind = ValueKind::Text;
    } else {
        cell.text = std::move(bytes);
        cell.kind = ctype == SQL_C_BINARY ? ValueKind::Blob : ValueKind::Text;
    }
    return true;
}

bool OdbcStatement::readRow(Error& err) {
    for (size_t i = 0; i < fetch_.size(); ++i) {
        const auto col = static_cast<SQLUSMALLINT>(i + 1);
        Cell& cell = row_[i];
        cell = Cell{};
        SQLLEN ind = 0;
        SQLRETURN rc = SQL_SUCCESS;
        char buf[40];
        switch (fetch_[i]) {
        case Fetch::Integer: {
            SQLBIGINT v = 0;
            rc = SQLGetData(h_, col, SQL_C_SBIGINT, &v, sizeof v, &ind);
            cell.kind = ValueKind::Integer;
            cell.i = v;
            break;
        }
        case Fetch::Real: {
            double v = 0;
            rc = SQLGetData(h_, col, SQL_C_DOUBLE, &v, sizeof v, &ind);
            cell.kind = ValueKind::Real;
            cell.f = v;
            break;
        }
        case Fetch::Date: {
            SQL_DATE_STRUCT d{};
            rc = SQLGetData(h_, col, SQL_C_TYPE_DATE, &d, sizeof d, &ind);
            std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", d.year, d.month, d.day);
            cell.kind = ValueKind::Text;
            cell.text = buf;
            break;
        }
        case Fetch::Time: {
            SQL_TIME_STRUCT t{};
            rc = SQLGetData(h_, col, SQL_C_TYPE_TIME, &t, sizeof t, &ind);
            std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", t.hour, t.minute, t.second);
            cell.kind = ValueKind::Text;
            cell.text = buf;
            break;
        }
        case Fetch::Timestamp: {
            SQL_TIMESTAMP_STRUCT t{};
            rc = SQLGetData(h_, col, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &ind);
            std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u", t.year, t.month, t.day, t.hour, t.minute, t.second);
            cell.kind = ValueKind::Text;
            cell.text = buf;
            break;
        }
        case Fetch::Narrow:
            if (!readChunks(col, SQL_C_CHAR, cell, err)) return false;
            continue;
        case Fetch::Text:
            if (!readChunks(col, SQL_C_WCHAR, cell, err)) return false;
            continue;
        case Fetch::Binary:
            if (!readChunks(col, SQL_C_BINARY, cell, err)) return false;
            continue;
        }
        if (!SQL_SUCCEEDED(rc)) {
            err = conn_.failure(SQL_HANDLE_STMT, h_);
            return false;
        }
        if (ind == SQL_NULL_DATA) cell = Cell{};
    }
    return true;
}

bool OdbcStatement::moveToRows(Error& err) {
    SQLSMALLINT n = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(h_, &n))) {
        err = conn_.failure(SQL_HANDLE_STMT, h_);
        return false;
    }
    while (n == 0) {
        SQLRETURN rc = SQLMoreResults(h_);
        if (rc == SQL_NO_DATA) return true;
        if (!SQL_SUCCEEDED(rc)) {
            err = conn_.failure(SQL_HANDLE_STMT, h_);
            SQLFreeStmt(h_, SQL_CLOSE);
            executed_ = false;
            return false;
        }
        if (!SQL_SUCCEEDED(SQLNumResultCols(h_, &n))) {
            err = conn_.failure(SQL_HANDLE_STMT, h_);
            return false;
        }
        described_ = false;  // the columns are those of this result
    }
    return true;
}

bool OdbcStatement::step(Error& err) {
    err = Error::ok();
    if (!executed_) {
        if ((err = conn_.settle(sql_))) return false;
        wide_.assign(params_.size(), {});
        lengths_.assign(params_.size(), 0);
        dates_.assign(params_.size(), {});
        times_.assign(params_.size(), {});
        stamps_.assign(params_.size(), {});
        const bool sqlServer = conn_.kind() == SqlDialect::SqlServer;
        for (size_t i = 0; i < params_.size(); ++i) {
            const Param& p = params_[i];
            const auto n = static_cast<SQLUSMALLINT>(i + 1);
            SQLRETURN rc = SQL_SUCCESS;
            switch (p.kind) {
            case ValueKind::Null:
                lengths_[i] = SQL_NULL_DATA;
                rc = SQLBindParameter(h_, n, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 1, 0, nullptr, 0, &lengths_[i]);
                break;
            case ValueKind::Integer:
                rc = SQLBindParameter(h_, n, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                                      const_cast<int64_t*>(&p.i), 0, nullptr);
                break;
            case ValueKind::Real:
                rc = SQLBindParameter(h_, n, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, const_cast<double*>(&p.f), 0,
                                      nullptr);
                break;
            case ValueKind::Blob:
                lengths_[i] = static_cast<SQLLEN>(p.text.size());
                rc = SQLBindParameter(h_, n, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_VARBINARY, std::max<SQLULEN>(p.text.size(), 1), 0,
                                      const_cast<char*>(p.text.data()), lengths_[i], &lengths_[i]);
                break;
            case ValueKind::Date:
            case ValueKind::Time:
            case ValueKind::DateTime: {
                // By type, never as text: how a server reads a text as a date depends on the
                // login's language (SET DATEFORMAT). SQL Server's columns are all datetime,
                // and a timestamp is what every driver of it binds as datetime; a time alone
                // is the time of its first day, as a datetime column holds it.
                const IsoParts v = isoParts(p.text);
                if (p.kind == ValueKind::Date && !sqlServer) {
                    dates_[i] = SQL_DATE_STRUCT{static_cast<SQLSMALLINT>(v.year), static_cast<SQLUSMALLINT>(v.month),
                                                static_cast<SQLUSMALLINT>(v.day)};
                    rc = SQLBindParameter(h_, n, SQL_PARAM_INPUT, SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10, 0, &dates_[i], 0, nullptr);
                } else if (p.kind == ValueKind::Time && !sqlServer) {
                    times_[i] = SQL_TIME_STRUCT{static_cast<SQLUSMALLINT>(v.hour), static_cast<SQLUSMALLINT>(v.minute),
                                                static_cast<SQLUSMALLINT>(v.second)};
                    rc = SQLBindParameter(h_, n, SQL_PARAM_INPUT, SQL_C_TYPE_TIME, SQL_TYPE_TIME, 8, 0, &times_[i], 0, nullptr);
                } else {
                    stamps_[i] = SQL_TIMESTAMP_STRUCT{static_cast<SQLSMALLINT>(v.year), static_cast<SQLUSMALLINT>(v.month),
                                                      static_cast<SQLUSMALLINT>(v.day), static_cast<SQLUSMALLINT>(v.hour),
                                                      static_cast<SQLUSMALLINT>(v.minute), static_cast<SQLUSMALLINT>(v.second), 0};
                    // 23 and 3: the size and digits of SQL Server's datetime, so that the value
                    // compares with its columns as one of their own type.
                    rc = SQLBindParameter(h_, n, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, sqlServer ? 23 : 19,
                                          sqlServer ? 3 : 0, &stamps_[i], 0, nullptr);
                }
                break;
            }
            case ValueKind::Text: {
                // The server's character type; one declared size for every value, so that the
                // server keeps one plan for the statement.
                wide_[i] = utf16(p.text);
                lengths_[i] = static_cast<SQLLEN>(wide_[i].size() * sizeof(char16_t));
                SQLULEN size = std::max<SQLULEN>(wide_[i].size(), 1);
                if (size <= 4000) size = 4000;
                rc = SQLBindParameter(h_, n, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_VARCHAR, size, 0, wide_[i].data(), lengths_[i],
                                      &lengths_[i]);
                break;
            }
            }
            if (!SQL_SUCCEEDED(rc)) {
                err = conn_.failure(SQL_HANDLE_STMT, h_);
                SQLFreeStmt(h_, SQL_RESET_PARAMS);
                return false;
            }
        }
        ++conn_.statementsSent;
        trace(sql_, params_);
        if (StatementRecorder* r = recorder.load()) r->prepared(sql_, params_);
        SQLRETURN rc = SQLExecute(h_);
        executed_ = true;
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            err = conn_.failure(SQL_HANDLE_STMT, h_);
            SQLFreeStmt(h_, SQL_CLOSE);
            SQLFreeStmt(h_, SQL_RESET_PARAMS);
            executed_ = false;
            return false;
        }
        SQLLEN count = 0;
        if (SQL_SUCCEEDED(SQLRowCount(h_, &count))) conn_.setChanges(count);
        if (sqlServer && !moveToRows(err)) return false;
        if (!described_ && !describeColumns(err)) return false;
        if (fetch_.empty()) {
            SQLFreeStmt(h_, SQL_CLOSE);
            return false;
        }
    }
    if (fetch_.empty()) return false;
    SQLRETURN rc = SQLFetch(h_);
    if (rc == SQL_NO_DATA) {
        // The cursor is closed at once: the connection serves the next statement.
        SQLFreeStmt(h_, SQL_CLOSE);
        return false;
    }
    if (!SQL_SUCCEEDED(rc)) {
        err = conn_.failure(SQL_HANDLE_STMT, h_);
        SQLFreeStmt(h_, SQL_CLOSE);
        return false;
    }
    if (!readRow(err)) {
        SQLFreeStmt(h_, SQL_CLOSE);
        return false;
    }
    return true;
}

bool microsoftDriver(std::string_view driver) {
    return driver.find("SQL Server") != std::string_view::npos;  // "SQL Server", "ODBC Driver 18 for SQL Server"
}

std::string defaultDriver() {
#ifdef _WIN32
    return "SQL Server";
#else
    return "FreeTDS";
#endif
}

// A value of a connection string in braces when it holds a character that would end it.
std::string attribute(std::string_view v) {
    if (v.find_first_of(";{}=") == std::string_view::npos && (v.empty() || (v.front() != ' ' && v.back() != ' ')))
        return std::string(v);
    std::string s = "{";
    for (char c : v) {
        if (c == '}') s += '}';
        s += c;
    }
    return s + "}";
}

}  // namespace

void setStatementRecorder(StatementRecorder* r) { recorder = r; }

std::string odbcConnectionString(const Settings& s) {
    std::string cs;
    const std::string driver = s.odbcDriver.empty() ? defaultDriver() : s.odbcDriver;
    const bool sqlServer = !dialectNamed(s.dialect) || *dialectNamed(s.dialect) == SqlDialect::SqlServer;
    if (!s.dsn.empty()) {
        cs = "DSN=" + attribute(s.dsn) + ";";
    } else {
        cs = "DRIVER={" + driver + "};";
        std::string server = s.server;
        if (s.port > 0 && microsoftDriver(driver)) server += "," + std::to_string(s.port);
        cs += "SERVER=" + attribute(server) + ";";
        if (!microsoftDriver(driver)) {
            int port = s.port > 0 ? s.port : sqlServer ? 1433 : 0;
            if (port > 0) cs += "PORT=" + std::to_string(port) + ";";
        }
    }
    cs += "DATABASE=" + attribute(s.database) + ";";
    if (!s.user.empty()) cs += "UID=" + attribute(s.user) + ";PWD=" + attribute(s.password) + ";";
    else if (s.builtInLogin) cs += "UID=tallowby;PWD=7kub3;";
    else if (sqlServer) cs += "Trusted_Connection=Yes;";
    if (sqlServer && !microsoftDriver(driver) && s.dsn.empty()) cs += "TDS_Version=7.4;";
    if (sqlServer) cs += "APP=Marrowgate;";
    // psqlODBC: no savepoint of the driver's own around every statement of a transaction
    // (two statements more each); a failed statement then fails the transaction, which the
    // program rolls back (an insert of a key that exists fails without an error: see
    // Dialect::insert). Statements stay prepared on the server: with UseServerSidePrepare=0
    // the driver's BEGIN would travel with a transaction's first statement (one round trip
    // less), but the server then parses and plans every statement, which costs more than
    // the round trip saves up to a few milliseconds of network delay.
    else cs += "Protocol=7.4-0;";
    return cs;
}

std::string maskedConnectionString(const std::string& cs) {
    std::string out;
    size_t i = 0;
    while (i < cs.size()) {
        // A value between braces may hold semicolons ("}}" is a brace within it).
        size_t end = i;
        while (end < cs.size() && cs[end] != ';') {
            if (cs[end] == '{') {
                for (++end; end < cs.size(); ++end) {
                    if (cs[end] != '}') continue;
                    if (end + 1 < cs.size() && cs[end + 1] == '}') {
                        ++end;
                        continue;
                    }
                    break;
                }
            }
            if (end < cs.size()) ++end;
        }
        std::string part = cs.substr(i, end - i);
        size_t eq = part.find('=');
        std::string key = part.substr(0, eq);
        for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        while (!key.empty() && key.front() == ' ') key.erase(0, 1);
        if (eq != std::string::npos && (key == "pwd" || key == "password")) part = part.substr(0, eq + 1) + "********";
        out += part;
        if (end < cs.size()) out += ';';
        i = end + 1;
    }
    return out;
}

std::unique_ptr<Connection> connectOdbc(const Settings& settings, Error& err) {
    std::optional<SqlDialect> dialect = settings.dialect.empty() ? SqlDialect::SqlServer : dialectNamed(settings.dialect);
    if (!dialect || *dialect == SqlDialect::Sqlite) {
        err = Error::driver("dialect", "No SQL dialect \"" + settings.dialect + "\" for an ODBC server: the dialect is mssql or postgresql");
        return nullptr;
    }
    SQLHENV env = environment();
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (env == SQL_NULL_HENV || !SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
        err = Error::driver("HY000", "The ODBC driver manager cannot be used");
        return nullptr;
    }
    SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(15), 0);
    const std::string cs = odbcConnectionString(settings);
    std::u16string wide = utf16(cs);
    SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(wide.data()), static_cast<SQLSMALLINT>(wide.size()),
                                     nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        Diagnostic d = diagnose(SQL_HANDLE_DBC, dbc);
        err = Error::driver(d.state + "/" + std::to_string(d.native), d.text + " [" + maskedConnectionString(cs) + "]");
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        return nullptr;
    }
    err = Error::ok();
    return std::make_unique<OdbcConnection>(dbc, *dialect);
}

}  // namespace mg::db
