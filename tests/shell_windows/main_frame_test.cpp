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
#include "qt_app.h"
#include "shell/settings.h"
#include "shell/windows/main_frame.h"
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
    for (const char* name : {"?SETUPDOCUMENTOUTLAYS", "?FEESDOCUMENTFEES", "?FEESITEM14", "?FEESFEESIMPORTEDREPORT"})
        EXPECT_FALSE(c.action(name)->isEnabled()) << name;
    for (const char* name : {"?PRINTSETUP", "?EXIT", "?ITEM7"}) EXPECT_TRUE(c.action(name)->isEnabled()) << name;
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
