#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "data/ddl.h"
#include "data/table.h"
#include "shell/cli.h"
#include "shell/demo.h"
#include "shell/settings.h"
#include "shell_support.h"

namespace mg::shell {
namespace {

using test::ProgramRun;
using test::contains;
using test::runProgram;
using test::SqlFile;
using test::TempFolder;


// ---- the exit status -------------------------------------------------------------------------

TEST(ExitStatus, FollowsHowTheRunEnded) {
    RunOutcome completed{true, RequestCompleted, false, false, 5, 0, 0};
    EXPECT_EQ(exitStatus(completed), ExitOk) << "per-document messages do not make a completed run fail";

    RunOutcome nothingToDo{true, RequestCancelled, false, false, 1, 0, 0};
    EXPECT_EQ(exitStatus(nothingToDo), ExitOk);

    RunOutcome endedEarly{true, RequestCancelled, false, false, 2, 0, 0};
    EXPECT_EQ(exitStatus(endedEarly), ExitFailed);

    RunOutcome readError{true, RequestCompleted, false, false, 2, 1, 0};
    EXPECT_EQ(exitStatus(readError), ExitFailed);

    RunOutcome gaveUp{true, RequestCompleted, false, false, 1, 0, 1};
    EXPECT_EQ(exitStatus(gaveUp), ExitFailed);

    RunOutcome interrupted{true, RequestCancelled, true, false, 1, 0, 0};
    EXPECT_EQ(exitStatus(interrupted), ExitInterrupted);

    RunOutcome notStarted{false, 0, false, true, 1, 1, 0};
    EXPECT_EQ(exitStatus(notStarted), ExitFailed);

    RunOutcome halted{true, RequestCancelled, true, true, 1, 1, 0};
    EXPECT_EQ(exitStatus(halted), ExitFailed);
}

// ---- runImport with a process of the test's own ----------------------------------------------

struct Observed {
    int cycles = 0;
    bool cancelled = false;
    bool finished = false;
    long long lastBatch = -1;
    int waits = 0;  // wait/retry messages shown
};

struct Script {
    bool prepares = true;
    int cycles = 3;                 // cycles until the end of the data; 0: nothing to read
    int interruptInCycle = 0;       // raises SIGINT in this cycle (as Ctrl+C would)
    bool warningInCycle = false;    // a standard warning in the first cycle, then the end
    bool messagePerCycle = false;   // a plain per-document message each cycle
    bool lockConflictPerCycle = false;  // each cycle meets a short lock conflict: one wait/retry, then a commit
    bool lockNeverFrees = false;        // the first cycle waits on a lock that never frees
};

class ScriptedImport : public ui::Process {
public:
    ScriptedImport(Session s, ui::ProgressView& view, Script script, Observed& seen)
        : Process(s.ui, view), s_(s), script_(script), seen_(seen) {}

    bool prepare() override {
        if (!script_.prepares) {
            s_.ui.message("Error: (File Not Found (2)) accessing dbo.control.  Press OK to end this application.", "Invalid File",
                          ui::Icon::Warning);
            s_.ui.halt("Invalid File!");
            return false;
        }
        // The run works on the database of the settings.
        Table& con = s_.ctx.table(TableId::Control);
        if (con.open() == 0 && con.setNatural() == 0 && con.next() == 0) seen_.lastBatch = s_.ctx.get(CON::LASTBATCH);
        return true;
    }
    void opened() override {
        if (script_.cycles == 0) endLoop();
    }
    void cycle() override {
        ++seen_.cycles;
        if (seen_.cycles == script_.interruptInCycle) std::raise(SIGINT);
        if (script_.messagePerCycle) s_.ui.message("Matter QUI007-0003 not found!!!");
        if (script_.lockConflictPerCycle || script_.lockNeverFrees) {
            do {
                ++seen_.waits;
                if (s_.ui.waitRetry("Locking Control (32) Locked", 0) != 1) {
                    response_ = RequestCancelled;
                    endLoop();
                    return;
                }
            } while (script_.lockNeverFrees);
            // The retry goes through.
            ASSERT_EQ(s_.ctx.begin(2), 0);
            ASSERT_EQ(s_.ctx.commit(), 0);
        }
        if (script_.warningInCycle) {
            s_.ui.message("Error: (Disk I/O (90)) attempting to access a record from the L_DiaryAtt file.", "Record Retrieval Error",
                          ui::Icon::Warning);
            response_ = RequestCancelled;
            endLoop();
            return;
        }
        if (seen_.cycles >= script_.cycles) {
            response_ = RequestCompleted;
            endLoop();
        }
    }
    void cancelConfirmed() override {
        seen_.cancelled = true;
        response_ = RequestCancelled;
        endLoop();
    }
    void finish() override {
        seen_.finished = true;
        s_.ui.message("Import Complete!");
    }
    int response() const override { return response_; }

private:
    Session s_;
    Script script_;
    Observed& seen_;
    int response_ = RequestCancelled;
};

class RunImport : public ::testing::Test {
protected:
    void SetUp() override {
        Error e = makeDemoDatabase(dir_.file("practice.db"));
        ASSERT_FALSE(e) << e.driverText;
        settings_.driver = "sqlite";
        settings_.database = dir_.file("practice.db");
        err_ = std::tmpfile();
        ASSERT_NE(err_, nullptr);
    }
    void TearDown() override {
        if (err_) std::fclose(err_);
    }
    int run(Script script, const db::Settings* settings = nullptr) {
        ProcessFactory make = [&](Session s, ui::ProgressView& view) -> std::unique_ptr<ui::Process> {
            ++made_;
            return std::make_unique<ScriptedImport>(s, view, script, seen_);
        };
        return runImport("test import", make, settings ? *settings : settings_, dir_.file("vorn.ini"), err_);
    }
    std::string errText() {
        std::fflush(err_);
        std::rewind(err_);
        std::string s;
        char buf[512];
        while (size_t n = std::fread(buf, 1, sizeof buf, err_)) s.append(buf, n);
        return s;
    }

    TempFolder dir_;
    db::Settings settings_;
    std::FILE* err_ = nullptr;
    Observed seen_;
    int made_ = 0;
};

TEST_F(RunImport, ACompletedRunExitsZeroAfterItsCycles) {
    EXPECT_EQ(run(Script{.cycles = 3, .messagePerCycle = true}), ExitOk);
    EXPECT_EQ(seen_.cycles, 3);
    EXPECT_TRUE(seen_.finished);
    EXPECT_FALSE(seen_.cancelled);
    EXPECT_EQ(seen_.lastBatch, 1200) << "the process runs on the database of the settings";
    const std::string err = errText();
    EXPECT_TRUE(contains(err, "Matter QUI007-0003 not found!!!\n")) << err;
    EXPECT_TRUE(contains(err, "Import Complete!\n")) << err;
}

TEST_F(RunImport, ARunWithNothingToReadExitsZero) {
    EXPECT_EQ(run(Script{.cycles = 0}), ExitOk);
    EXPECT_EQ(seen_.cycles, 0);
    EXPECT_TRUE(seen_.finished);
}

TEST_F(RunImport, ARunEndedByAStandardWarningFails) {
    EXPECT_EQ(run(Script{.cycles = 5, .warningInCycle = true}), ExitFailed);
    EXPECT_EQ(seen_.cycles, 1);
    EXPECT_TRUE(seen_.finished) << "the end steps still run";
    EXPECT_TRUE(contains(errText(), "Record Retrieval Error: Error: (Disk I/O (90))"));
}

TEST_F(RunImport, CtrlCEndsTheRunAfterTheCycleInProgress) {
    void (*before)(int) = std::signal(SIGINT, SIG_IGN);
    EXPECT_EQ(run(Script{.cycles = 10, .interruptInCycle = 2}), ExitInterrupted);
    EXPECT_EQ(seen_.cycles, 2) << "the cycle in progress finishes, no other starts";
    EXPECT_TRUE(seen_.cancelled);
    EXPECT_TRUE(seen_.finished) << "the end steps still run after a Cancel";
    // The program's own Ctrl+C handling ends with the run.
    EXPECT_EQ(std::signal(SIGINT, before), SIG_IGN);
}

TEST_F(RunImport, AnInterruptOfAnEarlierRunDoesNotCancelTheNext) {
    EXPECT_EQ(run(Script{.cycles = 10, .interruptInCycle = 1}), ExitInterrupted);
    seen_ = Observed{};
    EXPECT_EQ(run(Script{.cycles = 3}), ExitOk);
    EXPECT_EQ(seen_.cycles, 3);
}

// The automatic retries are bounded per wait: a long run that meets many short lock
// conflicts never gives up on one of them, while a lock that never frees still ends the run.
TEST_F(RunImport, RetriesAreBoundedPerWaitNotPerRun) {
    EXPECT_EQ(run(Script{.cycles = 45, .lockConflictPerCycle = true}), ExitOk);
    EXPECT_EQ(seen_.cycles, 45);
    EXPECT_EQ(seen_.waits, 45);
    EXPECT_FALSE(contains(errText(), "giving up")) << errText();

    seen_ = Observed{};
    EXPECT_EQ(run(Script{.cycles = 5, .lockNeverFrees = true}), ExitFailed);
    EXPECT_EQ(seen_.waits, 21) << "twenty automatic retries, then the message gives up";
    EXPECT_TRUE(contains(errText(), "Wait Message: giving up after 20 retries\n")) << errText();
}

TEST_F(RunImport, ARunThatCannotStartFails) {
    EXPECT_EQ(run(Script{.prepares = false}), ExitFailed);
    EXPECT_EQ(seen_.cycles, 0);
    EXPECT_FALSE(seen_.finished);
    const std::string err = errText();
    EXPECT_TRUE(contains(err, "Invalid File!\n")) << err;
    EXPECT_TRUE(contains(err, "marrowgate: the test import could not start\n")) << err;
}

TEST_F(RunImport, ADatabaseThatCannotBeOpenedFailsBeforeTheProcessIsMade) {
    test::writeFile(dir_.file("vorn.ini"), "[database]\r\ndriver=sqlite\r\ndatabase=no-such.db\r\n");
    db::Settings missing = settings_;
    missing.database = dir_.file("no-such.db");
    EXPECT_EQ(run(Script{}, &missing), ExitFailed);
    EXPECT_EQ(made_, 0);
    const std::string err = errText();
    EXPECT_TRUE(contains(err, "marrowgate: the test import cannot open the database (settings from " + dir_.file("vorn.ini") + "): "))
        << err;
    EXPECT_TRUE(contains(err, "no-such.db")) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << "one line";

    db::Settings server;  // the SQL Server driver of this build
    EXPECT_EQ(run(Script{}, &server), ExitFailed);
    EXPECT_EQ(made_, 0);
}

// A wait is the wait/retry messages that follow one another while no work goes through;
// each wait has its own allowance of automatic retries. 'w' is a message expected to retry,
// 'g' one expected to give up, '+' work that went through.
TEST(CommandLineUserInterface, EachWaitHasItsOwnRetries) {
    const std::pair<const char*, const char*> cases[] = {
        {"short conflicts, each freed at once", "w+w+w+w+w+w+w+w+w+w+"},
        {"one wait runs out", "wwwg"},
        {"a wait runs out after earlier short ones", "w+w+w+wwwg"},
        {"work in the middle of a wait starts a new one", "ww+www+wwwg"},
        {"no work, no new allowance", "www+wwwggg"},
    };
    for (const auto& [name, events] : cases) {
        SCOPED_TRACE(name);
        std::FILE* out = std::tmpfile();
        ASSERT_NE(out, nullptr);
        CommandLineUserInterface ui(out, 3);
        ui.setTickMilliseconds(0);
        uint64_t work = 0;
        ui.countWaitsBy([&work] { return work; });
        int step = 0;
        for (const char* e = events; *e; ++e, ++step) {
            if (*e == '+') {
                ++work;
                continue;
            }
            EXPECT_EQ(ui.waitRetry("Locking Control (32) Locked", 1), *e == 'w' ? 1 : 0) << "event " << step;
        }
        EXPECT_EQ(ui.retriesGivenUp(), static_cast<int>(std::count(events, events + std::strlen(events), 'g')));
        std::fclose(out);
    }
}

TEST(CommandLineUserInterface, CountsWarningsAndAnswersWithTheDefault) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    CommandLineUserInterface ui(out, 0);
    EXPECT_EQ(ui.message("Do you still wish to Cancel?", "Cancel Process", ui::Icon::Question, ui::ButtonYes + ui::ButtonNo,
                         ui::ButtonNo),
              ui::ButtonNo);
    EXPECT_EQ(ui.message("Import Complete!"), ui::ButtonOk);
    ui.message("Error: (x) attempting to open the current VIEW.", "View Open Error", ui::Icon::Warning);
    EXPECT_EQ(ui.messagesShown(), 3);
    EXPECT_EQ(ui.warningsShown(), 1);
    EXPECT_EQ(ui.waitRetry("Locking Control (32) Locked", 1), 0) << "no retries left";
    EXPECT_EQ(ui.retriesGivenUp(), 1);
    std::fclose(out);
}

// ---- the program itself ----------------------------------------------------------------------

TEST(Program, HelpListsTheCommands) {
    TempFolder dir;
    ProgramRun r = runProgram(dir.path(), {"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* word : {"init-db [--demo] FILE", "import-outlays", "import-fees", "schema", "--trace-sql", "--help"})
        EXPECT_TRUE(contains(r.out, word)) << word << " missing from\n" << r.out;
    EXPECT_EQ(r.err, "");
}

TEST(Program, AnUnknownCommandFailsWithOneLine) {
    TempFolder dir;
    ProgramRun r = runProgram(dir.path(), {"import-everything"});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err, "marrowgate: unknown command \"import-everything\" (marrowgate --help lists the commands)\n");
    r = runProgram(dir.path(), {"--frobnicate"});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(contains(r.err, "unknown command \"--frobnicate\"")) << r.err;
}

TEST(Program, InitDbMakesANewDatabaseWithEveryTable) {
    TempFolder dir;
    ProgramRun r = runProgram(dir.path(), {"init-db", "practice.db"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "practice.db")) << r.out;
    SqlFile db(dir.file("practice.db"));
    for (const TableDecl& t : allTables()) {
        if (t.isResultTable()) continue;
        EXPECT_EQ(db.count("SELECT count(*) FROM sqlite_master WHERE name = '" + std::string(t.storageName()) + "'"), 1) << t.storageName();
    }
    EXPECT_EQ(db.count("SELECT count(*) FROM DiaryAttachments"), 0);
    EXPECT_EQ(db.scalar("PRAGMA journal_mode"), "wal");
}

TEST(Program, InitDbRefusesAnExistingFile) {
    TempFolder dir;
    test::writeFile(dir.file("practice.db"), "the practice's books");
    ProgramRun r = runProgram(dir.path(), {"init-db", "--demo", "practice.db"});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(contains(r.err, "practice.db exists already")) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(test::readFile(dir.file("practice.db")), "the practice's books");
}

TEST(Program, InitDbWantsExactlyOneFile) {
    TempFolder dir;
    EXPECT_NE(runProgram(dir.path(), {"init-db"}).status, 0);
    EXPECT_NE(runProgram(dir.path(), {"init-db", "a.db", "b.db"}).status, 0);
    EXPECT_NE(runProgram(dir.path(), {"init-db", "--demos", "a.db"}).status, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.db")));
}

TEST(Program, InitDbDemoFillsThePracticeAndTracesItsStatements) {
    TempFolder dir;
    ProgramRun r = runProgram(dir.path(), {"--trace-sql", "trace.sql", "init-db", "--demo", "demo.db"});
    ASSERT_EQ(r.status, 0) << r.err;
    SqlFile db(dir.file("demo.db"));
    EXPECT_EQ(db.count("SELECT count(*) FROM DiaryAttachments"), demo::kAttachments);
    const std::string trace = test::readFile(dir.file("trace.sql"));
    EXPECT_TRUE(contains(trace, "INSERT INTO \"DiaryAttachments\"")) << trace.substr(0, 400);
    // The demo's style and the images it names lie beside the database.
    const std::string style = test::readFile(dir.file("Style.Ini"));
    for (const char* section : {"[Basic1 Form]", "[Basic2 Form]", "[Basic3 Form]", "CoolButtonSelected=demo_button_hot.bmp"})
        EXPECT_TRUE(contains(style, section)) << section;
    for (const char* image : {"demo_paper.bmp", "demo_tile.bmp", "demo_button.bmp", "demo_button_hot.bmp"})
        EXPECT_EQ(test::readFile(dir.file(image)).substr(0, 2), "BM") << image;

    r = runProgram(dir.path(), {"init-db", "--demo", "other.db", "--trace-sql"});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(contains(r.err, "--trace-sql needs the name of the trace file")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("other.db")));
}

TEST(Program, SchemaPrintsTheDeclarations) {
    TempFolder dir;
    ProgramRun r = runProgram(dir.path(), {"schema", "--dialect", "sqlite"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, ddl::script(db::SqlDialect::Sqlite));
    EXPECT_TRUE(contains(r.out, "CREATE TABLE \"BatchH\"")) << r.out.substr(0, 300);

    r = runProgram(dir.path(), {"schema", "--dialect=mssql"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, ddl::script(db::SqlDialect::SqlServer));

    r = runProgram(dir.path(), {"schema", "--dialect", "oracle"});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(contains(r.err, "unknown dialect \"oracle\"")) << r.err;
    EXPECT_EQ(r.out, "");
}

// Each command has its own help; a wrong use is one line naming what was wrong.
TEST(Program, EveryCommandHasItsHelpAndAWrongUseIsOneLine) {
    TempFolder dir;
    for (const char* command : {"init-db", "import-outlays", "import-fees", "report", "schema", "runs", "undo-run"}) {
        for (std::vector<std::string> args : {std::vector<std::string>{command, "--help"}, {"help", command}, {command, "x", "-h"}}) {
            ProgramRun r = runProgram(dir.path(), args);
            EXPECT_EQ(r.status, 0) << args[0] << " " << args[1] << ": " << r.err;
            EXPECT_TRUE(contains(r.out, std::string("Usage: marrowgate ") + command)) << r.out;
            EXPECT_EQ(r.err, "");
        }
    }
    struct Case {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"--help", "extra", "more"}, "--help takes no arguments other than a command's name"},
        {{"help", "frob"}, "unknown command \"frob\""},
        {{"schema", "--dialect"}, "schema: --dialect needs a value"},
        {{"import-outlays", "--frob"}, "import-outlays: unexpected \"--frob\" (usage: marrowgate import-outlays [--from-track-ref N | "
                                       "--all] [--dry-run] [--csv FILE [--force]] [--trace-sql FILE]"},
        {{"import-outlays", "--from-track-ref", "x"}, "import-outlays: --from-track-ref needs the tracking reference to start after"},
        {{"undo-run", "two"}, "undo-run: unexpected \"two\" (usage: marrowgate undo-run [RUN] [--dry-run])"},
        {{"import-fees", "practice.db"}, "import-fees: unexpected \"practice.db\""},
        {{"import-fees", "--csv"}, "import-fees: --csv needs the name of the CSV file"},
    };
    for (const Case& c : cases) {
        ProgramRun r = runProgram(dir.path(), c.args);
        EXPECT_EQ(r.status, 1) << c.says;
        EXPECT_TRUE(contains(r.err, c.says)) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

// Without a display the desktop program says so in one line instead of Qt's plug-in abort.
TEST(Program, TheDesktopWithoutADisplaySaysSoInOneLine) {
    TempFolder dir;
    const struct {
        const char* environment;
        const char* says;
    } cases[] = {
        {"-u DISPLAY", "needs a display (neither DISPLAY nor WAYLAND_DISPLAY is set)"},
        // Set, but nothing answers there (a stale display of an ssh session).
        {"DISPLAY=:97", "cannot open its display :97 (could not connect to display :97)"},
    };
    for (const auto& c : cases) {
        ProgramRun r = runProgram(dir.path(), {}, std::string("env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ") + c.environment);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, std::string("marrowgate: the desktop program ") + c.says + "; the commands run without one: marrowgate --help\n");
    }
}

// A report run from a login without a runtime folder (a service, ssh) prints nothing but the
// report: Qt's note about the folder is left out.
TEST(Program, AReportPrintsNoNoteOfQtsOwn) {
    TempFolder dir;
    ASSERT_EQ(test::makeDemoFolder(dir.path()).status, 0);
    const std::string err = dir.file("err.txt");
    const int rc = std::system(("cd " + test::quoted(dir.path().string()) + " && env -u XDG_RUNTIME_DIR " + test::quoted(MG_MARROWGATE_PATH) +
                                " report fees-to-import --csv r.csv 2>" + test::quoted(err) + " </dev/null")
                                   .c_str());
    EXPECT_EQ(WEXITSTATUS(rc), 0);
    EXPECT_EQ(test::readFile(err), "21 lines written to r.csv\n");
}

// Without vorn.ini the one line says so, and that the defaults were used.
TEST(Program, AMissingVornIniIsNamed) {
    TempFolder dir;
    for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
             {"import-outlays"}, {"import-fees", "--dry-run"}, {"report", "fees-to-import"}, {"runs"}}) {
        ProgramRun r = runProgram(dir.path(), command);
        EXPECT_EQ(r.status, 1) << command[0];
        EXPECT_TRUE(contains(r.err, "there is no vorn.ini in " + dir.path().string() + ": the built-in defaults were used")) << r.err;
    }
}

TEST(Program, AnImportWithoutADatabaseFailsWithOneLine) {
    TempFolder dir;
    test::writeFile(dir.file("vorn.ini"), "[database]\ndriver=sqlite\ndatabase=missing.db\n");
    for (const char* command : {"import-outlays", "import-fees"}) {
        ProgramRun r = runProgram(dir.path(), {command});
        EXPECT_EQ(r.status, 1) << command << ": " << r.err;
        EXPECT_TRUE(contains(r.err, "cannot open the database")) << r.err;
        EXPECT_TRUE(contains(r.err, "vorn.ini")) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("missing.db"))) << "an import never makes a database";
    }
}

// ---- the imports on the demo practice (once they are part of the build) ------------------------

class DemoImports : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramRun r = test::makeDemoFolder(dir_.path());
        ASSERT_EQ(r.status, 0) << r.err;
    }
    long long count(const std::string& sql) { return SqlFile(dir_.file("practice.db")).count(sql); }

    TempFolder dir_;
};

// At a console the run shows how far it is on one line that its messages and summary clear;
// redirected, standard error holds the messages and the summary alone.
TEST_F(DemoImports, OutlayImportPostsTheDemoAndStoresTheLastTrackingReference) {
    ProgramRun dry = runProgram(dir_.path(), {"import-outlays", "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_FALSE(contains(dry.err, "of about")) << dry.err;
    EXPECT_EQ(dry.err.find('\r'), std::string::npos) << dry.err;
#ifndef _WIN32
    ProgramRun r = test::runOnTerminal(dir_.path(), {"import-outlays"});
    EXPECT_TRUE(contains(r.err, " of about 21 attachments")) << r.err;
    EXPECT_TRUE(contains(r.err, "\r\x1b[KImport Complete!")) << "a message clears the progress line: " << r.err;
    EXPECT_TRUE(contains(r.err, "\nRun of import-outlays")) << r.err;
#else
    ProgramRun r = runProgram(dir_.path(), {"import-outlays"});
#endif
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "Import Complete!")) << r.err;
    EXPECT_TRUE(contains(r.err, std::string("Matter ") + demo::kMissingMatter + " not found!!!")) << r.err;
    EXPECT_TRUE(contains(r.err, "No Diary record found for Action ID " + std::to_string(demo::kMissingDiaryId))) << r.err;
    EXPECT_EQ(readLastTrackRef(dir_.file("Quillerton.ini")), demo::kLastTrackRef);
    const long long lines = count("SELECT count(*) FROM BatchDetails");
    EXPECT_GT(lines, 4);
    EXPECT_GT(count("SELECT count(*) FROM BatchH WHERE Posted = 'N'"), 0);

    // A second run finds nothing above the stored reference and posts nothing.
    r = runProgram(dir_.path(), {"import-outlays"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count("SELECT count(*) FROM BatchDetails"), lines);
}

// Quillerton.ini saved by Notepad as "Unicode" still holds the last tracking reference; a
// file the program cannot read stops the import instead of posting everything again.
TEST_F(DemoImports, OutlayImportReadsAUnicodeQuillertonIniAndRefusesAnUnreadableOne) {
    ProgramRun r = runProgram(dir_.path(), {"import-outlays"});
    ASSERT_EQ(r.status, 0) << r.err;
    const long long lines = count("SELECT count(*) FROM BatchDetails");
    const std::string ini = dir_.file("Quillerton.ini");

    // As Notepad saves it as "Unicode": UTF-16 little-endian with its mark.
    const std::string text = "[DocumentOutlays]\r\nLastTrackRef=" + std::to_string(demo::kLastTrackRef) + "\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : text) utf16 += std::string{c, '\0'};
    test::writeFile(ini, utf16);
    r = runProgram(dir_.path(), {"import-outlays"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count("SELECT count(*) FROM BatchDetails"), lines) << "nothing posted twice";
    EXPECT_EQ(test::readFile(ini).substr(0, 2), "\xFF\xFE") << "written back as UTF-16";
    EXPECT_EQ(readLastTrackRef(ini), demo::kLastTrackRef);

    // Broken: an odd number of bytes after the mark.
    test::writeFile(ini, utf16 + "x");
    r = runProgram(dir_.path(), {"import-outlays"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.err, "Quillerton.ini is not a settings file the program can read")) << r.err;
    EXPECT_TRUE(contains(r.err, "The import does not start, so that no attachment is posted twice.")) << r.err;
    EXPECT_EQ(count("SELECT count(*) FROM BatchDetails"), lines);
    EXPECT_EQ(test::readFile(ini), utf16 + "x") << "left as it was";
}

TEST_F(DemoImports, FeeImportEntersTheDemoFees) {
    ProgramRun r = runProgram(dir_.path(), {"import-fees"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "Fees Import Complete!")) << r.err;
    EXPECT_TRUE(contains(r.err, std::string("Matter Code Not found in the OPEN Matters....") + demo::kMissingMatter)) << r.err;
    EXPECT_TRUE(contains(r.err, std::string("Matter ") + demo::kNoArrangementMatter + " has no Charge Type. It MUST for fees.."))
        << r.err;
    const long long entries = count("SELECT count(*) FROM TimeDayBook");
    EXPECT_GT(entries, 3);
    EXPECT_EQ(count("SELECT count(*) FROM FeesImported"), entries - 3);

    // Fees entered are not entered again.
    r = runProgram(dir_.path(), {"import-fees"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count("SELECT count(*) FROM TimeDayBook"), entries);
}

}  // namespace
}  // namespace mg::shell
