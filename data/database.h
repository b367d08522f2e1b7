#pragma once
// Making an embedded database: a new file with every table, every key as an index and the
// view of the waiting document fees, in WAL mode.

#include <string>

#include "data/errors.h"

namespace mg::db {

// Creates the database file at `path` with every table. Fails (with the database's own
// code and text) when the file exists already or cannot be made.
Error createDatabase(const std::string& path);

}  // namespace mg::db
