#pragma once
// The report engine: prints detail bands of a ReportLayout into pages, opening and closing
// groups as their keys change, counting the detail bands for the Count controls, and
// writing each finished page as a vector page file (a QPicture, in thousandths of an inch)
// in a folder of the run. The list of page files is what the preview shows, the printer
// prints and the PDF export joins; the files go when the report closes.
//
// Beside each page the engine keeps its text form: every band placed on the page with its
// position and the texts its controls show. Report tests compare it against golden files.
//
// Layout of the pages:
//  - A new page draws the form band, then the page header; the page footer is drawn when the
//    page ends. Both carry the page's number and the page's count.
//  - A body band that does not fit below the last one starts a new page. A group header keeps
//    with the first detail after it: when the headers being opened and that detail do not all
//    fit, the page breaks before the headers. A group carries on across a page break (its
//    count runs on, its header is not repeated).
//  - A group footer shows the field values of its group's last detail; the page header and
//    footer those of the detail being printed when the page breaks.
//  - A text field longer than its cell is cut at a whole character and ends in "…" (the
//    text form shows it so); a number is never cut: one wider than its picture's positions
//    keeps its right edge and runs out to the left.
//  - A report always has at least one page: one without detail bands shows its page header
//    and footer and the report-end footer with a count of 0.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QFont>
#include <QImage>
#include <QFontMetricsF>

#include "data/decimal.h"
#include "ui/report/layout.h"

class QPainter;
class QTemporaryDir;

namespace mg::report {

// A field's value: text, or a number (dates and times as their day numbers and time values).
struct Value {
    bool isNumber = false;
    std::string text;
    Decimal number;

    static Value ofText(std::string t) { return {false, std::move(t), {}}; }
    static Value ofNumber(const Decimal& n) { return {true, {}, n}; }
    // The value as shown through `picture`; a number too wide for its picture's positions
    // is shown whole (never as '#').
    std::string format(std::string_view picture) const;
    // The value as a group key compares it: trailing blanks and the case of a text do not
    // count, as in the database's order.
    std::string key() const;
};

// Where the bands take their field values from; nullopt for an unknown field (shown blank).
using FieldSource = std::function<std::optional<Value>(std::string_view field)>;

// A simple source: field names compared without regard to case.
class Fields {
public:
    Fields& set(std::string_view field, std::string text);
    Fields& set(std::string_view field, const Decimal& number);
    std::optional<Value> get(std::string_view field) const;
    FieldSource source() const {
        return [this](std::string_view f) { return get(f); };
    }

private:
    std::map<std::string, Value> values_;
};

class ReportEngine {
public:
    explicit ReportEngine(ReportLayout layout);
    ~ReportEngine();  // closes the report
    ReportEngine(const ReportEngine&) = delete;
    ReportEngine& operator=(const ReportEngine&) = delete;

    // Opens the report: makes the folder of the run (under `folder`, or the system's
    // temporary folder when empty) and sets the stamps to today's date and the current time.
    // False when the folder cannot be made (error() tells why).
    bool open(const std::string& folder = {});
    bool isOpen() const { return open_; }
    const std::string& error() const { return error_; }

    // The date and time the stamps show (day number, time value).
    void setDateStamp(int32_t dayNumber);
    void setTimeStamp(int32_t timeValue);

    // Values that hold for the whole report (a report date, a title): a band looks a field up
    // there when its record does not have it, and the page bands when no record is at hand.
    void setReportFields(FieldSource source);

    // Prints a detail band (the first of the layout's, or the one named) with the source's
    // values. False when the report is not open or already finished, or the band is unknown.
    bool printDetail(const FieldSource& source, std::string_view band = {});

    // Ends the report: closes the open groups, prints the report-end footer and ends the last
    // page. The page list is complete afterwards. Printing after it is refused.
    bool finish();
    bool finished() const { return finished_; }

    // Removes the page files and the folder of the run. The page list is emptied.
    void close();

    // The page files in page order (complete once the report is finished).
    const std::vector<std::string>& pageList() const { return pages_; }
    // The text form of each finished page, in page order.
    const std::vector<std::string>& pageTexts() const { return texts_; }
    int detailsPrinted() const { return reportCount_; }
    const ReportLayout& layout() const { return layout_; }

private:
    struct OpenGroup {
        std::string key;
        int count = 0;
        std::map<std::string, Value> lastValues;  // the fields its footer shows
    };
    struct Scope;

    void startPage();
    void endPage();
    // Makes room for `height` in the body, breaking the page when it does not fit.
    void makeRoom(int height);
    void placeBodyBand(const Band& band, BandKind kind, const Scope& scope, bool mayBreak = true);
    void drawBand(const Band& band, BandKind kind, int x, int y, const Scope& scope);
    std::string controlText(const Control& c, const Scope& scope) const;
    void closeGroupsFrom(size_t level);
    Scope pageScope() const;
    static void keepValues(const Band& band, const FieldSource& source, std::map<std::string, Value>& into);

    ReportLayout layout_;
    std::unique_ptr<QTemporaryDir> dir_;
    bool open_ = false;
    bool finished_ = false;
    std::string error_;
    std::optional<int32_t> date_;
    std::optional<int32_t> time_;

    std::vector<OpenGroup> groups_;  // the groups open now, outermost first
    std::map<std::string, Value> reportValues_;  // the fields the report-end footer shows
    std::map<std::string, Value> pageValues_;    // the fields the page bands show, as last printed
    FieldSource reportFields_;
    const FieldSource* current_ = nullptr;       // the record of the detail being printed
    int reportCount_ = 0;
    int pageCount_ = 0;              // details on the current page
    int pageNumber_ = 0;
    int cursor_ = 0;                 // top of the free space of the body
    bool pageStarted_ = false;
    bool bandOnPage_ = false;        // a body band was placed on the current page

    // Fonts and their measures, made once per report.
    struct FontInfo {
        QFont font;
        QFontMetricsF metrics;
    };
    const FontInfo& fontInfo(const Font& f);
    std::map<std::string, std::unique_ptr<FontInfo>> fonts_;
    std::map<std::string, QImage> images_;  // image files by name, read once

    struct PageRecorder;
    std::unique_ptr<PageRecorder> recorder_;
    std::vector<std::string> pages_;
    std::vector<std::string> texts_;
};

}  // namespace mg::report
