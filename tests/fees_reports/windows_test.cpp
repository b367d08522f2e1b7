// The fee reports on the desktop: a run in its progress window ends in the preview, a
// cancelled one does not; the date window opens on today, takes the calendar's date (0 from
// its close box), starts a report that keeps its date and stays open.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "fees/windows/fee_report_windows.h"
#include "qt_app.h"
#include "report_fixture.h"
#include "ui/preview/report_preview.h"
#include "ui/widgets/calendar.h"
#include "ui/widgets/progress_window.h"

namespace mg::fees::test {
namespace {

class FeeReportWindowTest : public FeeReportTest {
protected:
    void SetUp() override {
        FeeReportTest::SetUp();
        reportPreviewFunction() = [this](Context&, const std::vector<std::string>& pages, QWidget*) {
            previewed.push_back(static_cast<int>(pages.size()));
            return RequestCancelled;
        };
        reportRunEndHook() = [this](const ReportRunEnd& end) { ends.push_back(end); };
    }
    void TearDown() override {
        reportPreviewFunction() = nullptr;
        reportRunEndHook() = nullptr;
        FeeReportTest::TearDown();
    }
    // Waits for `n` runs to end and their previews (if any) to be posted.
    void waitForEnds(size_t n) {
        MG_WAIT_UNTIL(ends.size() >= n, 10000);
        QTest::qWait(20);
    }
    static ui::ProgressWindow* progressWindow() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<ui::ProgressWindow*>(w); p && p->isVisible()) return p;
        return nullptr;
    }

    std::vector<int> previewed;
    std::vector<ReportRunEnd> ends;
};

TEST_F(FeeReportWindowTest, ACompletedRunIsPreviewedAndACancelledOneIsNot) {
    ASSERT_TRUE(startFeesToImportReport(db.settings(), nullptr));
    ui::ProgressWindow* window = progressWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Generating Report");
    EXPECT_EQ(window->pctText()->text(), "0% Completed");
    EXPECT_EQ(window->cancelButton()->toolTip(), "Cancel Report");
    mg::test::screenshot(*window, "fee_report_progress");
    waitForEnds(1);
    EXPECT_EQ(ends[0].response, RequestCompleted);
    EXPECT_EQ(previewed, std::vector<int>{1});

    ASSERT_TRUE(startFeesToImportReport(db.settings(), nullptr));
    window = progressWindow();
    ASSERT_NE(window, nullptr);
    window->cancelButton()->click();  // no question is asked
    waitForEnds(2);
    EXPECT_EQ(ends[1].response, RequestCancelled);
    EXPECT_EQ(ends[1].pages, 0);
    EXPECT_EQ(previewed.size(), 1u);
}

TEST_F(FeeReportWindowTest, TheDateWindowPicksADateAndEachReportKeepsTheDateItWasStartedWith) {
    ImportFeesReportFrom window(db.settings());
    std::vector<std::pair<std::string, int32_t>> asked;
    int32_t answer = kDay1;
    window.pickDate = [&](const std::string& title, int32_t date) {
        asked.emplace_back(title, date);
        return answer;
    };
    window.show();
    QTest::qWait(20);
    auto* entry = window.controls().get<QLineEdit>("?GLO:REPORTDATE");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(window.windowTitle(), "Imported Fees Report");
    EXPECT_EQ(window.controls().get<QTabWidget>("?SHEET1")->tabText(0), "Fees");
    EXPECT_EQ(entry->text(), "15/03/2024");  // today
    EXPECT_EQ(QApplication::focusWidget(), entry);
    mg::test::screenshot(window, "imported_fees_report_from");

    window.lookupDate();
    EXPECT_EQ(entry->text(), "14/03/2024");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], std::make_pair(std::string("Select Date"), dates::dateFromMDY(3, 15, 2024)));

    // The report started for 14 March keeps it though the window moves on to 13 March.
    window.printReport();
    window.setReportDate(kDay2);
    window.printReport();
    waitForEnds(2);
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(ends[0].pageTexts.size(), 1u);
    ASSERT_EQ(ends[1].pageTexts.size(), 1u);
    const std::string& first = ends[0].pageTexts[0];
    const std::string& second = ends[1].pageTexts[0];
    EXPECT_NE(first.find("\"14/03/2024\""), std::string::npos);
    EXPECT_NE(first.find("\"             4\""), std::string::npos);  // its total
    EXPECT_EQ(first.find("\"           105\""), std::string::npos);  // 13 March's row
    EXPECT_NE(second.find("\"13/03/2024\""), std::string::npos);
    EXPECT_NE(second.find("\"           105\""), std::string::npos);

    // The calendar closed from its close box: no date; "..." then starts from today again.
    answer = 0;
    window.lookupDate();
    EXPECT_EQ(window.reportDate(), 0);
    EXPECT_EQ(entry->text(), "");
    answer = kDay2;
    window.lookupDate();
    EXPECT_EQ(asked.back().second, dates::dateFromMDY(3, 15, 2024));

    // A typed date that is no date is refused and the one held is shown again.
    entry->setText("31/02/2024");
    window.printReport();
    EXPECT_EQ(entry->text(), "13/03/2024");
    EXPECT_EQ(ends.size(), 2u);

    window.controls().get<QPushButton>("?CANCEL")->click();
    EXPECT_FALSE(window.isVisible());
}

// The preview blocks nothing: with a report's preview open, the date window's "..." (clicked
// as a user clicks, through the window system) still opens the calendar, and Escape there
// keeps the date. Enter in the date entry takes the date and presses no button.
TEST_F(FeeReportWindowTest, WithAPreviewOpenTheDateWindowReachesItsCalendarAndEscapeKeepsTheDate) {
    reportPreviewFunction() = nullptr;  // the program's own preview
    ImportFeesReportFrom window(db.settings());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.setReportDate(kDay1);
    window.printReport();
    waitForEnds(1);
    ui::ReportPreview* preview = nullptr;
    auto findPreview = [&] {
        preview = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<ui::ReportPreview*>(w); p && p->isVisible()) preview = p;
        return preview != nullptr;
    };
    MG_WAIT_UNTIL(findPreview(), 5000);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(preview));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    auto* entry = window.controls().get<QLineEdit>("?GLO:REPORTDATE");
    const auto real = window.pickDate;
    int asked = 0;
    window.pickDate = [&](const std::string&, int32_t date) {
        ++asked;
        return date;
    };
    window.activateWindow();
    entry->setFocus();
    entry->setText("12/03/2024");
    QTest::keyClick(entry, Qt::Key_Return);
    EXPECT_EQ(asked, 0) << "Enter opened the calendar";
    EXPECT_EQ(window.reportDate(), dates::dateFromMDY(3, 12, 2024));
    window.pickDate = real;

    QString seenTitle;
    QTimer escape;
    escape.setInterval(20);
    QObject::connect(&escape, &QTimer::timeout, [&] {
        if (auto* calendar = qobject_cast<ui::CalendarWindow*>(QApplication::activeModalWidget())) {
            seenTitle = calendar->windowTitle();
            escape.stop();
            QTest::keyClick(calendar, Qt::Key_Escape);
        }
    });
    escape.start();
    QTest::mouseClick(window.controls().get<QPushButton>("?LOOKUPDATE"), Qt::LeftButton);
    escape.stop();
    EXPECT_EQ(seenTitle, "Select Date") << "the calendar was not reached";
    EXPECT_EQ(window.reportDate(), dates::dateFromMDY(3, 12, 2024));
    EXPECT_EQ(entry->text(), "12/03/2024");

    // The preview is still there, and closing it prints nothing.
    EXPECT_TRUE(preview->isVisible());
    preview->exitPreview();
    MG_WAIT_UNTIL(!findPreview(), 5000);
}

}  // namespace
}  // namespace mg::fees::test
