#pragma once
// What a fee import enters, as it enters it: the import tells an observer about every time
// entry once its diary entry has committed (an entry rolled back or taken by another import
// tells nothing), and about the fees that need the accounts staff's attention. The import
// prints nothing itself; the command line turns these into its listing, its CSV file and
// its run summary.

#include <cstdint>
#include <string>

#include "data/decimal.h"

namespace mg::fees {

struct FeeEntry {
    int64_t diaryId = 0;
    std::string document;
    std::string matter;
    std::string taskCode;
    std::string arrangement;
    Decimal debt;
    int band = 0;  // 1-6, 0 when no band applied (1.11)
    Decimal rate;
    std::string feeEarner;
    std::string team;
    int64_t trackRef = 0;
    int32_t date = 0;  // the day number of the entry's date
};

enum class FeeException {
    MatterNotFound,       // subject: the matter code
    DiaryEntryNotFound,   // subject: the diary id (no fee earner from it, or no attachment left)
    NoMapping,            // subject: the document name
    TaskNotFound,         // subject: the task code
    ArrangementNotFound,  // subject: the arrangement and task code (blank arrangement: the matter)
    NoBand,               // subject: the matter code and its debt
    NoHandler,            // subject: the fee earner code
    NotEntered,           // subject: the database's reason; the fee waits for the next run
    CannotBeMarked,       // subject: the diary id; the fee is not entered
};

class FeeObserver {
public:
    virtual ~FeeObserver() = default;
    virtual void entry(const FeeEntry& entry) = 0;
    // `row` says which waiting fee it concerns.
    virtual void exception(FeeException kind, const std::string& subject, const std::string& row) = 0;
};

}  // namespace mg::fees
