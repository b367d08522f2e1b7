#include "data/dialect.h"

#include "data/passthrough.h"

#include <cctype>

namespace mg::db {
namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool wholeNumber(const ColumnDecl& c) {
    switch (c.type) {
    case ColType::Int32:
    case ColType::Int16:
    case ColType::UInt16:
    case ColType::UInt8: return true;
    case ColType::Decimal: return c.scale == 0 && c.size <= 18;
    default: return false;
    }
}

// On a server the row identity is a column: the database-numbered one, or else the one
// column of a unique key that holds whole numbers (the primary key first).
std::string serverRowIdentity(const Dialect& d, const TableDecl& t) {
    if (t.isView() || t.isResultTable()) return {};
    int numbered = t.numberedColumn();
    if (numbered >= 0) return d.quoteName(t.columns[numbered].name);
    for (int pass = 0; pass < 2; ++pass) {
        for (const KeyDecl& k : t.keys) {
            if (!k.unique || k.components.size() != 1 || (pass == 0 && !k.primary)) continue;
            const ColumnDecl& c = t.columns[k.components[0].column];
            if (wholeNumber(c)) return d.quoteName(c.name);
        }
    }
    return {};
}

struct SqliteDialect final : Dialect {
    SqlDialect kind() const override { return SqlDialect::Sqlite; }
    std::string_view name() const override { return "sqlite"; }
    std::string quoteName(std::string_view name) const override {
        std::string s = "\"";
        for (char ch : name) {
            if (ch == '"') s += '"';
            s += ch;
        }
        return s + "\"";
    }
    std::string tableName(const TableDecl& t) const override { return quoteName(t.storageName()); }
    std::string rowIdentity(const TableDecl& t) const override { return t.isView() || t.isResultTable() ? "" : "rowid"; }
    std::string limited(std::string_view what, std::string_view from, std::string_view rest, int n, bool) const override {
        // The write lock of the embedded database is the whole file's, taken at begin.
        std::string s = "SELECT ";
        s.append(what).append(" FROM ").append(from);
        if (!rest.empty()) s.append(" ").append(rest);
        s.append(" LIMIT ").append(std::to_string(n));
        return s;
    }
    bool rowValues() const override { return true; }
    // Decimals with places are stored as text: they compare as numbers. Texts compare
    // without their trailing blanks, as keys do.
    std::string filterOperand(const ColumnDecl& c) const override {
        if (c.type == ColType::Decimal && c.scale > 0) return "CAST(" + quoteName(c.name) + " AS REAL)";
        return keyTerm(c);
    }
    std::string keyTerm(const ColumnDecl& c) const override {
        if (c.type == ColType::Text || c.type == ColType::ZText) return "rtrim(" + quoteName(c.name) + ") COLLATE NOCASE";
        return quoteName(c.name);
    }
    std::string columnType(const ColumnDecl& c) const override {
        switch (c.type) {
        case ColType::Text:
        case ColType::ZText: return "TEXT COLLATE NOCASE";
        case ColType::Int32:
        case ColType::Int16:
        case ColType::UInt16:
        case ColType::UInt8: return "INTEGER";
        case ColType::Float64: return "REAL";
        case ColType::Decimal: return c.scale == 0 ? "INTEGER" : "TEXT";
        case ColType::Date:
        case ColType::Time:
        case ColType::DateTime: return "TEXT";
        }
        return "TEXT";
    }
    // Numbers are never handed out twice, as with an identity column: AUTOINCREMENT keeps
    // the number of a deleted last row from being used again.
    std::string numberedType(const ColumnDecl&) const override { return "INTEGER PRIMARY KEY AUTOINCREMENT"; }
    std::string blobType() const override { return "BLOB"; }
    std::string waitingFeesView() const override {
        return "SELECT a.CASECODE AS CASECODE, a.DIARYID AS DIARYID, a.NAME AS NAME, d.FNCODE AS FNCODE"
               " FROM DiaryAttachments a LEFT JOIN diary d ON d.ACTIONID = a.DIARYID"
               " WHERE IFNULL(a.FEES, 0) = 0";
    }
    std::string tableKindQuery() const override {
        return "SELECT upper(type) FROM sqlite_master WHERE name = ?1 COLLATE NOCASE AND type IN ('table','view')";
    }
    std::string columnsQuery() const override { return "SELECT name FROM pragma_table_info(?1)"; }
    // An index name is unique in the whole embedded database: the name alone finds it (also
    // when another program has put a view in the table's place over the renamed table).
    std::string indexQuery() const override { return "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?2 COLLATE NOCASE"; }
    std::string lockTimeout(int) const override { return {}; }
    std::string savepoint(int depth) const override { return "SAVEPOINT mg" + std::to_string(depth); }
    std::string release(int depth) const override { return "RELEASE mg" + std::to_string(depth); }
    std::string rollbackTo(int depth) const override { return "ROLLBACK TO mg" + std::to_string(depth); }
};

// PostgreSQL folds the names of statements written without quotes to lower case, so every
// name is made in lower case: the system's own pass-through texts then find them as they
// are written. Text compares and sorts without regard to case, as on the practice's server,
// through a collation of its own.
struct PostgresDialect final : Dialect {
    SqlDialect kind() const override { return SqlDialect::PostgreSql; }
    std::string_view name() const override { return "postgresql"; }
    std::string quoteName(std::string_view name) const override {
        std::string s = "\"";
        for (char ch : lower(name)) {
            if (ch == '"') s += '"';
            s += ch;
        }
        return s + "\"";
    }
    std::string tableName(const TableDecl& t) const override { return quoteName(t.storageName()); }
    std::string rowIdentity(const TableDecl& t) const override { return serverRowIdentity(*this, t); }
    std::string limited(std::string_view what, std::string_view from, std::string_view rest, int n, bool lockRows) const override {
        std::string s = "SELECT ";
        s.append(what).append(" FROM ").append(from);
        if (!rest.empty()) s.append(" ").append(rest);
        s.append(" LIMIT ").append(std::to_string(n));
        if (lockRows) s.append(" FOR UPDATE");
        return s;
    }
    bool rowValues() const override { return true; }
    // Text compares without its trailing blanks, as on the practice's server and in the
    // embedded database: a text key component is rtrim("code") in its index and in every
    // statement, and keeps the column's case-blind collation.
    std::string filterOperand(const ColumnDecl& c) const override { return keyTerm(c); }
    std::string keyTerm(const ColumnDecl& c) const override {
        if (c.type == ColType::Text || c.type == ColType::ZText) return "rtrim(" + quoteName(c.name) + ")";
        return quoteName(c.name);
    }
    bool canSet(const ColumnDecl& c) const override { return !c.numbered; }
    // An identity column's sequence does not move past a value given on insert, as SQL
    // Server's and the embedded database's numbering do.
    std::string numberingAbove(const TableDecl& t, int numbered) const override {
        const std::string table = tableName(t), column = quoteName(t.columns[numbered].name);
        return "SELECT setval(pg_get_serial_sequence('" + table + "', '" + lower(t.columns[numbered].name) + "'), (SELECT max(" +
               column + ") FROM " + table + "))";
    }
    std::vector<std::string> prelude() const override {
        return {"CREATE COLLATION IF NOT EXISTS mg_nocase (provider = icu, locale = 'und-u-ks-level2', deterministic = false)"};
    }
    std::string columnType(const ColumnDecl& c) const override {
        switch (c.type) {
        case ColType::Text: return "varchar(" + std::to_string(c.size) + ") COLLATE mg_nocase";
        case ColType::ZText: return "varchar(" + std::to_string(c.size > 1 ? c.size - 1 : 1) + ") COLLATE mg_nocase";
        case ColType::Int32: return "integer";
        case ColType::Int16:
        case ColType::UInt8: return "smallint";
        case ColType::UInt16: return "integer";
        case ColType::Float64: return "double precision";
        case ColType::Decimal: return "numeric(" + std::to_string(c.size) + "," + std::to_string(c.scale) + ")";
        case ColType::Date: return "date";
        case ColType::Time: return "time(0)";
        case ColType::DateTime: return "timestamp(0)";
        }
        return "integer";
    }
    std::string numberedType(const ColumnDecl& c) const override {
        return std::string(c.type == ColType::Int32 ? "integer" : "bigint") + " GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY";
    }
    std::string blobType() const override { return "bytea"; }
    std::string waitingFeesView() const override {
        return "SELECT a.casecode AS casecode, CAST(a.diaryid AS integer) AS diaryid, a.name AS name, d.fncode AS fncode"
               " FROM diaryattachments a LEFT JOIN diary d ON d.actionid = a.diaryid"
               " WHERE COALESCE(a.fees, 0) = 0";
    }
    std::string tableKindQuery() const override {
        return "SELECT table_type FROM information_schema.tables WHERE table_schema = current_schema() AND table_name = lower(?)";
    }
    std::string columnsQuery() const override {
        return "SELECT column_name FROM information_schema.columns WHERE table_schema = current_schema() AND table_name = lower(?)"
               " ORDER BY ordinal_position";
    }
    std::string indexQuery() const override {
        return "SELECT 1 FROM pg_indexes WHERE schemaname = current_schema() AND tablename = lower(?) AND indexname = lower(?)";
    }
    std::string lockTimeout(int ms) const override { return "SET lock_timeout = " + std::to_string(ms); }
    std::string readOnlyTransaction() const override { return "SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"; }
    std::string savepoint(int depth) const override { return "SAVEPOINT mg" + std::to_string(depth); }
    std::string release(int depth) const override { return "RELEASE SAVEPOINT mg" + std::to_string(depth); }
    std::string rollbackTo(int depth) const override { return "ROLLBACK TO SAVEPOINT mg" + std::to_string(depth); }
};

struct SqlServerDialect final : Dialect {
    SqlDialect kind() const override { return SqlDialect::SqlServer; }
    std::string_view name() const override { return "mssql"; }
    std::string quoteName(std::string_view name) const override {
        std::string s = "[";
        for (char ch : name) {
            if (ch == ']') s += ']';
            s += ch;
        }
        return s + "]";
    }
    std::string tableName(const TableDecl& t) const override { return "[dbo]." + quoteName(t.storageName()); }
    std::string rowIdentity(const TableDecl& t) const override { return serverRowIdentity(*this, t); }
    std::string limited(std::string_view what, std::string_view from, std::string_view rest, int n, bool lockRows) const override {
        std::string s = "SELECT TOP " + std::to_string(n) + " ";
        s.append(what).append(" FROM ").append(from);
        if (lockRows) s.append(" WITH (UPDLOCK, ROWLOCK)");
        if (!rest.empty()) s.append(" ").append(rest);
        return s;
    }
    bool rowValues() const override { return false; }
    bool canSet(const ColumnDecl& c) const override { return !c.numbered; }
    bool checksIndex(const TableDecl& t, int key) const override {
        return !t.keys[key].sqlIndex.empty() && !statisticsName(t.keys[key].sqlIndex);
    }
    // A declared name that SQL Server gives its automatic statistics (_WA_Sys_...) names no
    // index: sys.indexes never shows it, so the key's index is made under a name of ours and
    // not looked for on a practice's database, which names it its own way.
    static bool statisticsName(std::string_view name) { return name.substr(0, 8) == "_WA_Sys_"; }
    std::string indexName(const TableDecl& t, int key) const override {
        if (statisticsName(t.keys[key].sqlIndex)) return std::string(t.storageName()) + "_" + std::string(t.keys[key].name);
        return t.indexName(key);
    }
    std::string columnType(const ColumnDecl& c) const override {
        switch (c.type) {
        case ColType::Text: return "char(" + std::to_string(c.size) + ") NULL";
        case ColType::ZText: return "varchar(" + std::to_string(c.size > 1 ? c.size - 1 : 1) + ") NULL";
        case ColType::Int32: return "int NULL";
        case ColType::Int16: return "smallint NULL";
        case ColType::UInt16: return "int NULL";
        case ColType::UInt8: return "tinyint NULL";
        case ColType::Float64: return "float NULL";
        case ColType::Decimal: return "decimal(" + std::to_string(c.size) + "," + std::to_string(c.scale) + ") NULL";
        case ColType::Date:
        case ColType::Time:
        case ColType::DateTime: return "datetime NULL";
        }
        return "int NULL";
    }
    std::string numberedType(const ColumnDecl& c) const override {
        std::string type = c.type == ColType::Decimal ? "decimal(" + std::to_string(c.size) + ",0)" : "int";
        // The row identity is the primary key, so that a row is found by it with one seek.
        return type + " IDENTITY(1,1) NOT NULL PRIMARY KEY";
    }
    std::string blobType() const override { return "varbinary(max) NULL"; }
    std::string waitingFeesView() const override {
        return "SELECT a.CaseCode AS CASECODE, CAST(a.DiaryID AS int) AS DIARYID, a.Name AS NAME, d.FnCode AS FNCODE"
               " FROM dbo.DiaryAttachments a LEFT JOIN dbo.diary d ON d.ActionID = a.DiaryID"
               " WHERE ISNULL(a.Fees, 0) = 0";
    }
    std::string tableKindQuery() const override {
        return "SELECT TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = 'dbo' AND TABLE_NAME = ?";
    }
    std::string columnsQuery() const override {
        return "SELECT COLUMN_NAME FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_SCHEMA = 'dbo' AND TABLE_NAME = ?"
               " ORDER BY ORDINAL_POSITION";
    }
    std::string indexQuery() const override {
        return "SELECT 1 FROM sys.indexes WHERE object_id = OBJECT_ID('dbo.' + QUOTENAME(?)) AND name = ?";
    }
    std::string lockTimeout(int ms) const override { return "SET LOCK_TIMEOUT " + std::to_string(ms); }
    std::string savepoint(int depth) const override { return "SAVE TRANSACTION mg" + std::to_string(depth); }
    std::string release(int) const override { return {}; }
    std::string rollbackTo(int depth) const override { return "ROLLBACK TRANSACTION mg" + std::to_string(depth); }
};

bool keyIsRowKey(const TableDecl& t, int key) {
    const KeyDecl& k = t.keys[key];
    return k.components.size() == 1 && t.columns[k.components[0].column].numbered;
}

}  // namespace

std::string Dialect::filterOperand(const ColumnDecl& c) const { return quoteName(c.name); }
bool Dialect::canSet(const ColumnDecl&) const { return true; }
bool Dialect::checksIndex(const TableDecl& t, int key) const { return !keyIsRowKey(t, key); }

std::string Dialect::insert(const TableDecl& t, const std::vector<int>& columns, int numbered) const {
    std::string cols, marks;
    for (int c : columns) {
        if (!cols.empty()) {
            cols += ", ";
            marks += ", ";
        }
        cols += quoteName(t.columns[c].name);
        marks += "?";
    }
    std::string s = "INSERT INTO " + tableName(t) + " (" + cols + ") VALUES (" + marks + ")";
    // PostgreSQL ends a transaction at its first failed statement, where SQL Server goes on:
    // a row whose key exists already is left out instead (Table::add reports it as a
    // duplicate), so that the transaction stays usable.
    if (kind() == SqlDialect::PostgreSql) s += " ON CONFLICT DO NOTHING";
    // SQL Server refuses OUTPUT without INTO on a table with an enabled trigger (audit set-ups
    // put them on these tables); SCOPE_IDENTITY() is the number of this insert, not of one a
    // trigger makes. The batch is still one round trip.
    if (numbered >= 0 && kind() == SqlDialect::SqlServer) s += "; SELECT CAST(SCOPE_IDENTITY() AS bigint)";
    if (numbered >= 0 && kind() == SqlDialect::PostgreSql) s += " RETURNING " + quoteName(t.columns[numbered].name);
    return s;
}

std::string Dialect::update(const TableDecl& t, const std::vector<int>& columns) const {
    std::string sets;
    for (int c : columns) {
        if (!sets.empty()) sets += ", ";
        sets += quoteName(t.columns[c].name) + " = ?";
    }
    return "UPDATE " + tableName(t) + " SET " + sets + " WHERE " + rowIdentity(t) + " = ?";
}

std::string Dialect::remove(const TableDecl& t) const { return "DELETE FROM " + tableName(t) + " WHERE " + rowIdentity(t) + " = ?"; }

std::string Dialect::createTable(const TableDecl& t) const {
    // The waiting document fees: diary attachments whose Fees is not set, with the fee
    // earner of their diary entry.
    if (t.isView()) return "CREATE VIEW " + tableName(t) + " AS " + waitingFeesView();
    std::string s = "CREATE TABLE " + tableName(t) + " (";
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const ColumnDecl& c = t.columns[i];
        if (i) s += ", ";
        s += quoteName(c.name) + " " + (c.numbered ? numberedType(c) : columnType(c));
    }
    if (t.flags & TableFlag::HasSignature) s += ", " + quoteName("SIGNATURE") + " " + blobType();
    s += ")";
    return s;
}

std::vector<std::string> Dialect::createIndexes(const TableDecl& t, bool ifMissing) const {
    std::vector<std::string> out;
    if (t.isView()) return out;
    // SQL Server has no CREATE INDEX IF NOT EXISTS: the statement asks sys.indexes first.
    const bool sqlServer = kind() == SqlDialect::SqlServer;
    const std::string create = ifMissing && !sqlServer ? "INDEX IF NOT EXISTS " : "INDEX ";
    auto unlessThere = [&](const std::string& index) {
        if (!ifMissing || !sqlServer) return std::string();
        return "IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE object_id = OBJECT_ID('dbo." + quoteName(t.storageName()) +
               "') AND name = " + quoted(index) + ") ";
    };
    for (size_t k = 0; k < t.keys.size(); ++k) {
        if (keyIsRowKey(t, static_cast<int>(k))) continue;
        const KeyDecl& key = t.keys[k];
        const std::string index = indexName(t, static_cast<int>(k));
        std::string s = unlessThere(index) + "CREATE ";
        if (key.unique) s += "UNIQUE ";
        s += create + quoteName(index) + " ON " + tableName(t) + " (";
        for (size_t i = 0; i < key.components.size(); ++i) {
            if (i) s += ", ";
            s += keyTerm(t.columns[key.components[i].column]);
            if (key.components[i].descending) s += " DESC";
        }
        s += ")";
        out.push_back(std::move(s));
    }
    // Indexes beyond the declared keys that the program's own statements need so that
    // their cost does not grow with the table: the outlay import looks for the day's open
    // automatic batch of a nominal code by code and date.
    if (t.id == TableId::BatchH)
        out.push_back(unlessThere("BatchH_CodeDate") + "CREATE " + create + quoteName("BatchH_CodeDate") + " ON " + tableName(t) + " (" + keyTerm(t.columns[t.columnIndex("CODE")]) + ", " +
                      quoteName("DATE") + ")");
    return out;
}

std::vector<const TableDecl*> creationOrder() {
    std::vector<const TableDecl*> order;
    // Views last: they read the tables.
    for (int pass = 0; pass < 2; ++pass)
        for (const TableDecl& t : allTables())
            if (t.isView() == (pass == 1)) order.push_back(&t);
    return order;
}

std::string Dialect::script() const {
    std::string s;
    for (const std::string& p : prelude()) s += p + ";\n";
    for (const TableDecl* t : creationOrder()) {
        s += "-- " + std::string(t->label) + " (" + std::string(t->prefix) + ")\n";
        s += createTable(*t) + ";\n";
        for (const std::string& i : createIndexes(*t)) s += i + ";\n";
    }
    return s;
}

// ---- the open checks' questions, one implementation for every backend --------------------

Error Connection::savepoint(int depth) { return exec(dialect().savepoint(depth)); }

Error Connection::release(int depth) {
    const std::string s = dialect().release(depth);
    return s.empty() ? Error::ok() : exec(s);
}

Error Connection::rollbackTo(int depth) {
    Error e = exec(dialect().rollbackTo(depth));
    if (!e) e = release(depth);
    return e;
}

Error Connection::describe(std::string_view name, ObjectInfo& out) {
    out = ObjectInfo{};
    Error err;
    Statement* st = prepare(dialect().tableKindQuery(), err);
    if (!st) return err;
    st->bind(1, Param::str(std::string(name)));
    if (st->step(err)) {
        out.exists = true;
        out.isView = st->text(0).find("VIEW") != std::string::npos;
    }
    st->reset();
    if (err || !out.exists) return err;
    st = prepare(dialect().columnsQuery(), err);
    if (!st) return err;
    st->bind(1, Param::str(std::string(name)));
    while (st->step(err)) out.columns.push_back(st->text(0));
    st->reset();
    return err;
}

Error Connection::indexExists(std::string_view table, std::string_view name, bool& exists) {
    Error err;
    exists = false;
    Statement* st = prepare(dialect().indexQuery(), err);
    if (!st) return err;
    st->bind(1, Param::str(std::string(table)));
    st->bind(2, Param::str(std::string(name)));
    exists = st->step(err);
    st->reset();
    return err;
}

const Dialect& dialectOf(SqlDialect kind) {
    static const SqliteDialect sqlite;
    static const PostgresDialect postgres;
    static const SqlServerDialect mssql;
    switch (kind) {
    case SqlDialect::Sqlite: return sqlite;
    case SqlDialect::PostgreSql: return postgres;
    case SqlDialect::SqlServer: break;
    }
    return mssql;
}

std::optional<SqlDialect> dialectNamed(std::string_view name) {
    std::string n = lower(name);
    if (n == "sqlite") return SqlDialect::Sqlite;
    if (n == "postgresql" || n == "pg" || n == "postgres") return SqlDialect::PostgreSql;
    if (n == "mssql" || n == "sqlserver") return SqlDialect::SqlServer;
    return std::nullopt;
}

}  // namespace mg::db
