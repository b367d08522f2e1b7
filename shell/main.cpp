// The one executable: the desktop program without a command, the main jobs without
// windows with one (shell/cli.h). The widget-free build (MG_WIDGET_FREE) has the jobs alone.

#include <cstdio>
#include <string>
#include <vector>

#include "shell/cli.h"
#include "shell/import_recording.h"
#ifndef MG_WIDGET_FREE
#include "shell/desktop.h"
#include "shell/report_command.h"
#endif
#include "shell/undo_run.h"

#include "fees/import_fees.h"
#include "outlays/outlay_import.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "data/file_io.h"

namespace {

// The arguments as UTF-8, as every text in the program is: Windows hands main() its arguments
// in the ANSI code page, which cannot spell every file name.
std::vector<std::string> utf8Arguments() {
    std::vector<std::string> args;
    int n = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n)) {
        for (int i = 0; i < n; ++i) args.push_back(mg::files::textOf(std::filesystem::path(wide[i])));
        LocalFree(wide);
    }
    return args;
}

}  // namespace
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // Messages are UTF-8: the console shows them as such.
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> args = utf8Arguments();
    std::vector<char*> pointers;
    for (std::string& a : args) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    if (!args.empty()) {
        argc = static_cast<int>(args.size());
        argv = pointers.data();
    }
#endif
    mg::shell::ImportJobs jobs;
    jobs.recordedOutlays = &mg::shell::recordedOutlayImport;
    jobs.recordedFees = &mg::shell::recordedFeeImport;
    jobs.outlayCopy = [](const std::string& productIni) { return mg::outlays::tablesToCopy(productIni + mg::outlays::kJournalSuffix); };
    jobs.feeCopy = [](const std::string&) { return mg::fees::tablesToCopy(); };
    jobs.runs = &mg::shell::runsCommand;
    jobs.undoRun = &mg::shell::undoRunCommand;
#ifdef MG_WIDGET_FREE
    jobs.report = [](const std::vector<std::string>&) {
        std::fputs("marrowgate: this build has the command-line jobs without the reports; run the report from the desktop build\n", stderr);
        return 2;
    };
    return mg::shell::runCommandLine(argc, argv, jobs, [](int, char**) {
        std::fputs("marrowgate: this build has the command-line jobs without the desktop program; marrowgate --help lists them\n", stderr);
        return 2;
    });
#else
    jobs.report = &mg::shell::reportCommand;
    return mg::shell::runCommandLine(argc, argv, jobs, &mg::shell::runDesktop);
#endif
}
