#pragma once
// What an outlay import posts, as it posts it: the import tells an observer about every line
// once its attachment has committed (a rolled-back attachment tells nothing), and about the
// rows that need the accounts staff's attention. The import prints nothing itself; the
// command line turns these into its listing, its CSV file and its run summary.

#include <cstdint>
#include <optional>
#include <string>

#include "data/decimal.h"

namespace mg::outlays {

struct OutlayLine {
    int64_t trackRef = 0;
    std::string document;
    std::string matter;
    std::optional<Decimal> debt;  // the matter's outstanding debt; none when the matter is unknown
    int band = 0;                 // 1-5, 0 when no band applied (1.11) or the matter is unknown
    Decimal amount;
    Decimal currencyValue;
    std::string outlayCode;
    std::string nominalCode;
    int32_t batchNo = 0;
    bool newBatch = false;        // the batch was created by this run
    int32_t postingRef = 0;       // BAD:PREF
    std::string feeEarner;
    int32_t date = 0;             // the day number of the line's date
};

enum class OutlayException {
    MatterNotFound,  // subject: the matter code
    DiaryNotFound,   // subject: the diary id
    NoBand,          // subject: the matter code and its debt
    LineRefused,     // subject: the database's reason; the line is not in the books
    CommitUnknown,   // subject: the database's reason; the next import settles the attachment
};

class OutlayObserver {
public:
    virtual ~OutlayObserver() = default;
    virtual void line(const OutlayLine& line) = 0;
    // `row` says which attachment and charge row it concerns.
    virtual void exception(OutlayException kind, const std::string& subject, const std::string& row) = 0;
    // An attachment an earlier run committed without counting it (it was killed, or lost the
    // database's answer to its commit), found in the posting journal when this run started.
    virtual void settled(int64_t trackRef) { (void)trackRef; }
};

}  // namespace mg::outlays
