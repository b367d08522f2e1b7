// The report preview: paging in thumbnail and zoom mode with its status texts and enabling,
// the thumbnail grid's arithmetic, clicks, the zoom pop-up, the jump and display windows, the
// keys, and the answer the caller gets (print, exit, close box).
//
// MG_SCREENSHOTS=<folder> keeps grabs of the preview (1 x 1, 3 x 2, page width).

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include "../ui_report/test_report.h"
#include "qt_app.h"
#include "testdb.h"
#include "ui/preview/preview_dialogs.h"
#include "ui/preview/report_preview.h"

namespace mg::ui {
namespace {

// `n` pages of the tests' fee report (about 12 rows a page; each page carries its number).
class Pages {
public:
    explicit Pages(int n) {
        engine_ = std::make_unique<report::ReportEngine>(report::test::feesLayout());
        engine_->open();
        // Rows until page n has begun; finishing may add a page of footers, which is cut off.
        const auto rows = report::test::feeRows({n * 13});
        for (size_t i = 0; i < rows.size() && static_cast<int>(engine_->pageList().size()) < n; ++i) {
            report::Fields f = report::test::fieldsOf(rows[i], 45000);
            engine_->printDetail(f.source());
        }
        engine_->finish();
        files_ = engine_->pageList();
        files_.resize(static_cast<size_t>(n));
    }
    const std::vector<std::string>& files() const { return files_; }

private:
    std::unique_ptr<report::ReportEngine> engine_;
    std::vector<std::string> files_;
};

QLineEdit* editOf(QSpinBox* spin) { return spin->findChild<QLineEdit*>(); }

struct Preview {
    explicit Preview(int pages, QSize size = {900, 700}) : pages_(pages), window(pages_.files()) {
        window.resize(size);
        window.show();
        QApplication::processEvents();
        window.refresh();
    }
    void grid(int across, int down) {
        window.controls().get<QSpinBox>("?PAGESACROSS")->setValue(across);
        window.controls().get<QSpinBox>("?PAGESDOWN")->setValue(down);
    }
    bool enabled(const char* name) { return window.controls().action(name)->isEnabled(); }
    int visibleThumbnails() {
        int n = 0;
        for (int k = 1; k <= window.thumbnails(); ++k) n += !window.thumbnailImage(k)->isHidden();
        return n;
    }
    Pages pages_;
    ReportPreview window;
};

TEST(ReportPreview, OnePageDisablesPagingAndPrintAnswersRequestCompleted) {
    Preview p(1);
    EXPECT_EQ(p.window.pageStatus(), "Page 1 of 1");
    EXPECT_EQ(p.window.zoomStatus(), "No Zoom");
    EXPECT_FALSE(p.window.controls().widget("?CURRENTPAGE")->isEnabled());
    EXPECT_FALSE(p.window.controls().widget("?PAGESACROSS")->isEnabled());
    EXPECT_FALSE(p.window.controls().widget("?PAGESDOWN")->isEnabled());
    EXPECT_FALSE(p.window.controls().action("?VIEWMENU")->isEnabled());
    EXPECT_EQ(p.window.thumbnails(), 1);

    std::vector<int> answers;
    ReportPreview* shown = showReportPreview(p.pages_.files(), nullptr, [&](int a) { answers.push_back(a); });
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the preview is modal to nothing";
    shown->findChild<QPushButton*>("?PRINTBUTTON")->click();
    EXPECT_EQ(answers, std::vector<int>{RequestCompleted});
}

TEST(ReportPreview, TheCloseBoxAndExitAnswerRequestCancelled) {
    Pages pages(2);
    std::vector<int> answers;
    auto answer = [&](int a) { answers.push_back(a); };
    ReportPreview* shown = showReportPreview(pages.files(), nullptr, answer);
    ASSERT_NE(shown, nullptr);
    QPointer<ReportPreview> gone(shown);
    shown->close();
    MG_WAIT_UNTIL(gone.isNull(), 5000);  // it deletes itself once closed
    showReportPreview(pages.files(), nullptr, answer)->findChild<QPushButton*>("?EXITBUTTON")->click();
    EXPECT_EQ(showReportPreview({}, nullptr, answer), nullptr) << "no pages, nothing shown";
    EXPECT_EQ(answers, (std::vector<int>{RequestCancelled, RequestCancelled, RequestCancelled}));
}

// Paging through the thumbnails: each row is a grid, a number of pages, the commands given,
// and the page text, the current page, the thumbnails showing and the Next/Previous enabling
// that follow.
TEST(ReportPreview, PagingThroughThumbnails) {
    struct Case {
        int pages, across, down;
        std::vector<std::string> commands;
        const char* status;
        int current, showing;
        bool nextEnabled, previousEnabled;
    };
    const Case cases[] = {
        {7, 2, 2, {}, "Pages 1-4 of 7", 1, 4, true, false},
        {7, 2, 2, {"next"}, "Pages 5-7 of 7", 5, 3, false, true},
        {7, 2, 2, {"next", "next"}, "Pages 5-7 of 7", 5, 3, false, true},
        {7, 2, 2, {"next", "previous"}, "Pages 1-4 of 7", 1, 4, true, false},
        {5, 2, 2, {"next"}, "Page 5 of 5", 5, 1, false, true},
        {9, 2, 2, {"page3", "previous"}, "Pages 1-4 of 9", 1, 4, true, false},
        {8, 2, 2, {"page3"}, "Pages 3-6 of 8", 3, 4, true, true},
        {8, 2, 2, {"page8"}, "Page 8 of 8", 8, 1, false, true},
        {8, 1, 1, {"next", "next"}, "Page 3 of 8", 3, 1, true, true},
        {8, 1, 1, {"pgdn", "pgdn", "pgup"}, "Page 2 of 8", 2, 1, true, true},
        {8, 3, 1, {"page99"}, "Page 8 of 8", 8, 1, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.commands) + " on " + std::to_string(c.pages) + " pages");
        Preview p(c.pages);
        p.grid(c.across, c.down);
        for (const std::string& cmd : c.commands) {
            if (cmd == "next") p.window.controls().action("?NEXT")->trigger();
            else if (cmd == "previous") p.window.controls().action("?PREVIOUS")->trigger();
            else if (cmd == "pgdn" || cmd == "pgup") {
                // The window takes the keys even while a spin has the focus.
                p.window.activateWindow();
                QWidget* spin = p.window.controls().widget("?PAGESACROSS");
                spin->setFocus();
                QTest::keyClick(spin, cmd == "pgdn" ? Qt::Key_PageDown : Qt::Key_PageUp);
            } else if (cmd.rfind("page", 0) == 0) {
                // Typed into the page spin; a number above the range becomes the last page.
                auto* spin = p.window.controls().get<QSpinBox>("?CURRENTPAGE");
                editOf(spin)->selectAll();
                QTest::keyClicks(spin, QString::fromStdString(cmd.substr(4)));
                QTest::keyClick(spin, Qt::Key_Return);
            }
        }
        EXPECT_EQ(p.window.pageStatus().toStdString(), c.status);
        EXPECT_EQ(p.window.currentPage(), c.current);
        EXPECT_EQ(p.visibleThumbnails(), c.showing);
        EXPECT_EQ(p.enabled("?NEXT"), c.nextEnabled);
        EXPECT_EQ(p.enabled("?PREVIOUS"), c.previousEnabled);
        EXPECT_EQ(p.window.controls().get<QSpinBox>("?CURRENTPAGE")->value(), c.current);
        for (int k = 1; k <= p.window.thumbnails(); ++k)
            if (!p.window.thumbnailImage(k)->isHidden()) {
                EXPECT_EQ(p.window.thumbnailImage(k)->page(), c.current + k - 1);
            }
    }
}

TEST(ReportPreview, ClickingAThumbnailOpensItsPageAtPageWidthAndClickingThePageGoesBack) {
    Preview p(9);
    p.grid(2, 2);
    p.window.next();
    ASSERT_EQ(p.window.pageStatus(), "Pages 5-8 of 9");
    QTest::mouseClick(p.window.thumbnailImage(3), Qt::LeftButton);
    EXPECT_EQ(p.window.zoom(), Zoom::PageWidth);
    EXPECT_EQ(p.window.currentPage(), 7);
    EXPECT_EQ(p.window.pageStatus(), "Page 7 of 9");
    EXPECT_EQ(p.window.zoomStatus(), "Zoom (Page Width)");
    EXPECT_EQ(p.window.thumbnails(), 0);
    ASSERT_NE(p.window.singlePage(), nullptr);
    EXPECT_EQ(p.window.singlePage()->property("field").toInt(), 102);
    EXPECT_EQ(p.window.singlePage()->page(), 7);
    // The page fills the width beside the scroll bar and keeps its proportions.
    QApplication::processEvents();
    const QSize shown = p.window.singlePage()->size();
    EXPECT_LE(shown.width(), p.window.pageArea()->viewport()->width());
    EXPECT_GT(shown.width(), p.window.pageArea()->viewport()->width() - 4);
    EXPECT_NEAR(double(shown.height()) / shown.width(), double(p.window.naturalPageSize().height()) / p.window.naturalPageSize().width(), 0.01);
    EXPECT_TRUE(p.window.controls().action("?ZOOMPAGEWIDTH")->isChecked());
    EXPECT_FALSE(p.window.controls().action("?ZOOMNOZOOM")->isChecked());

    // Zoom mode pages one at a time, stopping at the ends.
    p.window.next();
    p.window.next();
    p.window.next();
    EXPECT_EQ(p.window.pageStatus(), "Page 9 of 9");

    QTest::mouseClick(p.window.singlePage(), Qt::LeftButton);
    EXPECT_EQ(p.window.zoom(), Zoom::None);
    EXPECT_EQ(p.window.singlePage(), nullptr);
    EXPECT_EQ(p.window.thumbnails(), 4);
    EXPECT_EQ(p.window.pageStatus(), "Page 9 of 9");
    EXPECT_EQ(p.window.thumbnailBox(1)->property("field").toInt(), 104);
    EXPECT_EQ(p.window.thumbnailImage(4)->property("field").toInt(), 207);
}

TEST(ReportPreview, TheZoomPopUpChecksTheCurrentModeAndAChoiceSetsIt) {
    Preview p(3);
    p.window.controls().action("?ZOOM200")->trigger();
    EXPECT_EQ(p.window.zoomStatus(), "Zoom (200%)");
    EXPECT_EQ(p.window.singlePage()->width(), p.window.naturalPageSize().width() * 2);
    std::string shown;
    int answer = 2;
    p.window.popUp = [&](const std::string& text) {
        shown = text;
        return answer;
    };
    p.window.controls().get<QPushButton>("?ZOOMBUTTON")->click();
    EXPECT_EQ(shown, "-No Zoom|-|-Page Width|-50%|-75%|-100%|+200%|-300%");
    EXPECT_EQ(p.window.zoom(), Zoom::PageWidth);
    EXPECT_EQ(p.window.zoomStatus(), "Zoom (Page Width)");
    answer = 0;  // the menu left without a choice
    p.window.zoomButton();
    EXPECT_EQ(p.window.zoom(), Zoom::PageWidth);
    answer = 1;
    p.window.zoomButton();
    EXPECT_EQ(shown, "-No Zoom|-|+Page Width|-50%|-75%|-100%|-200%|-300%");
    EXPECT_EQ(p.window.zoom(), Zoom::None);
    EXPECT_EQ(p.window.zoomStatus(), "No Zoom");
}

TEST(ReportPreview, ChangingTheGridWhileZoomedKeepsTheZoomUntilThePageIsClicked) {
    Preview p(8);
    p.window.controls().action("?ZOOM75")->trigger();
    p.window.askDisplay = [](int& across, int& down) {
        across = 3;
        down = 2;
    };
    p.window.controls().action("?CHANGEDISPLAY")->trigger();
    EXPECT_EQ(p.window.zoom(), Zoom::P75);
    EXPECT_EQ(p.window.thumbnails(), 0);
    EXPECT_EQ(p.window.controls().get<QSpinBox>("?PAGESACROSS")->value(), 3);
    p.window.clickPage();
    EXPECT_EQ(p.window.thumbnails(), 6);
    EXPECT_EQ(p.window.pageStatus(), "Pages 1-6 of 8");
    // Changing a grid spin leaves the zoom for the thumbnails.
    p.window.setZoom(Zoom::P100);
    p.window.controls().get<QSpinBox>("?PAGESDOWN")->setValue(1);
    EXPECT_EQ(p.window.zoom(), Zoom::None);
    EXPECT_EQ(p.window.thumbnails(), 3);
}

TEST(ReportPreview, JumpTakesTheWindowsAnswer) {
    Preview p(12);
    p.window.askJump = [](int current, int total) {
        EXPECT_EQ(current, 1);
        EXPECT_EQ(total, 12);
        return 10;
    };
    p.window.jump();
    EXPECT_EQ(p.window.currentPage(), 10);
    EXPECT_EQ(p.window.pageStatus(), "Page 10 of 12");
}

// Thumbnails in window units: the first at (1,1), 3 units apart, within the window's width
// and its height less 18 units, each of the page's proportions and as large as the grid allows.
TEST(ReportPreview, ThumbnailsFillTheGridKeepingThePageProportions) {
    Preview p(120, {1000, 760});
    const DialogUnits& du = p.window.controls().units();
    QWidget* client = p.window.controls().client();
    const int width = du.unitsX(client->width()), height = du.unitsY(client->height());
    const double ratio = double(p.window.naturalPageSize().height()) / p.window.naturalPageSize().width();
    for (auto [across, down] : std::vector<std::pair<int, int>>{{1, 1}, {3, 2}, {2, 5}, {10, 10}, {10, 1}}) {
        SCOPED_TRACE(std::to_string(across) + " x " + std::to_string(down));
        p.grid(across, down);
        ASSERT_EQ(p.window.thumbnails(), across * down);
        const QRect first = p.window.thumbnailImage(1)->geometry();
        EXPECT_EQ(first.topLeft(), QPoint(du.x(1), du.y(1)));
        const int w = du.unitsX(first.width()), h = du.unitsY(first.height());
        EXPECT_NEAR(double(h) / w, ratio, 2.0 / std::min(w, h) + 0.02);
        const int fullW = (width - (3 * across - 1)) / across, fullH = (height - (3 * down - 1)) / down;
        EXPECT_TRUE(w == fullW || h == fullH || std::abs(w - fullW) <= 1 || std::abs(h - fullH) <= 1) << w << "x" << h;
        if (across > 1) {
            EXPECT_EQ(p.window.thumbnailImage(2)->x(), du.x(1 + w + 3));
        }
        if (down > 1) {
            EXPECT_EQ(p.window.thumbnailImage(across + 1)->y(), du.y(1 + h + 3));
        }
        const QRect last = p.window.thumbnailImage(across * down)->geometry();
        EXPECT_LE(last.right(), client->width());
        EXPECT_LE(last.bottom(), client->height());
        EXPECT_EQ(p.window.thumbnailBox(across * down)->geometry(), last);
    }
    // A resize lays the grid out again once the window has its new size.
    p.grid(2, 1);
    const int before = p.window.thumbnailImage(1)->width();
    p.window.resize(700, 760);
    QApplication::processEvents();
    EXPECT_LT(p.window.thumbnailImage(1)->width(), before);
    EXPECT_LE(p.window.thumbnailImage(2)->geometry().right(), client->width());
}

TEST(PreviewWindows, TheJumpSpinKeepsToItsRangeAndCancelKeepsThePage) {
    {
        JumpToPageWindow w(4, 12);
        auto* spin = w.controls().get<QSpinBox>("?JUMPPAGE");
        EXPECT_EQ(spin->value(), 4);
        EXPECT_EQ(spin->maximum(), 12);
        editOf(spin)->setText("99");
        w.controls().get<QPushButton>("?OKBUTTON")->click();
        EXPECT_EQ(w.answer(), 12);
        EXPECT_EQ(w.windowTitle(), "Jump to a Report Page");
    }
    {
        JumpToPageWindow w(4, 12);
        w.controls().get<QSpinBox>("?JUMPPAGE")->setValue(9);
        w.controls().get<QPushButton>("?CANCELBUTTON")->click();
        EXPECT_EQ(w.answer(), 4);
    }
    int across = 2, down = 2;
    {
        SelectDisplayWindow w(across, down);
        EXPECT_EQ(w.windowTitle(), "Change the Report Display");
        w.controls().get<QSpinBox>("?INPUT:PAGESACROSS")->setValue(3);
        editOf(w.controls().get<QSpinBox>("?INPUT:PAGESDOWN"))->setText("0");
        w.controls().get<QPushButton>("?OK")->click();
    }
    EXPECT_EQ(across, 3);
    EXPECT_EQ(down, 1) << "below the range: the lower limit";
}

TEST(ReportPreview, Screenshots) {
    Preview p(7, {1000, 760});
    p.window.setWindowTitle("Report Preview");
    QApplication::processEvents();
    test::screenshot(p.window, "preview_1x1");
    p.grid(3, 2);
    QApplication::processEvents();
    test::screenshot(p.window, "preview_3x2");
    p.window.setZoom(Zoom::PageWidth);
    QApplication::processEvents();
    test::screenshot(p.window, "preview_page_width");
    EXPECT_GT(p.window.cache().drawn(), 0);
}

}  // namespace
}  // namespace mg::ui
