#pragma once
// The fee import: every document fee waiting in dbo.DiaryAttFees is mapped to its task
// charge codes (dbo.DocumentChargesFees), priced from the charging matrix of the matter's
// charge arrangement and the matter's outstanding debt, and entered as a charge in the time
// day book (dbo.TimeDayBook) with a row in the imported-fees log (dbo.FeesImported); then
// the attachments of its diary entry are marked as fee-imported.
//
// It runs as a ui::Process: in a progress window on the desktop, or without windows on the
// command line, with at most 1000 units of row size per timer event.
//
// The waiting fees are taken as they stand when the run starts, into a list. The mark
// covers every attachment of a diary entry, so the unit of work is the diary entry, not
// the single document: when the run reaches the first waiting fee of an entry, it writes
// every waiting fee of that entry from the list (in list order) in one database
// transaction, marks the entry once at the end and commits. The time entries, log rows and
// mark of all the entry's documents are committed together or not at all: a fee is never
// entered in the time day book while it still waits to be entered again, and no document
// is marked before its own fee is entered. A read that the database fails (as opposed to
// one that finds no row: a document without mapping, an unknown matter) fails the entry as
// a failed write does: it is rolled back, all its fees wait for the next run, and the
// retrieval error is shown once the transaction has ended. The later list rows of an entry
// already handled are passed over. A Cancel is seen only between two entries, never inside
// one.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "data/copy_tables.h"
#include "data/decimal.h"
#include "data/record.h"
#include "fees/fee_observer.h"
#include "ui/progress_measure.h"
#include "maintenance/integrity.h"
#include "maintenance/run_history.h"
#include "ui/process.h"

namespace mg::fees {

// The rate a debt earns in a charging-matrix row: the first of bands 1 to 6 that holds it,
// compared in double precision as the practice's charging always has been. Band 1 runs from
// 0 to its limit, band k from the limit of band k-1 plus 1 to its own limit; a debt below 0,
// above the band-6 limit or between a limit and that limit plus 1 holds in no band
// (nullopt). Bands 7 and 8 are never consulted.
std::optional<Decimal> bandRate(const Record& matrix, const Decimal& debt);
// The band that holds the debt, as bandRate finds it: 1 to 6, 0 for none.
int bandOf(const Record& matrix, const Decimal& debt);

// The charge of a fee whose debt lies in no band (or whose matrix row is missing).
inline const Decimal kNoBandCharge = Decimal::fromMantissa(111, 2);  // 1.11

// What a copy of the database must hold for the import to run on it as on the database
// itself: every table the import reads or writes, without the rows of the time day book and
// the imported-fees log, which it only adds to. A dry run on a server database runs on such
// a copy.
std::vector<db::TableRows> tablesToCopy();

class FeeImport : public ui::Process {
public:
    FeeImport(Session s, ui::ProgressView& view);
    ~FeeImport() override;

    bool prepare() override;
    void opened() override;
    void cycle() override;
    void cancelConfirmed() override;
    void finish() override;
    int response() const override { return localResponse_; }

    // What the run did, for the command line, the tests and the benchmark. The fees read are
    // those of the diary entries the run handled (not a row read ahead when a Cancel or a
    // failure ended the run); a fee failed when an error of the database kept it from being
    // entered (it waits for the next run).
    int64_t waitingFeesRead() const { return feesRead_; }
    int64_t timeEntriesAdded() const { return entriesAdded_; }
    int64_t feesEntered() const { return feesEntered_; }
    int64_t feesFailed() const { return feesFailed_; }
    // Diary entries another import entered after this run read its list.
    int64_t entriesTakenElsewhere() const { return entriesTaken_; }
    const ui::ProgressMeasure& progress() const { return measure_; }
    // Told about every time entry once its diary entry has committed, and about every
    // exception met (see fee_observer.h).
    void setObserver(FeeObserver* observer) { observer_ = observer; }
    // The command recorded with the run in the run history.
    void setCommand(std::string command) { command_ = std::move(command); }
    int32_t runId() const { return history_.runId(); }

    // Seconds a diary entry's transaction waits for the database's write lock.
    static constexpr int kTransactionSeconds = 5;
    static constexpr int kRecordsPerCycle = 1000;

private:
    // Takes the next waiting fee of the list into the buffer; false at the end of the list.
    bool readNext();
    // The current fee's diary entry as one unit: every waiting fee of the entry, then the
    // mark, in one transaction. Nothing when the entry was handled earlier in the run.
    void processWaitingFee();
    // The mapping rows of the fee in the buffer; false when a write failed and the entry's
    // transaction was rolled back (the rest of the entry is then left alone).
    bool processDocument();
    // Steps 3 to 8 for one mapping row of the current fee; false when the entry's writes
    // failed and were rolled back (the rest of its rows are then left alone).
    bool processMappingRow();
    // Each false when a read failed and the entry's transaction was rolled back.
    bool priceFee();
    bool setCommonFields();
    bool readControlRow();
    bool writeFee();
    // The mark of the diary entry, once all its fees are written; false when it failed.
    bool claimEntry(int64_t diaryId);
    bool markEntry(int64_t diaryId);
    bool recordEntry(int64_t diaryId);
    // A write failed: the entry's transaction is rolled back and the failure reported.
    void failFee();
    void reportFailure();
    // After a failure that every later fee would meet too (a lock not granted in time, the
    // database gone or read-only), the run ends once the failure has been shown.
    void stopOn(const Error& e);
    // A read of the entry's unit failed (the database, not a missing row): the entry is
    // rolled back and the retrieval error naming `table` is shown after the transaction.
    void failRead(std::string table);
    // A message of the import itself: a plain box with OK and no caption. Messages raised
    // while a diary entry is being written are shown once its transaction has ended, so
    // that no box waits for the user while the entry holds the database's write lock.
    void say(std::string text);
    void showMessages();
    void exception(FeeException kind, std::string subject);

    Session s_;
    FeeObserver* observer_ = nullptr;
    // The time entries of the diary entry being written, told once it has committed; the
    // band and debt of the fee being priced.
    std::vector<FeeEntry> unitEntries_;
    // What the diary entry being written adds to the run history, written before its commit.
    std::vector<history::RowRecord> unitRows_;
    history::RunHistory history_;
    std::string command_ = "import-fees";
    bool cancelled_ = false;  // a Cancel was confirmed
    int band_ = 0;
    Decimal debt_;
    int originalRequest_ = 0;
    std::unique_ptr<TableUse> tables_;
    ui::ProgressMeasure measure_;
    int64_t rowSize_ = 0;
    int localResponse_ = RequestCancelled;
    bool prepared_ = false;
    bool viewOpen_ = false;
    bool inTransaction_ = false;
    bool controlWarned_ = false;
    bool unitFailed_ = false;   // an error kept the diary entry being written out of the books
    bool stopping_ = false;     // the run ends after the entry being written
    int64_t entriesThisUnit_ = 0;
    int64_t feesThisUnit_ = 0;
    // A message waiting for the entry's transaction to end: a plain text, or a standard
    // warning (`warning` not 0) naming `text` with the error that caused it.
    struct Pending {
        std::string text;
        int warning = 0;
        Error error;
    };
    std::vector<Pending> pending_;
    // The waiting fees as read at the start, the next one to take, and the diary entries
    // already handled (written, failed or left waiting) in this run.
    std::vector<Record> list_;
    size_t nextRow_ = 0;
    std::unordered_set<int64_t> handledEntries_;
    // The list rows of each diary entry, in list order.
    std::unordered_map<int64_t, std::vector<size_t>> rowsOfEntry_;

    int64_t feesRead_ = 0;
    int64_t entriesAdded_ = 0;
    int64_t feesEntered_ = 0;
    int64_t feesFailed_ = 0;
    int64_t entriesTaken_ = 0;
};

}  // namespace mg::fees
