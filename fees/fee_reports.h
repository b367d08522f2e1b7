#pragma once
// The two fee reports as processes: the fees waiting to be imported (FEESTOIMPORTREPORT) and
// the fees imported on one date (IMPORTFEESREPORT). Each reads its driving table in key
// order with the driver's fast scan, 25 rows per timer event, fills the lookups of the row
// and prints a detail band into the report engine. When the run completes, the engine holds
// the finished pages for the preview, the printer, a PDF; the rows printed are kept as well
// for a CSV file.
//
// No row at all: the run ends at once with request cancelled and makes no report. Cancel
// needs no question and makes no report either.
//
// A lookup (matter, template document, fee earner) that finds no row shows blanks: the
// record is cleared, so nothing of the previous row's matter or fee earner is printed.
// The imported-fees report keeps the date it was started with for the whole run.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/record.h"
#include "maintenance/integrity.h"
#include "ui/process.h"
#include "ui/report/engine.h"

namespace mg::fees {

class FeeReport : public ui::Process {
public:
    ~FeeReport() override;

    bool prepare() override;
    void opened() override;
    void cycle() override;
    // Cancel asks no question.
    void cancelPressed() override { cancelConfirmed(); }
    void cancelConfirmed() override;
    void finish() override;
    int response() const override { return localResponse_; }

    // The run read every row and the report is finished.
    bool completed() const { return localResponse_ == RequestCompleted && engine_ && engine_->finished(); }
    // The report of the run (null until the first row was read). Its pages are complete
    // once the run has completed.
    report::ReportEngine* engine() const { return engine_.get(); }
    // Hands the report over to the caller (the preview outlives the process).
    std::unique_ptr<report::ReportEngine> takeEngine() { return std::move(engine_); }

    // A finished report without lines (its page header and footer, the counts at 0), for
    // a file that is written whatever the run found.
    std::unique_ptr<report::ReportEngine> emptyReport();

    int64_t recordsToProcess() const { return toProcess_; }
    int64_t recordsProcessed() const { return processed_; }

    // The detail lines printed, each as CSV cells; the group's fee earner and name first.
    struct Line {
        std::string groupKey;  // the fee earner the engine groups on
        std::vector<std::string> cells;
    };
    const std::vector<Line>& lines() const { return lines_; }
    // The column titles of the CSV lines.
    virtual std::vector<std::string> csvTitles() const = 0;
    // The lines, then one count line per fee earner and the total line, as CSV text.
    std::string csv() const;

    static constexpr int kRecordsPerCycle = 25;

    // Where the engine writes its pages (empty: the system's temporary folder).
    std::string pageFolder;

protected:
    FeeReport(Session s, ui::ProgressView& view);

    // Opens the report's tables in its order (ok() false when an open failed).
    virtual std::unique_ptr<TableUse> openTables() = 0;
    virtual TableId drivingTable() const = 0;
    virtual Key order() const = 0;
    virtual report::ReportLayout layout() const = 0;
    // Called once the report is open (report fields).
    virtual void reportOpened(report::ReportEngine&) {}
    // Handles the current row of the driving table: lookups, then the detail band.
    virtual void handleRow() = 0;
    // Prints the detail band with `fields` and keeps the line.
    void printLine(const report::Fields& fields, std::string groupKey, std::vector<std::string> cells);
    // Looks the row up by `key` from the values set in its buffer; no row (or an error)
    // leaves the record blank.
    void lookUp(TableId table, Key key);

    Session s_;

private:
    // Reads the next row; false at the end of the data.
    bool readNext();

    std::unique_ptr<TableUse> tables_;
    std::unique_ptr<View> reader_;
    std::unique_ptr<report::ReportEngine> engine_;
    std::vector<Line> lines_;
    int64_t toProcess_ = 0;
    int64_t processed_ = 0;
    int localResponse_ = RequestCancelled;
    bool prepared_ = false;
};

// FEESTOIMPORTREPORT: dbo.DiaryAttFees in fee earner, matter, diary id, document order.
class FeesToImportReport : public FeeReport {
public:
    FeesToImportReport(Session s, ui::ProgressView& view) : FeeReport(s, view) {}
    std::vector<std::string> csvTitles() const override;

protected:
    std::unique_ptr<TableUse> openTables() override;
    TableId drivingTable() const override { return TableId::DiaryAttFees; }
    Key order() const override;
    report::ReportLayout layout() const override;
    void handleRow() override;
};

// IMPORTFEESREPORT: the rows of dbo.FeesImported logged on `reportDate`, in fee earner and
// matter order. Every row of the log is read (and counted for the progress); only the
// date's rows print.
class ImportFeesReport : public FeeReport {
public:
    ImportFeesReport(Session s, ui::ProgressView& view, int32_t reportDate) : FeeReport(s, view), date_(reportDate) {}
    int32_t reportDate() const { return date_; }
    std::vector<std::string> csvTitles() const override;

protected:
    std::unique_ptr<TableUse> openTables() override;
    TableId drivingTable() const override { return TableId::FeesImported; }
    Key order() const override;
    report::ReportLayout layout() const override;
    void reportOpened(report::ReportEngine& engine) override;
    void handleRow() override;

private:
    const int32_t date_;
};

}  // namespace mg::fees
