#pragma once
// A stand-in for SQL Server in the tests: a connection of the mssql dialect that records
// every statement the program sends, refuses what SQL Server refuses and the other engines
// accept, and runs a mechanical translation of the rest on an embedded database, so that
// the program goes its real way (tests named "mssql.<suite>.<test>").

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/backend.h"

namespace mg::test::tsql {

// The driver name of the connection in db::Settings (the database is the embedded file).
inline constexpr const char* kDriver = "tsql-conformance";
// Makes the driver known to db::connect (once per process).
void registerDriver();

// The rules a statement text breaks, each as "rule: what" (empty when it passes):
//   order-by-twice, limit-offset, row-values, concatenation, double-quoted-name,
//   output-without-into, create-index-if-not-exists, too-many-parameters, date-as-text.
std::vector<std::string> brokenRules(std::string_view sql);
// The rule a bound value breaks, or "" (a date or date-time bound as text).
std::string brokenRule(const db::Param& value);
// The statements the embedded database runs for one T-SQL text (a batch gives several;
// a statement that does nothing there gives none).
std::vector<std::string> translate(std::string_view sql);

// The refusals met since the last call (each with its statement), emptied by the call.
std::vector<std::string> takeRefusals();

}  // namespace mg::test::tsql
