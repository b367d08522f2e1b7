#pragma once
// Making a database: a new embedded file with every table, every key as an index and the
// view of the waiting document fees, in WAL mode; or the same tables in a server database.

#include <string>

#include "data/backend.h"
#include "data/errors.h"

namespace mg::db {

// Creates the database file at `path` with every table. Fails (with the database's own
// code and text) when the file exists already or cannot be made.
Error createDatabase(const std::string& path);

// Makes every table, index and view in the server database of the settings, all in one
// transaction. Fails, leaving the database as it was, when one of them exists already.
Error createTables(const Settings& settings);

}  // namespace mg::db
