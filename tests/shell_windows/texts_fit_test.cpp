// Every window layout of the program, built at its opening size in the fonts that stand in
// for its design fonts: no prompt, text, button or tab needs more room than its control has.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <QDialog>

#include "fees/windows/fee_report_windows.h"
#include "maintenance/browse_lists.h"
#include "maintenance/windows/browse_window.h"
#include "maintenance/windows/charge_form.h"
#include "qt_app.h"
#include "shell/windows/main_frame.h"
#include "shell/windows/main_setup.h"
#include "shell/windows/wait_retry.h"
#include "texts_fit.h"
#include "ui/preview/preview_dialogs.h"
#include "ui/preview/report_preview.h"
#include "ui/widgets/calendar.h"
#include "ui/widgets/progress_window.h"

namespace mg::shell {
namespace {

TEST(WindowTexts, EveryLayoutsFixedTextsFitTheirControls) {
    test::qtApp();
    std::vector<std::pair<std::string, ui::WindowDef>> layouts = {
        {"wait/retry", waitRetryMessageDef()},
        {"setup", mainSetupDef()},
        {"progress", ui::progressWindowDef()},
        {"calendar", ui::calendarDef()},
        {"jump", ui::jumpToPageDef()},
        {"display", ui::selectDisplayDef()},
        {"report date", fees::importFeesReportFromDef()},
    };
    for (browse::ListWindow w : browse::allListWindows())
        layouts.emplace_back(browse::listWindowDef(w).caption, browse::listWindowLayout(browse::listWindowDef(w)));
    for (browse::ChargeForm f : {browse::ChargeForm::Outlays, browse::ChargeForm::Fees})
        layouts.emplace_back("charge form", browse::chargeFormDef(f).layout);
    for (const auto& [name, def] : layouts) {
        SCOPED_TRACE(name);
        QDialog window;
        ui::buildWindow(window, def);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        const std::vector<std::string> cut = test::cutTexts(window);
        EXPECT_TRUE(cut.empty()) << ::testing::PrintToString(cut);
    }
}

}  // namespace
}  // namespace mg::shell
