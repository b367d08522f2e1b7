#include "outlays/outlay_import.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <map>

#include "data/ini.h"
#include "data/lock_file.h"

namespace mg::outlays {

OutlayImport::OutlayImport(Session s, ui::ProgressView& view, int32_t lastTrackRef, std::string productIni)
    : Process(s.ui, view), s_(s), productIni_(std::move(productIni)), lastTrackRef_(lastTrackRef), lastProcessed_(lastTrackRef),
      posting_(s), journal_(productIni_ + kJournalSuffix), history_(s) {}

namespace {

// The tables the import opens, in the order it opens them.
const std::vector<TableId> kTablesUsed{TableId::BatchDetails, TableId::BatchH, TableId::Control, TableId::DocumentCharges,
                                       TableId::Diary, TableId::DiaryAttachments, TableId::Matters, TableId::OutlayCode,
                                       TableId::SQLResult, TableId::SQLResultD};
// Of those, the tables the import only reads: an attachment's transaction locks the rows it
// writes (the control row, a batch header it totals) and nothing else.
const std::vector<TableId> kTablesOnlyRead{TableId::DocumentCharges, TableId::Diary, TableId::DiaryAttachments, TableId::Matters,
                                           TableId::OutlayCode};

}  // namespace

std::vector<db::TableRows> tablesToCopy(const std::string& journalPath) {
    std::vector<int64_t> prefs;
    std::vector<JournalEntry> entries;
    std::string error;
    // A journal that cannot be read is met by the run itself, which says so.
    if (PostingJournal(journalPath).read(entries, error))
        for (const JournalEntry& e : entries)
            for (const JournalEntry::Line& l : e.lines) prefs.push_back(l.pref);
    std::vector<db::TableRows> rows;
    for (TableId t : kTablesUsed)
        rows.push_back(t == TableId::BatchDetails ? db::TableRows::where(t, BAD::PREF.index, prefs) : db::TableRows::all(t));
    // The runs, for the starting point (what each run wrote is not needed for it).
    rows.push_back(db::TableRows::all(TableId::ImportRuns));
    rows.push_back(db::TableRows::none(TableId::ImportRunRows));
    return rows;
}

OutlayImport::~OutlayImport() { releaseImportLock(); }

bool OutlayImport::prepare() {
    Context& ctx = s_.ctx;
    ctx.globalRequest = 0;
    ctx.globalResponse = 0;
    tables_ = std::make_unique<TableUse>(s_, kTablesUsed, kTablesOnlyRead);
    if (!tables_->ok() || !takeImportLock() || !decideStart() || !settleJournal()) {
        releaseImportLock();
        journal_.close();
        tables_.reset();
        ctx.globalResponse = RequestCancelled;
        return false;
    }
    if (history_.available()) history_.beginRun(history::kOutlayRun, choice_.command, lastTrackRef_, choice_.fromTrackRef.has_value());
    measure_.start(kRecordsToProcess, kRecordsPerCycle);
    view_.setCaption("Processing Records");
    view_.setPercentText("0% Completed");
    view_.setUserText("Processing Outlay Charges");
    ctx.table(TableId::DiaryAttachments).sendOption("QUICKSCAN=on");
    prepared_ = true;
    return true;
}

// The window is open: the attachments above the last tracking reference, in its order.
void OutlayImport::opened() {
    Table& dat = s_.ctx.table(TableId::DiaryAttachments);
    dat.setStart(DAT::KEYTRACKREF);
    reader_ = std::make_unique<View>(dat, DAT::KEYTRACKREF);
    reader_->bind("LOC:LastTrackRef", &lastTrackRef_);
    reader_->setFilter("DAT:TrackReference > LOC:LastTrackRef");
    if (reader_->open()) standardWarning(s_, WarnViewOpenError);
    // About how many are waiting, for a view that shows counts (one query, only then).
    if (view_.wantsCounts()) {
        Table& sqld = s_.ctx.table(TableId::SQLResultD);
        if (sqld.setSql("Select count(*) from DiaryAttachments Where TrackReference > " + std::to_string(lastTrackRef_)) == NoError &&
            sqld.next() == NoError)
            aboutWaiting_ = s_.ctx.get(SQLD::RESULTFIELD).toInt64();
    }
    do {
        getNextRecord();
    } while (validateRecord() == Filtered);
    if (localResponse_ == RequestCancelled) endLoop();  // nothing to read
}

void OutlayImport::getNextRecord() {
    int rc = reader_->next();
    if (rc) {
        if (rc != NotFoundErr) standardWarning(s_, WarnRecordFetchError, "L_DiaryAtt");
        localResponse_ = RequestCancelled;
        return;
    }
    localResponse_ = RequestCompleted;
    showPercent(measure_.add(1));
}

int OutlayImport::validateRecord() const { return localResponse_ == RequestCancelled ? OutOfRange : RecordOk; }

void OutlayImport::cycle() {
    Context& ctx = s_.ctx;
    measure_.startCycle();
    bool atEnd = false;
    while (!measure_.cycleDone()) {
        const Decimal trackRef = ctx.get(DAT::TRACKREFERENCE);
        if (trackRef > Decimal(lastTrackRef_)) {
            const int64_t ref = trackRef.toInt64();
            if (firstHandled_ == 0) firstHandled_ = ref;
            BatchPosting::Outcome outcome = posting_.postAttachment([this](const JournalEntry& e) { return recordIntent(e); });
            ++handled_;
            if (outcome == BatchPosting::Stopped) {
                ++failed_;
                // Nothing of this attachment was written: the run ends as a confirmed Cancel
                // does, and the next run starts with it.
                if (!journalError_.empty())
                    s_.ui.message("Track Ref: " + std::to_string(ref) + " was not posted: the record of its posting cannot be written.|" +
                                      journalError_ + "|The import stops here; the next import starts with this attachment.",
                                  "Outlay Import", ui::Icon::Warning);
                stopRun();
                return;
            }
            if (outcome == BatchPosting::Posted) ++posted_;
            if (outcome == BatchPosting::Refused) ++failed_;
            lastProcessed_ = ref;
        } else {
            ++handled_;  // at or below the last tracking reference: passed over
        }
        if (view_.wantsCounts()) view_.setCounts(handled_, aboutWaiting_, "attachments");
        do {
            getNextRecord();
        } while (validateRecord() == Filtered);
        if (validateRecord() == OutOfRange) {
            localResponse_ = RequestCompleted;
            atEnd = true;
            break;
        }
        localResponse_ = RequestCancelled;
    }
    // Every few cycles the INI file catches up with what is committed, and the journal starts
    // afresh (in between the journal holds what the INI file lacks; every write of the INI
    // file costs two flushes). A tracking reference that cannot be stored ends the run before
    // another attachment is posted.
    if (++cyclesSinceStored_ >= kCyclesPerStore && lastProcessed_ != stored_) {
        cyclesSinceStored_ = 0;
        if (!storeLastTrackRef(lastProcessed_)) {
            stopRun();
            return;
        }
        std::string error;
        journal_.clear(error);  // what it holds is committed and counted: it may stay
    }
    if (atEnd) {
        view_.setPercentText("Process Completed");
        endLoop();
    }
}

void OutlayImport::cancelConfirmed() {
    cancelled_ = true;
    localResponse_ = RequestCancelled;
    endLoop();
}

void OutlayImport::stopRun() {
    stopped_ = true;
    localResponse_ = RequestCancelled;
    endLoop();
}

void OutlayImport::refuse(const std::string& text) { s_.ui.message(text, "Outlay Import", ui::Icon::Warning); }

// ---- one import per database --------------------------------------------------------------

bool OutlayImport::takeImportLock() {
    db::Connection* c = s_.ctx.connection();
    if (!c) return false;
    bool granted = false;
    db::LockHolder holder;
    if (Error e = c->tryApplicationLock(kImportLockName, granted, holder)) {
        refuse("The outlay import cannot make sure that it is the only one on this database: " + e.driverText +
               "|The import does not start.");
        return false;
    }
    if (!granted) {
        refuse("Another outlay import is running on this database, " + holder.describe() +
               ".|Two imports at once would post the same attachments twice: this one does not start. Run it again when the "
               "other has finished.");
        return false;
    }
    locked_ = true;
    return true;
}

void OutlayImport::releaseImportLock() {
    if (!locked_) return;
    locked_ = false;
    if (db::Connection* c = s_.ctx.connected() ? s_.ctx.connection() : nullptr) c->releaseApplicationLock(kImportLockName);
}

// ---- the journal ----------------------------------------------------------------------------

// The highest tracking reference the journal shows committed: every entry but the last was
// appended after the commit before it returned; the last is committed when what it wrote is
// in the database. Nothing when the journal is empty.
std::optional<int64_t> OutlayImport::committedTrackRef(std::string& error, std::vector<int64_t>* committed) {
    std::vector<JournalEntry> entries;
    if (!journal_.read(entries, error)) return std::nullopt;
    std::optional<int64_t> best;
    auto take = [&](const JournalEntry& e) {
        best = std::max(best.value_or(INT64_MIN), e.trackRef);
        if (committed) committed->push_back(e.trackRef);
    };
    for (size_t i = 0; i + 1 < entries.size(); ++i) take(entries[i]);
    if (!entries.empty()) {
        std::optional<bool> inDatabase = committedInDatabase(s_.ctx, entries.back(), error);
        if (!inDatabase) return std::nullopt;
        if (*inDatabase) take(entries.back());
    }
    return best;
}

// What an earlier run left in the journal is settled before anything is posted: the INI file
// takes the highest committed tracking reference, and the journal is emptied.
bool OutlayImport::settleJournal() {
    std::string error;
    if (!journal_.open(error)) {
        refuse("The outlay import cannot keep the record of its postings: " + error + "|The import does not start.");
        return false;
    }
    std::vector<int64_t> settled;
    std::optional<int64_t> committed = committedTrackRef(error, &settled);
    if (!error.empty()) {
        refuse("The record of the last outlay import cannot be settled: " + error + "|The import does not start.");
        return false;
    }
    // Attachments an earlier run committed past the tracking reference it stored: it was
    // killed, or lost the database's answer to its last commit, before it could count them.
    // (The run history may already start this run after them: they are named all the same.)
    if (observer_)
        for (int64_t ref : settled)
            if (ref > storedTrackRef_) observer_->settled(ref);
    int64_t start = historyGoverns_ ? lastTrackRef_ : std::max<int64_t>(lastTrackRef_, committed.value_or(INT64_MIN));
    lastTrackRef_ = static_cast<int32_t>(std::clamp<int64_t>(start, INT32_MIN, INT32_MAX));
    lastProcessed_ = start;
    // Written now, whether it changed or not: an INI file that cannot take it stops the import
    // before anything is posted.
    if (!storeLastTrackRef(start)) return false;
    if (!journal_.clear(error)) {
        refuse("The record of the last outlay import cannot be emptied: " + error + "|The import does not start.");
        return false;
    }
    return true;
}

bool OutlayImport::recordIntent(const JournalEntry& e) {
    journalError_.clear();
    return journal_.append(e, journalError_) && recordRows(e);
}

// What the attachment wrote goes into the run history in its own transaction, in one
// statement: its lines, the headers it created and what it added to each header's total.
bool OutlayImport::recordRows(const JournalEntry& e) {
    if (!history_.available() || history_.runId() == 0) return true;
    std::vector<history::RowRecord> rows;
    std::map<int32_t, Decimal> added;
    for (const JournalEntry::Header& h : e.headers)
        rows.push_back({history::kHeader, e.trackRef, h.batchNo, h.pref, h.batchNo, Decimal()});
    for (const JournalEntry::Line& l : e.lines) {
        rows.push_back({history::kLine, e.trackRef, l.batchNo, l.pref, l.keyId, l.value});
        added[l.batchNo] = added[l.batchNo] + l.value;
    }
    for (const auto& [batch, amount] : added) rows.push_back({history::kTotalled, e.trackRef, batch, 0, batch, amount});
    if (Error err = history_.record(rows)) {
        journalError_ = "the run history cannot be written: " + (err.driverText.empty() ? err.text : err.driverText);
        return false;
    }
    return true;
}

// Where the run starts: after what the run history says any station posted, after the value
// chosen on purpose, or (without a history) after the INI file's value. A database that has
// outlay lines but neither a history nor a LastTrackRef is not posted again from 0 on its own.
bool OutlayImport::decideStart() {
    storedTrackRef_ = lastTrackRef_;
    if (!history_.open()) {
        s_.ui.message(history_.unavailableText(), "Outlay Import", ui::Icon::Information);
    } else {
        // Under the import lock: a run left "running" is one that was killed.
        history_.settleKilled(history::kOutlayRun);
        history_.settleKilled(history::kUndoRun);
    }
    if (choice_.fromTrackRef) {
        lastTrackRef_ = *choice_.fromTrackRef;
        lastProcessed_ = lastTrackRef_;
        historyGoverns_ = true;  // the journal does not raise a value chosen on purpose
        return true;
    }
    if (std::optional<int32_t> start = history_.outlayStart()) {
        lastTrackRef_ = *start;
        lastProcessed_ = lastTrackRef_;
        historyGoverns_ = true;
        return true;
    }
    if (choice_.iniHasValue || lastTrackRef_ > 0) return true;
    Context& ctx = s_.ctx;
    Table& sqld = ctx.table(TableId::SQLResultD);
    if (sqld.setSql("Select count(*) from BatchDetails Where Ref = 'Doc Outlay'") || sqld.next()) {
        refuse("The outlay lines already posted cannot be counted: " + warningErrorText(ctx) + "|The import does not start.");
        return false;
    }
    if (ctx.get(SQLD::RESULTFIELD).toInt64() == 0) return true;  // a practice's first import
    int64_t waiting = 0;
    if (sqld.setSql("Select count(*) from DiaryAttachments Where TrackReference > 0") == NoError && sqld.next() == NoError)
        waiting = ctx.get(SQLD::RESULTFIELD).toInt64();
    const std::string why = "This folder has no LastTrackRef and the database no record of earlier imports, but outlay lines "
                            "are already posted on it: starting from 0 would post every attachment again (" +
                            std::to_string(waiting) + " attachments).";
    if (!choice_.ask) {
        refuse(why + "|The import does not start. Give the tracking reference to start after with --from-track-ref N, or "
                     "--all to post every attachment.");
        return false;
    }
    if (s_.ui.message(why + "||Post all " + std::to_string(waiting) + " attachments?", "Outlay Import", ui::Icon::Question,
                      ui::ButtonYes | ui::ButtonNo, ui::ButtonNo) != ui::ButtonYes)
        return false;
    choice_.fromTrackRef = 0;
    historyGoverns_ = true;
    return true;
}

// Writes the tracking reference to the product INI file, durably. A file that cannot take it
// (read-only, a folder in its place, a full disk) is said, and the caller ends the run.
bool OutlayImport::storeLastTrackRef(int64_t value) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status st = fs::status(productIni_, ec);
    std::string why;
    if (fs::is_directory(st)) {
        why = "a folder of that name is in the way";
    } else if (fs::exists(st) && (st.permissions() & fs::perms::owner_write) == fs::perms::none) {
        why = "the file is read-only";
    } else if (!ini::put(productIni_, kOutlaysSection, kLastTrackRefKey, std::to_string(value))) {
        why = "the disk is full, or the file or its folder cannot be written";
    }
    if (why.empty()) {
        stored_ = value;
        return true;
    }
    if (!iniFailed_) {
        iniFailed_ = true;
        const fs::path shown = fs::absolute(productIni_, ec);
        refuse("LastTrackRef " + std::to_string(value) + " cannot be written to " + (ec ? productIni_ : shown.string()) + ": " + why +
               ".|The import stops here. What it posted is recorded in " + journal_.path() +
               "; the next import takes that into account.");
    }
    return false;
}

void OutlayImport::finish() {
    if (!prepared_) return;
    Context& ctx = s_.ctx;
    ctx.table(TableId::DiaryAttachments).sendOption("QUICKSCAN=off");

    // The next run starts after the last attachment this run handled, but never above the
    // table's highest tracking reference (a value typed too high is brought back to it).
    // The last attachment's commit may have failed without saying whether it took place:
    // the journal tells.
    std::string error;
    int64_t last = lastProcessed_;
    std::optional<int64_t> committed = committedTrackRef(error);
    const bool settled = error.empty();
    if (committed) last = std::max(last, *committed);

    Table& sqld = ctx.table(TableId::SQLResultD);
    int64_t stored = last;
    if (sqld.setSql("Select max(TrackReference) from DiaryAttachments") == NoError && sqld.next() == NoError)
        stored = std::min<int64_t>(last, ctx.get(SQLD::RESULTFIELD).toInt64());
    // When the INI file cannot take it, the journal keeps what it holds for the next run.
    if (!iniFailed_ && storeLastTrackRef(stored) && settled) journal_.clear(error);
    journal_.close();
    if (history_.runId() != 0) {
        const char* outcome = failed_ > 0 || stopped_ ? "stopped" : cancelled_ ? "cancelled" : "completed";
        history_.endRun(outcome, static_cast<int32_t>(firstHandled_),
                        static_cast<int32_t>(std::max<int64_t>(stored, lastTrackRef_)));
    }

    s_.ui.message("Import Complete!");

    if (reader_) reader_->close();
    reader_.reset();
    releaseImportLock();
    tables_.reset();
    ctx.globalResponse = localResponse_ == 0 ? RequestCancelled : localResponse_;
}

}  // namespace mg::outlays
