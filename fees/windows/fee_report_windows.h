#pragma once
// The fee reports on the desktop. Each report runs on a context of its own in a progress
// window of its own ("Generating Report"); when it completes, its pages go to the preview,
// and to the printer when the user chooses Print there.
//
// IMPORTFEESREPORTFROM: the date window of the imported-fees report. It opens on today's
// date; "..." picks a date from the calendar; the print button starts a report for the date
// shown and the window stays open, so several reports (of several dates) may run at once.
// Each report keeps the date it was started with.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>

#include "data/backend.h"
#include "data/context.h"
#include "ui/widgets/controls.h"
#include "ui/widgets/procedure.h"
#include "ui/widgets/resizer.h"

namespace mg::fees {

class FeeReport;

// Starts FEESTOIMPORTREPORT / IMPORTFEESREPORT and returns at once. False when the run
// could not start (a table could not be opened).
bool startFeesToImportReport(const db::Settings& settings, QWidget* parent);
bool startImportFeesReport(const db::Settings& settings, int32_t reportDate, QWidget* parent);

// What a finished run does with its report. Empty (the program's own): the preview, modal
// to nothing, then the printer when Print was chosen there. Tests put their own in its
// place; it is told the report's context and page list and answers as the preview does.
using PreviewFunction = std::function<int(Context& ctx, const std::vector<std::string>& pages, QWidget* parent)>;
PreviewFunction& reportPreviewFunction();

// The last report run's end, for tests: the response it ended with and its page count
// (0 when no report was made).
struct ReportRunEnd {
    int response = 0;
    int pages = 0;
    std::vector<std::string> pageTexts;  // the engine's text form of each page
};
std::function<void(const ReportRunEnd&)>& reportRunEndHook();

const ui::WindowDef& importFeesReportFromDef();

class ImportFeesReportFrom : public QDialog {
    Q_OBJECT
public:
    ImportFeesReportFrom(db::Settings settings, QWidget* parent = nullptr);
    ~ImportFeesReportFrom() override;

    // Opens the window on a context of its own, modeless; it deletes itself when closed.
    static ImportFeesReportFrom* start(const db::Settings& settings, QWidget* parent);

    // GLO:REPORTDATE as the window holds it (0: no date).
    int32_t reportDate() const { return date_; }
    void setReportDate(int32_t date);

    // The commands.
    void lookupDate();
    void printReport();
    void cancel();

    // The calendar, replaceable by tests: given the title and date, returns the date picked.
    std::function<int32_t(const std::string& title, int32_t date)> pickDate;

    ui::Controls& controls() { return controls_; }
    ui::WindowProcedure& procedure() { return procedure_; }

private:
    void showDate();
    // Takes the typed date; false (and the entry selected again) when it is not a date.
    bool takeTyped();

    db::Settings settings_;
    Context ctx_;
    ui::ProcedureWords words_;
    ui::Controls controls_;
    ui::WindowResizeType resizer_;
    ui::WindowProcedure procedure_;
    int32_t date_ = 0;
};

}  // namespace mg::fees
