// Every fixed text of the report windows fits its control at the size the window opens with:
// prompts, texts and buttons are not cut, and the preview's spins show their largest value.

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabBar>

#include "fees/windows/fee_report_windows.h"
#include "qt_app.h"
#include "report_fixture.h"
#include "ui/preview/preview_dialogs.h"
#include "ui/preview/report_preview.h"
#include "ui/widgets/calendar.h"
#include "ui/widgets/progress_window.h"

namespace mg::fees::test {
namespace {

// The texts of `window` that do not fit their controls, one line each.
std::vector<std::string> cutTexts(QWidget& window) {
    std::vector<std::string> cut;
    auto check = [&](QWidget* w, const QString& text, int room) {
        const QString shown = QString(text).remove('&');
        if (shown.isEmpty() || !w->isVisibleTo(&window)) return;
        const int needed = w->fontMetrics().horizontalAdvance(shown);
        if (needed > room)
            cut.push_back(window.windowTitle().toStdString() + ": \"" + shown.toStdString() + "\" needs " + std::to_string(needed) +
                          " pixels, has " + std::to_string(room));
    };
    for (QLabel* l : window.findChildren<QLabel*>())
        if (l->pixmap().isNull()) check(l, l->text(), l->contentsRect().width() - 2 * l->margin());
    for (QAbstractButton* b : window.findChildren<QAbstractButton*>()) check(b, b->text(), b->width() - 4);
    for (QTabBar* bar : window.findChildren<QTabBar*>())
        for (int i = 0; i < bar->count(); ++i) check(bar, bar->tabText(i), bar->tabRect(i).width() - 4);
    for (QSpinBox* spin : window.findChildren<QSpinBox*>()) {
        // The largest value the spin takes, in the room its line shows text in (2 pixels of
        // margin either side).
        QLineEdit* line = spin->findChild<QLineEdit*>();
        if (line) check(spin, QString::number(spin->maximum()), line->contentsRect().width() - 4);
    }
    return cut;
}

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
        const std::vector<std::string> cut = cutTexts(*w);
        EXPECT_TRUE(cut.empty()) << ::testing::PrintToString(cut);
    }
}

}  // namespace
}  // namespace mg::fees::test
