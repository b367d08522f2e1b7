// The run history from the command line on the embedded database (the same journey runs on
// the PostgreSQL test server in server_cli_test.cpp).

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "history_journey.h"

namespace mg::test {
namespace {

TEST(RunHistory, TakeBackAndImportAgainOnTheEmbeddedDatabase) {
    TempFolder station, fresh;
    ProgramRun r = makeDemoFolder(station.path());
    ASSERT_EQ(r.status, 0) << r.err;
    writeFile(fresh.file("vorn.ini"), "[database]\r\ndriver=sqlite\r\ndatabase=" + station.file("practice.db") + "\r\n");
    const std::string file = station.file("practice.db");
    historyJourney(
        station.path(), fresh.path(),
        [&](const std::string& sql) { return fileRows(file, sql); },
        [&](const std::string& sql) {
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
            EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
            sqlite3_close(db);
        });
}

}  // namespace
}  // namespace mg::test
