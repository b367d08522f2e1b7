// The styling on a built window: every kind of control coloured from its type's members and
// read back from the widgets, cool-button images numbered control + 1000 that follow their
// buttons, the sheet's tab colours, the hot image as the focus moves, and styling off.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>

#include "qt_app.h"
#include "ui/widgets/controls.h"
#include "ui/widgets/procedure.h"
#include "ui/widgets/style_look.h"
#include "ui/widgets/styler.h"

namespace mg::ui {
namespace {

constexpr int32_t kPaper = 0x00E0F0FF;    // the window
constexpr int32_t kInactive = 0x00A0A0A0; // tabs
constexpr int32_t kActive = 0x0000FFFF;
constexpr int32_t kEntry = 0x00FFFFF0;
constexpr int32_t kRequired = 0x00C0FFFF;
constexpr int32_t kReadOnly = 0x00D0D0D0;
constexpr int32_t kList = 0x00F0FFF0;
constexpr int32_t kText = 0x00800000;     // dark blue
constexpr int32_t kOnTab = 0x00008000;
constexpr int32_t kButtonText = 0x000000FF;

const WindowDef& everyKind() {
    using K = ControlKind;
    static const WindowDef def{
        .caption = "Every kind",
        .width = 240,
        .height = 160,
        .controls =
            {
                {.kind = K::Prompt, .name = "?PROMPT", .text = "&Code:", .x = 4, .y = 4, .w = 30, .h = 10},
                {.kind = K::Entry, .name = "?CODE", .x = 40, .y = 4, .w = 50, .h = 12, .picture = "s10"},
                {.kind = K::Entry, .name = "?NEEDED", .x = 94, .y = 4, .w = 50, .h = 12, .flags = Required},
                {.kind = K::Entry, .name = "?SHOWN", .x = 148, .y = 4, .w = 50, .h = 12, .flags = ReadOnly},
                {.kind = K::String, .name = "?STRING", .text = "A string", .x = 4, .y = 20, .w = 60, .h = 10},
                {.kind = K::Spin, .name = "?SPIN", .x = 70, .y = 20, .w = 40, .h = 12},
                {.kind = K::List, .name = "?LIST", .x = 4, .y = 34, .w = 60, .h = 30},
                {.kind = K::Check, .name = "?CHECK", .text = "Check", .x = 70, .y = 36, .w = 50, .h = 10},
                {.kind = K::Check, .name = "?ICONCHECK", .text = "Icon", .x = 124, .y = 36, .w = 50, .h = 14,
                 .icon = kIconInformation},
                {.kind = K::Group, .name = "?GROUP", .text = "Group", .x = 180, .y = 20, .w = 56, .h = 44},
                {.kind = K::Radio, .name = "?RADIO", .text = "Radio", .x = 184, .y = 32, .w = 46, .h = 10},
                {.kind = K::Sheet, .name = "?SHEET", .x = 4, .y = 68, .w = 232, .h = 70},
                {.kind = K::Tab, .name = "?TAB1", .text = "First"},
                {.kind = K::Prompt, .name = "?TABPROMPT", .text = "On a tab", .x = 10, .y = 90, .w = 50, .h = 10, .in = "?TAB1"},
                {.kind = K::Group, .name = "?TABGROUP", .text = "Tab group", .x = 70, .y = 86, .w = 80, .h = 40, .in = "?TAB1"},
                {.kind = K::Tab, .name = "?TAB2", .text = "Second"},
                {.kind = K::Button, .name = "?OK", .text = "&OK", .x = 130, .y = 142, .w = 50, .h = 14, .flags = DefaultButton},
                {.kind = K::Button, .name = "?CANCEL", .text = "&Cancel", .x = 186, .y = 142, .w = 50, .h = 14},
            },
    };
    return def;
}

// A style of type 2 with every colour distinct; cool buttons with the images given.
WindowStyler formStyle(const std::string& cool = "cool.bmp", const std::string& selected = "hot.bmp") {
    WindowStyler s;
    s.iniName = "no-such-folder/Style.Ini";
    s.load("Basic3");  // every type with its defaults
    s.colorDepth = 3;
    const int t = StyleForm;
    s.backGroundColor[t] = kPaper;
    s.inActiveTabColor[t] = kInactive;
    s.activeTabColor[t] = kActive;
    s.entryColor[t] = kEntry;
    s.requiredEntryColor[t] = kRequired;
    s.readOnlyColor[t] = kReadOnly;
    s.listColor[t] = kList;
    s.textFontColor[t] = kText;
    s.onTabFontColor[t] = kOnTab;
    s.buttonFontColor[t] = kButtonText;
    s.activeTabFontColor[t] = 0x000000FF;
    s.inactiveTabFontColor[t] = 0x00404040;
    s.buttonCursor[t] = "~Hand";
    s.coolButtons[t] = 1;
    s.coolButton[t] = cool;
    s.coolButtonSelected[t] = selected;
    return s;
}

int32_t role(QWidget* w, QPalette::ColorRole r) { return colorValue(w->palette().color(r)); }

class Styling : public ::testing::Test {
protected:
    void SetUp() override { test::qtApp(); }
    void TearDown() override { styler() = WindowStyler{}; }
};

TEST_F(Styling, EveryKindOfControlTakesItsColours) {
    QDialog w;
    Controls c = buildWindow(w, everyKind());
    const int32_t entryBefore = role(c.widget("?CODE"), QPalette::Base);
    WindowStyler s = formStyle();
    s.setWindow(c, StyleForm);

    EXPECT_EQ(role(&w, QPalette::Window), kPaper);
    EXPECT_EQ(role(c.widget("?CODE"), QPalette::Base), kEntry);
    EXPECT_EQ(role(c.widget("?NEEDED"), QPalette::Base), kRequired);
    EXPECT_EQ(role(c.widget("?SHOWN"), QPalette::Base), kReadOnly);
    EXPECT_EQ(role(c.widget("?SPIN"), QPalette::Base), kEntry);
    EXPECT_EQ(role(c.widget("?LIST"), QPalette::Base), kList);
    for (const char* name : {"?PROMPT", "?STRING", "?CHECK", "?RADIO"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(role(c.widget(name), QPalette::WindowText), kText);
        EXPECT_FALSE(c.widget(name)->autoFillBackground());
    }
    EXPECT_EQ(role(c.widget("?TABPROMPT"), QPalette::WindowText), kOnTab);
    // Groups: the window's colour off a tab, the selected tab's colour on one.
    EXPECT_TRUE(c.widget("?GROUP")->autoFillBackground());
    EXPECT_EQ(role(c.widget("?GROUP"), QPalette::Window), kPaper);
    EXPECT_EQ(role(c.widget("?GROUP"), QPalette::WindowText), kText);
    EXPECT_EQ(role(c.widget("?TABGROUP"), QPalette::Window), kActive);
    EXPECT_EQ(role(c.widget("?TABGROUP"), QPalette::WindowText), kOnTab);
    // Tabs start in the inactive colour; their labels in the inactive font colour.
    auto* tabs = c.get<QTabWidget>("?SHEET");
    for (const char* name : {"?TAB1", "?TAB2"}) {
        EXPECT_TRUE(c.widget(name)->autoFillBackground());
        EXPECT_EQ(role(c.widget(name), QPalette::Window), kInactive);
        EXPECT_EQ(colorValue(tabs->tabBar()->tabTextColor(tabs->indexOf(c.widget(name)))), 0x00404040);
    }
    // Buttons: cool (flat over their image), the button font colour, the hand cursor.
    for (const char* name : {"?OK", "?CANCEL"}) {
        auto* b = c.get<QPushButton>(name);
        EXPECT_TRUE(b->isFlat());
        EXPECT_EQ(role(b, QPalette::ButtonText), kButtonText);
        EXPECT_EQ(b->cursor().shape(), Qt::PointingHandCursor);
    }
    EXPECT_EQ(role(c.widget("?ICONCHECK"), QPalette::WindowText), kButtonText);

    // One image per cool control, numbered control + 1000, under it and showing CoolButton.
    const int ok = c.field("?OK"), cancel = c.field("?CANCEL"), iconCheck = c.field("?ICONCHECK");
    EXPECT_EQ(w.findChildren<CoolImage*>().size(), 3);
    for (int f : {ok, cancel, iconCheck}) {
        CoolImage* image = coolImage(&w, f + kCoolImageOffset);
        ASSERT_NE(image, nullptr) << f;
        EXPECT_EQ(image->geometry(), c.widget(c.def(f)->name)->geometry());
        EXPECT_EQ(image->image(), "cool.bmp");
    }
    EXPECT_EQ(coolImage(&w, c.field("?CHECK") + kCoolImageOffset), nullptr);

    w.show();
    QApplication::processEvents();
    test::screenshot(w, "style_every_kind");

    // Styled again, the images are reused, not doubled.
    s.setWindow(c, StyleForm);
    EXPECT_EQ(w.findChildren<CoolImage*>().size(), 3);

    // Another type of the same styler leaves the window as it was designed.
    QDialog plain;
    Controls p = buildWindow(plain, everyKind());
    s.setWindow(p, StyleReport);  // type 8 has its defaults: grey window, no entry colours
    EXPECT_EQ(role(p.widget("?CODE"), QPalette::Base), entryBefore);
    EXPECT_EQ(role(&plain, QPalette::Window), 12632256);
    EXPECT_FALSE(p.get<QPushButton>("?OK")->isFlat());
    // A check box with an icon is always made cool; without CoolButton its image shows nothing.
    ASSERT_EQ(plain.findChildren<CoolImage*>().size(), 1);
    EXPECT_EQ(plain.findChildren<CoolImage*>().front()->property("field").toInt(), p.field("?ICONCHECK") + kCoolImageOffset);
    EXPECT_EQ(plain.findChildren<CoolImage*>().front()->image(), "");
}

TEST_F(Styling, CoolImagesFollowTheirButtons) {
    QDialog w;
    Controls c = buildWindow(w, everyKind());
    WindowStyler s = formStyle();
    c.setHidden("?CANCEL", true);
    s.setWindow(c, StyleForm);
    s.refresh(c);
    CoolImage* cancel = coolImage(&w, c.field("?CANCEL") + kCoolImageOffset);
    CoolImage* ok = coolImage(&w, c.field("?OK") + kCoolImageOffset);
    ASSERT_TRUE(cancel && ok);
    EXPECT_TRUE(cancel->isHidden());
    EXPECT_FALSE(ok->isHidden());

    c.widget("?OK")->setGeometry(20, 30, 90, 40);
    c.setHidden("?CANCEL", false);
    s.refresh(c);
    EXPECT_EQ(ok->geometry(), QRect(20, 30, 90, 40));
    EXPECT_FALSE(cancel->isHidden());
}

TEST_F(Styling, SheetColourByTheTabColours) {
    struct Case {
        const char* name;
        int32_t inactive, active;
        bool firstFilled;      // the selected tab after the change back to the first
        int32_t firstColour;   // its colour when filled
        int32_t secondColour;  // the tab left
        int32_t groupOnTab;    // -1: the group on the tab is not filled
    };
    const Case cases[] = {
        {"both colours", kInactive, kActive, true, kActive, kInactive, kActive},
        {"ActiveTabColor 0 leaves the selected tab uncoloured", kInactive, 0, true, kInactive, kInactive, -1},
        {"InActiveTabColor 0 switches tab colouring off", 0, kActive, false, 0, -1, kActive},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        QDialog w;
        Controls c = buildWindow(w, everyKind());
        WindowStyler s = formStyle();
        s.inActiveTabColor[StyleForm] = k.inactive;
        s.activeTabColor[StyleForm] = k.active;
        s.setWindow(c, StyleForm);
        const int sheet = c.field("?SHEET"), tab1 = c.field("?TAB1"), tab2 = c.field("?TAB2");
        auto* tabs = c.get<QTabWidget>("?SHEET");

        int32_t current = s.sheetColor(c, StyleForm, 0, sheet);
        EXPECT_EQ(current, tab1);
        tabs->setCurrentIndex(1);
        current = s.sheetColor(c, StyleForm, current, sheet);
        EXPECT_EQ(current, tab2);
        tabs->setCurrentIndex(0);
        current = s.sheetColor(c, StyleForm, current, sheet);
        EXPECT_EQ(current, tab1);

        EXPECT_EQ(c.widget("?TAB1")->autoFillBackground(), k.firstFilled);
        if (k.firstFilled) {
            EXPECT_EQ(role(c.widget("?TAB1"), QPalette::Window), k.firstColour);
        }
        if (k.secondColour >= 0) {
            EXPECT_EQ(role(c.widget("?TAB2"), QPalette::Window), k.secondColour);
        } else {
            EXPECT_FALSE(c.widget("?TAB2")->autoFillBackground());
        }
        EXPECT_EQ(c.widget("?TABGROUP")->autoFillBackground(), k.groupOnTab >= 0);
        if (k.groupOnTab >= 0) {
            EXPECT_EQ(role(c.widget("?TABGROUP"), QPalette::Window), k.groupOnTab);
        }
        // The selected tab's label is in the active font colour once the tab is coloured.
        if (k.inactive > 0 && k.active != 0) {
            EXPECT_EQ(colorValue(tabs->tabBar()->tabTextColor(0)), 0x000000FF);
        }
    }
    // A transparent sheet hands the sheet back and colours nothing.
    QDialog w;
    Controls c = buildWindow(w, everyKind());
    WindowStyler s = formStyle();
    s.transparentSheet[StyleForm] = 1;
    s.setWindow(c, StyleForm);
    EXPECT_EQ(s.sheetColor(c, StyleForm, 0, c.field("?SHEET")), c.field("?SHEET"));
    EXPECT_FALSE(c.widget("?TAB1")->autoFillBackground());
    // ... and the window's own colour shows through its pane, not the style's grey.
    w.show();
    QTest::qWait(20);
    QWidget* page = c.widget("?TAB1");
    const QPoint inPane = page->mapTo(&w, QPoint(page->width() - 6, page->height() - 6));
    EXPECT_EQ(colorValue(w.grab().toImage().pixelColor(inPane * w.devicePixelRatio())), kPaper);
}

TEST_F(Styling, HotImageFollowsTheFocus) {
    styler() = formStyle();
    QDialog w;
    Controls c = buildWindow(w, everyKind());
    WindowProcedure proc(w, c, StyleForm);
    bool opened = false;
    QObject::connect(&proc, &WindowProcedure::opened, [&] { opened = true; });
    w.show();
    MG_WAIT_UNTIL(opened, 5000);
    QApplication::setActiveWindow(&w);
    MG_WAIT_UNTIL(w.isActiveWindow(), 5000);
    const int ok = c.field("?OK"), cancel = c.field("?CANCEL");
    auto image = [&](int f) { return coolImage(&w, f + kCoolImageOffset)->image(); };

    // The first control, an entry, has the focus: the default button is hot.
    EXPECT_EQ(QApplication::focusWidget(), c.widget("?CODE"));
    EXPECT_EQ(proc.hot, ok + kCoolImageOffset);
    EXPECT_EQ(image(ok), "hot.bmp");
    EXPECT_EQ(image(cancel), "cool.bmp");

    c.widget("?CANCEL")->setFocus();
    MG_WAIT_EQ(proc.last, cancel, 5000);
    EXPECT_EQ(proc.hot, cancel + kCoolImageOffset);
    EXPECT_EQ(image(cancel), "hot.bmp");
    EXPECT_EQ(image(ok), "cool.bmp");

    // From a button to a control that is not one: back to the default button, also when the
    // focus goes to a widget inside the control (a list's view, a sheet's tab bar).
    for (const char* control : {"?LIST", "?SHEET"}) {
        SCOPED_TRACE(control);
        c.widget("?CANCEL")->setFocus();
        MG_WAIT_EQ(proc.hot, cancel + kCoolImageOffset, 5000);
        if (auto* tabs = qobject_cast<QTabWidget*>(c.widget(control))) tabs->tabBar()->setFocus();
        else c.widget(control)->setFocus();
        MG_WAIT_EQ(proc.last, c.field(control), 5000);
        EXPECT_EQ(proc.hot, ok + kCoolImageOffset);
        EXPECT_EQ(image(cancel), "cool.bmp");
        EXPECT_EQ(image(ok), "hot.bmp");
    }

    // Between two controls that are not buttons nothing changes.
    c.widget("?CODE")->setFocus();
    MG_WAIT_EQ(proc.last, c.field("?CODE"), 5000);
    EXPECT_EQ(proc.hot, ok + kCoolImageOffset);

    // Losing the focus puts every image back.
    QDialog other;
    other.show();
    QApplication::setActiveWindow(&other);
    MG_WAIT_EQ(proc.hot, 0, 5000);
    EXPECT_EQ(image(ok), "cool.bmp");
    EXPECT_EQ(image(cancel), "cool.bmp");

    // Gaining it with a button selected lights that button.
    c.widget("?CANCEL")->setFocus();
    QApplication::setActiveWindow(&w);
    MG_WAIT_EQ(proc.hot, cancel + kCoolImageOffset, 5000);
    EXPECT_EQ(image(cancel), "hot.bmp");
}

TEST_F(Styling, SelectedImageBlankMeansNoHighlighting) {
    WindowStyler s = formStyle("", "");
    QDialog w;
    Controls c = buildWindow(w, everyKind());
    s.setWindow(c, StyleForm);
    int32_t hot = 0, last = 0;
    QEvent activate(QEvent::WindowActivate);
    s.takeEvent(c, activate, StyleForm, hot, last, &w);
    EXPECT_EQ(hot, 0);
}

TEST_F(Styling, StylingOffLeavesTheWindowAsDesigned) {
    QTemporaryDir dir;
    const std::string paper = dir.filePath("paper.png").toStdString();
    QImage(8, 8, QImage::Format_RGB32).save(QString::fromStdString(paper));

    QDialog w;
    Controls c = buildWindow(w, everyKind());
    const int32_t window = role(&w, QPalette::Window), entry = role(c.widget("?CODE"), QPalette::Base);
    ASSERT_TRUE(setWallpaper(&w, paper, 1));  // as an earlier styling might have left it
    EXPECT_EQ(wallpaperOf(&w), paper);

    WindowStyler s = formStyle();
    s.wallPaper[StyleForm] = paper;
    s.colorDepth = 0;
    s.setWindow(c, StyleForm);
    s.refresh(c);
    EXPECT_EQ(wallpaperOf(&w), "");
    EXPECT_EQ(role(&w, QPalette::Window), window);
    EXPECT_EQ(role(c.widget("?CODE"), QPalette::Base), entry);
    EXPECT_TRUE(w.findChildren<CoolImage*>().isEmpty());
    EXPECT_FALSE(c.get<QPushButton>("?OK")->isFlat());
    EXPECT_EQ(s.sheetColor(c, StyleForm, 0, c.field("?SHEET")), c.field("?SHEET"));
    EXPECT_FALSE(c.widget("?TAB1")->autoFillBackground());

    // On, the same style puts the wallpaper in place in its layout.
    s.colorDepth = 3;
    s.wallPaperType[StyleForm] = 2;
    s.setWindow(c, StyleForm);
    EXPECT_EQ(wallpaperOf(&w), paper);
    EXPECT_EQ(wallpaperLayoutOf(&w), 2);
}

}  // namespace
}  // namespace mg::ui
