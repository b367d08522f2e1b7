#include "shell/cli.h"

#include <algorithm>
#include <array>
#include <csignal>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "data/backend.h"
#include "data/context.h"
#include "data/database.h"
#include "data/ddl.h"
#include "data/dialect.h"
#include "data/file_io.h"
#include "data/ini.h"
#include "shell/demo.h"
#include "shell/demo_style.h"
#include "shell/dry_run.h"
#include "shell/settings.h"

#ifndef _WIN32
#include <unistd.h>
#else
#include <io.h>
#endif

namespace mg::shell {
namespace {

volatile std::sig_atomic_t interrupted = 0;
// Set while a progress line stands on the terminal: the note of a Ctrl+C clears it first.
volatile std::sig_atomic_t progressShown = 0;

extern "C" void onInterrupt(int sig) {
    if (interrupted) {
        // A second Ctrl+C: the user does not want to wait for the cycle to finish.
        std::signal(sig, SIG_DFL);
        std::raise(sig);
        return;
    }
    interrupted = 1;
    static const char note[] = "\r\x1b[KCancel: the run ends after the current cycle (Ctrl+C again to stop at once)\n";
    // Without a progress line the note starts where standard error stands, without the clearing.
    const char* text = progressShown ? note : note + 4;
    const size_t size = sizeof note - 1 - (progressShown ? 0 : 4);
#ifdef _WIN32
    // The C runtime calls this on a thread of its own when the console sends Ctrl+C, and
    // puts the default back first: the handler is set again for the second Ctrl+C.
    std::signal(sig, onInterrupt);
    (void)_write(2, text, static_cast<unsigned>(size));
#else
    ssize_t written = ::write(2, text, size);
    (void)written;
#endif
}

// Ctrl+C handling for the length of one run. A request to end the program (what `timeout`,
// a service manager or a logoff sends) ends the run as Ctrl+C does: after the cycle in
// progress, with the summary and the run log's line.
class InterruptGuard {
public:
    InterruptGuard() {
        interrupted = 0;
        for (size_t i = 0; i < kSignals.size(); ++i) previous_[i] = std::signal(kSignals[i], onInterrupt);
    }
    ~InterruptGuard() {
        for (size_t i = 0; i < kSignals.size(); ++i) std::signal(kSignals[i], previous_[i] == SIG_ERR ? SIG_DFL : previous_[i]);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
#ifdef SIGHUP
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
#else
    static constexpr std::array<int, 2> kSignals{SIGINT, SIGTERM};
#endif
    std::array<void (*)(int), kSignals.size()> previous_{};
};

void errorLine(std::FILE* err, std::string_view text) {
    std::fprintf(err, "marrowgate: %.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(err);
}

std::string driverText(const Error& e) {
    if (!e.driverText.empty()) return e.driverText;
    return e.text;
}

// The settings of the connection INI file, or one line saying why they cannot be taken.
bool settingsUsable(const Globals& g, std::string_view what) {
    const std::string trouble = connectionIniTrouble(g.connectionIni);
    if (trouble.empty()) return true;
    errorLine(stderr, std::string(what) + " cannot start: " + trouble);
    return false;
}

// ---- commands ----------------------------------------------------------------------------

int initDb(const std::vector<std::string>& args) {
    bool demo = false;
    std::string file;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--demo") {
            demo = true;
        } else if (a.size() > 1 && a[0] == '-') {
            errorLine(stderr, "init-db: unknown option \"" + a + "\" (usage: marrowgate init-db [--demo] FILE)");
            return ExitFailed;
        } else if (file.empty()) {
            file = a;
        } else {
            errorLine(stderr, "init-db takes one file name (usage: marrowgate init-db [--demo] FILE)");
            return ExitFailed;
        }
    }
    if (file.empty()) {
        // Without a file: the tables go into the server database that vorn.ini names.
        const std::string ini = connectionIniPath();
        if (const std::string trouble = connectionIniTrouble(ini); !trouble.empty()) {
            errorLine(stderr, "init-db cannot start: " + trouble);
            return ExitFailed;
        }
        ConnectionSettings settings = readConnectionSettings(ini);
        if (settings.db.driver != "sqlite") {
            Error e = demo ? makeDemoDatabase(settings.db) : db::createTables(settings.db);
            if (e) {
                errorLine(stderr, "init-db: cannot make the tables in the database " + settings.db.database + " (" + settingsFrom(ini) +
                                      "): " + driverText(e));
                return ExitFailed;
            }
            std::printf("Created the tables%s in the database %s.\n", demo ? " and the demo practice" : "", settings.db.database.c_str());
            if (demo && !writeDemoProductIni(""))
                errorLine(stderr, "init-db: could not write the demo's Quillerton.ini in the working folder");
            return ExitOk;
        }
        errorLine(stderr, "init-db needs the name of the new database file (usage: marrowgate init-db [--demo] FILE)");
        return ExitFailed;
    }
    std::error_code ec;
    if (std::filesystem::exists(files::pathOf(file), ec)) {
        errorLine(stderr, "init-db: " + file + " exists already; init-db only makes a new database and leaves an existing file alone");
        return ExitFailed;
    }
    Error e = demo ? makeDemoDatabase(file) : db::createDatabase(file);
    if (e) {
        errorLine(stderr, "init-db: cannot make " + file + ": " + driverText(e));
        return ExitFailed;
    }
    std::filesystem::path full = std::filesystem::absolute(files::pathOf(file), ec);
    std::printf("Created %s %s.\n", demo ? "the demo database" : "the database", (ec ? file : files::textOf(full)).c_str());
    // The demo's look goes beside it: the program reads Style.Ini from its working folder.
    if (demo && !writeDemoStyle(files::textOf(files::pathOf(file).parent_path())))
        errorLine(stderr, "init-db: could not write the demo style Style.Ini beside " + file);
    if (demo && !writeDemoProductIni(files::textOf(files::pathOf(file).parent_path())))
        errorLine(stderr, "init-db: could not write the demo's Quillerton.ini beside " + file);
    std::printf("To work on it, put in vorn.ini of the working folder:\n[database]\ndriver=sqlite\ndatabase=%s\n",
                (ec ? file : files::textOf(full)).c_str());
    return ExitOk;
}

int schema(const std::vector<std::string>& args) {
    std::string dialect = "sqlite";
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--dialect" || a == "--dialect=") {
            if (a == "--dialect=" || i + 1 >= args.size()) {
                errorLine(stderr, "schema: --dialect needs a value: sqlite, mssql or postgresql");
                return ExitFailed;
            }
            dialect = args[++i];
        } else if (a.rfind("--dialect=", 0) == 0) {
            dialect = a.substr(10);
        } else {
            errorLine(stderr, "schema: unexpected \"" + a + "\" (usage: marrowgate schema [--dialect sqlite|mssql|postgresql])");
            return ExitFailed;
        }
    }
    std::optional<db::SqlDialect> d = db::dialectNamed(dialect);
    if (!d) {
        errorLine(stderr, "schema: unknown dialect \"" + dialect + "\" (sqlite, mssql or postgresql)");
        return ExitFailed;
    }
    std::string text = ddl::script(*d);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return ExitOk;
}

int runProcess(std::string_view what, const ProcessFactory& make, const db::Settings& settings, std::string_view settingsFile,
               std::FILE* err, const std::function<void()>& afterRun);

// An import with its lines recorded: a dry run on copies of the database and the product
// INI file, or a real run that ends with the run summary and a line in the run log.
int recordedImport(const std::string& command, std::string_view what, const RecordedFactory& make, const CopyPlan& copyPlan,
                   bool dryRun, const std::string& csvFile, bool force, std::optional<int32_t> fromTrackRef) {
    const Globals& g = startUp();
    if (!settingsUsable(g, "the " + std::string(what))) return ExitFailed;
    db::Settings settings = g.connection.db;
    std::string productIni = productIniPath();
    const std::string log = files::textOf(files::pathOf(productIni).parent_path() / kRunLogName);
    if (!csvFile.empty()) {
        // Checked before anything runs: a CSV file must never take the place of a file the
        // program keeps, nor of a file of the user's that is not one of its CSV files.
        std::vector<std::string> kept{g.connectionIni, productIni, productIni + ".journal", log};
        if (settings.driver == "sqlite")
            for (const char* suffix : {"", "-wal", "-shm", "-journal", ".outlay-import.lock"}) kept.push_back(settings.database + suffix);
        if (const std::string trouble = csvTargetTrouble(csvFile, kept, force); !trouble.empty()) {
            errorLine(stderr, command + ": " + trouble);
            return ExitFailed;
        }
    }
    // A LastTrackRef that cannot be taken at its word stops the outlay import before anything,
    // a dry run's copies included: the message names the user's own file.
    if (command == "import-outlays") {
        if (std::string refusal = outlayImportRefusal(productIni); !refusal.empty()) {
            std::replace(refusal.begin(), refusal.end(), '|', ' ');
            errorLine(stderr, command + ": " + refusal);
            return ExitFailed;
        }
    }
    RunRecord record;
    record.command = command;
    record.dryRun = dryRun;
    DryRunSpace space;
    if (dryRun) {
        const bool embedded = settings.driver == "sqlite";
        std::error_code ec;
        if (embedded && !std::filesystem::is_regular_file(settings.database, ec)) {
            errorLine(stderr, "the " + std::string(what) + " cannot open the database (" + settingsFrom(g.connectionIni) +
                                  "): " + settings.database + " is not there");
            return ExitFailed;
        }
        std::string error;
        // The outlay import's posting journal goes with the product INI file.
        if (!space.make(settings, embedded ? std::vector<db::TableRows>{} : copyPlan(productIni), productIni, ".journal", error)) {
            errorLine(stderr, "the dry run cannot start (" + settingsFrom(g.connectionIni) + "): " + error);
            return ExitFailed;
        }
        settings = db::Settings{};
        settings.driver = "sqlite";
        settings.database = space.database();
        productIni = space.productIni();
    }
    std::function<void()> collect;
    std::shared_ptr<void> keep;
    // A run that could not reach its database, or whose import refused to start (another
    // import holds the lock, the product INI cannot be written), has nothing to sum up.
    bool started = false;
    ProcessFactory factory = [&](Session s, ui::ProgressView& view) -> std::unique_ptr<ui::Process> {
        RecordedImport made = make(ImportRequest{s, view, record, productIni, fromTrackRef});
        collect = std::move(made.collect);
        keep = std::move(made.keep);
        return std::move(made.process);
    };
    record.started = RunRecord::Clock::now();
    int status = runProcess(what, factory, settings, g.connectionIni, stderr, [&] {
        started = true;
        if (collect) collect();
    });
    record.ended = RunRecord::Clock::now();
    space.remove();  // nothing of the dry run is kept
    // An attachment or fee kept out of the books by an error fails the run, though the run
    // went on to the end.
    if (started && record.failed > 0 && status == ExitOk) status = ExitFailed;
    if (started && !csvFile.empty()) {
        std::string error;
        if (!writeCsv(record, csvFile, error)) {
            errorLine(stderr, error);
            if (status == ExitOk) status = ExitFailed;
        }
    }
    record.exitStatus = status;

    if (!started) {
        // The one line that said why is all there is to say.
    } else if (dryRun) {
        std::string text = listing(record) + "\n" + summary(record);
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    } else {
        std::string text = summary(record);
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
        if (!appendRunLog(log, record)) errorLine(stderr, "cannot append to the run log " + log);
    }
    return status;
}

int importCommand(const std::vector<std::string>& args, std::string_view what, const RecordedFactory& recorded,
                  const CopyPlan& copyPlan) {
    bool dryRun = false;
    bool force = false;
    std::string csvFile;
    std::optional<int32_t> fromTrackRef;
    const bool outlays = args[0] == "import-outlays";
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--dry-run") {
            dryRun = true;
        } else if (outlays && a == "--all") {
            fromTrackRef = 0;
        } else if (outlays && a == "--from-track-ref") {
            std::optional<int64_t> n = i + 1 < args.size() ? ini::strictWholeNumber(args[i + 1]) : std::nullopt;
            if (!n || *n < 0 || *n > INT32_MAX) {
                errorLine(stderr, args[0] + ": --from-track-ref needs the tracking reference to start after (a whole number, 0 or more)");
                return ExitFailed;
            }
            fromTrackRef = static_cast<int32_t>(*n);
            ++i;
        } else if (a == "--force") {
            force = true;
        } else if (a == "--csv" && i + 1 < args.size() && !args[i + 1].empty()) {
            csvFile = args[++i];
        } else if (a.rfind("--csv=", 0) == 0 && a.size() > 6) {
            csvFile = a.substr(6);
        } else if (a == "--csv" || a == "--csv=") {
            errorLine(stderr, args[0] + ": --csv needs the name of the CSV file");
            return ExitFailed;
        } else {
            errorLine(stderr, args[0] + ": unexpected \"" + a + "\" (usage: marrowgate " + args[0] +
                                  (outlays ? " [--from-track-ref N | --all]" : "") +
                                  " [--dry-run] [--csv FILE [--force]] [--trace-sql FILE]; it reads vorn.ini and Quillerton.ini of the "
                                  "working folder)");
            return ExitFailed;
        }
    }
    if (force && csvFile.empty()) {
        errorLine(stderr, args[0] + ": --force only goes with --csv FILE (it lets the CSV file replace a file of another kind)");
        return ExitFailed;
    }
    return recordedImport(args[0], what, recorded, copyPlan, dryRun, csvFile, force, fromTrackRef);
}

}  // namespace

// ---- the user interface of a job -------------------------------------------------------------

int CommandLineUserInterface::message(const ui::Message& m) {
    // A note (the run history that cannot be kept) says nothing of how the run ended.
    if (m.icon != ui::Icon::Information) ++messages_;
    if (m.icon == ui::Icon::Warning || m.icon == ui::Icon::Error) ++warnings_;
    return ui::ConsoleUserInterface::message(m);
}

int CommandLineUserInterface::waitRetry(std::string_view text, int ticks) {
    int answer = ui::ConsoleUserInterface::waitRetry(text, ticks);
    if (answer == 0) ++givenUp_;
    return answer;
}

int exitStatus(const RunOutcome& o) {
    if (!o.started || o.halted) return ExitFailed;
    if (o.interrupted) return ExitInterrupted;
    if (o.warnings > 0 || o.retriesGivenUp > 0) return ExitFailed;
    if (o.response == RequestCompleted) return ExitOk;
    return o.messages <= 1 ? ExitOk : ExitFailed;
}

int runImport(std::string_view what, const ProcessFactory& make, const db::Settings& settings, std::string_view settingsFile,
              std::FILE* err) {
    return runProcess(what, make, settings, settingsFile, err, {});
}

namespace {

int runProcess(std::string_view what, const ProcessFactory& make, const db::Settings& settings, std::string_view settingsFile,
               std::FILE* err, const std::function<void()>& afterRun) {
    Context ctx(settings);
    if (!ctx.connection()) {
        errorLine(err, "the " + std::string(what) + " cannot open the database (" + settingsFrom(settingsFile) +
                           "): " + driverText(ctx.lastError()));
        return ExitFailed;
    }
    CommandLineUserInterface ui(err);
    // Ctrl+C ends a wait for a lock at once, not after its retries.
    ui.setInterruptFlag(&interrupted);
    // On a terminal the run shows its progress; redirected, only its messages and summary.
#ifdef _WIN32
    progressShown = _isatty(_fileno(err)) != 0;
#else
    progressShown = isatty(fileno(err)) != 0;
#endif
    ui.showProgress(progressShown != 0);
    // The retries of the wait/retry message are bounded per wait: a commit on the job's
    // context means the work it waited for went through.
    ui.countWaitsBy([&ctx] { return ctx.commitsMade(); });
    RunOutcome outcome;
    {
        std::unique_ptr<ui::Process> process = make(Session{ctx, ui}, ui);
        if (!process) {
            errorLine(err, "the " + std::string(what) + " could not be made");
            return ExitFailed;
        }
        InterruptGuard guard;
        outcome.response = ui::runWithoutWindow(*process, &interrupted);
        outcome.started = outcome.response != 0;
        outcome.interrupted = interrupted != 0;
        if (afterRun && outcome.started) afterRun();
    }
    outcome.halted = ui.halted();
    outcome.messages = ui.messagesShown();
    outcome.warnings = ui.warningsShown();
    outcome.retriesGivenUp = ui.retriesGivenUp();
    if (!outcome.started) errorLine(err, "the " + std::string(what) + " could not start");
    return exitStatus(outcome);
}

}  // namespace

std::string commandUsage(std::string_view command) {
    if (command == "init-db")
        return "Usage: marrowgate init-db [--demo] FILE\n"
               "       marrowgate init-db [--demo]\n"
               "  Makes a new embedded database FILE with every table (an existing file is left alone); with\n"
               "  --demo it holds a small practice to try things on, and Style.Ini goes beside it. Without\n"
               "  FILE, and driver=odbc in vorn.ini: the tables (and the demo) in that server database.\n";
    if (command == "import-outlays" || command == "import-fees")
        return "Usage: marrowgate " + std::string(command) +
               (command == "import-outlays" ? std::string(" [--from-track-ref N | --all]") : std::string()) +
               " [--dry-run] [--csv FILE [--force]] [--trace-sql FILE]\n"
               "  The " + (command == "import-outlays" ? std::string("outlay") : std::string("fee")) +
               " import without windows, on the database of vorn.ini in the working folder" +
               (command == "import-outlays" ? std::string(",\n  starting after LastTrackRef of Quillerton.ini there.") : std::string(".")) +
               " Messages go to standard error; a real\n"
               "  run ends with its summary there and a line in marrowgate-runs.log beside Quillerton.ini.\n"
               "  --dry-run      what the import would post, line by line, with totals and exceptions;\n"
               "                 nothing in the database or the INI files changes (on a server database\n"
               "                 the run works on a copy of the tables it reads; the server is only read)\n"
               "  --csv FILE     the lines as a CSV file (also after a real run); an existing file is\n"
               "                 replaced only when it is a CSV file of an import, and never the database,\n"
               "                 the INI files, the journal, the run log or the lock file\n"
               "  --force        lets --csv replace an existing file of another kind\n" +
               (command == "import-outlays"
                    ? std::string("  --from-track-ref N  start after tracking reference N instead of where the run history\n"
                                  "                 of the database (or, without one, LastTrackRef) says; recorded with the run\n"
                                  "  --all          start from the first attachment (a database that already holds outlay\n"
                                  "                 lines, but no run history and no LastTrackRef, needs one of the two)\n")
                    : std::string()) +
               "  Ctrl+C ends the run after the cycle in progress. Exit status 0 done, 1 failed (also a\n"
               "  run that could not post an attachment or enter a fee because of an error), 130 Ctrl+C.\n";
    if (command == "report")
        return "Usage: marrowgate report fees-to-import [--pdf FILE] [--csv FILE]\n"
               "       marrowgate report fees-imported --date YYYY-MM-DD [--pdf FILE] [--csv FILE]\n"
               "  fees-to-import    every fee waiting in the diary to be imported, by fee earner\n"
               "  fees-imported     the fees imported on the date given, by fee earner\n"
               "  --date YYYY-MM-DD the date of the imported fees\n"
               "  --pdf FILE        the printed pages as a PDF file (- for standard output)\n"
               "  --csv FILE        one row per line, then a count per fee earner and the total\n"
               "                    (- for standard output; also the default without --pdf)\n"
               "  The database is only read.\n";
    if (command == "schema")
        return "Usage: marrowgate schema [--dialect sqlite|mssql|postgresql]\n"
               "  Prints the definition statements of every table the program expects, in the dialect\n"
               "  given (sqlite when none is).\n";
    if (command == "runs")
        return "Usage: marrowgate runs\n"
               "  Lists the import runs recorded in the database (MG_ImportRuns): station, folder, start\n"
               "  and end, the tracking references or diary entries taken, counts, total and outcome.\n";
    if (command == "undo-run")
        return "Usage: marrowgate undo-run [RUN] [--dry-run]\n"
               "  Takes back the latest import run (or RUN, which must be the latest of its kind not taken\n"
               "  back): an outlay run's batch lines are deleted and taken off their batches' totals, the\n"
               "  headers it created are deleted once empty, and the next outlay import starts where the\n"
               "  run started; a fee run's time day book and imported-fees rows are deleted and its\n"
               "  attachments wait again. Numbers taken from the control row are not given back. A run\n"
               "  with a line in a posted batch is refused, naming the batches, and nothing changes.\n"
               "  --dry-run  lists what it would do; nothing changes\n";
    return {};
}

std::string usage() {
    return "Usage:\n"
           "  marrowgate                        the desktop program\n"
           "  marrowgate init-db [--demo] FILE  create an embedded database with every table (and, with\n"
           "                                    --demo, a small practice to try things on)\n"
           "  marrowgate init-db [--demo]       with driver=odbc in vorn.ini: the same in its server database\n"
           "  marrowgate import-outlays         the outlay import, messages on standard error\n"
           "  marrowgate import-fees            the fee import, likewise\n"
           "  marrowgate import-outlays|import-fees [--dry-run] [--csv FILE [--force]]\n"
           "                                    what the import would post, line by line, with totals\n"
           "                                    and exceptions; nothing in the database or the INI files\n"
           "                                    changes (on a server database the run works on a copy of\n"
           "                                    the tables it reads; the server is only read)\n"
           "                                    --csv FILE: the lines as CSV (also after a real run); an\n"
           "                                    existing file is replaced only when it is a CSV file of an\n"
           "                                    import, or with --force, and never the database, the INI\n"
           "                                    files, the journal, the run log or the lock file\n"
           "                                    A real import ends with its summary on standard error and\n"
           "                                    a line in marrowgate-runs.log beside Quillerton.ini\n"
           "  marrowgate report fees-to-import [--pdf FILE] [--csv FILE]\n"
           "  marrowgate report fees-imported --date YYYY-MM-DD [--pdf FILE] [--csv FILE]\n"
           "                                    a fee report: the fees waiting to be imported, or those\n"
           "                                    imported on a date; --pdf the printed pages, --csv one row\n"
           "                                    per line with the counts last (standard output without\n"
           "                                    either); the database is only read\n"
           "  marrowgate schema [--dialect sqlite|mssql|postgresql]\n"
           "                                    print the definition statements of every table\n"
           "  marrowgate import-outlays --from-track-ref N | --all\n"
           "                                    start after tracking reference N, or from the first\n"
           "  marrowgate runs                   the import runs recorded in the database\n"
           "  marrowgate undo-run [RUN] [--dry-run]\n"
           "                                    take back the latest (or the named) run\n"
           "  marrowgate --help                 this text\n"
           "\n"
           "Every command also takes --trace-sql FILE: each statement built is appended to FILE.\n"
           "The imports read vorn.ini (section [database]: server, database, logon, and driver=sqlite\n"
           "with database=FILE for an embedded database; for a server, optionally odbcdriver, port, dsn,\n"
           "dialect=mssql|postgresql, and user and password for a SQL login of the practice's own) and\n"
           "Quillerton.ini of the working folder.\n"
           "Ctrl+C (or a request to end the program) during an import cancels it after the current cycle.\n"
           "\n"
           "Exit status: 0 done (also an import with nothing to do), 1 failed or wrong usage (also an\n"
           "import that could not post an attachment or enter a fee because of an error), 130 an\n"
           "import cancelled with Ctrl+C.\n"
           "\n"
           "marrowgate COMMAND --help: the help of one command.\n";
}

int runCommandLine(int argc, char** argv, const ImportJobs& jobs, int (*desktop)(int, char**)) {
    std::vector<std::string> args;
    std::string traceFile;
    bool traceGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i] ? argv[i] : "";
        if (a == "--trace-sql") {
            if (i + 1 >= argc) {
                errorLine(stderr, "--trace-sql needs the name of the trace file");
                return ExitFailed;
            }
            traceFile = argv[++i];
            traceGiven = true;
        } else if (a.rfind("--trace-sql=", 0) == 0) {
            traceFile = a.substr(12);
            traceGiven = true;
        } else {
            args.push_back(std::move(a));
        }
    }
    if (traceGiven) {
        if (traceFile.empty()) {
            errorLine(stderr, "--trace-sql needs the name of the trace file");
            return ExitFailed;
        }
        db::setTraceFile(traceFile);
        if (!db::tracing()) {
            errorLine(stderr, "cannot write the trace file " + traceFile);
            return ExitFailed;
        }
    }

    // Without a command, or with switches of the desktop program ("/DebugStyler", Qt's
    // single-dash options), the desktop program runs with the remaining arguments.
    const bool desktopArgs = args.empty() || args[0][0] == '/' || (args[0].size() > 1 && args[0][0] == '-' && args[0][1] != '-' &&
                                                                    args[0] != "-h");
    if (desktopArgs) {
        std::vector<std::string> kept;
        kept.push_back(argc > 0 && argv[0] ? argv[0] : "marrowgate");
        kept.insert(kept.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (std::string& s : kept) pointers.push_back(s.data());
        pointers.push_back(nullptr);
        int n = static_cast<int>(kept.size());
        return desktop(n, pointers.data());
    }

    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        if (args.size() > 1 && !commandUsage(args[1]).empty()) {
            std::fputs(commandUsage(args[1]).c_str(), stdout);  // "help import-fees"
            return ExitOk;
        }
        if (args.size() > 2 || (args.size() == 2 && args[1].starts_with("-"))) {
            errorLine(stderr, command + " takes no arguments other than a command's name (marrowgate --help lists the commands)");
            return ExitFailed;
        }
        if (args.size() == 2) {
            errorLine(stderr, "unknown command \"" + args[1] + "\" (marrowgate --help lists the commands)");
            return ExitFailed;
        }
        std::fputs(usage().c_str(), stdout);
        return ExitOk;
    }
    // Every command has its own --help.
    if (!commandUsage(command).empty() && std::find_if(args.begin() + 1, args.end(), [](const std::string& a) {
                                              return a == "--help" || a == "-h";
                                          }) != args.end()) {
        std::fputs(commandUsage(command).c_str(), stdout);
        return ExitOk;
    }
    if (command == "init-db") return initDb(args);
    if (command == "schema") return schema(args);
    if (command == "import-outlays") return importCommand(args, "outlay import", jobs.recordedOutlays, jobs.outlayCopy);
    if (command == "import-fees") return importCommand(args, "fee import", jobs.recordedFees, jobs.feeCopy);
    if (command == "report") return jobs.report(args);
    if (command == "runs" && jobs.runs) return jobs.runs(args);
    if (command == "undo-run" && jobs.undoRun) return jobs.undoRun(args);
    errorLine(stderr, "unknown command \"" + command + "\" (marrowgate --help lists the commands)");
    return ExitFailed;
}

}  // namespace mg::shell
