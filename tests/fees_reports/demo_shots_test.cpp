// What a user sees of the fee reports on the demo practice: the date window, the calendar it
// calls, a report's progress window and the preview of each report, saved as pictures in the
// folder MG_SCREENSHOTS names (the test is skipped without it).

#include "fees/import_fees.h"
#include "fees/windows/fee_report_windows.h"
#include "qt_app.h"
#include "report_fixture.h"
#include "shell/demo.h"
#include "ui/preview/report_preview.h"
#include "ui/widgets/calendar.h"
#include "ui/widgets/progress_window.h"

namespace mg::fees::test {
namespace {

TEST(FeeReportShots, DemoPracticeWindowsAndPreviews) {
    if (qEnvironmentVariableIsEmpty("MG_SCREENSHOTS")) GTEST_SKIP() << "MG_SCREENSHOTS names no folder";
    mg::test::TempDatabase scratch;
    const std::string path = (scratch.folder() / "demo.db").string();
    ASSERT_FALSE(shell::makeDemoDatabase(path));
    db::Settings settings;
    settings.driver = "sqlite";
    settings.database = path;

    // The waiting fees' report first, then the import fills the log for the other report.
    ui::ScriptedUserInterface ui;
    Context ctx(settings);
    FeesToImportReport waiting(Session{ctx, ui}, ui);
    ASSERT_EQ(ui::runWithoutWindow(waiting, nullptr), RequestCompleted);
    FeeImport import(Session{ctx, ui}, ui);
    ui::runWithoutWindow(import, nullptr);
    ImportFeesReport imported(Session{ctx, ui}, ui, dates::today());
    ASSERT_EQ(ui::runWithoutWindow(imported, nullptr), RequestCompleted);

    for (auto [report, name] : {std::pair<FeeReport*, const char*>{&waiting, "preview_fees_to_import"},
                                std::pair<FeeReport*, const char*>{&imported, "preview_fees_imported"}}) {
        // At the size it opens with, as the thumbnail of the page and at page width.
        ui::ReportPreview preview(report->engine()->pageList());
        preview.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
        QTest::qWait(100);
        ASSERT_FALSE(preview.grab().isNull());
        mg::test::screenshot(preview, std::string(name) + "_opening");
        preview.setZoom(ui::Zoom::PageWidth);
        QTest::qWait(50);
        mg::test::screenshot(preview, name);
        preview.close();
    }

    ImportFeesReportFrom from(settings);
    from.show();
    QTest::qWait(50);
    mg::test::screenshot(from, "imported_fees_report_from");

    ui::CalendarWindow calendar("Select Date", dates::today(), &from);
    calendar.show();
    QTest::qWait(50);
    mg::test::screenshot(calendar, "calendar_select_date");
    calendar.hide();

    ui::ProgressWindow progress(nullptr, 8);
    progress.setCaption("Generating Report");
    progress.setPercentText(" 40% Completed");
    progress.setBar(40);
    progress.show();
    QTest::qWait(50);
    mg::test::screenshot(progress, "progress_generating_report");
}

}  // namespace
}  // namespace mg::fees::test
