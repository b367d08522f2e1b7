// MAIN: the frame's caption, size and menu (texts, order, separators, status texts, names),
// the commands not built yet, Exit and the close box, and the commands that start
// procedures: the setup window, the printer set-up, the two imports.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <QAction>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

#include "data/ini.h"
#include "maintenance/windows/browse_window.h"
#include "qt_app.h"
#include "shell/settings.h"
#include "shell/windows/main_frame.h"
#include "fees/windows/fee_report_windows.h"
#include "shell/windows/main_setup.h"
#include "shell_test_support.h"
#include "testdb.h"
#include "ui/widgets/printer.h"
#include "ui/widgets/progress_window.h"

namespace mg::shell {
namespace {

// A menu as "text|name|status" lines, separators as "-".
std::vector<std::string> describe(QMenu* menu) {
    std::vector<std::string> out;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) out.push_back("-");
        else out.push_back((a->text() + "|" + a->objectName() + "|" + a->statusTip()).toStdString());
    }
    return out;
}

class MainFrameTest : public ::testing::Test {
protected:
    test::TempDatabase db;
    test::CurrentDirectory cwd{db.folder()};
};

TEST_F(MainFrameTest, CaptionSizeAndTheMenuInOrderWithSeparatorsStatusTextsAndNamesAllEnabled) {
    MainFrame frame(db.settings());
    frame.show();
    QApplication::processEvents();
    EXPECT_EQ(frame.windowTitle(), "Tallowby : Import Document Outlays & Fees");
    EXPECT_FALSE(frame.windowIcon().isNull());
    EXPECT_EQ(frame.centralWidget()->size(), frame.controls().units().size(505, 319));
    EXPECT_EQ(frame.menuBar()->objectName(), "?MENUBAR");

    QList<QAction*> top = frame.menuBar()->actions();
    ASSERT_EQ(top.size(), 4);
    EXPECT_EQ(top[0]->text(), "&File");
    EXPECT_EQ(top[0]->menu()->objectName(), "?FILEMENU");
    EXPECT_EQ(top[1]->text(), "&Outlays");
    EXPECT_EQ(top[1]->menu()->objectName(), "?EDITMENU");
    EXPECT_EQ(top[2]->text(), "Fees");
    EXPECT_EQ(top[2]->menu()->objectName(), "?FEES");

    EXPECT_EQ(describe(top[0]->menu()), (std::vector<std::string>{
                                            "&Print Setup ...|?PRINTSETUP|Setup printer",
                                            "-",
                                            "E&xit|?EXIT|Exit this application",
                                        }));
    EXPECT_EQ(describe(top[1]->menu()), (std::vector<std::string>{
                                            "Last Docment TrackRef|?ITEM7|",
                                            "-",
                                            "Document Outlays|?SETUPDOCUMENTOUTLAYS|",
                                            "-",
                                            "Import Outlays|?OUTLAYSIMPORTOUTLAYS|",
                                        }));
    EXPECT_EQ(describe(top[2]->menu()), (std::vector<std::string>{
                                            "Document Fees|?FEESDOCUMENTFEES|",
                                            "-",
                                            "Fees to Import|?FEESITEM14|",
                                            "-",
                                            "Import Fees |?FEESIMPORTFEES|",
                                            "-",
                                            "Fees Imported Report|?FEESFEESIMPORTEDREPORT|",
                                        }));
    EXPECT_EQ(top[3]->text(), "&Runs");
    EXPECT_EQ(describe(top[3]->menu()), (std::vector<std::string>{"Import Runs|?IMPORTRUNS|The import runs, and taking one back"}));
    // Control order: the menu bar first, then each menu followed by its items.
    ui::Controls& c = frame.controls();
    EXPECT_EQ(c.field("?MENUBAR"), 1);
    EXPECT_EQ(c.field("?FILEMENU"), 2);
    EXPECT_EQ(c.field("?PRINTSETUP"), 3);
    EXPECT_EQ(c.field("?EXIT"), 5);
    EXPECT_EQ(c.field("?EDITMENU"), 6);
    EXPECT_EQ(c.field("?ITEM7"), 7);
    EXPECT_EQ(c.field("?FEES"), 12);
    EXPECT_EQ(c.field("?FEESFEESIMPORTEDREPORT"), 19);
    EXPECT_EQ(c.field("?IMPORTRUNS"), c.lastField());
    // Every command can be chosen.
    for (QAction* menu : top)
        for (QAction* item : menu->menu()->actions()) EXPECT_TRUE(item->isSeparator() || item->isEnabled()) << item->objectName().toStdString();
    frame.close();
}

TEST_F(MainFrameTest, TheFeeReportItemsOpenTheDateWindowAndTheReportsProgressWindow) {
    MainFrame frame(db.settings());
    frame.show();
    frame.controls().action("?FEESFEESIMPORTEDREPORT")->trigger();
    QWidget* from = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<fees::ImportFeesReportFrom*>(w) && w->isVisible()) from = w;
    ASSERT_NE(from, nullptr);
    EXPECT_EQ(from->windowTitle(), "Imported Fees Report");
    from->close();
    // The fees-to-import report runs in a progress window of its own.
    int ended = -1;
    const fees::PreviewFunction preview = fees::reportPreviewFunction();
    fees::reportPreviewFunction() = [](Context&, const std::vector<std::string>&, QWidget*) { return int(RequestCancelled); };
    fees::reportRunEndHook() = [&](const fees::ReportRunEnd& end) { ended = end.response; };
    frame.controls().action("?FEESITEM14")->trigger();
    MG_WAIT_UNTIL(ended != -1, 10000);
    fees::reportRunEndHook() = nullptr;
    fees::reportPreviewFunction() = preview;
}

TEST_F(MainFrameTest, ExitAndTheCloseBoxEndTheProgram) {
    {
        MainFrame frame(db.settings());
        QSignalSpy closed(&frame, &MainFrame::closed);
        frame.show();
        frame.controls().action("?EXIT")->trigger();
        EXPECT_EQ(closed.count(), 1);
        EXPECT_FALSE(frame.isVisible());
    }
    {
        MainFrame frame(db.settings());
        QSignalSpy closed(&frame, &MainFrame::closed);
        frame.show();
        frame.close();
        EXPECT_EQ(closed.count(), 1);
    }
}

TEST_F(MainFrameTest, LastDocmentTrackRefOpensASetupWindowEachTime) {
    MainFrame frame(db.settings());
    frame.show();
    frame.controls().action("?ITEM7")->trigger();
    frame.controls().action("?ITEM7")->trigger();
    QList<MainSetup*> windows = frame.findChildren<MainSetup*>();
    ASSERT_EQ(windows.size(), 2);
    EXPECT_TRUE(windows[0]->isVisible());
    EXPECT_TRUE(windows[1]->isVisible());
    // Each on a context of its own: the frame's context has not opened the table.
    EXPECT_EQ(frame.context().used(TableId::Nominal), 0);
    for (MainSetup* w : windows) w->close();
    MG_WAIT_UNTIL(frame.findChildren<MainSetup*>().isEmpty(), 5000);
}

// "Print Setup ..." sets up the printer (printer, paper, orientation) and prints nothing:
// its buttons are OK and Cancel, OK puts the choices on the program's printer, Cancel keeps
// it as it was, and the printer is never turned into a file.
TEST_F(MainFrameTest, PrintSetupSetsUpThePrinterAndPrintsNothing) {
    MainFrame frame(db.settings());
    frame.show();
    QPrinter& printer = ui::programPrinter();
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    const QString fileBefore = printer.outputFileName();

    struct Case {
        bool ok;
        QPageSize::PageSizeId paper;
        QPageLayout::Orientation orientation;
    };
    const Case cases[] = {
        {false, QPageSize::A4, QPageLayout::Portrait},   // Cancel: nothing changes
        {true, QPageSize::A5, QPageLayout::Landscape},
        {true, QPageSize::A5, QPageLayout::Landscape},   // opens with what was chosen; OK keeps it
        {true, QPageSize::A4, QPageLayout::Portrait},
    };
    for (const Case& c : cases) {
        std::vector<std::string> buttons;
        bool wasPrintDialog = true;
        QString title;
        test::whenModalOpens([&](QWidget* w) {
            wasPrintDialog = qobject_cast<QPrintDialog*>(w) != nullptr;
            title = w->windowTitle();
            auto* setup = qobject_cast<ui::PrinterSetupDialog*>(w);
            if (!setup) {
                static_cast<QDialog*>(w)->reject();
                return;
            }
            for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
                if (qobject_cast<QPushButton*>(b)) buttons.push_back(b->text().remove('&').toStdString());
            // Each dialog opens on what the printer holds.
            const bool wasLandscape = printer.pageLayout().orientation() == QPageLayout::Landscape;
            EXPECT_EQ(setup->landscapeButton()->isChecked(), wasLandscape);
            EXPECT_EQ(setup->paperBox()->currentData().toInt(), static_cast<int>(printer.pageLayout().pageSize().id()));
            const int at = setup->paperBox()->findData(static_cast<int>(c.paper));
            ASSERT_GE(at, 0);
            setup->paperBox()->setCurrentIndex(at);
            (c.orientation == QPageLayout::Landscape ? setup->landscapeButton() : setup->portraitButton())->setChecked(true);
            test::screenshot(*w, "print_setup");
            QAbstractButton* press = setup->buttons()->button(c.ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel);
            QTimer::singleShot(0, press, &QAbstractButton::click);
        });
        frame.controls().action("?PRINTSETUP")->trigger();
        EXPECT_FALSE(wasPrintDialog);
        EXPECT_EQ(title.toStdString(), "Print Setup");
        std::sort(buttons.begin(), buttons.end());
        EXPECT_EQ(buttons, (std::vector<std::string>{"Cancel", "OK"}));
        EXPECT_EQ(printer.pageLayout().pageSize().id(), c.paper);
        EXPECT_EQ(printer.pageLayout().orientation(), c.orientation);
        EXPECT_EQ(printer.outputFileName(), fileBefore) << "no file to print to";
    }
}

TEST_F(MainFrameTest, ImportOutlaysRunsOnTheFramesContextAndStoresTheHighestTrackRef) {
    db.exec("INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) VALUES (1, 42, 'M1', 'NOCHARGE', 0)");
    ini::put(productIniPath(), "DocumentOutlays", "LastTrackRef", "0");
    MainFrame frame(db.settings());
    frame.show();
    test::BoxAnswerer answers;
    bool menuDisabled = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<ui::ProgressWindow*>(w) && w->isVisible()) menuDisabled = !frame.menuBar()->isEnabled();
    });
    watch.start(1);
    frame.controls().action("?OUTLAYSIMPORTOUTLAYS")->trigger();  // returns when the import has ended
    watch.stop();
    EXPECT_TRUE(menuDisabled);
    EXPECT_TRUE(frame.menuBar()->isEnabled());
    EXPECT_EQ(answers.texts, (std::vector<std::string>{"Import Complete!"}));
    EXPECT_EQ(ini::get(productIniPath(), "DocumentOutlays", "LastTrackRef"), "42");
    EXPECT_EQ(frame.context().globalResponse, RequestCompleted);
    EXPECT_TRUE(frame.isVisible());
}

// The first visible message box with this text, or null.
QMessageBox* visibleBox(const QString& text) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && box->text() == text) return box;
    return nullptr;
}

TEST_F(MainFrameTest, WhileOutlaysImportTheFramesOtherWindowsStayUsable) {
    // A fee import that runs for many cycles: thousands of waiting fees without a mapping.
    db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30000) "
            "INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) SELECT i, i, 'M1', 'NOMAP', 0 FROM n");
    ini::put(productIniPath(), "DocumentOutlays", "LastTrackRef", "30000");  // nothing for the outlay import to post
    MainFrame frame(db.settings());
    frame.show();
    frame.controls().action("?ITEM7")->trigger();  // a setup window, open before the import
    ASSERT_EQ(frame.findChildren<MainSetup*>().size(), 1);
    MainSetup* setup = frame.findChildren<MainSetup*>()[0];
    frame.controls().action("?FEESIMPORTFEES")->trigger();
    ASSERT_EQ(frame.findChildren<ui::ProgressWindow*>().size(), 1);
    QPointer<ui::ProgressWindow> fees = frame.findChildren<ui::ProgressWindow*>()[0];

    // The fee import's boxes are answered: Yes to its Cancel question, OK to its end.
    std::vector<std::string> feeBoxes;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible() || box->text() == "Import Complete!" || box->property("answered").toBool()) continue;
            box->setProperty("answered", true);
            feeBoxes.push_back(box->text().toStdString());
            QAbstractButton* b = box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes) : box->defaultButton();
            QTimer::singleShot(0, b, &QAbstractButton::click);
        }
    });
    answerer.start(5);

    // While the outlay import's "Import Complete!" is up (its progress window too): type into
    // the setup window, press the fee import's Cancel; once the fee run has ended, answer it.
    bool ownWindow = false, menuDisabled = false, closeRefused = false, typed = false;
    int stage = 0;
    QElapsedTimer clock;
    clock.start();
    QTimer script;
    QObject::connect(&script, &QTimer::timeout, [&] {
        QMessageBox* complete = visibleBox("Import Complete!");
        if (stage == 0 && complete) {
            stage = 1;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* p = qobject_cast<ui::ProgressWindow*>(w); p && p != fees && p->isVisible())
                    ownWindow = p->parentWidget() == nullptr && p->windowModality() == Qt::NonModal;
            menuDisabled = !frame.menuBar()->isEnabled();
            closeRefused = !frame.close() && frame.isVisible();
            typed = test::typeThroughWindow(setup->controls().get<QLineEdit>("?LOC:LASTTRACKREF"), "7");
            QTimer::singleShot(0, fees, [&] { test::clickThroughWindow(fees->cancelButton()); });
        } else if (stage == 1 && complete && (!fees || clock.elapsed() > 30000)) {
            stage = 2;
            QTimer::singleShot(0, complete->button(QMessageBox::Ok), &QAbstractButton::click);
        }
    });
    script.start(5);
    frame.controls().action("?OUTLAYSIMPORTOUTLAYS")->trigger();  // returns when the import has ended
    script.stop();

    EXPECT_TRUE(ownWindow);
    EXPECT_TRUE(menuDisabled);
    EXPECT_TRUE(closeRefused);
    EXPECT_TRUE(typed);
    // The fee import's Cancel was reached and answered while "Import Complete!" was up.
    ASSERT_EQ(feeBoxes.size(), 2u);
    EXPECT_EQ(feeBoxes[0].rfind("This Process is incomplete...", 0), 0u) << feeBoxes[0];
    EXPECT_EQ(feeBoxes[1], "Fees Import Complete!");
    EXPECT_LT(clock.elapsed(), 30000);
    MG_WAIT_UNTIL(fees.isNull(), 5000);
    EXPECT_TRUE(frame.menuBar()->isEnabled());
    EXPECT_TRUE(frame.isVisible());
    EXPECT_EQ(ini::get(productIniPath(), "DocumentOutlays", "LastTrackRef"), "30000");
    answerer.stop();
    setup->close();
    MG_WAIT_UNTIL(frame.findChildren<MainSetup*>().isEmpty(), 5000);
}

TEST_F(MainFrameTest, ImportFeesRunsBesideTheFrameOnItsOwnContext) {
    MainFrame frame(db.settings());
    frame.show();
    test::BoxAnswerer answers;
    frame.controls().action("?FEESIMPORTFEES")->trigger();  // returns at once
    MG_WAIT_EQ(answers.texts.size(), size_t(1), 5000);
    EXPECT_EQ(answers.texts[0], "Fees Import Complete!");
    MG_WAIT_UNTIL(frame.findChildren<ui::ProgressWindow*>().isEmpty(), 5000);
    EXPECT_EQ(frame.context().globalResponse, 0);  // the frame's own context was not used
}

// Each choice of a maintenance list opens a window of its own on a context of its own.
TEST_F(MainFrameTest, ChoosingDocumentOutlaysTwiceGivesTwoIndependentLists) {
    db.exec("INSERT INTO DocumentCharges (DocumentName, OutlayCode, OutlayAmount, NominalCode) VALUES ('A', 'POST', '1', '4100'), "
            "('B', 'POST', '2', '4100')");
    MainFrame frame(db.settings());
    frame.show();
    frame.controls().action("?SETUPDOCUMENTOUTLAYS")->trigger();
    frame.controls().action("?SETUPDOCUMENTOUTLAYS")->trigger();
    frame.controls().action("?FEESDOCUMENTFEES")->trigger();
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
    std::vector<browse::BrowseWindow*> lists;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* b = qobject_cast<browse::BrowseWindow*>(w); b && b->isVisible()) lists.push_back(b);
    ASSERT_EQ(lists.size(), 3u);
    std::vector<std::string> captions;
    for (auto* b : lists) captions.push_back(b->windowTitle().toStdString());
    std::sort(captions.begin(), captions.end());
    EXPECT_EQ(captions, (std::vector<std::string>{"Document Charges", "Document Charges", "Document Charges (Fees)"}));
    // Moving in one outlay list leaves the other where it was.
    std::vector<browse::BrowseWindow*> outlays;
    for (auto* b : lists)
        if (b->windowTitle() == "Document Charges") outlays.push_back(b);
    outlays[0]->engine().processScroll(browse::Scroll::Down);
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    EXPECT_EQ(outlays[0]->engine().currentChoice(), 2);
    EXPECT_EQ(outlays[1]->engine().currentChoice(), 1);
    for (auto* b : lists) b->close();
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

TEST_F(MainFrameTest, Screenshots) {
    MainFrame frame(db.settings());
    frame.show();
    QApplication::processEvents();
    test::screenshot(frame, "main_frame");
    const char* names[] = {"main_frame_file_menu", "main_frame_outlays_menu", "main_frame_fees_menu", "main_frame_runs_menu"};
    int i = 0;
    for (QAction* top : frame.menuBar()->actions()) {
        QMenu* menu = top->menu();
        menu->popup(frame.mapToGlobal(frame.menuBar()->actionGeometry(top).bottomLeft()));
        QApplication::processEvents();
        // Hover the first enabled item, so its status text shows in the frame's status bar.
        for (QAction* a : menu->actions())
            if (!a->isSeparator() && a->isEnabled()) {
                menu->setActiveAction(a);
                a->hover();
                break;
            }
        QApplication::processEvents();
        test::screenshot(*menu, names[i]);
        if (i == 0) test::screenshot(frame, "main_frame_status_text");
        menu->hide();
        ++i;
    }
}

}  // namespace
}  // namespace mg::shell
