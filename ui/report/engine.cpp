#include "ui/report/engine.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include <QFontMetricsF>
#include <QImage>
#include <QDir>
#include <QTemporaryDir>
#include <QString>

#include "data/dates.h"
#include "data/text.h"
#include "ui/picture.h"
#include "ui/report/page_file.h"

namespace mg::report {
namespace {

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& ch : out) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return out;
}

std::string trimRight(std::string_view s) { return std::string(text::rtrim(s)); }

std::string trimLeft(std::string s) {
    size_t start = s.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : s.substr(start);
}


const char* bandLabel(BandKind kind) {
    switch (kind) {
    case BandKind::Form: return "form";
    case BandKind::PageHeader: return "page header";
    case BandKind::PageFooter: return "page footer";
    case BandKind::Detail: return "detail";
    case BandKind::GroupHeader: return "group header";
    case BandKind::GroupFooter: return "group footer";
    case BandKind::ReportFooter: return "report footer";
    }
    return "band";
}

Font resolve(const Font& own, const Font& band, const Font& report) {
    Font f = report;
    if (!band.name.empty()) f.name = band.name;
    if (band.points > 0) f.points = band.points;
    f.bold = band.bold;
    if (!own.name.empty()) f.name = own.name;
    if (own.points > 0) f.points = own.points;
    if (own.bold) f.bold = true;
    return f;
}

// The room a control has to its right: up to the next control on its line (less a small
// gap), at most to the band's right edge.
int roomRight(const Band& band, const Control& c, double height) {
    constexpr int kGap = 20;
    int room = std::max(0, band.w - c.x);
    for (const Control& other : band.controls) {
        if (&other == &c || other.x <= c.x || other.kind == ControlKind::Line || other.kind == ControlKind::Image) continue;
        const int otherHeight = other.h > 0 ? other.h : static_cast<int>(height);
        if (other.y >= c.y + height || c.y >= other.y + otherHeight) continue;
        room = std::min(room, std::max(0, other.x - c.x - kGap));
    }
    return room;
}

// Every field a band shows, so that a footer can show its group's last detail.
void fieldsOf(const Band& band, std::vector<std::string>& out) {
    for (const Control& c : band.controls)
        if (c.kind == ControlKind::Field && !c.field.empty()) out.push_back(upper(c.field));
}

}  // namespace

// ---- values ----------------------------------------------------------------------------------

namespace {

// A number through its picture. A printed figure is never replaced by '#': a value wider
// than the picture's positions is shown whole, as the picture would show it with room
// enough (separators and places kept), and runs out to the left of its positions.
std::string printedNumber(const Decimal& n, const picture::Picture& p) {
    std::string shown = picture::formatNumber(n, p);
    if (p.kind != picture::Kind::Number || shown.find('#') == std::string::npos) return shown;
    picture::Picture wide = p;
    wide.width = 64;
    return trimLeft(picture::formatNumber(n, wide));
}

}  // namespace

std::string Value::format(std::string_view picture) const {
    auto p = picture.empty() ? std::nullopt : picture::parsePicture(picture);
    if (isNumber) {
        if (picture.empty()) return number.toString(number.scale());
        if (!p) return picture::formatNumber(number, picture);
        return printedNumber(number, *p);
    }
    if (!picture.empty()) {
        if (p && p->kind != picture::Kind::Text) {
            if (auto n = Decimal::parse(text)) return printedNumber(*n, *p);
        }
        return picture::formatText(text, picture);
    }
    return text;
}

// Texts compare as the database orders them: trailing blanks and case do not count, so the
// rows of one fee earner written "JOB" and "job" (which the case-blind order sorts
// together) are one group.
std::string Value::key() const {
    if (!isNumber) return "s" + QString::fromStdString(trimRight(text)).toCaseFolded().toStdString();
    std::string t = number.toString(number.scale());
    if (t.find('.') != std::string::npos) {
        while (t.back() == '0') t.pop_back();
        if (t.back() == '.') t.pop_back();
    }
    return "n" + t;
}

Fields& Fields::set(std::string_view field, std::string text) {
    values_[upper(field)] = Value::ofText(std::move(text));
    return *this;
}

Fields& Fields::set(std::string_view field, const Decimal& number) {
    values_[upper(field)] = Value::ofNumber(number);
    return *this;
}

std::optional<Value> Fields::get(std::string_view field) const {
    auto it = values_.find(upper(field));
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

// ---- the page being recorded ------------------------------------------------------------------

struct ReportEngine::PageRecorder {
    Page page;
    std::string text;

    PageRecorder(int width, int height) : page(QSize(width, height)) {}
};

// What a band's controls see: the field values and the count of their scope.
struct ReportEngine::Scope {
    const FieldSource* source = nullptr;               // the current record
    const std::map<std::string, Value>* saved = nullptr;  // or the values a footer kept
    int count = 0;

    const FieldSource* report = nullptr;               // values of the whole report

    std::optional<Value> value(const std::string& field) const {
        if (saved) {
            auto it = saved->find(upper(field));
            if (it != saved->end()) return it->second;
        } else if (source && *source) {
            if (auto v = (*source)(field)) return v;
        }
        if (report && *report) return (*report)(field);
        return std::nullopt;
    }
};

// ---- engine ----------------------------------------------------------------------------------

ReportEngine::ReportEngine(ReportLayout layout) : layout_(std::move(layout)) {}

ReportEngine::~ReportEngine() { close(); }

bool ReportEngine::open(const std::string& folder) {
    close();
    const QString base = folder.empty() ? QDir::tempPath() : QString::fromStdString(folder);
    dir_ = std::make_unique<QTemporaryDir>(base + "/mg-report-XXXXXX");
    if (!dir_->isValid()) {
        error_ = "The report's folder could not be made in " + base.toStdString() + ": " +
                 dir_->errorString().toStdString();
        dir_.reset();
        return false;
    }
    error_.clear();
    open_ = true;
    finished_ = false;
    groups_.clear();
    reportCount_ = pageCount_ = pageNumber_ = 0;
    pageStarted_ = bandOnPage_ = false;
    date_ = dates::today();
    time_ = dates::now();
    return true;
}

void ReportEngine::setDateStamp(int32_t dayNumber) { date_ = dayNumber; }
void ReportEngine::setTimeStamp(int32_t timeValue) { time_ = timeValue; }

void ReportEngine::close() {
    recorder_.reset();
    pages_.clear();
    texts_.clear();
    dir_.reset();  // removes the folder and the page files in it
    open_ = false;
    finished_ = false;
    pageStarted_ = false;
}

std::string ReportEngine::controlText(const Control& c, const Scope& scope) const {
    switch (c.kind) {
    case ControlKind::Text: return c.text;
    case ControlKind::Field: {
        auto v = scope.value(c.field);
        if (!v) return c.picture.empty() ? std::string() : Value::ofText({}).format(c.picture);
        return v->format(c.picture);
    }
    case ControlKind::DateStamp:
        if (!date_) return c.text;
        return picture::format(*date_, c.picture.empty() ? "d17" : c.picture);
    case ControlKind::TimeStamp:
        if (!time_) return c.text;
        return picture::format(*time_, c.picture.empty() ? "t7" : c.picture);
    case ControlKind::PageNumber:
        return c.picture.empty() ? std::to_string(pageNumber_) : picture::format(pageNumber_, c.picture);
    case ControlKind::Count:
        return c.picture.empty() ? std::to_string(scope.count) : picture::format(scope.count, c.picture);
    case ControlKind::Line:
    case ControlKind::Image: return c.text;
    }
    return {};
}

void ReportEngine::drawBand(const Band& band, BandKind kind, int x, int y, const Scope& scope) {
    PageRecorder& rec = *recorder_;
    rec.text += "  " + std::string(bandLabel(kind));
    if (!band.name.empty()) rec.text += " " + band.name;
    rec.text += " (" + std::to_string(x) + "," + std::to_string(y) + ") " + std::to_string(band.w) + "x" +
                std::to_string(band.h) + "\n";

    for (const Control& c : band.controls) {
        const int cx = x + c.x, cy = y + c.y;
        std::string line = "    ";
        if (c.kind == ControlKind::Line) {
            rec.page.addLine(cx, cy, cx + c.w, cy + c.h, 10);
            line += "line (" + std::to_string(c.x) + "," + std::to_string(c.y) + ") " + std::to_string(c.w) + "x" +
                    std::to_string(c.h);
            rec.text += line + "\n";
            continue;
        }
        if (c.kind == ControlKind::Image) {
            // Each file is read once per report; the pages share the one image.
            auto [known, added] = images_.try_emplace(c.text);
            if (added && !c.text.empty()) known->second.load(QString::fromStdString(c.text));
            if (!known->second.isNull()) rec.page.addImage(QRect(cx, cy, c.w, c.h), known->second);
            line += "image";
            if (!c.name.empty()) line += " " + c.name;
            line += " (" + std::to_string(c.x) + "," + std::to_string(c.y) + ") " + std::to_string(c.w) + "x" +
                    std::to_string(c.h) + " \"" + c.text + "\"";
            rec.text += line + "\n";
            continue;
        }

        std::string shown = controlText(c, scope);
        const Font f = resolve(c.font, band.font, layout_.font);
        const FontInfo& fi = fontInfo(f);
        const QFont& font = fi.font;
        const QFontMetricsF& fm = fi.metrics;
        const auto pic = picture::parsePicture(c.picture);
        const bool number = pic && pic->kind == picture::Kind::Number;
        QString drawn = QString::fromStdString(number ? trimLeft(shown) : shown);
        const double h = c.h > 0 ? c.h : fm.height();
        double w = c.w;
        const int positions = pic ? pic->width : 0;
        if (w <= 0) {
            // A control of no width of its own: a number its picture's positions, a text its
            // own width; a text field never runs into the next control to its right on its
            // line nor past the band's edge.
            if (number && positions > 0) w = positions * fm.horizontalAdvance(QLatin1Char('0'));
            else w = fm.horizontalAdvance(drawn) + 1;
            if (c.kind == ControlKind::Field && !number) w = std::min(w, double(roomRight(band, c, h)));
        }
        int x0 = cx;
        if (number) {
            // A figure is printed whole: one wider than its positions keeps its right edge
            // (the column's) and runs out to the left.
            const double needed = fm.horizontalAdvance(drawn) + 1;
            if (needed > w) {
                x0 -= static_cast<int>(std::ceil(needed - w));
                w = needed;
            }
        } else if (c.kind == ControlKind::Field && fm.horizontalAdvance(drawn) > w) {
            // A text longer than its cell is cut at a whole character and marked as cut.
            drawn = fm.elidedText(drawn, Qt::ElideRight, w);
            shown = drawn.toStdString();
        }
        int flags = Qt::TextSingleLine | Qt::AlignTop;  // texts of a line share their top, whatever their boxes
        // Fixed texts, stamps, page numbers and figures never lose characters to a box drawn
        // for a narrower font than the one at hand; a text field is kept inside its cell.
        if (c.kind != ControlKind::Field || number) flags |= Qt::TextDontClip;
        if (number || c.align == Align::Right) flags |= Qt::AlignRight;
        else if (c.align == Align::Centre) flags |= Qt::AlignHCenter;
        else flags |= Qt::AlignLeft;
        if (!drawn.isEmpty())
            rec.page.addText(QRect(x0, cy, static_cast<int>(std::ceil(w)), static_cast<int>(std::ceil(h))), font, flags, drawn);

        line += "(" + std::to_string(c.x) + "," + std::to_string(c.y) + ") \"" + shown + "\"";
        rec.text += line + "\n";
    }
}

const ReportEngine::FontInfo& ReportEngine::fontInfo(const Font& f) {
    const std::string key = f.name + "|" + std::to_string(f.points) + (f.bold ? "b" : "");
    auto it = fonts_.find(key);
    if (it == fonts_.end()) {
        QFont font = pageFont(f.name, f.points, f.bold);
        it = fonts_.emplace(key, std::make_unique<FontInfo>(FontInfo{font, QFontMetricsF(font)})).first;
    }
    return *it->second;
}

// The page header and footer show the record being printed when the page breaks (else the
// last one printed) and the page's count.
ReportEngine::Scope ReportEngine::pageScope() const {
    Scope page;
    page.count = pageCount_;
    page.report = &reportFields_;
    if (current_) page.source = current_;
    else page.saved = &pageValues_;
    return page;
}

void ReportEngine::setReportFields(FieldSource source) { reportFields_ = std::move(source); }

void ReportEngine::keepValues(const Band& band, const FieldSource& source, std::map<std::string, Value>& into) {
    std::vector<std::string> fields;
    fieldsOf(band, fields);
    for (const std::string& f : fields) {
        auto v = source ? source(f) : std::nullopt;
        if (v) into[f] = *v;
        else into.erase(f);
    }
}

void ReportEngine::startPage() {
    ++pageNumber_;
    pageCount_ = 0;
    recorder_ = std::make_unique<PageRecorder>(layout_.width(), layout_.height());
    recorder_->text = "page " + std::to_string(pageNumber_) + "\n";
    pageStarted_ = true;
    bandOnPage_ = false;
    cursor_ = layout_.bodyY;
    const Scope page = pageScope();
    if (layout_.form) drawBand(*layout_.form, BandKind::Form, layout_.form->x, layout_.form->y, page);
    if (layout_.pageHeader)
        drawBand(*layout_.pageHeader, BandKind::PageHeader, layout_.pageHeader->x, layout_.pageHeader->y, page);
}

void ReportEngine::endPage() {
    if (!pageStarted_) return;
    const Scope page = pageScope();
    if (layout_.pageFooter)
        drawBand(*layout_.pageFooter, BandKind::PageFooter, layout_.pageFooter->x, layout_.pageFooter->y, page);
    const std::string file = dir_->path().toStdString() + QString::asprintf("/page%06d.mgp", pageNumber_).toStdString();
    if (!recorder_->page.save(file)) error_ = "The page file " + file + " could not be written.";
    pages_.push_back(file);
    texts_.push_back(std::move(recorder_->text));
    recorder_.reset();
    pageStarted_ = false;
}

void ReportEngine::makeRoom(int height) {
    if (!pageStarted_) {
        startPage();
        return;
    }
    if (bandOnPage_ && cursor_ + height > layout_.bodyY + layout_.bodyH) {
        endPage();
        startPage();
    }
}

void ReportEngine::placeBodyBand(const Band& band, BandKind kind, const Scope& scope, bool mayBreak) {
    if (mayBreak) makeRoom(std::min(band.h, layout_.bodyH + 1));
    drawBand(band, kind, layout_.bodyX + band.x, cursor_, scope);
    cursor_ += band.h;
    bandOnPage_ = true;
}

void ReportEngine::closeGroupsFrom(size_t level) {
    while (groups_.size() > level) {
        const size_t g = groups_.size() - 1;
        if (layout_.groups[g].footer) {
            Scope s;
            s.saved = &groups_[g].lastValues;
            s.report = &reportFields_;
            s.count = groups_[g].count;
            placeBodyBand(*layout_.groups[g].footer, BandKind::GroupFooter, s);
        }
        groups_.pop_back();
    }
}

bool ReportEngine::printDetail(const FieldSource& source, std::string_view bandName) {
    if (!open_ || finished_) return false;
    const Band* detail = nullptr;
    for (const Band& b : layout_.details)
        if (bandName.empty() || text::eqNoCase(b.name, bandName)) {
            detail = &b;
            break;
        }
    if (!detail) return false;

    // The keys of this detail, outermost group first, and the first group that changes.
    std::vector<std::string> keys;
    keys.reserve(layout_.groups.size());
    size_t changed = layout_.groups.size();
    for (size_t g = 0; g < layout_.groups.size(); ++g) {
        auto v = source ? source(layout_.groups[g].key) : std::nullopt;
        keys.push_back(v ? v->key() : std::string());
        if (changed == layout_.groups.size() && (g >= groups_.size() || groups_[g].key != keys[g])) changed = g;
    }
    current_ = &source;
    closeGroupsFrom(changed);

    // The headers being opened keep with this detail.
    Scope current;
    current.source = &source;
    current.report = &reportFields_;
    int together = detail->h;
    for (size_t g = changed; g < layout_.groups.size(); ++g)
        if (layout_.groups[g].header) together += layout_.groups[g].header->h;
    // Once room is made they go on without a break; bands taller than the body then run
    // over its foot rather than leave a header alone or break page after page.
    makeRoom(std::min(together, layout_.bodyH + 1));
    for (size_t g = changed; g < layout_.groups.size(); ++g) {
        groups_.push_back({keys[g], 0, {}});
        if (layout_.groups[g].header) {
            current.count = 0;
            placeBodyBand(*layout_.groups[g].header, BandKind::GroupHeader, current, false);
        }
    }

    ++reportCount_;
    current.count = reportCount_;
    placeBodyBand(*detail, BandKind::Detail, current, false);
    ++pageCount_;
    for (size_t g = 0; g < groups_.size(); ++g) {
        ++groups_[g].count;
        if (layout_.groups[g].footer) keepValues(*layout_.groups[g].footer, source, groups_[g].lastValues);
    }
    if (layout_.reportFooter) keepValues(*layout_.reportFooter, source, reportValues_);
    if (layout_.pageHeader) keepValues(*layout_.pageHeader, source, pageValues_);
    if (layout_.pageFooter) keepValues(*layout_.pageFooter, source, pageValues_);
    current_ = nullptr;
    return true;
}

bool ReportEngine::finish() {
    if (!open_ || finished_) return false;
    closeGroupsFrom(0);
    if (layout_.reportFooter) {
        Scope s;
        s.saved = &reportValues_;
        s.report = &reportFields_;
        s.count = reportCount_;
        placeBodyBand(*layout_.reportFooter, BandKind::ReportFooter, s);
    }
    if (!pageStarted_) startPage();
    endPage();
    finished_ = true;
    return error_.empty();
}

}  // namespace mg::report
