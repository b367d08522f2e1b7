#pragma once
// The outlay import: every diary attachment whose tracking reference lies above the last
// one processed is handed to the batch posting, which turns the document's outlay charges
// into lines of the day's automatic outlay batches.
//
// It runs as a ui::Process: in a progress window on the desktop, or without windows on the
// command line, with up to 25 attachments per timer event.
//
// Every attachment is posted exactly once, whenever the process dies: right before an
// attachment commits, what it wrote is appended to the posting journal and flushed to disk;
// the last tracking reference is stored in the product INI file after each cycle and at the
// end; and each run starts by settling what the journal holds (see posting_journal.h). Only
// one outlay import at a time runs on a database: a second one is refused with a message
// that says where the first one runs and since when.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/copy_tables.h"
#include "data/table.h"
#include "maintenance/integrity.h"
#include "maintenance/run_history.h"
#include "outlays/batch_posting.h"
#include "outlays/posting_journal.h"
#include "ui/process.h"
#include "ui/progress_measure.h"

namespace mg::outlays {

// The product INI file (in the current directory) and where the last processed tracking
// reference lives in it.
inline constexpr const char* kProductIni = "Quillerton.ini";
inline constexpr const char* kOutlaysSection = "DocumentOutlays";
inline constexpr const char* kLastTrackRefKey = "LastTrackRef";
// The record of postings about to commit, beside the product INI file.
inline constexpr const char* kJournalSuffix = ".journal";
// The application lock that lets one outlay import at a time post to a database.
inline constexpr const char* kImportLockName = "outlay-import";

// What a copy of the database must hold for the import to run on it as on the database
// itself: every table the import reads or writes, and of the batch lines (which the import
// only adds to) the lines the posting journal `journalPath` names, which the start of a run
// looks for. A dry run on a server database runs on such a copy.
std::vector<db::TableRows> tablesToCopy(const std::string& journalPath);

// Where a run starts. With a run history on the database the run starts after the highest
// tracking reference any station has posted there; a value given on purpose (the setup
// window, --from-track-ref N, --all) overrides it and is recorded with the run. Without a
// history and without LastTrackRef, on a database that already holds outlay lines, the run
// does not start from 0 on its own: it asks (the desktop) or refuses (the command line).
struct StartChoice {
    std::optional<int32_t> fromTrackRef;  // chosen on purpose: start after this one
    bool iniHasValue = true;              // the product INI file holds LastTrackRef
    bool ask = false;                     // ask instead of refusing
    std::string command = "import-outlays";
};

class OutlayImport : public ui::Process {
public:
    OutlayImport(Session s, ui::ProgressView& view, int32_t lastTrackRef, std::string productIni = kProductIni);
    ~OutlayImport() override;

    bool prepare() override;
    void opened() override;
    void cycle() override;
    void cancelConfirmed() override;
    void finish() override;
    int response() const override { return localResponse_; }

    // What the run did, for the command line and the tests: the attachments it handled (not
    // the one read ahead when a Cancel ended the run), those it posted whole, and those it
    // could not post whole (a line the database refused, or the failure that ended the run).
    int64_t attachmentsRead() const { return handled_; }
    int attachmentsPosted() const { return posted_; }
    int attachmentsFailed() const { return failed_; }
    int64_t lastProcessed() const { return lastProcessed_; }
    void setStartChoice(StartChoice choice) { choice_ = std::move(choice); }
    // The run's number in the run history, 0 when it has none.
    int32_t runId() const { return history_.runId(); }
    // Told about every line posted and every exception met (see outlay_observer.h).
    void setObserver(OutlayObserver* observer) {
        observer_ = observer;
        posting_.setObserver(observer);
    }

private:
    enum RecordStatus { RecordOk = 0, OutOfRange = 1, Filtered = 2 };

    void getNextRecord();
    int validateRecord() const;
    bool takeImportLock();
    void releaseImportLock();
    bool settleJournal();
    std::optional<int64_t> committedTrackRef(std::string& error, std::vector<int64_t>* committed = nullptr);
    bool recordIntent(const JournalEntry& e);
    bool storeLastTrackRef(int64_t value);
    void stopRun();
    void refuse(const std::string& text);
    bool decideStart();
    bool recordRows(const JournalEntry& e);

    Session s_;
    std::string productIni_;
    int32_t lastTrackRef_;       // LOC:LastTrackRef: the lower bound of the rows read
    int32_t storedTrackRef_ = 0; // the INI file's value, before the run history or a choice moved the start
    int64_t lastProcessed_;      // the tracking reference of the last attachment handled
    std::unique_ptr<TableUse> tables_;
    std::unique_ptr<View> reader_;
    BatchPosting posting_;
    PostingJournal journal_;
    std::string journalError_;  // why the last record could not be written
    int64_t stored_ = -1;       // the tracking reference the INI file holds, as last written
    bool locked_ = false;
    bool iniFailed_ = false;    // the INI file could not be written: the journal is kept

    static constexpr int kRecordsToProcess = 1000;
    static constexpr int kRecordsPerCycle = 25;
    // The INI file is written after this many cycles (and at the end).
    static constexpr int kCyclesPerStore = 8;
    int cyclesSinceStored_ = 0;
    // The progress counts rows read against a fixed total: the bar reaches 100 after 1000
    // rows, whatever the number really waiting, and stays there.
    ui::ProgressMeasure measure_;
    int localResponse_ = RequestCancelled;
    int64_t handled_ = 0;
    int64_t aboutWaiting_ = 0;  // for the progress of a view that shows counts
    int posted_ = 0;
    int failed_ = 0;
    OutlayObserver* observer_ = nullptr;
    bool prepared_ = false;
    StartChoice choice_;
    history::RunHistory history_;
    bool historyGoverns_ = false;  // the starting point comes from the run history
    int64_t firstHandled_ = 0;
    bool cancelled_ = false;  // a Cancel was confirmed
    bool stopped_ = false;    // a failure ended the run
};

}  // namespace mg::outlays
