#include "fees/windows/fee_report_windows.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "data/dates.h"
#include "fees/fee_reports.h"
#include "ui/picture.h"
#include "ui/preview/report_preview.h"
#include "ui/preview/report_print.h"
#include "ui/widgets/calendar.h"
#include "ui/widgets/progress_window.h"
#include "ui/widgets/qt_ui.h"
#include "ui/widgets/styler.h"

namespace mg::fees {
namespace {

void printPages(const std::vector<std::string>& pages, QWidget* parent) {
    std::string error;
    if (!ui::printReport(pages, parent, error) && !error.empty()) {
        ui::QtUserInterface qtUi(parent);
        qtUi.message(error, "Print", ui::Icon::Warning);
    }
}

// The preview of a finished run, modal to nothing: the run's other windows, the date window
// and the frame go on working while it is open. Print there prints the pages; the report's
// files go when the preview has closed.
void previewThenPrint(const std::shared_ptr<Context>& ctx, const std::shared_ptr<report::ReportEngine>& engine,
                      const QPointer<QWidget>& owner) {
    ui::showReportPreview(engine->pageList(), owner.data(), [ctx, engine, owner](int answer) {
        ctx->globalResponse = answer;
        if (answer == RequestCompleted) printPages(engine->pageList(), owner.data());
        engine->close();
    });
}

// One report run: a context of its own, the progress window, then the preview of the pages.
bool startReport(const db::Settings& settings, QWidget* parent,
                 std::function<std::unique_ptr<FeeReport>(Session, ui::ProgressView&)> make) {
    auto ctx = std::make_shared<Context>(settings);
    auto report = std::make_shared<FeeReport*>(nullptr);
    QPointer<QWidget> owner(parent);
    auto done = [ctx, report, owner](int response) {
        // The run ends and is deleted; the report it made goes on to the preview.
        std::shared_ptr<report::ReportEngine> engine;
        if (*report && (*report)->completed()) engine = (*report)->takeEngine();
        ReportRunEnd end{response, engine ? static_cast<int>(engine->pageList().size()) : 0,
                         engine ? engine->pageTexts() : std::vector<std::string>{}};
        if (reportRunEndHook()) reportRunEndHook()(end);
        if (!engine) return;
        QTimer::singleShot(0, [ctx, engine, owner] {
            if (!reportPreviewFunction()) {
                previewThenPrint(ctx, engine, owner);
                return;
            }
            reportPreviewFunction()(*ctx, engine->pageList(), owner.data());
            engine->close();
        });
    };
    return ui::startProcessWindow(
        parent,
        [ctx, report, make](ui::ProgressWindow& window, ui::UserInterface& ui) -> std::unique_ptr<ui::Process> {
            window.cancelButton()->setToolTip(QStringLiteral("Cancel Report"));
            std::unique_ptr<FeeReport> r = make(Session{*ctx, ui}, window);
            *report = r.get();
            return r;
        },
        done, ui::StyleReport);
}

}  // namespace

PreviewFunction& reportPreviewFunction() {
    static PreviewFunction f;
    return f;
}

std::function<void(const ReportRunEnd&)>& reportRunEndHook() {
    static std::function<void(const ReportRunEnd&)> hook;
    return hook;
}

bool startFeesToImportReport(const db::Settings& settings, QWidget* parent) {
    return startReport(settings, parent, [](Session s, ui::ProgressView& view) -> std::unique_ptr<FeeReport> {
        return std::make_unique<FeesToImportReport>(s, view);
    });
}

bool startImportFeesReport(const db::Settings& settings, int32_t reportDate, QWidget* parent) {
    return startReport(settings, parent, [reportDate](Session s, ui::ProgressView& view) -> std::unique_ptr<FeeReport> {
        return std::make_unique<ImportFeesReport>(s, view, reportDate);
    });
}

// ---- the date window -------------------------------------------------------------------------

const ui::WindowDef& importFeesReportFromDef() {
    using K = ui::ControlKind;
    static const ui::WindowDef def{
        .caption = "Imported Fees Report",
        .width = 206,
        .height = 81,
        .resizable = true,
        .controls =
            {
                {.kind = K::Sheet, .name = "?SHEET1", .x = 3, .y = 2, .w = 199, .h = 55},
                {.kind = K::Tab, .name = "?TAB1", .text = "Fees", .in = "?SHEET1"},
                {.kind = K::Prompt, .name = "?GLO:REPORTDATE:PROMPT", .text = "Imported Date:", .x = 17, .y = 28, .in = "?TAB1"},
                {.kind = K::Entry, .name = "?GLO:REPORTDATE", .x = 67, .y = 27, .w = 60, .h = 10, .picture = "d17", .in = "?TAB1"},
                {.kind = K::Button, .name = "?LOOKUPDATE", .text = "...", .x = 130, .y = 25, .w = 12, .h = 12, .in = "?TAB1"},
                {.kind = K::Button, .name = "?PRINTREPORT", .x = 164, .y = 25, .w = 19, .h = 14, .in = "?TAB1"},
                {.kind = K::Button, .name = "?CANCEL", .text = "&Cancel", .x = 152, .y = 60, .w = 49, .h = 14,
                 .tip = "Cancel Operation"},
            },
    };
    return def;
}

ImportFeesReportFrom::ImportFeesReportFrom(db::Settings settings, QWidget* parent)
    : QDialog(parent),
      settings_(std::move(settings)),
      ctx_(settings_),
      words_(ctx_),
      controls_(ui::buildWindow(*this, importFeesReportFromDef())),
      procedure_(*this, controls_, ui::StyleWindow, &resizer_) {
    // The date of any earlier use is replaced by today's.
    date_ = dates::today();
    if (auto* print = controls_.get<QPushButton>("?PRINTREPORT")) print->setIcon(ui::printIcon(this));
    // The window has no default button: Enter in the date entry takes the date typed and
    // presses nothing (a dialog's buttons would otherwise become default as they take focus).
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(controls_.get<QPushButton>("?LOOKUPDATE"), &QPushButton::clicked, this, &ImportFeesReportFrom::lookupDate);
    connect(controls_.get<QPushButton>("?PRINTREPORT"), &QPushButton::clicked, this, &ImportFeesReportFrom::printReport);
    connect(controls_.get<QPushButton>("?CANCEL"), &QPushButton::clicked, this, &ImportFeesReportFrom::cancel);
    if (auto* entry = controls_.get<QLineEdit>("?GLO:REPORTDATE"))
        connect(entry, &QLineEdit::editingFinished, this, [this] { takeTyped(); });
    pickDate = [this](const std::string& title, int32_t date) { return ui::calendar(title, date, this); };
    procedure_.onOpen = [this] { showDate(); };
    connect(&procedure_, &ui::WindowProcedure::opened, this, [this] {
        if (QWidget* entry = controls_.widget("?GLO:REPORTDATE")) ui::Controls::select(entry);
    });
}

ImportFeesReportFrom::~ImportFeesReportFrom() {
    // The entry loses the focus as the window goes: its editingFinished must not reach a
    // window already half destroyed.
    if (auto* entry = controls_.get<QLineEdit>("?GLO:REPORTDATE")) entry->disconnect(this);
}

ImportFeesReportFrom* ImportFeesReportFrom::start(const db::Settings& settings, QWidget* parent) {
    auto* window = new ImportFeesReportFrom(settings, parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(Qt::NonModal);
    window->show();
    return window;
}

void ImportFeesReportFrom::setReportDate(int32_t date) {
    date_ = date;
    showDate();
}

void ImportFeesReportFrom::showDate() { controls_.setNumber("?GLO:REPORTDATE", Decimal(date_)); }

bool ImportFeesReportFrom::takeTyped() {
    auto* entry = controls_.get<QLineEdit>("?GLO:REPORTDATE");
    if (!entry) return true;
    std::optional<int32_t> typed = picture::parseDate(entry->text().toStdString());
    if (!typed) {
        procedure_.rejected(entry, [this] { showDate(); });
        return false;
    }
    date_ = *typed;
    showDate();
    return true;
}

void ImportFeesReportFrom::lookupDate() {
    if (date_ == 0) date_ = dates::today();
    // The calendar's close box gives 0: no date, and no row matches.
    date_ = pickDate("Select Date", date_);
    showDate();
    update();
}

void ImportFeesReportFrom::printReport() {
    if (!takeTyped()) return;
    // The report keeps this date: changes made here later do not reach it. It is not the
    // window's own either: closing the window leaves it running.
    startImportFeesReport(settings_, date_, parentWidget());
}

void ImportFeesReportFrom::cancel() {
    words_.response = RequestCancelled;
    reject();
}

}  // namespace mg::fees
