#pragma once
// The batch posting of one diary attachment: for each outlay charge row of the attachment's
// document, a line in the day's open automatic outlay batch of the row's nominal code (the
// header made, with numbers from the control row, when the day has none yet), priced by the
// outstanding debt of the attachment's matter, and added to its header's total.
//
// One attachment is posted in one database transaction: the numbers it takes from the
// control row, the headers it creates, its lines and its header totals are committed
// together or not at all.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "data/decimal.h"
#include "maintenance/integrity.h"
#include "outlays/outlay_observer.h"
#include "outlays/posting_journal.h"

namespace mg::outlays {

// The conversion factor of the currency values and the amount of a debt outside every band.
Decimal conversionFactor();  // 0.787564
Decimal outsideBandsAmount();  // 1.11

// The text of today's date inside a statement: '2015-2-9 00:00:00' with its quotes, the
// year, month and day without leading zeros.
std::string dateLiteral(int32_t dayNumber);

// The statements that find the day's open automatic outlay batch of a nominal code.
std::string batchCountQuery(std::string_view nominalCode, int32_t dayNumber);
std::string batchNumberQuery(std::string_view nominalCode, int32_t dayNumber);

class BatchPosting {
public:
    enum Outcome {
        Posted,         // the attachment's lines are in the books
        NothingToPost,  // the document has no outlay charge
        Stopped,        // nothing was posted and the run must end (a message said why)
        Refused,        // the database refused a line (a message said why); the others are posted
    };

    explicit BatchPosting(Session s) : s_(s) {}

    // What an attachment wrote, handed over right before its commit. Returning false stops
    // the posting: the attachment is rolled back and the outcome is Stopped (the caller says
    // why).
    using BeforeCommit = std::function<bool(const JournalEntry&)>;

    // Posts the attachment in the dbo.DiaryAttachments record buffer.
    Outcome postAttachment(const BeforeCommit& beforeCommit = {});

    // The amount of the current charge row for an outstanding debt.
    Decimal selectBandAmount(const Decimal& debt) const;
    // The charge row's amount of band 1 to 5, or the amount outside every band (0).
    Decimal bandAmount(int band) const;
    // The band of the current charge row that holds the debt: 1 to 5, 0 for none.
    int selectBand(const Decimal& debt) const;

    // Told about every line once its attachment has committed, and about the exceptions.
    void setObserver(OutlayObserver* observer) { observer_ = observer; }

private:
    enum Step { Done, Retry, Stop };

    Step tryPostAttachment(const BeforeCommit& beforeCommit);
    Step postOutlayLine();
    Step findOrAddBatch();
    Step takeControlNumbers(bool forBatch);
    Step putControl();
    Step addBatchHeader();
    Step feeEarner();
    Step matterAmount();
    Step lockFailed(const char* what);
    Step databaseFailed(const std::string& what);
    Step commitFailed();
    std::string narrativeOf(std::string_view outlayCode, Step& step);
    std::string attachmentName() const;
    // A message about the attachment being posted. It is shown once the attachment's
    // transaction has ended, so that no message box waits for the user while the posting
    // holds the database's write lock; a rolled-back attachment drops its messages (they
    // come again when it is posted).
    void say(ui::Message m);
    void showMessages();
    void dropMessages() { pending_.clear(); }
    void exception(OutlayException kind, std::string subject);
    void tellObserver();
    void tellExceptions();

    Session s_;
    // The posting state, kept from one attachment to the next.
    int32_t addBatchNo_ = 0;      // LOC:ADDBATCHNO: the charge rows the attachment posted
    std::map<std::string, std::string> narratives_;  // outlay code -> narrative, for the run
    std::string nominalCode_;     // LOC:NOMINALCODE
    int32_t batchNo_ = 0;         // LOC:BATCHNO
    int32_t pref_ = 0;            // LOC:PREF
    int32_t currentYear_ = 0;     // LOC:CURRENTYEAR
    int32_t currentPeriod_ = 0;   // LOC:CURRENTPERIOD
    std::string narr_;            // LOC:NARR
    Decimal debtBalanceNow_;      // LOC:DEBTBALANCENOW
    std::string error_;           // LOC:ERROR
    std::vector<ui::Message> pending_;
    OutlayObserver* observer_ = nullptr;
    std::set<int32_t> createdThisRun_;  // the batches this run created

    // What the attachment being posted has read and written so far. It holds nothing from
    // one attachment to the next: every attachment reads afresh what it needs, once.
    struct Attachment {
        // The control row is read at the attachment's first number and written with it, which
        // locks it until the commit; the numbers taken after that are written once, at the end.
        bool controlHeld = false;
        int32_t putBatch = 0, putPref = 0;     // CON:LASTBATCH and CON:LASTPREF as last written
        std::map<std::string, int32_t> openBatches;     // nominal code -> the day's open batch
        int32_t headerInBuffer = 0;  // the batch whose header the BatchH buffer holds, 0 none
        std::optional<bool> diaryFound;
        std::string fee;
        std::optional<int> matterRc;
        Decimal amountDebt;
        JournalEntry written;
        int band = 0;  // of the line being posted
        int refused = 0;  // lines the database refused
        // What the observer hears once the attachment has committed.
        std::vector<OutlayLine> lines;
        struct Noted {
            OutlayException kind;
            std::string subject, row;
        };
        std::vector<Noted> exceptions;
    } att_;
};

}  // namespace mg::outlays
