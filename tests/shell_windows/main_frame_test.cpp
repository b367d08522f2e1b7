// MAIN: the frame's caption, size and menu (texts, order, separators, status texts, names),
// the commands not built yet, Exit and the close box, and the commands that start
// procedures: the setup window, the printer set-up, the two imports.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QSignalSpy>

#include "data/ini.h"
#include "maintenance/windows/browse_window.h"
#include "qt_app.h"
#include "shell/settings.h"
#include "shell/windows/main_frame.h"
#include "shell/windows/main_setup.h"
#include "shell_test_support.h"
#include "testdb.h"
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

TEST_F(MainFrameTest, CaptionIconAndSizeInDialogUnits) {
    MainFrame frame(db.settings());
    frame.show();
    QApplication::processEvents();
    EXPECT_EQ(frame.windowTitle(), "Tallowby : Import Document Outlays & Fees");
    EXPECT_FALSE(frame.windowIcon().isNull());
    EXPECT_EQ(frame.centralWidget()->size(), frame.controls().units().size(505, 319));
    EXPECT_EQ(frame.menuBar()->objectName(), "?MENUBAR");
    frame.close();
}

TEST_F(MainFrameTest, TheMenuInOrderWithSeparatorsStatusTextsAndNames) {
    MainFrame frame(db.settings());
    QList<QAction*> top = frame.menuBar()->actions();
    ASSERT_EQ(top.size(), 3);
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
    // Control order: the menu bar first, then each menu followed by its items.
    ui::Controls& c = frame.controls();
    EXPECT_EQ(c.field("?MENUBAR"), 1);
    EXPECT_EQ(c.field("?FILEMENU"), 2);
    EXPECT_EQ(c.field("?PRINTSETUP"), 3);
    EXPECT_EQ(c.field("?EXIT"), 5);
    EXPECT_EQ(c.field("?EDITMENU"), 6);
    EXPECT_EQ(c.field("?ITEM7"), 7);
    EXPECT_EQ(c.field("?FEES"), 12);
    EXPECT_EQ(c.field("?FEESFEESIMPORTEDREPORT"), c.lastField());
}

TEST_F(MainFrameTest, CommandsOfLaterWorkAreDisabledAndTheRestEnabled) {
    MainFrame frame(db.settings());
    ui::Controls& c = frame.controls();
    for (const char* name : {"?FEESITEM14", "?FEESFEESIMPORTEDREPORT"}) EXPECT_FALSE(c.action(name)->isEnabled()) << name;
    for (const char* name : {"?PRINTSETUP", "?EXIT", "?ITEM7", "?SETUPDOCUMENTOUTLAYS", "?FEESDOCUMENTFEES"})
        EXPECT_TRUE(c.action(name)->isEnabled()) << name;
    EXPECT_TRUE(c.action("?OUTLAYSIMPORTOUTLAYS")->isEnabled());
    EXPECT_TRUE(c.action("?FEESIMPORTFEES")->isEnabled());
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
    QTRY_VERIFY_WITH_TIMEOUT(frame.findChildren<MainSetup*>().isEmpty(), 5000);
}

TEST_F(MainFrameTest, PrintSetupOpensThePlatformsPrinterDialog) {
    MainFrame frame(db.settings());
    frame.show();
    bool sawPrintDialog = false;
    test::whenModalOpens([&](QWidget* w) {
        sawPrintDialog = qobject_cast<QPrintDialog*>(w) != nullptr;
        QTimer::singleShot(0, w, [w] { static_cast<QDialog*>(w)->reject(); });
    });
    frame.controls().action("?PRINTSETUP")->trigger();
    EXPECT_TRUE(sawPrintDialog);
}

TEST_F(MainFrameTest, ImportOutlaysRunsOnTheFramesContextAndStoresTheHighestTrackRef) {
    db.exec("INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) VALUES (1, 42, 'M1', 'NOCHARGE', 0)");
    ini::put(productIniPath(), "DocumentOutlays", "LastTrackRef", "0");
    MainFrame frame(db.settings());
    frame.show();
    test::BoxAnswerer answers;
    int modality = -1;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (auto* w : frame.findChildren<ui::ProgressWindow*>())
            if (w->isVisible()) modality = w->windowModality();
    });
    watch.start(1);
    frame.controls().action("?OUTLAYSIMPORTOUTLAYS")->trigger();  // returns when the import has ended
    watch.stop();
    EXPECT_EQ(modality, Qt::WindowModal);
    EXPECT_EQ(answers.texts, (std::vector<std::string>{"Import Complete!"}));
    EXPECT_EQ(ini::get(productIniPath(), "DocumentOutlays", "LastTrackRef"), "42");
    EXPECT_EQ(frame.context().globalResponse, RequestCompleted);
    EXPECT_TRUE(frame.isVisible());
}

TEST_F(MainFrameTest, ImportFeesRunsBesideTheFrameOnItsOwnContext) {
    MainFrame frame(db.settings());
    frame.show();
    test::BoxAnswerer answers;
    frame.controls().action("?FEESIMPORTFEES")->trigger();  // returns at once
    QTRY_COMPARE_WITH_TIMEOUT(answers.texts.size(), size_t(1), 5000);
    EXPECT_EQ(answers.texts[0], "Fees Import Complete!");
    QTRY_VERIFY_WITH_TIMEOUT(frame.findChildren<ui::ProgressWindow*>().isEmpty(), 5000);
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
    const char* names[] = {"main_frame_file_menu", "main_frame_outlays_menu", "main_frame_fees_menu"};
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
