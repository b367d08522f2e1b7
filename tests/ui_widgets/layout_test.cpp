// Windows built from layout tables: dialog units, control order and field numbers, lookup
// by ?NAME, menus, tabs, entries with pictures.

#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

#include "qt_app.h"
#include "ui/widgets/controls.h"
#include "ui/widgets/progress_window.h"

namespace mg::ui {
namespace {

using K = ControlKind;

TEST(DialogUnits, ConvertFromTheFontsAverageWidthAndHeight) {
    // A font 6 pixels wide on average and 13 high: 4 horizontal units are one character,
    // 8 vertical units one line.
    DialogUnits du(6, 13);
    EXPECT_EQ(du.x(4), 6);
    EXPECT_EQ(du.y(8), 13);
    EXPECT_EQ(du.x(142), 213);  // 142 * 6 / 4 = 213
    EXPECT_EQ(du.y(59), 96);    // 59 * 13 / 8 = 95.875, rounded
    EXPECT_EQ(du.x(1), 2);      // 1.5 rounds away from zero
    EXPECT_EQ(du.y(1), 2);      // 1.625
    EXPECT_EQ(du.x(0), 0);
    EXPECT_EQ(du.rect(15, 15, 111, 12), QRect(23, 24, 167, 20));  // 22.5, 24.375, 166.5, 19.5
    EXPECT_EQ(du.unitsX(213), 142);
    EXPECT_EQ(du.unitsY(96), 59);
}

TEST(DialogUnits, FromAFontUseItsMetrics) {
    QFont f = windowFont("MS Sans Serif", 8);
    QFontMetrics m(f);
    DialogUnits du(f);
    EXPECT_EQ(du.averageCharWidth(), m.averageCharWidth());
    EXPECT_EQ(du.height(), m.height());
    EXPECT_EQ(du.x(400), m.averageCharWidth() * 100);
    EXPECT_EQ(du.y(800), m.height() * 100);
}

// A design font that is not installed is stood in for by one of its widths (Liberation Sans
// has Arial's) where there is one; any other font by the default sans font, at the same size.
TEST(WindowFont, FallsBackToAFontOfTheSameWidthsThenToTheDefaultSansFont) {
    QFont f = windowFont("No Such Font Family Anywhere", 8);
    EXPECT_EQ(f.pointSize(), 8);
    EXPECT_NE(QFontInfo(f).family(), QString("No Such Font Family Anywhere"));
    EXPECT_EQ(f.family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    const bool liberation = QFontDatabase::hasFamily("Liberation Sans");
    for (const char* design : {"MS Sans Serif", "Arial"}) {
        if (QFontDatabase::hasFamily(design)) continue;
        QFont standIn = windowFont(design, 8);
        EXPECT_EQ(standIn.pointSize(), 8);
        EXPECT_EQ(standIn.family(), liberation ? QString("Liberation Sans") : f.family()) << design;
    }
}

TEST(BuildWindow, PlacesTheProgressWindowsControlsInDialogUnits) {
    QDialog w;
    Controls c = buildWindow(w, progressWindowDef());
    const DialogUnits& du = c.units();
    EXPECT_EQ(w.windowTitle(), "Progress...");
    EXPECT_EQ(w.size(), du.size(142, 59));
    EXPECT_EQ(c.widget("?PROGRESS:THERMOMETER")->geometry(), du.rect(15, 15, 111, 12));
    EXPECT_EQ(c.widget("?PROGRESS:USERSTRING")->geometry(), du.rect(0, 3, 141, 10));
    EXPECT_EQ(c.widget("?PROGRESS:PCTTEXT")->geometry(), du.rect(0, 30, 141, 10));
    EXPECT_EQ(c.widget("?PROGRESS:CANCEL")->geometry(), du.rect(45, 42, 50, 15));
    auto* bar = c.get<QProgressBar>("?PROGRESS:THERMOMETER");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_TRUE(c.get<QLabel>("?PROGRESS:USERSTRING")->alignment() & Qt::AlignHCenter);
    EXPECT_TRUE(c.get<QLabel>("?PROGRESS:PCTTEXT")->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(c.text("?PROGRESS:CANCEL"), "Cancel");
}

TEST(BuildWindow, KeepsControlOrderFieldNumbersAndNames) {
    QDialog w;
    Controls c = buildWindow(w, progressWindowDef());
    EXPECT_EQ(c.firstField(), 1);
    EXPECT_EQ(c.lastField(), 4);
    EXPECT_EQ(c.field("?PROGRESS:THERMOMETER"), 1);
    EXPECT_EQ(c.field("?PROGRESS:USERSTRING"), 2);
    EXPECT_EQ(c.field("?PROGRESS:PCTTEXT"), 3);
    EXPECT_EQ(c.field("?PROGRESS:CANCEL"), 4);
    // Names are not case-sensitive; the objectName keeps the name as written.
    EXPECT_EQ(c.field("?progress:cancel"), 4);
    EXPECT_EQ(c.at(4)->objectName(), "?PROGRESS:CANCEL");
    EXPECT_EQ(c.at(4)->property("field").toInt(), 4);
    EXPECT_EQ(c.field("?PROGRESS:NOTTHERE"), 0);
    EXPECT_EQ(c.find("?PROGRESS:NOTTHERE"), nullptr);
    EXPECT_EQ(c.def(2)->kind, K::String);
}

TEST(BuildWindow, ExplicitFieldNumbersAreKept) {
    WindowDef def{.caption = "t", .width = 100, .height = 50,
                  .controls = {{.kind = K::Button, .name = "?A", .text = "A", .x = 1, .y = 1, .w = 20, .h = 10, .field = 10},
                               {.kind = K::Button, .name = "?B", .text = "B", .x = 30, .y = 1, .w = 20, .h = 10, .field = 11}}};
    QDialog w;
    Controls c = buildWindow(w, def);
    EXPECT_EQ(c.field("?B"), 11);
    EXPECT_EQ(c.firstField(), 10);
    EXPECT_EQ(c.at(1), nullptr);
}

TEST(BuildWindow, BuildsMenusInOrderWithSeparatorsStatusTextsAndDisabledItems) {
    WindowDef def{.caption = "Frame", .width = 200, .height = 100,
                  .controls = {
                      {.kind = K::MenuBar, .name = "?MENUBAR"},
                      {.kind = K::Menu, .name = "?M1", .text = "&One"},
                      {.kind = K::Item, .name = "?I1", .text = "&First", .status = "the first"},
                      {.kind = K::Separator},
                      {.kind = K::Item, .name = "?I2", .text = "Second ", .flags = Disabled},
                      {.kind = K::Menu, .name = "?M2", .text = "Two"},
                      {.kind = K::Menu, .name = "?SUB", .text = "Sub", .in = "?M2"},
                      {.kind = K::Item, .name = "?I3", .text = "Deep"},
                      {.kind = K::Item, .name = "?I4", .text = "Shallow", .in = "?M2"},
                  }};
    QMainWindow w;
    Controls c = buildWindow(w, def);
    QList<QAction*> top = w.menuBar()->actions();
    ASSERT_EQ(top.size(), 2);
    EXPECT_EQ(top[0]->text(), "&One");
    EXPECT_EQ(top[1]->text(), "Two");
    QList<QAction*> one = top[0]->menu()->actions();
    ASSERT_EQ(one.size(), 3);
    EXPECT_EQ(one[0]->text(), "&First");
    EXPECT_EQ(one[0]->statusTip(), "the first");
    EXPECT_TRUE(one[1]->isSeparator());
    EXPECT_EQ(one[2]->text(), "Second ");  // a trailing blank is kept
    EXPECT_FALSE(one[2]->isEnabled());
    EXPECT_EQ(one[2]->objectName(), "?I2");
    // A separator is a control of its own: it has a field number.
    EXPECT_EQ(c.field("?I2"), 5);
    EXPECT_EQ(c.at(4), one[1]);
    QList<QAction*> two = top[1]->menu()->actions();
    ASSERT_EQ(two.size(), 2);
    EXPECT_EQ(two[0]->menu()->actions().at(0)->text(), "Deep");
    EXPECT_EQ(two[1]->text(), "Shallow");
    EXPECT_EQ(c.action("?M2"), top[1]);
}

TEST(BuildWindow, PutsControlsOfATabOnItsPage) {
    WindowDef def{.caption = "Sheet", .width = 200, .height = 120,
                  .controls = {
                      {.kind = K::Sheet, .name = "?SHEET", .x = 4, .y = 4, .w = 192, .h = 100},
                      {.kind = K::Tab, .name = "?TAB1", .text = "&General"},
                      {.kind = K::Entry, .name = "?E1", .x = 20, .y = 30, .w = 60, .h = 12, .picture = "s10", .in = "?TAB1"},
                      {.kind = K::Tab, .name = "?TAB2", .text = "&Other"},
                      {.kind = K::Button, .name = "?OUTSIDE", .text = "&OK", .x = 150, .y = 106, .w = 45, .h = 12},
                  }};
    QDialog w;
    Controls c = buildWindow(w, def);
    auto* sheet = c.get<QTabWidget>("?SHEET");
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->count(), 2);
    EXPECT_EQ(sheet->tabText(1), "&Other");
    EXPECT_EQ(c.widget("?E1")->parentWidget(), sheet->widget(0));
    EXPECT_EQ(c.get<QLineEdit>("?E1")->maxLength(), 10);
    EXPECT_EQ(c.widget("?OUTSIDE")->parentWidget(), &w);
    c.setText("?TAB2", "Changed");
    EXPECT_EQ(sheet->tabText(1), "Changed");
}

TEST(BuildWindow, APromptSelectsTheControlAfterIt) {
    WindowDef def{.caption = "t", .width = 200, .height = 50,
                  .controls = {
                      {.kind = K::Prompt, .name = "?P", .text = "&Name:", .x = 4, .y = 4, .w = 40, .h = 10},
                      {.kind = K::Entry, .name = "?E", .x = 50, .y = 4, .w = 60, .h = 12, .picture = "s20"},
                      {.kind = K::Prompt, .name = "?LONE", .text = "A && B", .x = 4, .y = 20, .w = 40, .h = 10},
                  }};
    QDialog w;
    Controls c = buildWindow(w, def);
    EXPECT_EQ(c.get<QLabel>("?P")->buddy(), c.widget("?E"));
    // A prompt with nothing to select shows its text as the runtime does.
    EXPECT_EQ(c.text("?LONE"), "A & B");
}

TEST(Controls, NumbersGoThroughTheEntrysPicture) {
    WindowDef def{.caption = "t", .width = 200, .height = 50,
                  .controls = {{.kind = K::Entry, .name = "?N", .x = 4, .y = 4, .w = 60, .h = 12, .picture = "n-14"},
                               {.kind = K::String, .name = "?S", .x = 4, .y = 20, .w = 60, .h = 10, .picture = "s5"}}};
    QDialog w;
    Controls c = buildWindow(w, def);
    auto* entry = c.get<QLineEdit>("?N");
    EXPECT_EQ(entry->maxLength(), 14);
    c.setNumber("?N", Decimal(-104233));
    EXPECT_EQ(entry->text(), "-104233");  // no grouping, no leading blanks in the entry
    c.setNumber("?N", Decimal(0));
    EXPECT_EQ(entry->text(), "0");

    entry->setText("  1234 ");
    ASSERT_TRUE(c.number("?N").has_value());
    EXPECT_EQ(c.number("?N")->toInt64(), 1234);
    entry->setText("-");
    EXPECT_FALSE(c.number("?N").has_value());
    entry->setText("");
    EXPECT_EQ(c.number("?N")->toInt64(), 0);

    // What the picture cannot take is refused as it is typed.
    entry->clear();
    w.show();
    QTest::keyClicks(entry, "12a3x4");
    EXPECT_EQ(entry->text().toStdString(), "1234");

    // A string shows its text cut to its picture.
    c.setText("?S", "abcdefgh");
    EXPECT_EQ(c.text("?S"), "abcde");
}

TEST(Controls, FirstSelectableSkipsPromptsStringsAndSkippedControls) {
    WindowDef def{.caption = "t", .width = 200, .height = 50,
                  .controls = {
                      {.kind = K::Prompt, .name = "?P", .text = "x", .x = 4, .y = 4, .w = 40, .h = 10},
                      {.kind = K::Button, .name = "?ICON", .x = 4, .y = 20, .w = 20, .h = 20, .icon = kIconInformation, .flags = Skip},
                      {.kind = K::Button, .name = "?OFF", .text = "Off", .x = 30, .y = 20, .w = 20, .h = 12, .flags = Disabled},
                      {.kind = K::Button, .name = "?GO", .text = "&Go", .x = 60, .y = 20, .w = 20, .h = 12},
                  }};
    QDialog w;
    Controls c = buildWindow(w, def);
    EXPECT_EQ(c.firstSelectable(), c.widget("?GO"));
    EXPECT_FALSE(c.get<QPushButton>("?ICON")->icon().isNull());
}

}  // namespace
}  // namespace mg::ui
