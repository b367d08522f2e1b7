#pragma once
// The command line of the one executable:
//
//     marrowgate                        the desktop program
//     marrowgate init-db [--demo] [FILE]
//                                       a new embedded database (with --demo, a small practice);
//                                       without FILE the tables in the server database of vorn.ini
//     marrowgate import-outlays|import-fees [--dry-run] [--csv FILE [--force]]
//                                       an import, messages on standard error; --dry-run what it
//                                       would post, nothing kept; --csv the lines as a CSV file
//     marrowgate report fees-to-import | fees-imported --date YYYY-MM-DD  [--pdf FILE] [--csv FILE]
//                                       a fee report as a PDF or CSV file
//     marrowgate schema [--dialect sqlite|mssql|postgresql]
//                                       the definition statements of every table
//     marrowgate --help | COMMAND --help
//
// "--trace-sql FILE" is accepted before or after any command (the desktop program's too):
// every statement the program builds is appended to FILE.
//
// Exit status: 0 the command did its work (an import that found nothing to do included);
// 1 it could not start, was used wrongly or ended on an error (an import that could not post
// an attachment or enter a fee because of an error included); 130 an import was ended by
// Ctrl+C or a request to end the program (what was posted before it stays posted).
//
// The imports themselves are handed in by the executable (ImportJobs), so this part of the
// shell needs neither of them and tests can run it with processes of their own.

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/backend.h"
#include "data/copy_tables.h"
#include "maintenance/integrity.h"
#include "shell/run_record.h"
#include "ui/console.h"
#include "ui/process.h"

namespace mg::shell {

enum ExitStatus : int {
    ExitOk = 0,
    ExitFailed = 1,
    ExitInterrupted = 130,
};

// The console user interface of a command-line job, which also keeps count of what it
// showed: how the run ended is told by the messages as much as by the response word.
class CommandLineUserInterface : public ui::ConsoleUserInterface {
public:
    using ui::ConsoleUserInterface::ConsoleUserInterface;

    int message(const ui::Message& m) override;
    using ui::UserInterface::message;
    int waitRetry(std::string_view text, int ticks) override;

    int messagesShown() const { return messages_; }
    // Messages with a warning or error icon: the standard warnings of table errors.
    int warningsShown() const { return warnings_; }
    // Wait/retry messages that gave up.
    int retriesGivenUp() const { return givenUp_; }

private:
    int messages_ = 0;
    int warnings_ = 0;
    int givenUp_ = 0;
};

// How an import run ended, as the exit status sees it.
struct RunOutcome {
    bool started = false;      // the process prepared (its tables opened)
    int response = 0;          // 1 completed, 2 cancelled (also: nothing to read, ended early)
    bool interrupted = false;  // Ctrl+C was pressed
    bool halted = false;       // the program was halted by a message
    int messages = 0;          // messages shown, the closing one included
    int warnings = 0;          // standard warnings shown
    int retriesGivenUp = 0;
};

// The exit status of an import run:
//  - could not start, or halted: 1;
//  - ended by Ctrl+C: 130;
//  - a standard warning was shown (a table could not be read) or a locked control row was
//    given up: 1, since the run did not do all its work;
//  - completed: 0, whatever per-document messages it showed on the way;
//  - cancelled without Ctrl+C: 0 when the closing message was all it showed (nothing to
//    read), else 1 (it was ended early by an error it reported).
int exitStatus(const RunOutcome& outcome);

// A process of the session, showing its progress on `view`.
using ProcessFactory = std::function<std::unique_ptr<ui::Process>(Session, ui::ProgressView&)>;

// An import that tells `record` what it posts (its lines and exceptions as it goes,
// its counts through `collect`, called once the run has ended, before the process goes).
// `productIni` is the product INI file it is to use (a copy of it in a dry run).
struct ImportRequest {
    Session session;
    ui::ProgressView& view;
    RunRecord& record;
    std::string productIni;
    // The outlay import's starting point chosen on purpose (--from-track-ref N, --all).
    std::optional<int32_t> fromTrackRef;
};
struct RecordedImport {
    std::unique_ptr<ui::Process> process;  // none: the import could not be made
    std::function<void()> collect;
    std::shared_ptr<void> keep;            // what the process reports to, kept for the run
};
using RecordedFactory = std::function<RecordedImport(const ImportRequest&)>;

// What a dry run on a server database copies of it for an import, given the product INI
// file (see data/copy_tables.h).
using CopyPlan = std::function<std::vector<db::TableRows>(const std::string& productIni)>;

struct ImportJobs {
    // The imports with their lines, counts and exceptions recorded: they give the dry runs,
    // the CSV files, the run summary and the run log.
    RecordedFactory recordedOutlays;
    RecordedFactory recordedFees;
    // What their dry runs copy of a server database.
    CopyPlan outlayCopy;
    CopyPlan feeCopy;
    // The report command ("report" and its arguments).
    std::function<int(const std::vector<std::string>& args)> report;
    // The run history: "runs" and "undo-run" with their arguments.
    std::function<int(const std::vector<std::string>& args)> runs;
    std::function<int(const std::vector<std::string>& args)> undoRun;
};

// Runs an import without windows: connects with `settings` (read from `settingsFile`, which
// the error line names when the database cannot be opened), makes the process, runs it
// with Ctrl+C as a confirmed Cancel, and returns the exit status. `what` names the job in
// the one-line errors ("outlay import"). The commands run it on the connection settings
// of the current directory.
int runImport(std::string_view what, const ProcessFactory& make, const db::Settings& settings,
              std::string_view settingsFile, std::FILE* err = stderr);

// The text of --help, and of COMMAND --help (empty for a command that has none).
std::string usage();
std::string commandUsage(std::string_view command);

// Parses the arguments and runs the command; `desktop` runs the desktop program (with the
// arguments the command line did not take). Returns the exit status.
int runCommandLine(int argc, char** argv, const ImportJobs& jobs, int (*desktop)(int, char**));

}  // namespace mg::shell
