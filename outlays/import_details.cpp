#include "outlays/import_details.h"

#include <algorithm>

#include "data/ini.h"

namespace mg::outlays {

OutlayImport::OutlayImport(Session s, ui::ProgressView& view, int32_t lastTrackRef, std::string productIni)
    : Process(s.ui, view), s_(s), productIni_(std::move(productIni)), lastTrackRef_(lastTrackRef), lastProcessed_(lastTrackRef),
      posting_(s) {}

OutlayImport::~OutlayImport() = default;

bool OutlayImport::prepare() {
    Context& ctx = s_.ctx;
    ctx.globalRequest = 0;
    ctx.globalResponse = 0;
    tables_ = std::make_unique<TableUse>(
        s_, std::initializer_list<TableId>{TableId::BatchDetails, TableId::BatchH, TableId::Control, TableId::DocumentCharges,
                                           TableId::Diary, TableId::DiaryAttachments, TableId::Matters, TableId::OutlayCode,
                                           TableId::SQLResult, TableId::SQLResultD});
    if (!tables_->ok()) {
        tables_.reset();
        ctx.globalResponse = RequestCancelled;
        return false;
    }
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
            // The new tracking reference is written ahead and put in place the moment the
            // attachment's transaction commits: a crash can fall between the two only during
            // one rename, and then at worst this one attachment is posted again.
            const int64_t ref = trackRef.toInt64();
            ini::StagedWrite mark = ini::stage(productIni_, kOutlaysSection, kLastTrackRefKey, std::to_string(ref));
            bool stored = false;
            BatchPosting::Outcome outcome = posting_.postAttachment([&] { stored = mark.publish(); });
            if (outcome == BatchPosting::Stopped) {
                // Nothing of this attachment was written: the run ends as a confirmed Cancel
                // does, and the next run starts with it.
                mark.abandon();
                cancelConfirmed();
                return;
            }
            if (outcome == BatchPosting::Posted) ++posted_;
            // An attachment without charges commits nothing; and when the staged write could
            // not be made, a plain write is tried.
            if (!stored) storeLastTrackRef(ref);
            lastProcessed_ = ref;
        }
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
    if (atEnd) {
        view_.setPercentText("Process Completed");
        endLoop();
    }
}

void OutlayImport::cancelConfirmed() {
    localResponse_ = RequestCancelled;
    endLoop();
}

void OutlayImport::storeLastTrackRef(int64_t value) {
    ini::put(productIni_, kOutlaysSection, kLastTrackRefKey, std::to_string(value));
}

void OutlayImport::finish() {
    if (!prepared_) return;
    Context& ctx = s_.ctx;
    ctx.table(TableId::DiaryAttachments).sendOption("QUICKSCAN=off");

    // The next run starts after the last attachment this run handled, but never above the
    // table's highest tracking reference (a value typed too high is brought back to it).
    Table& sqld = ctx.table(TableId::SQLResultD);
    int64_t stored = lastProcessed_;
    if (sqld.setSql("Select max(TrackReference) from DiaryAttachments") == NoError && sqld.next() == NoError)
        stored = std::min<int64_t>(lastProcessed_, ctx.get(SQLD::RESULTFIELD).toInt64());
    storeLastTrackRef(stored);

    s_.ui.message("Import Complete!");

    if (reader_) reader_->close();
    reader_.reset();
    tables_.reset();
    ctx.globalResponse = localResponse_ == 0 ? RequestCancelled : localResponse_;
}

}  // namespace mg::outlays
