#pragma once
// The outlay import: every diary attachment whose tracking reference lies above the last
// one processed is handed to the batch posting, which turns the document's outlay charges
// into lines of the day's automatic outlay batches.
//
// It runs as a ui::Process: in a progress window on the desktop, or without windows on the
// command line, with up to 25 attachments per timer event.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "data/table.h"
#include "maintenance/integrity.h"
#include "outlays/batch_posting.h"
#include "ui/process.h"
#include "ui/progress_measure.h"

namespace mg::outlays {

// The product INI file (in the current directory) and where the last processed tracking
// reference lives in it.
inline constexpr const char* kProductIni = "Quillerton.ini";
inline constexpr const char* kOutlaysSection = "DocumentOutlays";
inline constexpr const char* kLastTrackRefKey = "LastTrackRef";

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

    // What the run did, for the command line and the tests.
    int64_t attachmentsRead() const { return measure_.processed(); }
    int attachmentsPosted() const { return posted_; }
    int64_t lastProcessed() const { return lastProcessed_; }

private:
    enum RecordStatus { RecordOk = 0, OutOfRange = 1, Filtered = 2 };

    void getNextRecord();
    int validateRecord() const;
    void storeLastTrackRef(int64_t value);

    Session s_;
    std::string productIni_;
    int32_t lastTrackRef_;       // LOC:LastTrackRef: the lower bound of the rows read
    int64_t lastProcessed_;      // the tracking reference of the last attachment handled
    std::unique_ptr<TableUse> tables_;
    std::unique_ptr<View> reader_;
    BatchPosting posting_;

    static constexpr int kRecordsToProcess = 1000;
    static constexpr int kRecordsPerCycle = 25;
    // The progress counts rows read against a fixed total: the bar reaches 100 after 1000
    // rows, whatever the number really waiting, and stays there.
    ui::ProgressMeasure measure_;
    int localResponse_ = RequestCancelled;
    int posted_ = 0;
    bool prepared_ = false;
};

}  // namespace mg::outlays
