// Runs that tell the truth, tried as a hostile but ordinary working day would: a CSV file named
// after a file the program keeps, a LastTrackRef that is not a number, rows the database
// refuses, a waiting fee that cannot be marked, a lock that does not go away while the user
// presses Ctrl+C, a settings file that cannot be read. Nothing is destroyed, nothing is posted
// twice or dropped without a word, and the exit status and the run log say what happened.

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "program.h"
#include "shell/demo.h"
#include "shell/run_record.h"
#include "shell/settings.h"
#include "shell_support.h"

namespace mg::shell {
namespace {

namespace fs = std::filesystem;
using test::ProgramRun;
using test::contains;
using test::runProgram;
using test::SqlFile;
using test::TempFolder;


// A second station's connection to the demo database.
class Station {
public:
    explicit Station(const std::string& path) { sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr); }
    ~Station() { sqlite3_close(db_); }
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;
    void exec(const std::string& sql) {
        char* error = nullptr;
        ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "") << " in " << sql;
    }

private:
    sqlite3* db_ = nullptr;
};

class HonestRuns : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramRun r = test::makeDemoFolder(dir_.path());
        ASSERT_EQ(r.status, 0) << r.err;
    }
    long long count(const std::string& sql) { return SqlFile(dir_.file("practice.db")).count(sql); }
    std::string runLog() { return test::readFile(dir_.file(kRunLogName)); }
    std::string lastLogLine() {
        std::string log = runLog();
        if (!log.empty() && log.back() == '\n') log.pop_back();
        return log.substr(log.rfind('\n') == std::string::npos ? 0 : log.rfind('\n') + 1);
    }

    TempFolder dir_;
};

// ---- --csv never destroys a file --------------------------------------------------------------

TEST_F(HonestRuns, ACsvFileNeverTakesThePlaceOfAFileItDidNotMake) {
    // A real run first, so that the INI file, the journal and the run log all exist.
    ASSERT_EQ(runProgram(dir_.path(), {"import-outlays"}).status, 0);
    test::writeFile(dir_.file("practice.db.outlay-import.lock"), "");
    fs::create_directory(dir_.path() / "sub");
    fs::create_symlink(dir_.file("practice.db"), dir_.file("link.db"));
    const std::vector<std::string> kept{"practice.db", "vorn.ini", "Quillerton.ini", "Quillerton.ini.journal", kRunLogName,
                                        "practice.db.outlay-import.lock"};
    std::vector<std::string> before;
    for (const std::string& f : kept) before.push_back(test::readFile(dir_.file(f)));

    for (const char* command : {"import-outlays", "import-fees"}) {
        for (const std::string& target : {std::string("practice.db"), std::string("vorn.ini"), std::string("Quillerton.ini"),
                                          std::string("Quillerton.ini.journal"), std::string(kRunLogName),
                                          std::string("practice.db.outlay-import.lock"), std::string("link.db"),
                                          std::string("sub/../practice.db"), dir_.file("Quillerton.ini")}) {
            for (bool force : {false, true}) {
                SCOPED_TRACE(std::string(command) + " --csv " + target + (force ? " --force" : ""));
                std::vector<std::string> args{command, "--dry-run", "--csv", target};
                if (force) args.push_back("--force");
                ProgramRun r = runProgram(dir_.path(), args);
                EXPECT_EQ(r.status, 1);
                EXPECT_TRUE(contains(r.err, "which the program keeps: choose another file")) << r.err;
                EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
            }
        }
    }
    for (size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(test::readFile(dir_.file(kept[i])), before[i]) << kept[i] << " changed";

    // A file of the user's is replaced only with --force; a CSV file of an import is replaced.
    test::writeFile(dir_.file("notes.txt"), "my notes\n");
    ProgramRun r = runProgram(dir_.path(), {"import-fees", "--dry-run", "--csv", "notes.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "exists and is not a CSV file of an import")) << r.err;
    EXPECT_EQ(test::readFile(dir_.file("notes.txt")), "my notes\n");
    r = runProgram(dir_.path(), {"import-fees", "--dry-run", "--csv", "notes.txt", "--force"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string header = csvHeader(feeColumns()) + "\r\n";
    EXPECT_EQ(test::readFile(dir_.file("notes.txt")).substr(0, header.size()), header);
    // ... also where a file of the user's has the name it is written under first.
    test::writeFile(dir_.file("notes.txt.part"), "more notes\n");
    r = runProgram(dir_.path(), {"import-outlays", "--dry-run", "--csv", "notes.txt"});
    EXPECT_EQ(r.status, 0) << "a CSV file of an import is replaced: " << r.err;
    EXPECT_EQ(test::readFile(dir_.file("notes.txt.part")), "more notes\n");
    EXPECT_FALSE(fs::exists(dir_.file("notes.txt.part1")));

    // Checked before anything runs: a CSV file in a folder that is not there posts nothing.
    const long long lines = count("SELECT count(*) FROM BatchDetails");
    test::writeFile(dir_.file("Quillerton.ini"), "[DocumentOutlays]\r\nLastTrackRef=0\r\n");
    r = runProgram(dir_.path(), {"import-outlays", "--csv", "nowhere/x.csv"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "is not there")) << r.err;
    EXPECT_EQ(count("SELECT count(*) FROM BatchDetails"), lines);
}

// ---- LastTrackRef --------------------------------------------------------------------------------

TEST_F(HonestRuns, ALastTrackRefThatIsNotAWholeNumberRefusesTheRun) {
    const long long lines = count("SELECT count(*) FROM BatchDetails");  // the demo's history
    for (std::string value : {"", "abc", "0x14", "1e9", "12abc", "- 5"}) {
        SCOPED_TRACE("LastTrackRef=" + value);
        test::writeFile(dir_.file("Quillerton.ini"), "[DocumentOutlays]\r\nLastTrackRef=" + value + "\r\n");
        for (const std::vector<std::string>& args : {std::vector<std::string>{"import-outlays"}, {"import-outlays", "--dry-run"}}) {
            ProgramRun r = runProgram(dir_.path(), args);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err, "marrowgate: import-outlays: LastTrackRef in section [DocumentOutlays] of " + dir_.file("Quillerton.ini") +
                                 " is \"" + value + "\", not a whole number, so the last tracking reference processed is not known. " +
                                 "The import does not start, so that no attachment is posted twice.\n");
        }
        EXPECT_EQ(count("SELECT count(*) FROM BatchDetails"), lines);
        EXPECT_EQ(test::readFile(dir_.file("Quillerton.ini")), "[DocumentOutlays]\r\nLastTrackRef=" + value + "\r\n");
    }
    // Blanks around a number, and a sign, are a number.
    test::writeFile(dir_.file("Quillerton.ini"), "[DocumentOutlays]\r\nLastTrackRef= +" + std::to_string(demo::kLastTrackRef) + " \r\n");
    ProgramRun r = runProgram(dir_.path(), {"import-outlays"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count("SELECT count(*) FROM BatchDetails"), lines);
}

// ---- rows the database refuses -----------------------------------------------------------------

TEST_F(HonestRuns, RowsTheDatabaseRefusesFailTheRunAndAreListed) {
    struct Case {
        const char* what;
        const char* command;
        std::string refusal;  // what makes the database refuse the rows
        std::string cause;    // what the message and the exception name
        std::string exception;
        std::string written;  // the rows that must stay out of the books
    } cases[] = {
        {"a trigger refuses every time entry", "import-fees",
         "CREATE TRIGGER audit BEFORE INSERT ON TimeDayBook BEGIN SELECT RAISE(ABORT, 'refused by the audit'); END",
         "refused by the audit", "fee not entered (it waits for the next run)", "SELECT count(*) FROM TimeDayBook"},
        {"a trigger refuses every outlay line", "import-outlays",
         "CREATE TRIGGER audit BEFORE INSERT ON BatchDetails BEGIN SELECT RAISE(ABORT, 'refused by the audit'); END",
         "refused by the audit", "line refused by the database", "SELECT count(*) FROM BatchDetails"},
        {"a charge too large for the batch line", "import-outlays",
         "UPDATE DocumentCharges SET OUTLAYAMOUNT = '9999999999999999.99', OUTLAYAMT2 = '9999999999999999.99', "
         "OUTLAYAMT3 = '9999999999999999.99', OUTLAYAMT4 = '9999999999999999.99', OUTLAYAMT5 = '9999999999999999.99'",
         "BAD:VALUE", "line refused by the database", "SELECT count(*) FROM BatchDetails WHERE CAST(VALUE AS REAL) > 1e9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder dir;
        ASSERT_EQ(test::makeDemoFolder(dir.path()).status, 0);
        Station(dir.file("practice.db")).exec(c.refusal);
        const long long before = SqlFile(dir.file("practice.db")).count(c.written);  // the demo's history

        // The dry run lists what would fail, and fails as the real run will.
        ProgramRun dry = runProgram(dir.path(), {c.command, "--dry-run"});
        EXPECT_EQ(dry.status, 1) << dry.out << dry.err;
        EXPECT_TRUE(contains(dry.out, c.exception)) << dry.out;

        ProgramRun r = runProgram(dir.path(), {c.command});
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_TRUE(contains(r.err, c.cause)) << "the message names the cause: " << r.err;
        EXPECT_TRUE(contains(r.err, c.exception)) << r.err;
        EXPECT_FALSE(contains(r.err, ", failed: 0,")) << r.err;
        EXPECT_EQ(SqlFile(dir.file("practice.db")).count(c.written), before);
        std::string log = test::readFile(dir.file(kRunLogName));
        EXPECT_TRUE(contains(log, "\texit=1")) << log;
        EXPECT_FALSE(contains(log, "\tfailed=0\t")) << log;
    }
}

// ---- a fee that cannot be marked ----------------------------------------------------------------

TEST_F(HonestRuns, AWaitingFeeWithoutADiaryIdIsNeverEntered) {
    // An attachment of a mapped document whose diary id is missing: no update can mark it.
    Station(dir_.file("practice.db"))
        .exec("INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) VALUES (NULL, 30001, 'MUR002-0001', "
              "'SUMMONS', 0)");
    const long long entries = count("SELECT count(*) FROM TimeDayBook WHERE ACTIONID = 0");  // the demo's history
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        ProgramRun r = runProgram(dir_.path(), {"import-fees"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(contains(r.err, "fee not entered: its attachment cannot be marked as imported")) << r.err;
        EXPECT_FALSE(contains(r.err, "diary entry not found: 0")) << "a fee not entered is not also one entered without its diary entry";
        EXPECT_EQ(count("SELECT count(*) FROM TimeDayBook WHERE ACTIONID = 0"), entries);
    }
}

// ---- a lock that does not go away ----------------------------------------------------------------

TEST_F(HonestRuns, CtrlCOrARequestToEndStopsALockWaitWithTheSummary) {
    const long long lines = count("SELECT count(*) FROM BatchDetails");  // the demo's history
    for (int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(sig == SIGINT ? "Ctrl+C" : "SIGTERM");
        fs::remove(dir_.file("messages.txt"));
        Station other(dir_.file("practice.db"));
        other.exec("BEGIN IMMEDIATE");  // another station holds the database's write lock
        const pid_t pid = test::startProgram(MG_MARROWGATE_PATH, dir_.path(), {"import-outlays"});
        const auto waitFor = [&](const std::string& text) {
            for (int i = 0; i < 600 && !contains(test::readFile(dir_.file("messages.txt")), text); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        };
        waitFor("Wait Message: &Retry");
        ASSERT_TRUE(contains(test::readFile(dir_.file("messages.txt")), "Wait Message")) << "the run never waited";
        const auto signalled = std::chrono::steady_clock::now();
        kill(pid, sig);
        const int status = test::waitProgram(pid);
        const auto took = std::chrono::steady_clock::now() - signalled;
        other.exec("ROLLBACK");
        EXPECT_EQ(status, 130);
        EXPECT_LT(took, std::chrono::seconds(5)) << "the wait ends at once, not after its retries";
        const std::string messages = test::readFile(dir_.file("messages.txt"));
        EXPECT_TRUE(contains(messages, "Run of import-outlays")) << messages;
        EXPECT_TRUE(contains(lastLogLine(), "\texit=130")) << runLog();
        EXPECT_EQ(count("SELECT count(*) FROM BatchDetails"), lines);
    }
}

// Ctrl+C in the middle of a long run: the counts hold only what the run handled (not the row
// it had read ahead), and the next run takes exactly the rest.
TEST_F(HonestRuns, ARunEndedByCtrlCCountsWhatItHandledAndTheNextTakesTheRest) {
    constexpr int kAdded = 3000;
    {
        Station other(dir_.file("practice.db"));
        std::string sql = "BEGIN;";
        for (int i = 1; i <= kAdded; ++i)
            sql += "INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME) VALUES (50001, " + std::to_string(30000 + i) +
                   ", 'OSU001-0001', '" + (i % 3 ? "SUMMONS" : "NOCHARGE") + "');";
        other.exec(sql + "COMMIT;");
    }
    const long long waiting = count("SELECT count(*) FROM DiaryAttachments WHERE TRACKREFERENCE > " +
                                 std::to_string(readLastTrackRef(dir_.file("Quillerton.ini"))));
    const long long linesBefore = count("SELECT count(*) FROM BatchDetails");
    const pid_t pid = test::startProgram(MG_MARROWGATE_PATH, dir_.path(), {"import-outlays"});
    for (int i = 0; i < 400 && count("SELECT count(*) FROM BatchDetails") < linesBefore + 200; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(pid, SIGINT);
    ASSERT_EQ(test::waitProgram(pid), 130);
    const auto field = [](const std::string& line, const std::string& name) {
        const size_t at = line.find("\t" + name + "=");
        return at == std::string::npos ? -1 : std::stoll(line.substr(at + name.size() + 2));
    };
    const std::string first = lastLogLine();
    const long long read = field(first, "read");
    EXPECT_EQ(read, field(first, "posted") + field(first, "skipped") + field(first, "failed")) << first;
    EXPECT_LT(read, waiting) << "the run ended early";
    ProgramRun rest = runProgram(dir_.path(), {"import-outlays"});
    ASSERT_EQ(rest.status, 0) << rest.err;
    EXPECT_EQ(field(lastLogLine(), "read"), waiting - read) << runLog();
}

TEST_F(HonestRuns, AFeeRunStopsAtTheFirstLockItIsNotGranted) {
    const long long entries = count("SELECT count(*) FROM TimeDayBook");  // the demo's history
    Station other(dir_.file("practice.db"));
    other.exec("BEGIN IMMEDIATE");
    ProgramRun r = runProgram(dir_.path(), {"import-fees"});
    other.exec("ROLLBACK");
    EXPECT_EQ(r.status, 1) << r.err;
    size_t failures = 0;
    for (size_t at = r.err.find("Error Adding Fees For Matter"); at != std::string::npos;
         at = r.err.find("Error Adding Fees For Matter", at + 1))
        ++failures;
    EXPECT_EQ(failures, 1u) << r.err;
    EXPECT_TRUE(contains(r.err, "The fee import stops here")) << r.err;
    EXPECT_TRUE(contains(lastLogLine(), "\texit=1")) << runLog();
    EXPECT_EQ(count("SELECT count(*) FROM TimeDayBook"), entries);

    // Once the lock has gone, the next run enters every fee.
    r = runProgram(dir_.path(), {"import-fees"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_GT(count("SELECT count(*) FROM TimeDayBook"), entries);
}

// A database that cannot be written at all is no lock to wait for: either import stops at
// its first write, counts that attachment or fee as failed, and says so in the run log.
TEST_F(HonestRuns, ADatabaseThatCannotBeWrittenStopsEitherImportAtOnce) {
    const std::string db = dir_.file("practice.db");
    const long long lines = count("SELECT count(*) FROM BatchDetails"), entries = count("SELECT count(*) FROM TimeDayBook");
    fs::permissions(dir_.path(), fs::perms::all);
    for (const char* kept : {"Quillerton.ini", "vorn.ini"}) fs::permissions(dir_.file(kept), fs::perms::all & ~fs::perms::owner_exec & ~fs::perms::group_exec & ~fs::perms::others_exec);
    fs::permissions(db, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    // As root a read-only file can still be written: the program runs as nobody then.
    const std::string as = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
    for (const char* command : {"import-outlays", "import-fees"}) {
        SCOPED_TRACE(command);
        ProgramRun r = runProgram(dir_.path(), {command}, as);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_FALSE(contains(r.err, "to unlock")) << r.err;
        EXPECT_TRUE(contains(r.err, "readonly database")) << r.err;
        EXPECT_TRUE(contains(lastLogLine(), "\tfailed=1\t")) << runLog();
        EXPECT_TRUE(contains(lastLogLine(), "\texit=1")) << runLog();
    }
    EXPECT_EQ(count("SELECT count(*) FROM BatchDetails"), lines);
    EXPECT_EQ(count("SELECT count(*) FROM TimeDayBook"), entries);
}

// ---- a settings file that cannot be read ---------------------------------------------------------

TEST_F(HonestRuns, AConnectionIniThatCannotBeTakenIsNamed) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> make;
        const char* says;
    } cases[] = {
        {"binary junk", [](const fs::path& f) { test::writeFile(f.string(), std::string("\x00\x01\xff\xfe\x80junk", 9)); },
         "is not a settings file the program can read"},
        {"a folder", [](const fs::path& f) { fs::create_directory(f); }, "cannot be read"},
        {"no database", [](const fs::path& f) { test::writeFile(f.string(), "[database]\r\ndriver=sqlite\r\ndatabase=\r\n"); },
         "the key database in section [database] of"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir_.file("vorn.ini"));
        c.make(dir_.file("vorn.ini"));
        for (std::vector<std::string> args : {std::vector<std::string>{"import-outlays"}, {"import-fees", "--dry-run"},
                                              {"report", "fees-to-import", "--csv", "r.csv"}, {"init-db"}}) {
            SCOPED_TRACE(args[0]);
            ProgramRun r = runProgram(dir_.path(), args);
            EXPECT_EQ(r.status, 1);
            EXPECT_TRUE(contains(r.err, c.says)) << r.err;
            EXPECT_TRUE(contains(r.err, "vorn.ini")) << r.err;
            EXPECT_FALSE(contains(r.err, "Unknown host")) << r.err;
        }
    }
}

}  // namespace
}  // namespace mg::shell
