// The resizer on a real window: twice the size and back gives every control its initial
// geometry exactly, a move alone touches nothing, menus are never in the queue, and controls
// on a tab follow their sheet.

#include <gtest/gtest.h>

#include <QDialog>
#include <QMainWindow>
#include <QPushButton>

#include "qt_app.h"
#include "ui/widgets/controls.h"
#include "ui/widgets/procedure.h"
#include "ui/widgets/styler.h"
#include "ui/widgets/resizer.h"

namespace mg::ui {
namespace {

const WindowDef& testWindow() {
    using K = ControlKind;
    static const WindowDef def{
        .caption = "Resizing",
        .width = 200,
        .height = 120,
        .resizable = true,
        .controls =
            {
                {.kind = K::MenuBar, .name = "?MENUBAR"},
                {.kind = K::Menu, .name = "?FILE", .text = "&File"},
                {.kind = K::Item, .name = "?EXIT", .text = "E&xit"},
                {.kind = K::Sheet, .name = "?SHEET", .x = 4, .y = 4, .w = 192, .h = 90},
                {.kind = K::Tab, .name = "?TAB1", .text = "General"},
                {.kind = K::Prompt, .name = "?CODE:PROMPT", .text = "Code:", .x = 10, .y = 24, .w = 30, .h = 10},
                {.kind = K::Entry, .name = "?CODE", .x = 44, .y = 22, .w = 60, .h = 12, .picture = "s10"},
                {.kind = K::Check, .name = "?FLAG", .text = "Flag", .x = 10, .y = 44, .w = 50, .h = 10},
                {.kind = K::Button, .name = "?OK", .text = "OK", .x = 10, .y = 100, .w = 40, .h = 14},
                {.kind = K::Button, .name = "?CANCEL", .text = "Cancel", .x = 150, .y = 100, .w = 40, .h = 14},
            },
    };
    return def;
}

std::vector<QRect> geometries(const Controls& c) {
    std::vector<QRect> out;
    for (int f = c.firstField(); f <= c.lastField(); ++f)
        if (auto* w = qobject_cast<QWidget*>(c.at(f))) out.push_back(w->geometry());
    return out;
}

TEST(WindowResizer, ResizesAndComesBackExactly) {
    test::qtApp();
    QWidget window;
    Controls c = buildWindow(window, testWindow());
    window.show();
    QApplication::processEvents();
    WindowResizeType resizer;
    resizer.setMinimum(window);
    resizer.initialize(c, WindowResizeType::Spread);

    // Menus and items are not in the queue; the tab page is placed by its sheet.
    for (const ResizeEntry& e : resizer.queue()) {
        EXPECT_NE(e.type, TypeMenu);
        EXPECT_NE(e.type, TypeItem);
    }
    EXPECT_EQ(resizer.queue().size(), 6u);  // sheet, prompt, entry, check, two buttons

    const std::vector<QRect> initial = geometries(c);
    const QSize size = window.size();
    auto* cancel = c.get<QPushButton>("?CANCEL");
    auto* ok = c.get<QPushButton>("?OK");
    const QRect cancelAt = cancel->geometry(), okAt = ok->geometry();
    QWidget* entry = c.widget("?CODE");
    const QRect entryBefore = entry->geometry();
    const int rightGap = size.width() - cancel->geometry().right();
    const int bottomGap = size.height() - cancel->geometry().bottom();

    window.resize(size * 2);
    resizer.resize();
    EXPECT_EQ(resizer.resizesApplied(), 1);
    // The buttons keep their size; Cancel keeps its distance from the right and bottom edges,
    // OK from the left and bottom.
    EXPECT_EQ(cancel->size(), cancelAt.size());
    EXPECT_EQ(window.width() - cancel->geometry().right(), rightGap);
    EXPECT_EQ(window.height() - cancel->geometry().bottom(), bottomGap);
    EXPECT_EQ(ok->x(), okAt.x());
    // The entry on the tab stretches across but keeps its height.
    EXPECT_NEAR(entry->width(), entryBefore.width() * 2, 1);
    EXPECT_EQ(entry->height(), entryBefore.height());
    test::screenshot(window, "resizer_twice");

    // A move alone does nothing.
    window.move(window.pos() + QPoint(30, 30));
    resizer.resize();
    EXPECT_EQ(resizer.resizesApplied(), 1);

    window.resize(size);
    resizer.resize();
    EXPECT_EQ(geometries(c), initial);

    resizer.destroy();
    resizer.destroy();  // safe twice
    EXPECT_FALSE(resizer.initialized());
}

// A styled window with a tabbed sheet, grown and brought back to its opening size by the
// window procedure: every control, those on the tab included, is where it was at opening.
TEST(WindowResizer, AStyledTabbedWindowComesBackExactly) {
    test::qtApp();
    WindowStyler style;
    style.iniName = "no-such-folder/Style.Ini";
    style.load("Basic3");
    style.colorDepth = 3;
    style.inActiveTabColor[StyleForm] = 0x00A0A0A0;
    style.activeTabColor[StyleForm] = 0x0000FFFF;
    style.inactiveTabFontColor[StyleForm] = 0x00404040;
    style.activeTabFontColor[StyleForm] = 0x000000FF;
    styler() = style;
    WindowDef def = testWindow();
    def.controls.erase(def.controls.begin(), def.controls.begin() + 3);  // no menu
    for (auto& c : def.controls)
        if (c.name == "?CODE:PROMPT" || c.name == "?CODE" || c.name == "?FLAG") c.in = "?TAB1";
    QDialog w;
    Controls c = buildWindow(w, def);
    WindowResizeType resizer;
    WindowProcedure proc(w, c, StyleForm, &resizer);
    int resized = 0;
    QObject::connect(&proc, &WindowProcedure::resized, [&] { ++resized; });
    bool opened = false;
    QObject::connect(&proc, &WindowProcedure::opened, [&] { opened = true; });
    w.show();
    MG_WAIT_UNTIL(opened, 5000);
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
    const std::vector<QRect> opening = test::placesIn(w);
    const QSize size = w.size();
    w.resize(size.width() * 3 / 2, size.height() * 3 / 2);
    MG_WAIT_EQ(resized, 1, 5000);
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
    w.resize(size);
    MG_WAIT_EQ(resized, 2, 5000);
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
    EXPECT_EQ(test::placesIn(w), opening);
    styler() = WindowStyler{};
}

}  // namespace
}  // namespace mg::ui
