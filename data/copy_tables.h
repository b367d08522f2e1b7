#pragma once
// A copy of some tables of a database in a new embedded database file: what a dry run on a
// server database works on. Every table of the program is made in the new file, as init-db
// makes it; the rows of the tables asked for are read from one consistent view of the source
// (Connection::beginReadOnly), which holds back no writer and takes no lock that another
// station waits on, and are written as this program writes them (dates, decimals and text in
// the embedded database's own form). A value that does not convert is copied as it is, so
// that the work on the copy meets it where the work on the source would.

#include <cstdint>
#include <string>
#include <vector>

#include "data/backend.h"
#include "data/schema.h"

namespace mg::db {

// What of one table is copied: every row, or the rows whose whole-number `column` holds one
// of `values` (none when there are none).
struct TableRows {
    TableId table;
    int column = -1;
    std::vector<int64_t> values;

    static TableRows all(TableId t) { return {t, -1, {}}; }
    static TableRows none(TableId t) { return {t, 0, {}}; }
    static TableRows where(TableId t, int column, std::vector<int64_t> values) { return {t, column, std::move(values)}; }
};

// Makes the new database file `target` and copies into it the rows of `tables` read on
// `source`. A view is copied as a table of its rows, in the order the source gives them;
// a table or view the source lacks is left out of the copy as well; pass-through result
// tables are skipped. `rowsCopied`, when given, gets the number of rows copied. On a
// failure the error names the table, and `target` is left for the caller to remove.
Error copyTables(Connection& source, const std::string& target, const std::vector<TableRows>& tables, int64_t* rowsCopied = nullptr);

}  // namespace mg::db
