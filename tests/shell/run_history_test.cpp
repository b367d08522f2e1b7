// The run history from the command line on the embedded database (the same journey runs on
// the PostgreSQL test server in server_cli_test.cpp).

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>

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
        [&](const std::string& sql) {
            std::vector<std::string> out;
            for (const auto& row : SqlFile(file).rows(sql)) {
                std::string line;
                for (size_t i = 0; i < row.size(); ++i) line += (i ? "|" : "") + row[i];
                out.push_back(line);
            }
            std::sort(out.begin(), out.end());
            return out;
        },
        [&](const std::string& sql) {
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
            EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
            sqlite3_close(db);
        });
}

}  // namespace
}  // namespace mg::test
