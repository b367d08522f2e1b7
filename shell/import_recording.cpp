#include "shell/import_recording.h"

#include "data/dates.h"
#include "data/ini.h"
#include "fees/fee_observer.h"
#include "fees/import_fees.h"
#include "outlays/outlay_import.h"
#include "outlays/outlay_observer.h"
#include "shell/settings.h"

namespace mg::shell {
namespace {

std::string band(int b) { return b == 0 ? "none" : std::to_string(b); }

class OutlayRecorder : public outlays::OutlayObserver {
public:
    explicit OutlayRecorder(RunRecord& r) : r_(r) {
        r_.columns = outlayColumns();
        r_.readWhat = "attachments";
        r_.totalsBy = "nominal code";
    }
    void line(const outlays::OutlayLine& l) override {
        r_.lines.push_back({dates::toIsoDate(l.date), std::to_string(l.trackRef), l.document, l.matter, l.debt ? l.debt->toString(2) : "",
                            band(l.band), l.amount.toString(2), l.currencyValue.toString(2), l.outlayCode, l.nominalCode,
                            l.newBatch ? "new" : std::to_string(l.batchNo), l.feeEarner});
        r_.addToTotal(l.nominalCode, l.amount);
    }
    void exception(outlays::OutlayException kind, const std::string& subject, const std::string& row) override {
        switch (kind) {
            case outlays::OutlayException::MatterNotFound:
                r_.addException(0, "matter not found (line posted at 0.00)", subject, row);
                break;
            case outlays::OutlayException::DiaryNotFound:
                r_.addException(1, "diary entry not found (fee earner ADM)", subject, row);
                break;
            case outlays::OutlayException::NoBand:
                r_.addException(5, "debt in no band (priced 1.11)", subject, row);
                break;
            case outlays::OutlayException::LineRefused:
                r_.addException(7, "line refused by the database (not posted: post it by hand once the cause is mended)", subject, row);
                break;
            case outlays::OutlayException::CommitUnknown:
                r_.addException(8, "commit not confirmed (the next import settles it from its journal)", subject, row);
                break;
        }
    }
    void settled(int64_t trackRef) override { r_.settled.push_back(trackRef); }

private:
    RunRecord& r_;
};

class FeeRecorder : public fees::FeeObserver {
public:
    explicit FeeRecorder(RunRecord& r) : r_(r) {
        r_.columns = feeColumns();
        r_.readWhat = "waiting fees";
        r_.totalsBy = "fee earner";
    }
    void entry(const fees::FeeEntry& e) override {
        r_.lines.push_back({dates::toIsoDate(e.date), std::to_string(e.diaryId), e.document, e.matter, e.taskCode, e.arrangement,
                            e.debt.toString(2), band(e.band), e.rate.toString(2), e.feeEarner, e.team, std::to_string(e.trackRef)});
        r_.addToTotal(e.feeEarner, e.rate);
    }
    void exception(fees::FeeException kind, const std::string& subject, const std::string& row) override {
        using K = fees::FeeException;
        switch (kind) {
            case K::MatterNotFound: r_.addException(0, "matter not found (fee not entered)", subject, row); break;
            case K::DiaryEntryNotFound: r_.addException(1, "diary entry not found", subject, row); break;
            case K::NoMapping: r_.addException(2, "document waiting for a fee with no mapping", subject, row); break;
            case K::TaskNotFound:
                r_.addException(3, "task code not found (fee entered, its comment from the charging matrix)", subject, row);
                break;
            case K::ArrangementNotFound: r_.addException(4, "arrangement not found", subject, row); break;
            case K::NoBand: r_.addException(5, "debt in no band (priced 1.11)", subject, row); break;
            case K::NoHandler:
                r_.addException(6, "fee earner without a handler row (team blank)", subject.empty() ? "(blank)" : subject, row);
                break;
            case K::NotEntered: r_.addException(7, "fee not entered (it waits for the next run)", subject, row); break;
            case K::CannotBeMarked:
                r_.addException(8, "fee not entered: its attachment cannot be marked as imported", subject, row);
                break;
        }
    }

private:
    RunRecord& r_;
};

}  // namespace

RecordedImport recordedOutlayImport(const ImportRequest& req) {
    RecordedImport made;
    // A product INI file that is there but unusable would read as "nothing processed yet":
    // the run does not start rather than post every attachment again.
    if (const std::string refusal = outlayImportRefusal(req.productIni); !refusal.empty()) {
        req.session.ui.message(refusal, "Outlay Import", ui::Icon::Error);
        return made;
    }
    auto recorder = std::make_shared<OutlayRecorder>(req.record);
    // The import writes the last tracking reference back itself.
    auto import = std::make_unique<outlays::OutlayImport>(req.session, req.view, lastTrackRefArgument(req.productIni), req.productIni);
    import->setObserver(recorder.get());
    outlays::StartChoice choice;
    choice.fromTrackRef = req.fromTrackRef ? req.fromTrackRef : chosenStart(req.productIni);
    choice.iniHasValue = ini::lookup(req.productIni, outlays::kOutlaysSection, outlays::kLastTrackRefKey).value.has_value();
    import->setStartChoice(choice);
    outlays::OutlayImport* raw = import.get();
    RunRecord* record = &req.record;
    made.collect = [raw, record] {
        record->read = raw->attachmentsRead();
        record->posted = raw->attachmentsPosted();
        record->failed = raw->attachmentsFailed();
        record->skipped = record->read - record->posted - record->failed;
    };
    made.process = std::move(import);
    made.keep = recorder;
    return made;
}

RecordedImport recordedFeeImport(const ImportRequest& req) {
    RecordedImport made;
    auto recorder = std::make_shared<FeeRecorder>(req.record);
    auto import = std::make_unique<fees::FeeImport>(req.session, req.view);
    import->setObserver(recorder.get());
    fees::FeeImport* raw = import.get();
    RunRecord* record = &req.record;
    made.collect = [raw, record] {
        record->read = raw->waitingFeesRead();
        record->posted = raw->feesEntered();
        record->failed = raw->feesFailed();
        record->skipped = record->read - record->posted - record->failed;
    };
    made.process = std::move(import);
    made.keep = recorder;
    return made;
}

}  // namespace mg::shell
