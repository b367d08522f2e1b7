#pragma once
// Window descriptions: every window of the program is a layout table in dialog units, one
// row per control in control order, with the control's field number, kind, text, picture,
// tip, status text, icon, position and size and its ?NAME. One helper (buildWindow in
// ui/widgets/controls.h) turns a table into Qt widgets. Control order and field numbers are
// kept because styling, resizing, the calendar and the preview rely on them.
//
// Positions are dialog units of the window's font: a horizontal unit is a quarter of the
// font's average character width, a vertical unit an eighth of its height. All positions
// are relative to the window's client area (also for controls inside groups and on tabs).

#include <string>
#include <vector>

#include <QFont>
#include <QRect>
#include <QSize>

// Layout tables are written with designated initialisers that name only what a control
// has; GCC's -Wextra warns about every member left to its default there, which is the point
// of the defaults. Files that include this header write such tables.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif

namespace mg::ui {

enum class ControlKind {
    Prompt,     // a label naming the control after it; '&' marks its mnemonic
    String,     // a display string (text shown, not edited)
    Entry,      // an entry field with a display picture
    Button,
    Check,
    Radio,
    Spin,
    List,
    Sheet,      // a set of tabs
    Tab,        // one tab of the sheet before it (or of `in`)
    Group,      // a framed, captioned group (controls inside are still placed in window units)
    Box,        // a plain rectangle
    Ellipse,
    Region,     // an invisible area
    Image,
    Progress,   // a progress bar, range `low` to `high`
    MenuBar,
    Menu,       // a menu of the menu bar before it (or a sub-menu of `in`)
    Item,       // an item of the menu before it (or of `in`)
    Separator,  // a line between menu items
    ToolBar,
    StatusBar,  // a status bar with zones (`zones`, widths in dialog units, -1 = the rest)
};

// Attributes of a control.
enum ControlFlag : unsigned {
    Centred = 1u << 0,      // text centred
    RightAligned = 1u << 1, // text right-aligned
    DefaultButton = 1u << 2,
    Disabled = 1u << 3,
    Hidden = 1u << 4,
    ReadOnly = 1u << 5,
    Required = 1u << 6,
    Skip = 1u << 7,         // not reached with the Tab key (and never selected first)
    Flat = 1u << 8,
    WordWrap = 1u << 9,     // a display string spread over several lines
};

// The system's own icons, written where a file name would go.
inline constexpr const char* kIconInformation = "*information";
inline constexpr const char* kIconQuestion = "*question";
inline constexpr const char* kIconWarning = "*warning";
inline constexpr const char* kIconError = "*error";

struct ControlDef {
    ControlKind kind = ControlKind::String;
    std::string name;      // ?NAME; names are compared without regard to case
    std::string text;      // '&' marks a mnemonic where the kind has one
    int x = 0, y = 0;      // dialog units
    int w = 0, h = 0;      // dialog units; 0 takes the control's natural size
    std::string picture;   // display picture ("n-14", "s255", ...)
    std::string tip;
    std::string status;    // status-bar text while the control is selected or hovered
    std::string icon;      // a file name, or one of the kIcon* names
    unsigned flags = 0;
    int low = 0, high = 100;       // range of a progress bar or spin box
    std::string in;                // ?NAME of the containing menu, sheet or tab, when not implied
    std::vector<int> zones = {};   // status bar zone widths in dialog units
    int field = 0;                 // 0: the row's place in the table, counted from 1
};

struct WindowDef {
    std::string caption;
    int width = 0, height = 0;     // client area, dialog units
    std::string icon;
    std::string fontName = "MS Sans Serif";
    int fontPoints = 8;
    bool resizable = false;
    std::vector<ControlDef> controls;
};

// The window's font: `name` at `points`, or the platform's default sans font at the same
// size when `name` is not installed.
QFont windowFont(const std::string& name, int points);
inline QFont windowFont(const WindowDef& def) { return windowFont(def.fontName, def.fontPoints); }

// Conversion between dialog units and pixels for one font.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int averageCharWidth, int height) : charWidth_(averageCharWidth), height_(height) {}

    int x(int units) const;   // horizontal: units * averageCharWidth / 4, rounded
    int y(int units) const;   // vertical: units * height / 8, rounded
    QSize size(int w, int h) const { return {x(w), y(h)}; }
    QRect rect(int x0, int y0, int w, int h) const { return {x(x0), y(y0), x(w), y(h)}; }
    // Pixels back to dialog units (rounded).
    int unitsX(int pixels) const;
    int unitsY(int pixels) const;

    int averageCharWidth() const { return charWidth_; }
    int height() const { return height_; }

private:
    int charWidth_;
    int height_;
};

}  // namespace mg::ui
