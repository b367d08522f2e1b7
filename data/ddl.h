#pragma once
// The definition statements of the tables as this program expects them, in each dialect:
// what init-db and a create make, and for SQL Server what a database administrator
// compares with the practice's database. The statements come from the dialect generators.

#include <string>
#include <vector>

#include "data/backend.h"
#include "data/schema.h"

namespace mg::ddl {

// CREATE TABLE (or VIEW) of one table, without its indexes.
std::string createTable(const TableDecl& t, db::SqlDialect dialect);
// CREATE INDEX of every key that needs an index of its own (all keys but the one carried
// by a database-numbered primary column).
std::vector<std::string> createIndexes(const TableDecl& t, db::SqlDialect dialect);
// A key column as the statements compare and order it and as its index holds it. The
// practice's server compares fixed-width text without its trailing blanks and without
// regard to case; on the embedded database a text key component is therefore the column
// without its trailing blanks under NOCASE, rtrim("CODE") COLLATE NOCASE, in the index
// and in every statement, so that 'TB1' and 'TB1        ' are one value while the stored
// texts stay as they were written. Both are SQLite's own, so any other program opening the
// file with plain SQLite reads and writes the tables as before.
std::string keyTerm(const ColumnDecl& column, db::SqlDialect dialect);
// Whether key k is carried by the table's numbered primary column rather than an index.
bool keyIsRowKey(const TableDecl& t, int key);
// Every statement for every table, each ending in ";\n".
std::string script(db::SqlDialect dialect);

}  // namespace mg::ddl
