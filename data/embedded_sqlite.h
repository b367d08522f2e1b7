#pragma once
// Whether the embedded database can be had on this system. Where SQLite is linked into the
// program it always can. The Windows build uses the SQLite that Windows 10 and 11 carry
// (winsqlite3.dll), loaded when first called: there every place that opens an embedded
// database asks first, so that a system without it (or with one too old) gives a message
// instead of ending the program.

#include "data/errors.h"

namespace mg::db {

// An error naming what is missing, or no error.
Error embeddedDatabaseMissing();

}  // namespace mg::db
