#include "fees/fee_reports.h"

#include <algorithm>

#include "data/dates.h"
#include "data/table.h"
#include "data/text.h"
#include "data/utf8.h"
#include "fees/report_layouts.h"

namespace mg::fees {
namespace {

using report::Fields;

}  // namespace

FeeReport::FeeReport(Session s, ui::ProgressView& view) : Process(s.ui, view), s_(s) {}

FeeReport::~FeeReport() = default;

bool FeeReport::prepare() {
    Context& ctx = s_.ctx;
    ctx.globalRequest = 0;
    ctx.globalResponse = 0;
    localResponse_ = RequestCancelled;
    tables_ = openTables();
    if (!tables_->ok()) {
        tables_.reset();
        ctx.globalResponse = RequestCancelled;
        return false;
    }
    Table& driving = ctx.table(drivingTable());
    toProcess_ = driving.records();
    processed_ = 0;
    view_.setCaption("Generating Report");
    view_.setUserText("");
    view_.setPercentText("0% Completed");
    driving.sendOption("QUICKSCAN=on");
    prepared_ = true;
    return true;
}

void FeeReport::opened() {
    if (!prepared_) return;
    Table& driving = s_.ctx.table(drivingTable());
    reader_ = std::make_unique<View>(driving, order());
    reader_->setFilter("");
    if (reader_->open() != NoError) {
        standardWarning(s_, WarnViewOpenError);
        reader_.reset();
    }
    if (!readNext()) {
        // No row: no report, no preview, no message.
        localResponse_ = RequestCancelled;
        endLoop();
        return;
    }
    engine_ = std::make_unique<report::ReportEngine>(layout());
    if (engine_->open(pageFolder)) {
        engine_->setDateStamp(dates::today());
        engine_->setTimeStamp(dates::now());
    }
    reportOpened(*engine_);
}

std::unique_ptr<report::ReportEngine> FeeReport::emptyReport() {
    auto engine = std::make_unique<report::ReportEngine>(layout());
    if (!engine->open(pageFolder)) return nullptr;
    engine->setDateStamp(dates::today());
    engine->setTimeStamp(dates::now());
    reportOpened(*engine);
    engine->finish();
    return engine;
}

bool FeeReport::readNext() {
    if (!reader_) return false;
    const int rc = reader_->next();
    ++processed_;
    if (shownPercent() < 100) {
        int64_t percent = toProcess_ > 0 ? processed_ * 100 / toProcess_ : 100;
        showPercent(static_cast<int>(std::min<int64_t>(percent, 100)));
    }
    if (rc == NoError) return true;
    if (rc != NotFoundErr) standardWarning(s_, WarnRecordFetchError, "");
    reader_->close();
    reader_.reset();
    return false;
}

void FeeReport::cycle() {
    if (!prepared_ || ended()) return;
    for (int i = 0; i < kRecordsPerCycle; ++i) {
        handleRow();
        if (!readNext()) {
            localResponse_ = RequestCompleted;
            endLoop();
            return;
        }
    }
}

void FeeReport::cancelConfirmed() {
    localResponse_ = RequestCancelled;
    endLoop();
}

void FeeReport::finish() {
    if (!prepared_) return;
    Context& ctx = s_.ctx;
    if (reader_) {
        reader_->close();
        reader_.reset();
    }
    ctx.table(drivingTable()).sendOption("QUICKSCAN=off");
    if (localResponse_ == RequestCompleted && engine_) {
        engine_->finish();
    } else {
        // Cancelled: nothing is previewed or printed.
        engine_.reset();
        lines_.clear();
    }
    tables_.reset();
    prepared_ = false;
    ctx.globalResponse = localResponse_;
}

void FeeReport::lookUp(TableId table, Key key) {
    if (s_.ctx.table(table).get(key) != NoError) s_.ctx.rec(table).clear();
}

void FeeReport::printLine(const Fields& fields, std::string groupKey, std::vector<std::string> cells) {
    if (engine_) engine_->printDetail(fields.source());
    lines_.push_back({std::move(groupKey), std::move(cells)});
}

std::string FeeReport::csv() const {
    auto row = [](const std::vector<std::string>& cells) {
        std::string out;
        for (size_t i = 0; i < cells.size(); ++i) out += (i ? "," : "") + text::csvCell(cells[i]);
        return out + "\r\n";
    };
    const std::vector<std::string> titles = csvTitles();
    std::string out = row(titles);
    for (const Line& l : lines_) out += row(l.cells);
    // A count per fee earner, in the order the groups were printed, then the total: the
    // first column says which, the last holds the count.
    std::vector<std::string> blank(titles.size());
    for (size_t i = 0; i < lines_.size();) {
        size_t j = i;
        while (j < lines_.size() && lines_[j].groupKey == lines_[i].groupKey) ++j;
        std::vector<std::string> count = blank;
        count[0] = "Count";
        count[1] = lines_[i].cells[1];
        count[2] = lines_[i].cells[2];
        count.back() = std::to_string(j - i);
        out += row(count);
        i = j;
    }
    std::vector<std::string> total = blank;
    total[0] = "Total";
    total.back() = std::to_string(lines_.size());
    out += row(total);
    return out;
}

// ---- fees to import ------------------------------------------------------------------------

std::unique_ptr<TableUse> FeesToImportReport::openTables() {
    // dbo.diary is opened with the others, not read.
    return std::make_unique<TableUse>(s_, std::initializer_list<TableId>{TableId::DiaryAttFees, TableId::Handlers, TableId::Diary,
                                                                        TableId::TemplateDocuments, TableId::Matters});
}

Key FeesToImportReport::order() const { return DAF::KEYCASE; }

report::ReportLayout FeesToImportReport::layout() const { return feesToImportLayout(); }

std::vector<std::string> FeesToImportReport::csvTitles() const {
    return {"Line", "Fee earner", "Fee earner name", "Matter", "Matter description", "Document", "Document name", "Diary ID", "Count"};
}

void FeesToImportReport::handleRow() {
    Context& ctx = s_.ctx;
    ctx.set(MAT::CODE, ctx.get(DAF::CASECODE));
    lookUp(TableId::Matters, MAT::MATTERKEY);
    ctx.set(DCC::CODE, ctx.get(DAF::NAME));
    lookUp(TableId::TemplateDocuments, DCC::KEYCODE);
    ctx.set(HAN::CODE, ctx.get(DAF::FNCODE));
    lookUp(TableId::Handlers, HAN::FEEEARN);

    Fields f;
    const std::string fe = std::string(ctx.trimmed(DAF::FNCODE)), name = std::string(ctx.trimmed(HAN::NAME));
    const std::string matter = std::string(ctx.trimmed(DAF::CASECODE)), description = std::string(ctx.trimmed(MAT::DESCRIPTION));
    const std::string document = std::string(ctx.trimmed(DAF::NAME)), documentName = std::string(ctx.trimmed(DCC::NAME));
    const int64_t diaryId = ctx.get(DAF::DIARYID);
    f.set("DAF:FNCODE", fe).set("HAN:NAME", name).set("DAF:CASECODE", matter).set("MAT:DESCRIPTION", description);
    f.set("DAF:NAME", document).set("DCC:NAME", documentName).set("DAF:DIARYID", Decimal(diaryId));
    printLine(f, report::Value::ofText(fe).key(),
              {"Detail", fe, name, matter, description, document, documentName, std::to_string(diaryId), ""});
}

// ---- imported fees -------------------------------------------------------------------------

std::unique_ptr<TableUse> ImportFeesReport::openTables() {
    return std::make_unique<TableUse>(s_, std::initializer_list<TableId>{TableId::FeesImported, TableId::Handlers, TableId::Matters});
}

Key ImportFeesReport::order() const { return FIMP::KEYFEMATTER; }

report::ReportLayout ImportFeesReport::layout() const { return importFeesLayout(); }

std::vector<std::string> ImportFeesReport::csvTitles() const {
    return {"Line", "Fee earner", "Fee earner name", "Matter", "Matter description", "FE", "Task",
            "Comment", "Charge", "Track Ref", "Date imported", "Count"};
}

void ImportFeesReport::reportOpened(report::ReportEngine& engine) {
    const int32_t date = date_;
    engine.setReportFields([date](std::string_view field) -> std::optional<report::Value> {
        if (field == "GLO:REPORTDATE") return report::Value::ofNumber(Decimal(date));
        return std::nullopt;
    });
}

void ImportFeesReport::handleRow() {
    Context& ctx = s_.ctx;
    // Other dates' rows are read and counted, not printed. No date (0) matches no row, not
    // even a row logged without a date.
    if (date_ == dates::kNoDate || ctx.get(FIMP::DATEIMPORTED) != date_) return;
    ctx.set(MAT::CODE, ctx.get(FIMP::MATTER));
    lookUp(TableId::Matters, MAT::MATTERKEY);
    // The log's fee earner may be longer than a handler's code: its first 3 characters.
    ctx.set(HAN::CODE, std::string(utf8::cut(ctx.get(FIMP::FE), 3)));
    lookUp(TableId::Handlers, HAN::FEEEARN);

    Fields f;
    const std::string fe = std::string(ctx.trimmed(FIMP::FE)), name = std::string(ctx.trimmed(HAN::NAME));
    const std::string matter = std::string(ctx.trimmed(FIMP::MATTER)), description = std::string(ctx.trimmed(MAT::DESCRIPTION));
    const std::string task = std::string(ctx.trimmed(FIMP::TASK)), comment = std::string(ctx.trimmed(FIMP::COMMENT));
    const Decimal charge = ctx.get(FIMP::CHARGE);
    const int64_t trackRef = ctx.get(FIMP::TRACKREF);
    f.set("FIMP:FE", fe).set("HAN:NAME", name).set("FIMP:MATTER", matter).set("MAT:DESCRIPTION", description);
    f.set("FIMP:TASK", task).set("FIMP:COMMENT", comment).set("FIMP:CHARGE", charge).set("FIMP:TRACKREF", Decimal(trackRef));
    f.set("FIMP:DATEIMPORTED", Decimal(date_));
    printLine(f, report::Value::ofText(fe).key(),
              {"Detail", fe, name, matter, description, fe, task, comment, charge.toString(2), std::to_string(trackRef),
               dates::toIsoDate(date_), ""});
}

}  // namespace mg::fees
