// The one executable: the desktop program without a command, the main jobs without
// windows with one (shell/cli.h).

#include <memory>
#include <string>

#include "shell/cli.h"
#include "shell/desktop.h"
#include "shell/import_recording.h"
#include "shell/report_command.h"
#include "shell/settings.h"

#include "fees/import_fees.h"
#include "outlays/import_details.h"

int main(int argc, char** argv) {
    mg::shell::ImportJobs jobs;
    jobs.outlays = [](mg::Session s, mg::ui::ProgressView& view) -> std::unique_ptr<mg::ui::Process> {
        // A product INI file that is there but unusable would read as "nothing processed yet":
        // the run does not start rather than post every attachment again.
        if (const std::string trouble = mg::shell::productIniTrouble(mg::shell::productIniPath()); !trouble.empty()) {
            s.ui.message(trouble + "|The import does not start, so that no attachment is posted twice.", "Outlay Import",
                         mg::ui::Icon::Error);
            return nullptr;
        }
        // The import writes the last tracking reference back itself.
        return std::make_unique<mg::outlays::OutlayImport>(s, view, mg::shell::lastTrackRefArgument());
    };
    jobs.fees = [](mg::Session s, mg::ui::ProgressView& view) -> std::unique_ptr<mg::ui::Process> {
        return std::make_unique<mg::fees::FeeImport>(s, view);
    };
    jobs.recordedOutlays = &mg::shell::recordedOutlayImport;
    jobs.recordedFees = &mg::shell::recordedFeeImport;
    jobs.outlayCopy = [](const std::string& productIni) { return mg::outlays::tablesToCopy(productIni + mg::outlays::kJournalSuffix); };
    jobs.feeCopy = [](const std::string&) { return mg::fees::tablesToCopy(); };
    jobs.report = &mg::shell::reportCommand;
    return mg::shell::runCommandLine(argc, argv, jobs, &mg::shell::runDesktop);
}
