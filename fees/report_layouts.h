#pragma once
// The layouts of the two fee reports: the fees waiting to be imported, grouped by fee earner,
// and the fees imported on one date, likewise. Measurements in thousandths of an inch.

#include "ui/report/layout.h"

namespace mg::fees {

// "DiaryAttFees Report": every waiting fee, a count per fee earner and a grand count.
report::ReportLayout feesToImportLayout();
// "Dravel Report": the imported-fees log of one date (the report field GLO:REPORTDATE), a
// count per fee earner and the date's total.
report::ReportLayout importFeesLayout();

}  // namespace mg::fees
