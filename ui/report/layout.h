#pragma once
// A report layout as data. Every measurement is in thousandths of an inch, as the report
// designs give them.
//
// A page holds, at fixed places: the form band (drawn first, under everything else), the
// page header and the page footer. Between them lies the body: detail bands and the group
// headers and footers are stacked in it from its top, each as high as its band, and a band
// that no longer fits starts a new page. The report-end footer follows the last band of the
// body once.
//
// Controls are placed relative to their band. A body band's x is relative to the body's x;
// its y is not used (the engine stacks the bands).

#include <optional>
#include <string>
#include <vector>

// Layouts are written with designated initialisers that name only what a control has; GCC's
// -Wextra warns about every member left to its default there, which is the point of the
// defaults.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif

namespace mg::report {

struct Font {
    std::string name;   // empty: the band's font (and the band's empty: the report's)
    int points = 0;     // 0: likewise inherited
    bool bold = false;
};

enum class Align { Left, Centre, Right };

enum class ControlKind {
    Text,        // fixed text
    Field,       // the value of a record field (`field`) through `picture`
    DateStamp,   // shows `text` until the report's date stamp is set, then the date through `picture`
    TimeStamp,   // the same for the time stamp
    PageNumber,  // the number of the page it is printed on, through `picture`
    Count,       // how many detail bands were printed in its band's scope (see below)
    Line,        // a line from (x,y) to (x+w, y+h)
    Image,       // an image file (`text`); no file draws nothing
};

// A Count control counts the detail bands printed in the scope of the band it sits in: in a
// group's header or footer, the details of the current group (reset when the group opens);
// in the page header or footer, the details of the page; anywhere else, the whole report.

struct Control {
    ControlKind kind = ControlKind::Text;
    std::string name;       // ?NAME, optional
    int x = 0, y = 0;       // relative to the band
    int w = 0, h = 0;       // 0: the text's own width, the font's line height
    std::string text;       // Text: the text; stamps: the layout text; Image: the file
    std::string field;      // Field: the record field shown
    std::string picture;    // display picture ("s30", "n-14", "d17", "pPage <<#p")
    Font font;
    Align align = Align::Left;  // number pictures are right-aligned in their positions anyway
};

enum class BandKind { Form, PageHeader, PageFooter, Detail, GroupHeader, GroupFooter, ReportFooter };

struct Band {
    std::string name;
    int x = 0, y = 0;       // on the page (form, page header and footer), or x within the body
    int w = 0, h = 0;
    Font font;
    std::vector<Control> controls;
};

// A group of detail bands sharing a key value. A group opens before the first detail whose
// key differs from the group's current one, and closes (its footer printed) before that
// detail and at the end of the report. Groups nest in the order given, outermost first:
// when an outer group changes, every inner group closes and opens again.
struct Group {
    std::string name;
    std::string key;              // the record field whose value keys the group
    std::optional<Band> header;
    std::optional<Band> footer;
};

struct ReportLayout {
    std::string caption;
    int pageWidth = 8268;         // A4 portrait, thousandths of an inch
    int pageHeight = 11693;
    bool landscape = false;       // swaps the page's width and height
    Font font{"Arial", 10, false};

    std::optional<Band> form;
    std::optional<Band> pageHeader;
    std::optional<Band> pageFooter;
    int bodyX = 250, bodyY = 854, bodyW = 7750, bodyH = 10333;

    std::vector<Group> groups;    // outermost first
    std::vector<Band> details;    // printDetail prints the first unless told which
    std::optional<Band> reportFooter;

    int width() const { return landscape ? pageHeight : pageWidth; }
    int height() const { return landscape ? pageWidth : pageHeight; }
};

}  // namespace mg::report
