// The command line with SQL Server's statements (the T-SQL conformance connection of the
// tests, run as "mssql.*"): init-db --demo makes the demo practice in the server database that
// vorn.ini names, and both imports and their dry runs post what the same commands post on the
// embedded database, every statement within SQL Server's rules. The jobs run in this process,
// where the conformance connection is.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <regex>

#include "fees/import_fees.h"
#include "outlays/outlay_import.h"
#include "shell/cli.h"
#include "shell/import_recording.h"
#include "shell_support.h"
#include "testdb.h"
#include "tsql_conformance.h"

namespace mg::test {
namespace {

// Runs the command line in `folder` as the program's main does, without the desktop and the
// report; returns its exit status.
int runHere(const std::filesystem::path& folder, std::vector<std::string> args) {
    shell::ImportJobs jobs;
    jobs.recordedOutlays = &shell::recordedOutlayImport;
    jobs.recordedFees = &shell::recordedFeeImport;
    jobs.outlayCopy = [](const std::string& productIni) { return outlays::tablesToCopy(productIni + outlays::kJournalSuffix); };
    jobs.feeCopy = [](const std::string&) { return fees::tablesToCopy(); };
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    args.insert(args.begin(), "marrowgate");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int status = shell::runCommandLine(static_cast<int>(args.size()), argv.data(), jobs, nullptr);
    std::filesystem::current_path(before);
    return status;
}

// The rows of a query, sorted, each as its columns joined by '|', a decimal without its
// trailing zeros: the server's decimal columns are numbers there ("144"), where the embedded
// database keeps the program's text ("144.00").
std::vector<std::string> rows(const std::string& file, const std::string& sql) {
    static const std::regex decimal(R"((-?\d+)(\.\d*[1-9])?\.?0*)");
    std::vector<std::string> out;
    for (const auto& r : SqlFile(file).rows(sql)) {
        std::string row;
        for (size_t i = 0; i < r.size(); ++i) {
            std::smatch m;
            row += (i ? "|" : "") + (std::regex_match(r[i], m, decimal) ? m[1].str() + m[2].str() : r[i]);
        }
        out.push_back(row);
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(ConformanceCommandLine, DemoBothImportsAndTheirDryRunsPostWhatTheEmbeddedDatabasePosts) {
    if (!onConformance()) GTEST_SKIP() << "the T-SQL conformance connection is the mssql run's";
    TempFolder server, file;
    writeFile(server.file("vorn.ini"), std::string("[database]\r\ndriver=") + tsql::kDriver + "\r\ndialect=mssql\r\ndatabase=" +
                                           server.file("practice.db") + "\r\n");
    writeFile(server.file("practice.db"), "");  // the server's database, empty, as a DBA makes it
    ASSERT_EQ(runHere(server.path(), {"init-db", "--demo"}), 0);
    ASSERT_EQ(makeDemoFolder(file.path()).status, 0);
    for (const char* command : {"import-outlays", "import-fees"}) {
        EXPECT_EQ(runHere(server.path(), {command, "--dry-run"}), 0) << command;
        EXPECT_EQ(runHere(server.path(), {command}), 0) << command;
        EXPECT_EQ(runProgram(file.path(), {command}).status, 0) << command;
    }
    EXPECT_EQ(readFile(server.file("Quillerton.ini")), readFile(file.file("Quillerton.ini")));
    const char* queries[] = {
        "SELECT BATCHNO, PREF, CODE, MATTER, VALUE, OUTLAYCODE, NARR, date(DATE), FEE FROM BatchDetails",
        "SELECT BATCHNO, CODE, REF, VALUE, POSTED, date(DATE) FROM BatchH",
        "SELECT LASTBATCH, LASTPREF FROM control",
        "SELECT MATTER, FEEEARN, date(DATE), RATE, CHARGE, UNITS, TASK, COMMENT, TEAM, TRACKREF, PERIOD, YEAR, STAGECODE FROM TimeDayBook",
        "SELECT MATTER, FE, CHARGE, TASK, COMMENT, TRACKREF FROM FeesImported",
        "SELECT TRACKREFERENCE, FEES FROM DiaryAttachments",
    };
    for (const char* q : queries) {
        SCOPED_TRACE(q);
        const std::vector<std::string> posted = rows(server.file("practice.db"), q);
        EXPECT_FALSE(posted.empty());
        EXPECT_EQ(posted, rows(file.file("practice.db"), q));
    }
}

}  // namespace
}  // namespace mg::test
