// Every fixed text of the report windows fits its control at the size the window opens with:
// prompts, texts and buttons are not cut, and the preview's spins show their largest value.

#include "fees/windows/fee_report_windows.h"
#include "qt_app.h"
#include "texts_fit.h"
#include "report_fixture.h"
#include "ui/preview/preview_dialogs.h"
#include "ui/preview/report_preview.h"
#include "ui/widgets/calendar.h"
#include "ui/widgets/progress_window.h"

namespace mg::fees::test {
namespace {

TEST_F(FeeReportTest, EveryFixedTextOfTheReportWindowsFits) {
    mg::test::qtApp();
    ImportFeesReportFrom from(db.settings());
    ui::CalendarWindow calendar("Select Date", dates::dateFromMDY(9, 30, 2024), &from);
    ui::ProgressWindow progress(nullptr, 8);
    progress.setCaption("Generating Report");
    progress.setPercentText("100% Completed");

    auto r = run<FeesToImportReport>();
    ASSERT_TRUE(r->completed());
    std::vector<std::string> pages = r->engine()->pageList();
    pages.push_back(pages.front());  // two pages: the spins are enabled
    ui::ReportPreview preview(pages);
    int across = 10, down = 10;
    ui::JumpToPageWindow jump(1, 10000, &preview);
    ui::SelectDisplayWindow display(across, down, &preview);
    std::vector<QWidget*> windows{&from, &calendar, &progress, &preview, &jump, &display};
    for (QWidget* w : windows) {
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    }
    for (QWidget* w : windows) {
        const std::vector<std::string> cut = mg::test::cutTexts(*w);
        EXPECT_TRUE(cut.empty()) << ::testing::PrintToString(cut);
    }
}

}  // namespace
}  // namespace mg::fees::test
