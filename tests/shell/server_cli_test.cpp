// The command line on the PostgreSQL test server of scripts/pg.sh: init-db --demo and both
// imports give the same rows as on the embedded database; bad connections give one clear
// line each. The server tests are skipped when no server is at hand.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <sstream>

#include "data/backend.h"
#include "data/lock_file.h"
#include "history_journey.h"
#include "program.h"
#include "shell_support.h"

namespace mg::test {
namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}


std::string serverIni(const std::string& database, const std::string& logon = "Tallowby", int port = 0) {
    return "[database]\r\ndriver=odbc\r\nodbcdriver=PostgreSQL Unicode\r\ndialect=postgresql\r\nserver=127.0.0.1\r\nport=" +
           std::to_string(port ? port : std::atoi(env("MG_PG_PORT").c_str())) + "\r\ndatabase=" + database + "\r\nlogon=" + logon +
           "\r\n";
}

db::Settings serverSettings(const std::string& database) {
    db::Settings s;
    s.odbcDriver = "PostgreSQL Unicode";
    s.dialect = "postgresql";
    s.server = "127.0.0.1";
    s.port = std::atoi(env("MG_PG_PORT").c_str());
    s.database = database;
    return s;
}

// The rows of a query, each as its columns joined by '|', sorted: the imports may take the
// waiting fees in another order on another database, and the numbers the database gives
// differ with it, so only what was posted is compared.
std::vector<std::string> serverRows(const std::string& database, const std::string& sql) {
    Error err;
    auto c = db::connect(serverSettings(database), err);
    if (!c) throw std::runtime_error(err.driverText);
    db::Statement* st = c->prepare(sql, err);
    if (!st) throw std::runtime_error(err.driverText + " in " + sql);
    std::vector<std::string> out;
    while (st->step(err)) {
        std::string row;
        for (int i = 0; i < st->columnCount(); ++i) row += (i ? "|" : "") + st->text(i);
        out.push_back(row);
    }
    std::sort(out.begin(), out.end());
    return out;
}

class OnServer : public ::testing::Test {
protected:
    void SetUp() override {
        if (env("MG_PG_PORT").empty()) GTEST_SKIP() << "no PostgreSQL server: run the tests through scripts/pg.sh";
        std::random_device rd;
        database_ = "mgcli_" + std::to_string(rd());
        Error err;
        auto admin = db::connect(serverSettings("marrowgate"), err);
        ASSERT_TRUE(admin) << err.driverText;
        ASSERT_FALSE(admin->exec("CREATE DATABASE " + database_)) << "cannot make the test database";
    }
    void TearDown() override {
        if (database_.empty()) return;
        Error err;
        if (auto admin = db::connect(serverSettings("marrowgate"), err)) admin->exec("DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
    }
    std::string database_;
};

// Other programs of the suite store codes blank-padded: the padded demo posts the same rows on
// both databases, every code found whatever its trailing blanks.
TEST_F(OnServer, DemoAndBothImportsPostTheSameRowsAsOnTheEmbeddedDatabase) {
    TempFolder server, file;
    writeFile(server.file("vorn.ini"), serverIni(database_));
    ProgramRun r = runProgram(server.path(), {"init-db", "--demo"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(runProgram(file.path(), {"init-db", "--demo", "practice.db"}).status, 0);
    writeFile(file.file("vorn.ini"), "[database]\r\ndriver=sqlite\r\ndatabase=practice.db\r\n");
    const char* padding[] = {
        "UPDATE diaryattachments SET name = 'SUMMONS ' WHERE name = 'SUMMONS'",
        "UPDATE documentcharges SET outlaycode = 'CSF ' WHERE outlaycode = 'CSF'",
        "UPDATE outlaycode SET code = 'CSF   ' WHERE code = 'CSF'",
        "UPDATE documentchargesfees SET documentname = 'AFFIDAVIT ' WHERE documentname = 'AFFIDAVIT'",
        "UPDATE documentcharges SET documentname = 'AFFIDAVIT   ' WHERE documentname = 'AFFIDAVIT'",
    };
    {
        Error err;
        auto c = db::connect(serverSettings(database_), err);
        ASSERT_TRUE(c) << err.driverText;
        sqlite3* f = nullptr;
        ASSERT_EQ(sqlite3_open(file.file("practice.db").c_str(), &f), SQLITE_OK);
        for (const char* pad : padding) {
            EXPECT_FALSE(c->exec(pad)) << pad;
            EXPECT_EQ(sqlite3_exec(f, pad, nullptr, nullptr, nullptr), SQLITE_OK) << pad;
            EXPECT_GT(sqlite3_changes(f), 0) << pad;
        }
        sqlite3_close(f);
    }
    for (const char* command : {"import-outlays", "import-fees"}) {
        ProgramRun a = runProgram(server.path(), {command});
        ProgramRun b = runProgram(file.path(), {command});
        EXPECT_EQ(a.status, 0) << command << ": " << a.err;
        EXPECT_EQ(a.status, b.status) << command;
        // The same messages and run summary on both databases, but for the run's own times.
        const auto withoutTimes = [](std::string text) {
            const size_t at = text.find("\n  started ");
            if (at != std::string::npos) text.erase(at + 1, text.find('\n', at + 1) - at);
            return text;
        };
        // The waiting fees come in each database's natural order, which the padding's updates
        // change on the server: the same lines, in an order of their own.
        const auto lines = [](const std::string& text) {
            std::vector<std::string> out;
            std::istringstream in(text);
            for (std::string line; std::getline(in, line);) out.push_back(line);
            std::sort(out.begin(), out.end());
            return out;
        };
        EXPECT_EQ(lines(withoutTimes(a.err)), lines(withoutTimes(b.err))) << command << ": the same messages on both databases";
    }
    EXPECT_EQ(readFile(server.file("Quillerton.ini")), readFile(file.file("Quillerton.ini")));
    const char* queries[] = {
        "SELECT BATCHNO, PREF, CODE, MATTER, VALUE, OUTLAYCODE, NARR, DATE, FEE FROM BatchDetails",
        "SELECT BATCHNO, CODE, REF, VALUE, POSTED, DATE FROM BatchH",
        "SELECT LASTBATCH, LASTPREF FROM control",
        "SELECT MATTER, FEEEARN, DATE, RATE, CHARGE, UNITS, TASK, COMMENT, TEAM, TRACKREF, PERIOD, YEAR, STAGECODE FROM TimeDayBook",
        "SELECT MATTER, FE, CHARGE, TASK, COMMENT, TRACKREF FROM FeesImported",
        "SELECT TRACKREFERENCE, FEES FROM DiaryAttachments",
    };
    for (const char* q : queries) {
        SCOPED_TRACE(q);
        std::vector<std::string> onServer = serverRows(database_, q);
        EXPECT_FALSE(onServer.empty());
        EXPECT_EQ(onServer, fileRows(file.file("practice.db"), q));
    }
}

// Import, take back, import again on the server; a refused take-back; a fresh folder.
TEST_F(OnServer, RunsAreTakenBackAndImportedAgainAsOnTheEmbeddedDatabase) {
    TempFolder station, fresh;
    writeFile(station.file("vorn.ini"), serverIni(database_));
    writeFile(fresh.file("vorn.ini"), serverIni(database_));
    ProgramRun r = runProgram(station.path(), {"init-db", "--demo"});
    ASSERT_EQ(r.status, 0) << r.err;
    historyJourney(
        station.path(), fresh.path(), [&](const std::string& sql) { return serverRows(database_, sql); },
        [&](const std::string& sql) {
            Error err;
            auto c = db::connect(serverSettings(database_), err);
            ASSERT_TRUE(c) << err.driverText;
            EXPECT_FALSE(c->exec(sql)) << sql;
        });
}

// Two stations start the outlay import on the same server at once, each from its own folder
// (its own last tracking reference): the server's application lock lets one run and refuses
// the other with a message naming where the first runs (unless one ended before the other
// began); whatever was posted, no batch number or posting reference is given twice and every
// header's total is the sum of its lines.
TEST_F(OnServer, TwoStationsImportingAtOnceGetOneRunAndNeverShareANumber) {
    TempFolder first, second;
    writeFile(first.file("vorn.ini"), serverIni(database_));
    writeFile(second.file("vorn.ini"), serverIni(database_));
    ASSERT_EQ(runProgram(first.path(), {"init-db", "--demo"}).status, 0);
    {
        // Ten more copies of the demo's attachments, so that the two runs overlap for long.
        Error err;
        auto c = db::connect(serverSettings(database_), err);
        ASSERT_TRUE(c) << err.driverText;
        for (int i = 1; i <= 10; ++i)
            ASSERT_FALSE(c->exec("CREATE TEMP TABLE x AS SELECT * FROM diaryattachments WHERE trackreference <= 20021; "
                                 "UPDATE x SET trackreference = trackreference + " + std::to_string(1000 * i) +
                                 "; INSERT INTO diaryattachments SELECT * FROM x; DROP TABLE x"));
    }
    // The second station starts a little above the first, so both post and overlap.
    writeFile(second.file("Quillerton.ini"), "[DocumentOutlays]\r\nLastTrackRef=25000\r\n");
    pid_t a = startProgram(MG_MARROWGATE_PATH, first.path(), {"import-outlays"});
    pid_t b = startProgram(MG_MARROWGATE_PATH, second.path(), {"import-outlays"});
    const int statusA = waitProgram(a), statusB = waitProgram(b);
    const std::string saidA = readFile(first.file("messages.txt")), saidB = readFile(second.file("messages.txt"));
    EXPECT_TRUE(statusA == 0 || statusB == 0) << saidA << saidB;
    for (const auto& [status, said] : {std::pair{statusA, saidA}, std::pair{statusB, saidB}})
        if (status != 0) {
            EXPECT_EQ(status, 1) << said;
            EXPECT_TRUE(contains(said, "Another outlay import is running on this database")) << said;
            EXPECT_TRUE(contains(said, "(process ")) << said;
        }
    EXPECT_EQ(serverRows(database_, "SELECT count(*) FROM batchh h WHERE h.value <> (SELECT COALESCE(SUM(d.value), 0) FROM batchdetails d "
                                    "WHERE d.batchno = h.batchno)"),
              std::vector<std::string>{"0"})
        << "a header whose total is not the sum of its lines";
    EXPECT_EQ(serverRows(database_, "SELECT count(*) FROM (SELECT pref FROM (SELECT pref FROM batchh UNION ALL SELECT pref FROM "
                                    "batchdetails) p GROUP BY pref HAVING count(*) > 1) d"),
              std::vector<std::string>{"0"})
        << "a posting reference issued twice";
    EXPECT_EQ(serverRows(database_, "SELECT count(*) FROM (SELECT batchno FROM batchh GROUP BY batchno HAVING count(*) > 1) d"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(serverRows(database_, "SELECT (SELECT lastbatch FROM control) - (SELECT max(batchno) FROM batchh)"),
              std::vector<std::string>{"0"});
    // The run that was let through posted its attachments.
    EXPECT_GT(std::stoll(serverRows(database_, "SELECT count(*) FROM batchdetails")[0]), 100);
}

// Dry runs on the server work on a copy of its tables: they list what the real runs then post,
// line by line (also into the open batches an earlier run made), and change nothing on the
// server or in the INI files, even when killed, while another station holds the control row
// and the outlay import's lock.
TEST_F(OnServer, DryRunsListWhatTheRealRunsPostAndChangeAndWaitForNothing) {
    TempFolder dir;
    writeFile(dir.file("vorn.ini"), serverIni(database_));
    writeFile(dir.file("Quillerton.ini"), "[DocumentOutlays]\r\nLastTrackRef=0\r\n");
    ASSERT_EQ(runProgram(dir.path(), {"init-db", "--demo"}).status, 0);
    const auto everything = [&] {
        std::vector<std::string> all;
        for (const char* t : {"batchh", "batchdetails", "control", "timedaybook", "feesimported", "diaryattachments"})
            for (std::string& row : serverRows(database_, std::string("SELECT * FROM ") + t)) all.push_back(t + (": " + row));
        return all;
    };
    Error err;
    auto station = db::connect(serverSettings(database_), err);
    ASSERT_TRUE(station) << err.driverText;
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        if (round == 2) {  // more attachments, for the open batches of the first round
            ASSERT_FALSE(station->exec("CREATE TEMP TABLE x AS SELECT * FROM diaryattachments WHERE trackreference <= 20021; "
                                       "UPDATE x SET trackreference = trackreference + 1000, fees = 0; INSERT INTO diaryattachments "
                                       "SELECT * FROM x; DROP TABLE x"));
        }
        const auto before = everything();
        const std::string ini = readFile(dir.file("Quillerton.ini"));
        // Another station is in the middle of an outlay import.
        bool granted = false;
        db::LockHolder holder;
        ASSERT_FALSE(station->tryApplicationLock("outlay-import", granted, holder));
        ASSERT_TRUE(granted);
        ASSERT_FALSE(station->begin(5));
        ASSERT_FALSE(station->exec("SELECT * FROM control FOR UPDATE"));
        const pid_t killed = startProgram(MG_MARROWGATE_PATH, dir.path(), {"import-outlays", "--dry-run"});
        killAfter(killed, static_cast<int>(std::random_device{}() % 150));
        for (const char* command : {"import-outlays", "import-fees"}) {
            ProgramRun r = runProgram(dir.path(), {command, "--dry-run", "--csv", std::string(command) + "-dry.csv"});
            EXPECT_EQ(r.status, 0) << command << ": " << r.err;
        }
        station->rollback();
        station->releaseApplicationLock("outlay-import");
        EXPECT_EQ(everything(), before) << "a dry run writes nothing to the server";
        EXPECT_EQ(readFile(dir.file("Quillerton.ini")), ini);
        for (const char* command : {"import-outlays", "import-fees"}) {
            ProgramRun r = runProgram(dir.path(), {command, "--csv", std::string(command) + "-real.csv"});
            EXPECT_EQ(r.status, 0) << command << ": " << r.err;
            const std::string dry = readFile(dir.file(std::string(command) + "-dry.csv"));
            EXPECT_EQ(readFile(dir.file(std::string(command) + "-real.csv")), dry) << command;
            EXPECT_GT(std::count(dry.begin(), dry.end(), '\n'), 10) << command;
            if (round == 2 && std::string(command) == "import-outlays") {
                EXPECT_FALSE(contains(dry, ",new,")) << "the lines go into the first round's open batches:\n" << dry;
            }
        }
    }
}

TEST_F(OnServer, AWrongDatabaseOrLoginGivesOneLineAndWritesNothing) {
    struct Case {
        const char* what;
        std::string ini;
    } cases[] = {
        {"wrong database", serverIni("no_such_database")},
        {"wrong login", serverIni(database_, "someone else")},  // no built-in login: no user, no password
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder dir;
        writeFile(dir.file("vorn.ini"), c.ini);
        ProgramRun r = runProgram(dir.path(), {"import-outlays"});
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(contains(r.err, "cannot open the database")) << r.err;
        EXPECT_TRUE(contains(r.err, "vorn.ini")) << r.err;
        EXPECT_FALSE(contains(r.err, "7kub3")) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("Quillerton.ini")));
    }
}

// Needs no server: nothing listens, or the driver is not there. The imports and the reports
// say why in the driver's words.
TEST(ServerConnection, NoServerOrNoDriverGivesOneLineWithTheDriversWords) {
    struct Case {
        const char* what;
        std::string ini;
        const char* says;
    } cases[] = {
        {"no server listening", serverIni("marrowgate", "Tallowby", 1), "127.0.0.1"},
        {"no such driver", "[database]\r\nodbcdriver=No Such Driver 9\r\n", "No Such Driver 9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder dir;
        writeFile(dir.file("vorn.ini"), c.ini);
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"import-outlays"}, {"import-fees"}, {"import-fees", "--dry-run"},
              {"report", "fees-to-import", "--csv", "fees.csv"}}) {
            SCOPED_TRACE(command.front() + " " + command.back());
            ProgramRun r = runProgram(dir.path(), command);
            EXPECT_EQ(r.status, 1) << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
            EXPECT_TRUE(contains(r.err, "vorn.ini")) << r.err;
            EXPECT_TRUE(contains(r.err, c.says)) << r.err;
            EXPECT_TRUE(contains(r.err, "PWD=********")) << r.err;
            EXPECT_FALSE(contains(r.err, "7kub3")) << r.err;
        }
    }
}

}  // namespace
}  // namespace mg::test
