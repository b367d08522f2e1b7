// The one executable: the desktop program without a command, the main jobs without
// windows with one (shell/cli.h).

#include <memory>

#include "shell/cli.h"
#include "shell/desktop.h"
#include "shell/settings.h"

// Each import is part of the build once its library is (the build defines MG_HAVE_OUTLAYS /
// MG_HAVE_FEES when the target exists) and its header is there.
#if defined(MG_HAVE_OUTLAYS) && __has_include("outlays/import_details.h")
#include "outlays/import_details.h"
#define MG_OUTLAY_IMPORT 1
#endif
#if defined(MG_HAVE_FEES) && __has_include("fees/import_fees.h")
#include "fees/import_fees.h"
#define MG_FEE_IMPORT 1
#endif

#include <climits>
#include <cstdint>

int main(int argc, char** argv) {
    mg::shell::ImportJobs jobs;
#ifdef MG_OUTLAY_IMPORT
    jobs.outlays = [](mg::Session s, mg::ui::ProgressView& view) -> std::unique_ptr<mg::ui::Process> {
        // The last tracking reference processed, from the product INI file (0 when missing);
        // the import writes it back itself.
        long long last = mg::shell::readLastTrackRef();
        if (last > INT32_MAX) last = INT32_MAX;
        if (last < INT32_MIN) last = INT32_MIN;
        return std::make_unique<mg::outlays::OutlayImport>(s, view, static_cast<int32_t>(last));
    };
#endif
#ifdef MG_FEE_IMPORT
    jobs.fees = [](mg::Session s, mg::ui::ProgressView& view) -> std::unique_ptr<mg::ui::Process> {
        return std::make_unique<mg::fees::FeeImport>(s, view);
    };
#endif
    return mg::shell::runCommandLine(argc, argv, jobs, &mg::shell::runDesktop);
}
