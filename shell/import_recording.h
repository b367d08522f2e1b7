#pragma once
// The two imports as the command line runs them with their lines recorded: each import's
// observer turns what it posts into the rows of a RunRecord (the listing and the CSV file),
// the totals and the exceptions; its counts are taken once the run has ended.

#include "shell/cli.h"

namespace mg::shell {

RecordedImport recordedOutlayImport(const ImportRequest& request);
RecordedImport recordedFeeImport(const ImportRequest& request);

}  // namespace mg::shell
