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

#include "fees/import_fees.h"
#include "outlays/outlay_import.h"

int main(int argc, char** argv) {
    mg::shell::ImportJobs jobs;
    jobs.recordedOutlays = &mg::shell::recordedOutlayImport;
    jobs.recordedFees = &mg::shell::recordedFeeImport;
    jobs.outlayCopy = [](const std::string& productIni) { return mg::outlays::tablesToCopy(productIni + mg::outlays::kJournalSuffix); };
    jobs.feeCopy = [](const std::string&) { return mg::fees::tablesToCopy(); };
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
