#pragma once
// The SQL this program generates, one generator per dialect: names, keyset pages, writes,
// the definitions of init-db and schema, the open checks and the transaction statements.
// The table operations say what they need; the dialect says how it is spelt.
//
//   sqlite      the embedded database (rowid, LIMIT, row values, "quoted" names)
//   postgresql  the test server (lower-case names, LIMIT, RETURNING, a case-blind collation)
//   mssql       SQL Server (T-SQL: TOP, [dbo].[Name], OUTPUT INSERTED, SAVE TRANSACTION,
//               SET LOCK_TIMEOUT, UPDLOCK; comparisons spelt out instead of row values)

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/backend.h"
#include "data/schema.h"

namespace mg::db {

struct Dialect {
    virtual ~Dialect() = default;
    virtual SqlDialect kind() const = 0;
    // Whether a statement that fails inside a transaction leaves the whole transaction unable
    // to go on (PostgreSQL without the driver's statement savepoints), rather than being undone
    // alone.
    bool failureEndsTransaction() const { return kind() == SqlDialect::PostgreSql; }
    // "sqlite", "postgresql" or "mssql".
    virtual std::string_view name() const = 0;

    // ---- names ----
    virtual std::string quoteName(std::string_view name) const = 0;
    // The table as statements name it ("BatchH", "batchh", "[dbo].[BatchH]").
    virtual std::string tableName(const TableDecl& t) const = 0;

    // ---- reads ----
    // The expression that identifies a row of the table and breaks ties in key order, or ""
    // when the table has none (a view, or a server table without a numbered column or a
    // whole-number unique key): such a table is read whole, like a view.
    virtual std::string rowIdentity(const TableDecl& t) const = 0;
    // A SELECT of `what` from `from` with `rest` (WHERE and ORDER BY) limited to n rows;
    // `lockRows` asks for the rows to stay locked until the transaction ends.
    virtual std::string limited(std::string_view what, std::string_view from, std::string_view rest, int n,
                                bool lockRows = false) const = 0;
    // Whether (a, b) > (?, ?) may be written; otherwise the comparison is spelt out.
    virtual bool rowValues() const = 0;
    // A column of the filter of a view, as it compares: decimals with places are text in
    // the embedded database and compare as numbers.
    virtual std::string filterOperand(const ColumnDecl& c) const;
    // A key column as indexes hold it and statements compare and order it. The embedded
    // database compares text without its trailing blanks and without regard to case, as the
    // practice's server does, through the expression rtrim(column) COLLATE NOCASE.
    virtual std::string keyTerm(const ColumnDecl& c) const { return quoteName(c.name); }

    // ---- writes ----
    // INSERT of the given columns; with `numbered` >= 0 the statement gives back the value
    // the database assigned to that column as its one row (the same round trip), except in
    // the embedded database, where it is read from the connection.
    std::string insert(const TableDecl& t, const std::vector<int>& columns, int numbered) const;
    // UPDATE of the given columns of the row whose identity is the last parameter.
    std::string update(const TableDecl& t, const std::vector<int>& columns) const;
    std::string remove(const TableDecl& t) const;
    // After an insert that gave the numbered column a value of its own: the statement that
    // keeps the numbering above it ("" where the database does that itself).
    virtual std::string numberingAbove(const TableDecl&, int /*numbered*/) const { return {}; }
    // Whether an update may set this column (an identity column of a server may not).
    virtual bool canSet(const ColumnDecl& c) const;

    // ---- definitions ----
    // Statements to run before the tables (a collation the text columns use).
    virtual std::vector<std::string> prelude() const { return {}; }
    virtual std::string createTable(const TableDecl& t) const;
    // CREATE INDEX of every key that needs an index of its own, and of the indexes the
    // program's own statements need; with `ifMissing`, only where it is missing (when the
    // dialect can say so).
    std::vector<std::string> createIndexes(const TableDecl& t, bool ifMissing = false) const;
    virtual std::string columnType(const ColumnDecl& c) const = 0;
    virtual std::string numberedType(const ColumnDecl& c) const = 0;
    virtual std::string blobType() const = 0;
    virtual std::string waitingFeesView() const = 0;
    // Every statement for every table, each ending in ";\n".
    std::string script() const;

    // ---- open checks ----
    // A query with one parameter (the table's storage name) whose first row's first column
    // is 'VIEW' for a view and anything else for a table; no row when it does not exist.
    virtual std::string tableKindQuery() const = 0;
    // A query with one parameter (the storage name) giving the column names.
    virtual std::string columnsQuery() const = 0;
    // A query with two parameters (the table's storage name, an index name) that gives a row
    // when the table has that index.
    virtual std::string indexQuery() const = 0;
    // The SQL name of a key's index as this dialect makes it and looks for it.
    virtual std::string indexName(const TableDecl& t, int key) const { return t.indexName(key); }
    // Whether the open check looks for this key's index: on SQL Server only for keys with
    // a declared index name, the practice's database naming the others its own way.
    virtual bool checksIndex(const TableDecl& t, int key) const;

    // ---- transactions ----
    virtual std::string lockTimeout(int milliseconds) const = 0;
    virtual std::string savepoint(int depth) const = 0;
    // "" where savepoints are not released (SQL Server).
    virtual std::string release(int depth) const = 0;
    virtual std::string rollbackTo(int depth) const = 0;
    // The first statement of a transaction that only reads from one snapshot, taking no row
    // locks; "" where reads run each as a statement of its own (see Connection::beginReadOnly).
    virtual std::string readOnlyTransaction() const { return {}; }
};

const Dialect& dialectOf(SqlDialect kind);
// The tables in the order they are made: the tables, then the views that read them.
std::vector<const TableDecl*> creationOrder();
// "sqlite", "postgresql" (or "pg"), "mssql"; nothing for another name.
std::optional<SqlDialect> dialectNamed(std::string_view name);

}  // namespace mg::db
