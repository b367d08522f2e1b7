// The one executable: the desktop program without a command, the main jobs without
// windows with one (shell/cli.h).

#include <string>

#include "shell/cli.h"
#include "shell/desktop.h"
#include "shell/import_recording.h"
#include "shell/report_command.h"
#include "shell/undo_run.h"

#include "fees/import_fees.h"
#include "outlays/outlay_import.h"

int main(int argc, char** argv) {
    mg::shell::ImportJobs jobs;
    jobs.recordedOutlays = &mg::shell::recordedOutlayImport;
    jobs.recordedFees = &mg::shell::recordedFeeImport;
    jobs.outlayCopy = [](const std::string& productIni) { return mg::outlays::tablesToCopy(productIni + mg::outlays::kJournalSuffix); };
    jobs.feeCopy = [](const std::string&) { return mg::fees::tablesToCopy(); };
    jobs.report = &mg::shell::reportCommand;
    jobs.runs = &mg::shell::runsCommand;
    jobs.undoRun = &mg::shell::undoRunCommand;
    return mg::shell::runCommandLine(argc, argv, jobs, &mg::shell::runDesktop);
}
