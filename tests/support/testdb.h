#pragma once
// A fresh database for one test, made from the table declarations, and contexts on it: an
// embedded database in a temporary folder, or a database of its own on the test server.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "data/backend.h"
#include "data/context.h"

struct sqlite3;

namespace mg::test {

// Whether the tests run on the PostgreSQL test server (MG_TEST_BACKEND=postgresql, with
// the server of scripts/pg.sh) instead of the embedded database.
bool onServer();
// Whether the tests run the mssql dialect (MG_TEST_BACKEND=mssql) through the T-SQL
// conformance connection (tsql_conformance.h) on an embedded database: the database is a
// file as for the embedded tests, the program's statements are those it sends SQL Server.
bool onConformance();

class TempDatabase {
public:
    TempDatabase();
    ~TempDatabase();
    const std::string& path() const { return path_; }
    const std::filesystem::path& folder() const { return folder_; }
    db::Settings settings() const;
    // A new context on the database (as a new thread of the program would have).
    std::unique_ptr<Context> context() const;
    // Runs SQL directly against the file (seeding rows, checking what was written).
    void exec(const std::string& sql) const;
    // The first column of the first row of a query, as text ("" when no row).
    std::string scalar(const std::string& sql) const;
    long long count(const std::string& sql) const { return std::stoll("0" + scalar(sql)); }
    // Switches the file from WAL to a rollback journal, where a writer's exclusive lock
    // keeps readers out too (as another station's lock does to an open). Call it before
    // any context connects.
    void useRollbackJournal() const { exec("PRAGMA journal_mode=DELETE"); }
    // The first column of every row of a query, as text (NULL gives "<null>").
    std::vector<std::string> column(const std::string& sql) const;

private:
    std::filesystem::path folder_;
    std::string path_;         // the database file, or the server database's name
    std::string serverName_;   // the server database of the test, when on the server
};

// A connection of another program to the same file, kept open for the length of a test:
// it holds transactions and locks while the code under test runs.
class OtherProgram {
public:
    explicit OtherProgram(const std::string& path);
    ~OtherProgram();
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;
    void exec(const std::string& sql);
    // The first column of every row of a query, as text (NULL gives "<null>"); the
    // connection stays open, so many small queries cost little.
    std::vector<std::string> column(const std::string& sql);
    std::string scalar(const std::string& sql);
    long long count(const std::string& sql) { return std::stoll("0" + scalar(sql)); }
    // Holds the write lock (BEGIN IMMEDIATE) until release(): other writers wait, readers
    // go on.
    void holdWriteLock() { exec("BEGIN IMMEDIATE"); }
    // Holds the whole file so that no other connection can even read it (what a table
    // locked by another station looks like to an open). Needs a rollback journal: see
    // TempDatabase::useRollbackJournal.
    void holdExclusive();
    // Lets go of what is held (may be called from another thread).
    void release();

private:
    sqlite3* connection();
    std::string path_;
    sqlite3* db_ = nullptr;
    bool inTransaction_ = false;
    bool exclusive_ = false;
};

}  // namespace mg::test
