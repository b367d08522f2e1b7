#pragma once
// A consistent copy of an embedded database file, taken while other connections go on
// working: the copy is read from one snapshot of the source (SQLite's online backup in one
// step, under a read transaction that in WAL mode holds back no writer), and the source is
// opened read-only, so nothing about it changes.

#include <string>

#include "data/errors.h"

namespace mg::db {

// Copies the database file `source` to the new file `target`.
Error snapshotDatabase(const std::string& source, const std::string& target);

}  // namespace mg::db
