#pragma once
// SQL pass-through statements: the system's own texts, built by concatenation.
//
// On SQL Server they are sent as they are. For the embedded database and PostgreSQL a
// small dialect layer rewrites the few constructs the texts use ("Select Top 1 ...",
// "CONVERT(DATETIME, 'y-m-d h:m:s', 102)", the "dbo." owner). Either way, the literals
// of a text are turned into parameters of a cached prepared statement, so a statement
// of the same shape is prepared once: what the server's own simple parameterisation does.

#include <string>
#include <string_view>
#include <vector>

#include "data/backend.h"

namespace mg::db {

struct ParameterizedSql {
    std::string sql;             // the statement with each literal replaced by '?'
    std::vector<Param> params;   // the literals, in order
};

// Splits a statement into its shape and its literals, rewriting for the dialect.
ParameterizedSql parameterize(std::string_view statement, SqlDialect dialect);

// A value placed between single quotes, its own quotes doubled: O'Brien -> 'O''Brien'.
std::string quoted(std::string_view value);

}  // namespace mg::db
