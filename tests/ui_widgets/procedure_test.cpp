// The window procedure's styling hook on a real window: the focus going into a list's view
// or onto a sheet's tab bar counts as that control being selected, so the lit button image
// goes back to the default button as it does for any other control that is not a button.

#include <gtest/gtest.h>

#include <QDialog>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeView>

#include "qt_app.h"
#include "ui/widgets/controls.h"
#include "ui/widgets/list_control.h"
#include "ui/widgets/procedure.h"
#include "ui/widgets/style_look.h"
#include "ui/widgets/styler.h"

namespace mg::ui {
namespace {

TEST(WindowProcedureStyling, TheFocusInsideAListOrOnATabBarSelectsThatControl) {
    test::qtApp();
    WindowStyler style;
    style.iniName = "no-such-folder/Style.Ini";
    style.load("Basic3");
    style.colorDepth = 3;
    style.coolButtons[StyleForm] = 1;
    style.coolButton[StyleForm] = "cool.bmp";
    style.coolButtonSelected[StyleForm] = "hot.bmp";
    styler() = style;
    using K = ControlKind;
    const WindowDef def{
        .caption = "Focus",
        .width = 200,
        .height = 150,
        .controls =
            {
                {.kind = K::List, .name = "?LIST", .x = 4, .y = 4, .w = 120, .h = 40},
                {.kind = K::Sheet, .name = "?SHEET", .x = 4, .y = 50, .w = 192, .h = 70},
                {.kind = K::Tab, .name = "?TAB1", .text = "First"},
                {.kind = K::Entry, .name = "?CODE", .x = 10, .y = 72, .w = 60, .h = 12, .in = "?TAB1"},
                {.kind = K::Tab, .name = "?TAB2", .text = "Second"},
                {.kind = K::Button, .name = "?OK", .text = "&OK", .x = 90, .y = 130, .w = 50, .h = 14, .flags = DefaultButton},
                {.kind = K::Button, .name = "?CANCEL", .text = "&Cancel", .x = 146, .y = 130, .w = 50, .h = 14},
            },
    };
    QDialog w;
    Controls c = buildWindow(w, def);
    WindowProcedure proc(w, c, StyleForm);
    bool opened = false;
    QObject::connect(&proc, &WindowProcedure::opened, [&] { opened = true; });
    w.show();
    QTRY_VERIFY_WITH_TIMEOUT(opened, 5000);
    QApplication::setActiveWindow(&w);
    QTRY_VERIFY_WITH_TIMEOUT(w.isActiveWindow(), 5000);
    const int ok = c.field("?OK"), cancel = c.field("?CANCEL");
    auto image = [&](int f) { return coolImage(&w, f + kCoolImageOffset)->image(); };

    struct Step {
        const char* what;
        QWidget* focus;
        int selected;   // the control taken as selected
    } steps[] = {
        {"the list's view", c.get<ListControl>("?LIST")->view(), c.field("?LIST")},
        {"the sheet's tab bar", c.get<QTabWidget>("?SHEET")->tabBar(), c.field("?SHEET")},
    };
    for (const Step& s : steps) {
        c.widget("?CANCEL")->setFocus();
        QTRY_COMPARE_WITH_TIMEOUT(proc.last, cancel, 5000);
        ASSERT_EQ(image(cancel), "hot.bmp");
        s.focus->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE_WITH_TIMEOUT(proc.last, s.selected, 2000);
        EXPECT_EQ(proc.hot, ok + kCoolImageOffset) << s.what;
        EXPECT_EQ(image(cancel), "cool.bmp") << s.what;
        EXPECT_EQ(image(ok), "hot.bmp") << s.what;
    }
    styler() = WindowStyler{};
}

}  // namespace
}  // namespace mg::ui
