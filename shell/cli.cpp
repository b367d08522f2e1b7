#include "shell/cli.h"

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
#include "shell/demo.h"
#include "shell/demo_style.h"
#include "shell/settings.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace mg::shell {
namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) {
    if (interrupted) {
        // A second Ctrl+C: the user does not want to wait for the cycle to finish.
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
        return;
    }
    interrupted = 1;
#ifndef _WIN32
    static const char note[] = "Cancel: the run ends after the current cycle (Ctrl+C again to stop at once)\n";
    ssize_t written = ::write(2, note, sizeof note - 1);
    (void)written;
#endif
}

// Ctrl+C handling for the length of one run.
class InterruptGuard {
public:
    InterruptGuard() {
        interrupted = 0;
        previous_ = std::signal(SIGINT, onInterrupt);
    }
    ~InterruptGuard() { std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_); }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    void (*previous_)(int);
};

void errorLine(std::FILE* err, std::string_view text) {
    std::fprintf(err, "marrowgate: %.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(err);
}

std::string driverText(const Error& e) {
    if (!e.driverText.empty()) return e.driverText;
    return e.text;
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
        ConnectionSettings settings = readConnectionSettings(ini);
        if (settings.db.driver == "odbc") {
            Error e = demo ? makeDemoDatabase(settings.db) : db::createTables(settings.db);
            if (e) {
                errorLine(stderr, "init-db: cannot make the tables in the database " + settings.db.database + " (settings from " + ini +
                                      "): " + driverText(e));
                return ExitFailed;
            }
            std::printf("Created the tables%s in the database %s.\n", demo ? " and the demo practice" : "", settings.db.database.c_str());
            return ExitOk;
        }
        errorLine(stderr, "init-db needs the name of the new database file (usage: marrowgate init-db [--demo] FILE)");
        return ExitFailed;
    }
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) {
        errorLine(stderr, "init-db: " + file + " exists already; init-db only makes a new database and leaves an existing file alone");
        return ExitFailed;
    }
    Error e = demo ? makeDemoDatabase(file) : db::createDatabase(file);
    if (e) {
        errorLine(stderr, "init-db: cannot make " + file + ": " + driverText(e));
        return ExitFailed;
    }
    std::filesystem::path full = std::filesystem::absolute(file, ec);
    std::printf("Created %s %s.\n", demo ? "the demo database" : "the database", (ec ? file : full.string()).c_str());
    // The demo's look goes beside it: the program reads Style.Ini from its working folder.
    if (demo && !writeDemoStyle(std::filesystem::path(file).parent_path().string()))
        errorLine(stderr, "init-db: could not write the demo style Style.Ini beside " + file);
    std::printf("To work on it, put in vorn.ini of the working folder:\n[database]\ndriver=sqlite\ndatabase=%s\n",
                (ec ? file : full.string()).c_str());
    return ExitOk;
}

int schema(const std::vector<std::string>& args) {
    std::string dialect = "sqlite";
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--dialect" && i + 1 < args.size()) {
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

int importCommand(const std::vector<std::string>& args, std::string_view what, const ProcessFactory& make) {
    if (args.size() > 1) {
        errorLine(stderr, args[0] + " takes no arguments: it reads vorn.ini and Quillerton.ini of the working folder");
        return ExitFailed;
    }
    if (!make) {
        errorLine(stderr, std::string("the ") + std::string(what) + " is not built yet");
        return ExitNotBuilt;
    }
    const Globals& g = startUp();
    return runImport(what, make, g.connection.db, g.connectionIni);
}

}  // namespace

// ---- the user interface of a job -------------------------------------------------------------

int CommandLineUserInterface::message(const ui::Message& m) {
    ++messages_;
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
    Context ctx(settings);
    if (!ctx.connection()) {
        errorLine(err, "the " + std::string(what) + " cannot open the database (settings from " + std::string(settingsFile) +
                           "): " + driverText(ctx.lastError()));
        return ExitFailed;
    }
    CommandLineUserInterface ui(err);
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
    }
    outcome.halted = ui.halted();
    outcome.messages = ui.messagesShown();
    outcome.warnings = ui.warningsShown();
    outcome.retriesGivenUp = ui.retriesGivenUp();
    if (!outcome.started) errorLine(err, "the " + std::string(what) + " could not start");
    return exitStatus(outcome);
}

std::string usage() {
    return "Usage:\n"
           "  marrowgate                        the desktop program\n"
           "  marrowgate init-db [--demo] FILE  create an embedded database with every table (and, with\n"
           "                                    --demo, a small practice to try things on)\n"
           "  marrowgate init-db [--demo]       with driver=odbc in vorn.ini: the same in its server database\n"
           "  marrowgate import-outlays         the outlay import, messages on standard error\n"
           "  marrowgate import-fees            the fee import, likewise\n"
           "  marrowgate report fees-to-import [--pdf FILE] [--csv FILE]\n"
           "  marrowgate report fees-imported --date YYYY-MM-DD [--pdf FILE] [--csv FILE]\n"
           "                                    a fee report: the fees waiting to be imported, or those\n"
           "                                    imported on a date; --pdf the printed pages, --csv one row\n"
           "                                    per line with the counts last (standard output without\n"
           "                                    either); the database is only read\n"
           "  marrowgate schema [--dialect sqlite|mssql|postgresql]\n"
           "                                    print the definition statements of every table\n"
           "  marrowgate --help                 this text\n"
           "\n"
           "Every command also takes --trace-sql FILE: each statement built is appended to FILE.\n"
           "The imports read vorn.ini (section [database]: server, database, logon, and driver=sqlite\n"
           "with database=FILE for an embedded database; for a server, optionally odbcdriver, port, dsn\n"
           "and dialect=mssql|postgresql) and Quillerton.ini of the working folder.\n"
           "Ctrl+C during an import cancels it after the current cycle.\n"
           "\n"
           "Exit status: 0 done (also an import with nothing to do), 1 failed or wrong usage,\n"
           "2 not part of this build, 130 an import cancelled with Ctrl+C.\n";
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
        std::fputs(usage().c_str(), stdout);
        return ExitOk;
    }
    if (command == "init-db") return initDb(args);
    if (command == "schema") return schema(args);
    if (command == "import-outlays") return importCommand(args, "outlay import", jobs.outlays);
    if (command == "import-fees") return importCommand(args, "fee import", jobs.fees);
    if (command == "report") {
        if (!jobs.report) {
            errorLine(stderr, "the reports are not built yet");
            return ExitNotBuilt;
        }
        return jobs.report(args);
    }
    errorLine(stderr, "unknown command \"" + command + "\" (marrowgate --help lists the commands)");
    return ExitFailed;
}

}  // namespace mg::shell
