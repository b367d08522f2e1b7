#pragma once
// Taking back an import run the database knows (maintenance/run_history.h), and listing the
// runs.
//
// An outlay run is taken back by deleting its batch lines, subtracting each from its header's
// total (and the currency value recomputed from the total), deleting the headers it created
// once no line is left in them, and setting the starting point back so that the next import
// takes its attachments again. A fee run: its time day book and imported-fees rows are
// deleted and the attachments it marked wait again. Numbers taken from the control row are
// never given back. A line in a posted batch is never touched: the run is refused with the
// list of what stands in its way. Runs are taken back latest first (outlay runs among outlay
// runs, fee runs among fee runs). Each attachment or diary entry is taken back in one
// transaction that also marks its history rows as taken back, so an undo killed at any moment
// leaves the books and the history in agreement, and running it again finishes it.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "maintenance/integrity.h"
#include "maintenance/run_history.h"

namespace mg::shell {

struct UndoPlan {
    history::RunInfo run;
    std::vector<history::RowRecord> rows;  // not yet taken back
    std::vector<std::string> blockers;     // what stands in the way (lines in posted batches)
    std::string refusal;                   // why the run cannot be taken back, "" when it can
    // What it would do, one line each.
    std::vector<std::string> steps;
};

// What taking back `runId` (0: the latest run that can be) would do. Reads only.
UndoPlan planUndo(Session s, history::RunHistory& h, int32_t runId);

struct UndoResult {
    bool ok = false;
    int32_t undoRun = 0;
    int units = 0;  // attachments or diary entries taken back
    int linesDeleted = 0, headersDeleted = 0, feeRowsDeleted = 0;
    Decimal total;
    std::string error;
};

// Takes the planned run back (the plan must have no refusal). `productIni`: the INI file
// whose LastTrackRef is set back for an outlay run ("" none).
UndoResult undoRun(Session s, history::RunHistory& h, const UndoPlan& plan, const std::string& productIni);

// Taking back a run as a user asks for it: under the outlay import's application lock, with
// killed runs settled first; `confirm` sees the plan and says whether to go on (a dry run
// answers false). The refusal (with what stands in its way) or the result, as a text for the
// user; `ok` false when refused or stopped.
struct TakeBack {
    bool ok = false;
    bool done = false;  // something was taken back
    std::string text;
};
TakeBack takeBack(Session s, history::RunHistory& h, int32_t runId, const std::string& productIni,
                  const std::function<bool(const UndoPlan&)>& confirm);

// The commands: "runs" and "undo-run [RUN] [--dry-run]".
int runsCommand(const std::vector<std::string>& args);
int undoRunCommand(const std::vector<std::string>& args);

// The runs as the command line lists them.
std::string runsListing(const std::vector<history::RunInfo>& runs);

}  // namespace mg::shell
