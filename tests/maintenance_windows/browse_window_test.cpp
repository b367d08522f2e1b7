// The six list windows offscreen, driven by keys and the mouse: what each shows (caption,
// tip, tabs, buttons, headers, the amount column), paging and searching from the keyboard,
// the lookups' Select and Close with the request words, another station's row appearing
// when the list regains the focus, and a read error closing the list. With MG_SCREENSHOTS
// set, each window is saved as a picture on the demo practice (and one empty list).

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QMenu>
#include <QTimer>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTreeView>

#include "data/table.h"
#include "maintenance/windows/browse_model.h"
#include "maintenance/windows/browse_window.h"
#include "qt_app.h"
#include "shell/demo.h"
#include "testdb.h"
#include "ui/scripted.h"
#include "ui/widgets/list_control.h"

namespace mg::browse {
namespace {

class ListWindows : public ::testing::Test {
protected:
    test::TempDatabase db;
    std::unique_ptr<Context> ctx = db.context();
    ui::ScriptedUserInterface ui;
    Session s{*ctx, ui};

    void charges(int from, int to) {
        for (int i = from; i <= to; ++i) {
            const std::string n = (i < 10 ? "D0" : "D") + std::to_string(i);
            db.exec("INSERT INTO DocumentCharges (DocumentName, OutlayCode, OutlayAmount, NominalCode) VALUES ('" + n +
                    "', 'POST', '" + std::to_string(i) + "234.5', '4100')");
        }
    }
    static std::string cell(BrowseWindow& w, int row, int column) {
        QAbstractItemModel* m = w.list()->view()->model();
        return m->data(m->index(row, column)).toString().toStdString();
    }
    static std::string highlighted(BrowseWindow& w) { return cell(w, w.list()->currentRow(), 0); }
    static void settle() {
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
    }
    static void key(BrowseWindow& w, Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(w.list()->view(), k, m);
        settle();
    }
};

TEST_F(ListWindows, EachWindowShowsItsCaptionTipTabsButtonsAndHeaders) {
    struct Row {
        ListWindow window;
        const char* caption;
        const char* tip;
        std::vector<std::string> tabs;
        std::vector<std::string> buttons;  // in control order, after the list
    };
    const Row rows[] = {
        {ListWindow::DocOutlays, "Document Charges", "Browsing the DocumentCharges file", {"by Document Name (Code)"},
         {"?INSERT:4", "?CHANGE:4", "?DELETE:4", "?CURRENTTAB", "?TAB1", "?CLOSE"}},
        {ListWindow::DocFees, "Document Charges (Fees)", "", {"by Document", "by Task"},
         {"?INSERT:4", "?CHANGE:4", "?DELETE:4", "?CURRENTTAB", "?TAB1", "?TAB2", "?CLOSE"}},
        {ListWindow::SelectDocument, "Select Document", "Browsing the L_Documents file", {"by Document Code"},
         {"?SELECT:2", "?CURRENTTAB", "?TAB1", "?CLOSE"}},
        {ListWindow::SelectOutlayType, "Select Outlay Code", "Browsing the OutlayCode file", {"by Code"},
         {"?SELECT:2", "?CURRENTTAB", "?TAB1", "?CLOSE"}},
        {ListWindow::SelectNominal, "Select Nominal", "Browsing the Nominal file", {"Nominals"}, {"?SELECT:2", "?CURRENTTAB", "?TAB1", "?CLOSE"}},
        {ListWindow::SelectTask, "Select Task", "Browsing the TASKS file", {"&1) Tasks"}, {"?SELECT:2", "?CURRENTTAB", "?TAB1", "?CLOSE"}},
    };
    const std::map<std::string, std::pair<std::string, std::string>> buttonTexts = {
        {"?INSERT:4", {"&Insert", "Insert a Record"}}, {"?CHANGE:4", {"&Change", "Change the Record"}},
        {"?DELETE:4", {"&Delete", "Delete the Record"}}, {"?SELECT:2", {"&Select", "Select the Record"}},
        {"?CLOSE", {"&Close", "Close Window"}},
    };
    for (const Row& r : rows) {
        ctx->globalRequest = SelectRecord;
        BrowseWindow w(r.window, s);
        ASSERT_TRUE(w.started());
        ui::Controls& c = w.controls();
        EXPECT_EQ(w.windowTitle().toStdString(), r.caption);
        EXPECT_EQ(c.field("?BROWSE:1"), 1) << r.caption;
        EXPECT_EQ(w.list()->toolTip().toStdString(), r.tip);
        for (size_t i = 0; i < r.buttons.size(); ++i) {
            EXPECT_EQ(c.field(r.buttons[i]), static_cast<int>(i) + 2) << r.caption << " " << r.buttons[i];
            if (auto t = buttonTexts.find(r.buttons[i]); t != buttonTexts.end()) {
                auto* b = c.get<QPushButton>(r.buttons[i]);
                ASSERT_TRUE(b);
                EXPECT_EQ(b->text().toStdString(), t->second.first);
                EXPECT_EQ(b->toolTip().toStdString(), t->second.second);
            }
        }
        auto* sheet = c.get<QTabWidget>("?CURRENTTAB");
        ASSERT_EQ(sheet->count(), static_cast<int>(r.tabs.size()));
        for (size_t i = 0; i < r.tabs.size(); ++i) EXPECT_EQ(sheet->tabText(static_cast<int>(i)).toStdString(), r.tabs[i]);
        auto cols = *parseListFormat(listWindowDef(r.window).format);
        QHeaderView* header = w.list()->view()->header();
        for (size_t i = 0; i < cols.size(); ++i) {
            EXPECT_EQ(w.list()->view()->model()->headerData(static_cast<int>(i), Qt::Horizontal).toString().toStdString(), cols[i].header);
            // The last column takes what room the list has left.
            if (i + 1 < cols.size()) EXPECT_EQ(header->sectionSize(static_cast<int>(i)), c.units().x(cols[i].width));
            else EXPECT_GE(header->sectionSize(static_cast<int>(i)), c.units().x(cols[i].width));
        }
        // Select is the default button of a lookup in select mode.
        if (auto* select = c.get<QPushButton>("?SELECT:2")) {
            EXPECT_TRUE(select->isDefault());
            EXPECT_FALSE(select->isHidden());
        }
    }
}

TEST_F(ListWindows, PagingAndSearchingFromTheKeyboard) {
    charges(1, 40);
    BrowseWindow w(ListWindow::DocOutlays, s);
    w.show();
    settle();
    const int rows = w.list()->rowsShown();
    ASSERT_GE(rows, 5);
    ASSERT_EQ(w.engine().recordCount(), rows);
    EXPECT_EQ(highlighted(w), "D01");
    // The amount through @n-26.2, right-aligned; the thumb shown by the scroll bar.
    EXPECT_EQ(cell(w, 0, 2), "1,234.50");
    EXPECT_EQ(w.list()->view()->model()->data(w.list()->view()->model()->index(0, 2), Qt::TextAlignmentRole).value<Qt::Alignment>() &
                  Qt::AlignRight,
              Qt::AlignRight);
    key(w, Qt::Key_PageDown);
    EXPECT_EQ(cell(w, 0, 0), rows + 1 < 10 ? "D0" + std::to_string(rows + 1) : "D" + std::to_string(rows + 1));
    EXPECT_EQ(w.list()->scrollBar()->value(), 50);
    key(w, Qt::Key_End);
    EXPECT_EQ(highlighted(w), "D40");
    EXPECT_EQ(w.list()->scrollBar()->value(), 100);
    key(w, Qt::Key_Up);
    EXPECT_EQ(highlighted(w), "D39");
    key(w, Qt::Key_Home);
    EXPECT_EQ(highlighted(w), "D01");
    EXPECT_EQ(w.list()->scrollBar()->value(), 0);
    QTest::keyClicks(w.list()->view(), "d");
    settle();
    EXPECT_EQ(highlighted(w), "D02");  // the same first letter: one row down
    // Insert, Ctrl+Enter and Delete call the form with their requests (the stub: not completed).
    std::vector<int> requests;
    w.setUpdateForm([&](Session fs, ListWindow, int request) {
        requests.push_back(request);
        EXPECT_EQ(fs.ctx.globalRequest, request);
        return updateFormNotCompleted(fs, ListWindow::DocOutlays, request);
    });
    key(w, Qt::Key_Insert);
    key(w, Qt::Key_Return, Qt::ControlModifier);
    key(w, Qt::Key_Delete);
    EXPECT_EQ(requests, (std::vector<int>{InsertRecord, ChangeRecord, DeleteRecord}));
    EXPECT_EQ(highlighted(w), "D02");  // a form that did not complete leaves the page as it was
    w.controls().get<QPushButton>("?CLOSE")->click();
    settle();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(ctx->globalResponse, RequestCancelled);
}

// An empty list: Change and Delete greyed in the buttons and the right-click menu; Insert
// works from the menu and the button.
TEST_F(ListWindows, AnEmptyListsMenuOffersOnlyInsert) {
    BrowseWindow w(ListWindow::DocOutlays, s);
    std::vector<int> requests;
    w.setUpdateForm([&](Session fs, ListWindow, int request) {
        requests.push_back(request);
        return updateFormNotCompleted(fs, ListWindow::DocOutlays, request);
    });
    w.show();
    settle();
    EXPECT_FALSE(w.controls().widget("?CHANGE:4")->isEnabled());
    EXPECT_FALSE(w.controls().widget("?DELETE:4")->isEnabled());
    std::vector<std::pair<std::string, bool>> items;
    QTimer::singleShot(50, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        for (QAction* a : menu->actions()) items.emplace_back(a->text().toStdString(), a->isEnabled());
        menu->setActiveAction(menu->actions().front());
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::mouseClick(w.list()->view()->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    settle();
    EXPECT_EQ(items, (std::vector<std::pair<std::string, bool>>{{"&Insert", true}, {"&Change", false}, {"&Delete", false}}));
    w.controls().get<QPushButton>("?INSERT:4")->click();
    settle();
    EXPECT_EQ(requests, (std::vector<int>{InsertRecord, InsertRecord}));
}

TEST_F(ListWindows, TheNominalLookupSelectsWhatWasTyped) {
    for (const char* c : {"1000", "4000", "4100", "4150", "5000"})
        db.exec(std::string("INSERT INTO Nominal (Code, \"Desc\") VALUES ('") + c + "', 'Account " + c + "')");
    ctx->set(NOM::CODE, "5000");
    ctx->globalRequest = SelectRecord;
    test::whenModalOpens([](QWidget* modal) {
        auto* w = qobject_cast<BrowseWindow*>(modal);
        ASSERT_TRUE(w);
        EXPECT_EQ(highlighted(*w), "1000");
        QTest::keyClicks(w->list()->view(), "41");
        settle();
        EXPECT_EQ(highlighted(*w), "4100");
        key(*w, Qt::Key_Backspace);
        EXPECT_EQ(highlighted(*w), "4000");
        key(*w, Qt::Key_Return);  // the default button, Select
    });
    EXPECT_EQ(selectNominal(s, nullptr), RequestCompleted);
    EXPECT_EQ(ctx->globalResponse, RequestCompleted);
    EXPECT_EQ(ctx->trimmed(NOM::CODE), "4000");
    EXPECT_EQ(ctx->trimmed(NOM::DESC), "Account 4000");
}

TEST_F(ListWindows, ALookupWithoutRequestFourCannotSelect) {
    for (const char* c : {"ABC", "ADV"}) db.exec(std::string("INSERT INTO TasksCodes (Code, \"Desc\") VALUES ('") + c + "', 'Task')");
    ctx->globalRequest = NoRequest;
    test::whenModalOpens([](QWidget* modal) {
        auto* w = qobject_cast<BrowseWindow*>(modal);
        ASSERT_TRUE(w);
        auto* select = w->controls().get<QPushButton>("?SELECT:2");
        EXPECT_TRUE(select->isHidden());
        EXPECT_FALSE(select->isEnabled());
        QTest::mouseDClick(w->list()->view()->viewport(), Qt::LeftButton, {}, w->list()->view()->visualRect(w->list()->view()->model()->index(1, 0)).center());
        settle();
        EXPECT_TRUE(w->isVisible());  // a double click does not select
        key(*w, Qt::Key_Return);       // nor does Enter
        EXPECT_TRUE(w->isVisible());
        w->controls().get<QPushButton>("?CLOSE")->click();
    });
    EXPECT_EQ(selectTask(s, nullptr), RequestCancelled);
}

TEST_F(ListWindows, ARowOfAnotherStationShowsWhenTheListRegainsTheFocus) {
    charges(1, 3);
    BrowseWindow w(ListWindow::DocOutlays, s);
    w.show();
    settle();
    EXPECT_EQ(w.engine().recordCount(), 3);
    db.exec("INSERT INTO DocumentCharges (DocumentName, OutlayCode, OutlayAmount, NominalCode) VALUES ('D02A', 'POST', '1', '4100')");
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&w, &activate);
    settle();
    ASSERT_EQ(w.engine().recordCount(), 4);
    EXPECT_EQ(cell(w, 2, 0), "D02A");
}

// A list made larger reads the rows it now has room for; made smaller again after End, it
// holds only the rows it shows and keeps the highlighted row among them.
TEST_F(ListWindows, AResizedListHoldsTheRowsItShows) {
    charges(1, 14);
    BrowseWindow w(ListWindow::DocOutlays, s);
    w.show();
    settle();
    const QSize opening = w.size();
    const int rows = w.list()->rowsShown();
    ASSERT_LT(rows, 14);
    ASSERT_EQ(w.engine().recordCount(), rows);

    w.resize(opening.width(), opening.height() * 2);
    settle();
    ASSERT_GT(w.list()->rowsShown(), 14);
    EXPECT_EQ(w.engine().recordCount(), 14);  // every row, the list having room for more
    EXPECT_EQ(highlighted(w), "D01");

    key(w, Qt::Key_End);
    EXPECT_EQ(highlighted(w), "D14");
    w.resize(opening);
    settle();
    EXPECT_EQ(w.list()->rowsShown(), rows);
    EXPECT_EQ(w.engine().recordCount(), rows);
    EXPECT_EQ(highlighted(w), "D14");
    EXPECT_EQ(w.list()->currentRow(), rows - 1);
    const int top = 14 - rows + 1;
    EXPECT_EQ(cell(w, 0, 0), (top < 10 ? "D0" : "D") + std::to_string(top));
}

TEST_F(ListWindows, AReadErrorNamesTheTableAndClosesTheList) {
    for (const char* c : {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N"})
        db.exec(std::string("INSERT INTO TasksCodes (Code, \"Desc\") VALUES ('") + c + "', 'Task')");
    ctx->globalRequest = SelectRecord;
    test::whenModalOpens([this](QWidget* modal) {
        auto* w = qobject_cast<BrowseWindow*>(modal);
        ASSERT_TRUE(w);
        db.exec("DROP TABLE TasksCodes");
        key(*w, Qt::Key_PageDown);
    });
    EXPECT_EQ(selectTask(s, nullptr), RequestCancelled);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, "Record Retrieval Error");
    EXPECT_NE(ui.messages[0].text.find("from the TASKS file"), std::string::npos) << ui.messages[0].text;
}

// Pictures of the six windows on the demo practice, and of an empty list.
TEST(ListWindowPictures, OnTheDemoPractice) {
    if (qgetenv("MG_SCREENSHOTS").isEmpty()) GTEST_SKIP() << "MG_SCREENSHOTS names no folder";
    test::TempDatabase folder;
    const std::string path = (folder.folder() / "demo.db").string();
    ASSERT_FALSE(shell::makeDemoDatabase(path));
    db::Settings settings;
    settings.driver = "sqlite";
    settings.database = path;
    Context ctx(settings);
    ui::ScriptedUserInterface ui;
    const char* names[] = {"browsedocoutlays", "browsedocfees", "selectdocument", "selectoutlaytype", "selectnominal", "selecttask"};
    for (ListWindow which : allListWindows()) {
        ctx.globalRequest = listWindowDef(which).engine.kind == ListKind::Lookup ? SelectRecord : NoRequest;
        BrowseWindow w(which, Session{ctx, ui});
        w.show();
        for (int i = 0; i < 10; ++i) QApplication::processEvents();
        w.engine().processScroll(Scroll::Down);
        for (int i = 0; i < 10; ++i) QApplication::processEvents();
        EXPECT_EQ(w.list()->scrollBar()->value(), w.engine().currentScroll());
        std::printf("%s: thumb %d, rows %d of %d shown\n", names[static_cast<int>(which)], w.list()->scrollBar()->value(),
                    w.engine().recordCount(), w.list()->rowsShown());
        test::screenshot(w, names[static_cast<int>(which)]);
        if (listWindowDef(which).engine.kind == ListKind::Maintenance) {
            const QSize opening = w.size();
            w.resize(opening.width() * 3 / 2, opening.height() * 3 / 2);
            for (int i = 0; i < 10; ++i) QApplication::processEvents();
            test::screenshot(w, std::string(names[static_cast<int>(which)]) + "_grown");
            w.resize(opening);
            for (int i = 0; i < 10; ++i) QApplication::processEvents();
        }
        if (which == ListWindow::DocFees) {
            w.controls().get<QTabWidget>("?CURRENTTAB")->setCurrentIndex(1);
            for (int i = 0; i < 10; ++i) QApplication::processEvents();
            test::screenshot(w, "browsedocfees_by_task");
        }
    }
    test::TempDatabase empty;
    auto ectx = empty.context();
    BrowseWindow w(ListWindow::DocOutlays, Session{*ectx, ui});
    w.show();
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
    test::screenshot(w, "browsedocoutlays_empty");
}

}  // namespace
}  // namespace mg::browse
