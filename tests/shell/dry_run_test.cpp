// Dry runs of the two imports on the demo practice, run as a user would from a terminal:
// nothing in the database or the INI files changes (not even when the run is killed), the
// lines listed are those the real run then posts, and a real run ends with its summary and a
// line in the run log.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "program.h"
#include "shell/cli.h"
#include "shell/demo.h"
#include "shell/run_record.h"
#include "shell_support.h"

namespace mg::shell {
namespace {

namespace fs = std::filesystem;
using test::ProgramRun;
using test::contains;
using test::runProgram;
using test::SqlFile;
using test::TempFolder;


// A missing file sums as an empty one: a connection killed while it reads leaves SQLite's
// empty side file (-wal) behind, which holds no change.
uint64_t checksum(const std::string& path) {
    uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : test::readFile(path)) h = (h ^ c) * 1099511628211ull;
    return h;
}

std::vector<std::vector<std::string>> csvRows(const std::string& path) {
    std::vector<std::vector<std::string>> rows;
    std::string text = test::readFile(path);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos) end = text.size();
        std::vector<std::string> cells;
        std::string cell;
        for (size_t i = at; i < end; ++i) {  // the demo's values hold no quotes or commas
            if (text[i] == ',') {
                cells.push_back(cell);
                cell.clear();
            } else {
                cell += text[i];
            }
        }
        cells.push_back(cell);
        rows.push_back(cells);
        at = end + 2;
    }
    return rows;
}

std::vector<std::string> folderListing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class DryRun : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramRun r = runProgram(dir_.path(), {"init-db", "--demo", "practice.db"});
        ASSERT_EQ(r.status, 0) << r.err;
        test::writeFile(dir_.file("vorn.ini"), "[database]\r\ndriver=sqlite\r\ndatabase=practice.db\r\n");
        test::writeFile(dir_.file("Quillerton.ini"), "[DocumentOutlays]\r\nLastTrackRef=0\r\n");
        // The dry runs' temporary folders go here, where the test can see what is left.
        fs::create_directory(tmp());
        const char* old = std::getenv("TMPDIR");
        oldTmp_ = old ? old : "";
        hadTmp_ = old != nullptr;
        setenv("TMPDIR", tmp().c_str(), 1);
    }
    void TearDown() override {
        if (hadTmp_) setenv("TMPDIR", oldTmp_.c_str(), 1);
        else unsetenv("TMPDIR");
    }
    fs::path tmp() const { return dir_.path() / "tmp"; }
    // The database and the INI files, as the test sees them.
    std::map<std::string, uint64_t> sums() const {
        std::map<std::string, uint64_t> s;
        for (const char* f : {"practice.db", "practice.db-wal", "Quillerton.ini", "Quillerton.ini.journal", "vorn.ini"})
            s[f] = checksum(dir_.file(f));
        return s;
    }
    SqlFile db() const { return SqlFile(dir_.file("practice.db")); }

    TempFolder dir_;
    std::string oldTmp_;
    bool hadTmp_ = false;
};

// Each import's dry run changes nothing, shows each exception kind of the demo with its rows,
// and lists, line by line, what the real run then posts; the real run's CSV matches what is
// in the books, and its summary goes to standard error and the run log.
TEST_F(DryRun, ChangesNothingAndListsWhatTheRealRunPosts) {
    struct Journey {
        const char* command;
        std::vector<std::string> exceptions;  // in the dry run's listing
        const char* header;                   // the CSV's first row
        const char* lastKey;                  // the highest key before the run
        const char* posted;                   // the rows the real run wrote: above {key}, batches above {batch} new
        std::vector<size_t> csvColumns;       // the CSV's columns, in the order of those rows
        const char* summary;                  // the real run's, on standard error
        const char* logged;
    } journeys[] = {
        {"import-outlays",
         {std::string("matter not found (line posted at 0.00): ") + demo::kMissingMatter,
          "diary entry not found (fee earner ADM): " + std::to_string(demo::kMissingDiaryId),
          "debt in no band (priced 1.11): FIT005-0001 (debt -250.00)\n      track ref 20009",
          "attachments read: 21, would be posted: 14, skipped: 7, failed: 0, lines: 21"},
         "date,track ref,document,matter,debt,band,amount,currency value,outlay code,nominal code,batch,fee earner",
         "SELECT max(KeyID) FROM BatchDetails",
         // A batch above the control row's last one before the run is one the run made: "new".
         "SELECT d.Date, d.Matter, d.Value, d.CurrencyValue, d.OutlayCode, h.Code, CASE WHEN d.BatchNo > {batch} THEN 'new' "
         "ELSE d.BatchNo END, d.Fee FROM BatchDetails d JOIN BatchH h ON h.BatchNo = d.BatchNo WHERE d.KeyID > {key} "
         "ORDER BY d.KeyID",
         {0, 3, 6, 7, 8, 9, 10, 11},
         "Run of import-outlays\n  attachments read: 21, posted: 14, skipped: 7, failed: 0, lines: 21",
         "\timport-outlays\tread=21\tposted=14\tskipped=7\tfailed=0\tlines=21\ttotal=322.55\t"},
        {"import-fees",
         {std::string("matter not found (fee not entered): ") + demo::kMissingMatter, "document waiting for a fee with no mapping: ",
          std::string("arrangement not found: none for matter ") + demo::kNoArrangementMatter,
          "debt in no band (priced 1.11): MUR002-0002 (debt 1000.50)", "fee earner without a handler row (team blank): LOC",
          "task code not found (fee entered, its comment from the charging matrix): SRV\n      diary id 50002"},
         "date,diary id,document,matter,task code,arrangement,debt,band,rate,fee earner,team,track ref",
         "SELECT max(RecordID) FROM TimeDayBook",
         "SELECT ActionID, Matter, Task, Rate, FeeEarn, Team, TrackRef FROM TimeDayBook WHERE RecordID > {key} ORDER BY RecordID",
         {1, 3, 4, 8, 9, 10, 11},
         "Run of import-fees\n  waiting fees read: 21",
         "\timport-fees\tread=21\t"},
    };
    for (const Journey& j : journeys) {
        SCOPED_TRACE(j.command);
        const auto before = sums();
        // SQLite's side files come and go with the connections; they hold no change.
        const auto listing = [&] {
            auto names = folderListing(dir_.path());
            std::erase_if(names, [](const std::string& n) { return n.ends_with("-wal") || n.ends_with("-shm"); });
            return names;
        };
        auto filesBefore = listing();
        ProgramRun dry = runProgram(dir_.path(), {j.command, "--dry-run", "--csv", "dry.csv"});
        ASSERT_EQ(dry.status, 0) << dry.err;
        EXPECT_EQ(sums(), before) << "a dry run changes neither the database nor the INI files";
        filesBefore.push_back("dry.csv");
        std::sort(filesBefore.begin(), filesBefore.end());
        EXPECT_EQ(listing(), filesBefore) << "only the CSV file is new";
        EXPECT_TRUE(folderListing(tmp()).empty()) << "the copies are removed";
        EXPECT_TRUE(contains(dry.err, "Import Complete!")) << "the same messages as a real run: " << dry.err;
        for (const std::string& e : j.exceptions) EXPECT_TRUE(contains(dry.out, e)) << e << "\n" << dry.out;

        const std::string lastKey = "0" + db().scalar(j.lastKey), lastBatch = db().scalar("SELECT LastBatch FROM control");
        ProgramRun real = runProgram(dir_.path(), {j.command, "--csv", "real.csv"});
        ASSERT_EQ(real.status, 0) << real.err;
        EXPECT_EQ(test::readFile(dir_.file("real.csv")), test::readFile(dir_.file("dry.csv")))
            << "the dry run listed, line by line, what the real run posted";
        EXPECT_TRUE(contains(real.err, j.summary)) << real.err;
        EXPECT_TRUE(contains(test::readFile(dir_.file(kRunLogName)), j.logged));

        // What the real run listed is what is in the books, in posting order.
        auto lines = csvRows(dir_.file("real.csv"));
        ASSERT_GT(lines.size(), 11u);
        std::string header;
        for (const std::string& cell : lines[0]) header += (header.empty() ? "" : ",") + cell;
        EXPECT_EQ(header, j.header);
        std::string sql = j.posted;
        for (const auto& [mark, value] : {std::pair<std::string, std::string>{"{key}", lastKey}, {"{batch}", lastBatch}})
            for (size_t at; (at = sql.find(mark)) != std::string::npos;) sql.replace(at, mark.size(), value);
        auto posted = db().rows(sql);
        ASSERT_EQ(posted.size(), lines.size() - 1);
        for (size_t i = 0; i < posted.size(); ++i)
            for (size_t c = 0; c < j.csvColumns.size(); ++c)
                EXPECT_EQ(lines[i + 1][j.csvColumns[c]], posted[i][c]) << "line " << i + 1 << ", column " << j.csvColumns[c];
        std::filesystem::remove(dir_.file("dry.csv"));
        std::filesystem::remove(dir_.file("real.csv"));
    }
    EXPECT_TRUE(contains(test::readFile(dir_.file(kRunLogName)), "\texceptions=5\texit=0\n"));
}

// Killed outright at a random moment, or stopped with Ctrl+C: the real files are as they were.
// A kill may leave its copies in the temporary folder, which the next dry run removes.
TEST_F(DryRun, AKilledOrInterruptedDryRunLeavesEveryFileAsItWas) {
    const auto before = sums();
    std::mt19937 random(std::random_device{}());
    for (int round = 0; round < 12; ++round) {
        const char* command = round % 2 ? "import-fees" : "import-outlays";
        const bool ctrlC = round % 3 == 2;
        pid_t pid = test::startProgram(MG_MARROWGATE_PATH, dir_.path(), {command, "--dry-run"});
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 120));
        kill(pid, ctrlC ? SIGINT : SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        SCOPED_TRACE(std::string(command) + (ctrlC ? " Ctrl+C" : " killed") + ", status " + std::to_string(status));
        EXPECT_EQ(sums(), before);
        // Ctrl+C before the run has started ends the program at once, as it would any other.
        if (ctrlC && WIFEXITED(status)) {
            for (const std::string& left : folderListing(tmp()))
                EXPECT_FALSE(left.starts_with("marrowgate-dry-run-" + std::to_string(pid) + "-")) << "Ctrl+C removes the copies";
            EXPECT_TRUE(WEXITSTATUS(status) == ExitOk || WEXITSTATUS(status) == ExitInterrupted) << WEXITSTATUS(status);
        }
    }
    EXPECT_FALSE(fs::exists(dir_.file(kRunLogName))) << "a dry run is not a run of the log";
    // The next dry run removes what killed ones left, and its own copies.
    ProgramRun r = runProgram(dir_.path(), {"import-outlays", "--dry-run"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(folderListing(tmp()).empty());
    EXPECT_EQ(sums(), before);
}

TEST(DryRunCommand, HelpAndWrongUseSayWhatIsWrong) {
    TempFolder dir;
    ProgramRun help = runProgram(dir.path(), {"--help"});
    EXPECT_TRUE(contains(help.out, "--dry-run")) << help.out;
    EXPECT_TRUE(contains(help.out, "--csv FILE")) << help.out;

    test::writeFile(dir.file("vorn.ini"), "[database]\ndriver=odbc\nserver=ACCOUNTS\n");
    struct Case {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"import-outlays", "--dry-run", "--csv"}, "--csv needs the name of the CSV file"},
        {{"import-fees", "--dryrun"}, "import-fees: unexpected \"--dryrun\""},
        {{"import-fees", "--force"}, "--force only goes with --csv FILE"},
        {{"import-fees", "--dry-run"}, "the dry run cannot start (settings from "},
    };
    for (const Case& c : cases) {
        ProgramRun r = runProgram(dir.path(), c.args);
        EXPECT_EQ(r.status, ExitFailed) << c.says;
        EXPECT_TRUE(contains(r.err, c.says)) << r.err;
    }
}

TEST(RunRecordText, GroupsExceptionsAndQuotesCsvCells) {
    RunRecord r;
    r.command = "import-fees";
    r.columns = {"document", "rate"};
    r.lines = {{"A,B", "1.10"}, {"say \"hi\"", "2.00"}};
    r.totalsBy = "fee earner";
    r.addToTotal("JOB", Decimal::fromMantissa(110, 2));
    r.addToTotal("JOB", Decimal::fromMantissa(200, 2));
    r.addToTotal("", Decimal::fromMantissa(111, 2));
    r.addException(2, "no mapping", "LRSEARCH", "diary id 7");
    r.addException(0, "matter not found", "Q1", "diary id 9");
    r.addException(2, "no mapping", "LRSEARCH", "diary id 7");  // the same row once
    r.addException(2, "no mapping", "LRSEARCH", "diary id 8");
    const std::string s = summary(r);
    EXPECT_TRUE(contains(s, "total: 4.21\n    fee earner (blank): 1.11\n    fee earner JOB: 3.10\n")) << s;
    EXPECT_TRUE(contains(s, "exceptions: 2\n    matter not found: Q1\n      diary id 9\n    no mapping: LRSEARCH\n      diary id 7\n"
                            "      diary id 8\n  started"))
        << s;

    TempFolder dir;
    std::string error;
    ASSERT_TRUE(writeCsv(r, dir.file("x.csv"), error)) << error;
    EXPECT_EQ(test::readFile(dir.file("x.csv")), "document,rate\r\n\"A,B\",1.10\r\n\"say \"\"hi\"\"\",2.00\r\n");
}

}  // namespace
}  // namespace mg::shell
