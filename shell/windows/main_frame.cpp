#include "shell/windows/main_frame.h"

#include <memory>

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QStatusBar>

#include "data/ini.h"
#include "maintenance/windows/browse_window.h"
#include "shell/settings.h"
#include "shell/windows/main_setup.h"
#include "shell/windows/runs_window.h"
#include "ui/widgets/printer.h"
#include "ui/widgets/progress_window.h"
#include "ui/widgets/styler.h"

#include "fees/import_fees.h"
#include "fees/windows/fee_report_windows.h"
#include "outlays/outlay_import.h"

namespace mg::shell {

const ui::WindowDef& mainFrameDef() {
    using K = ui::ControlKind;
    // The menu of the frame: each item starts its command (connected in the constructor).
    static const ui::WindowDef def{
        .caption = "Tallowby : Import Document Outlays & Fees",
        .width = 505,
        .height = 319,
        .icon = "WAFRAME.ICO",
        .resizable = true,
        .controls =
            {
                {.kind = K::MenuBar, .name = "?MENUBAR"},
                {.kind = K::Menu, .name = "?FILEMENU", .text = "&File"},
                {.kind = K::Item, .name = "?PRINTSETUP", .text = "&Print Setup ...", .status = "Setup printer"},
                {.kind = K::Separator},
                {.kind = K::Item, .name = "?EXIT", .text = "E&xit", .status = "Exit this application"},
                {.kind = K::Menu, .name = "?EDITMENU", .text = "&Outlays"},
                {.kind = K::Item, .name = "?ITEM7", .text = "Last Docment TrackRef"},
                {.kind = K::Separator},
                {.kind = K::Item, .name = "?SETUPDOCUMENTOUTLAYS", .text = "Document Outlays"},
                {.kind = K::Separator},
                {.kind = K::Item, .name = "?OUTLAYSIMPORTOUTLAYS", .text = "Import Outlays"},
                {.kind = K::Menu, .name = "?FEES", .text = "Fees"},
                {.kind = K::Item, .name = "?FEESDOCUMENTFEES", .text = "Document Fees"},
                {.kind = K::Separator},
                {.kind = K::Item, .name = "?FEESITEM14", .text = "Fees to Import"},
                {.kind = K::Separator},
                {.kind = K::Item, .name = "?FEESIMPORTFEES", .text = "Import Fees "},
                {.kind = K::Separator},
                {.kind = K::Item, .name = "?FEESFEESIMPORTEDREPORT", .text = "Fees Imported Report"},
                // The program's own, after the system's controls so that their numbers stay.
                {.kind = K::Menu, .name = "?RUNSMENU", .text = "&Runs"},
                {.kind = K::Item, .name = "?IMPORTRUNS", .text = "Import Runs", .status = "The import runs, and taking one back"},
            },
    };
    return def;
}

MainFrame::MainFrame(db::Settings settings, QWidget* parent)
    : QMainWindow(parent),
      settings_(std::move(settings)),
      ctx_(settings_),
      words_(ctx_),
      controls_(ui::buildWindow(*this, mainFrameDef())),
      procedure_(*this, controls_, ui::StyleFrame) {
    // The status texts of the menu items show in a status bar below the client area.
    resize(width(), height() + statusBar()->sizeHint().height());

    auto on = [this](const char* name, void (MainFrame::*command)()) {
        if (QAction* a = controls_.action(name)) connect(a, &QAction::triggered, this, command);
    };
    on("?PRINTSETUP", &MainFrame::printSetup);
    if (QAction* a = controls_.action("?EXIT")) connect(a, &QAction::triggered, this, &QWidget::close);
    on("?ITEM7", &MainFrame::lastTrackRef);
    on("?SETUPDOCUMENTOUTLAYS", &MainFrame::documentOutlays);
    on("?OUTLAYSIMPORTOUTLAYS", &MainFrame::importOutlays);
    on("?IMPORTRUNS", &MainFrame::importRuns);
    on("?FEESDOCUMENTFEES", &MainFrame::documentFees);
    on("?FEESIMPORTFEES", &MainFrame::importFees);
    on("?FEESITEM14", &MainFrame::feesToImportReport);
    on("?FEESFEESIMPORTEDREPORT", &MainFrame::feesImportedReport);
}

MainFrame::~MainFrame() = default;

void MainFrame::printSetup() { ui::printerSetup(this); }

void MainFrame::lastTrackRef() { MainSetup::start(settings_, this); }

// Each choice starts a list of its own on a context of its own.
void MainFrame::documentOutlays() { browse::BrowseWindow::start(browse::ListWindow::DocOutlays, settings_, this); }

void MainFrame::documentFees() { browse::BrowseWindow::start(browse::ListWindow::DocFees, settings_, this); }

void MainFrame::importRuns() { RunsWindow::start(settings_, this); }

void MainFrame::importOutlays() {
    if (importing_) return;
    importing_ = true;
    // The import runs on the frame's context inside this command: the frame serves no other
    // command (and does not close) until it has ended. Every other window stays usable.
    menuBar()->setEnabled(false);
    // LOC:LASTTRACKREF: where the last run stopped (0 without the key). A product INI file
    // that is there but does not give a number stops the import before it posts anything.
    const std::string productIni = productIniPath();
    const int32_t last = lastTrackRefArgument(productIni);
    ui::runProcessWindow(this, [&](ui::ProgressWindow& window, ui::UserInterface& ui) -> std::unique_ptr<ui::Process> {
        if (const std::string refusal = outlayImportRefusal(productIni); !refusal.empty()) {
            ui.message(refusal, "Outlay Import", ui::Icon::Error);
            return nullptr;
        }
        importWindow_ = &window;
        auto import = std::make_unique<outlays::OutlayImport>(Session{ctx_, ui}, window, last, productIni);
        outlays::StartChoice choice;
        choice.fromTrackRef = chosenStart(productIni);
        choice.iniHasValue = ini::lookup(productIni, "DocumentOutlays", "LastTrackRef").value.has_value();
        choice.ask = true;  // a practice's whole history is posted again only after a question
        choice.command = "desktop";
        import->setStartChoice(choice);
        return import;
    });
    importWindow_ = nullptr;
    menuBar()->setEnabled(true);
    importing_ = false;
}

void MainFrame::importFees() {
    // A context of its own, kept by the factory for as long as the run lasts.
    auto ctx = std::make_shared<Context>(settings_);
    ui::startProcessWindow(this, [ctx](ui::ProgressWindow& window, ui::UserInterface& ui) -> std::unique_ptr<ui::Process> {
        return std::make_unique<fees::FeeImport>(Session{*ctx, ui}, window);
    });
}

void MainFrame::feesToImportReport() { fees::startFeesToImportReport(settings_, this); }

void MainFrame::feesImportedReport() { fees::ImportFeesReportFrom::start(settings_, this); }

void MainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // The frame brought forward during the outlay import brings the import's window with it.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && importWindow_) importWindow_->raise();
}

void MainFrame::closeEvent(QCloseEvent* event) {
    if (importing_) {
        // The outlay import runs on the frame's context: the frame stays until it has ended.
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        words_.leave();
        emit closed();
    }
}

}  // namespace mg::shell
