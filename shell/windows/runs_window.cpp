#include "shell/windows/runs_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "data/context.h"
#include "maintenance/integrity.h"
#include "maintenance/run_history.h"
#include "shell/settings.h"
#include "shell/undo_run.h"
#include "ui/widgets/qt_ui.h"

namespace mg::shell {

RunsWindow::RunsWindow(const db::Settings& settings, QWidget* parent)
    : QDialog(parent), ctx_(std::make_unique<Context>(settings)), ui_(std::make_unique<ui::QtUserInterface>(this)) {
    setWindowTitle("Import Runs");
    history_ = std::make_unique<history::RunHistory>(Session{*ctx_, *ui_});
    list_ = new QTableWidget(this);
    list_->setColumnCount(9);
    list_->setHorizontalHeaderLabels({"Run", "Kind", "Started", "Station / folder", "From", "First", "Last", "Total", "Outcome"});
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setStretchLastSection(true);
    takeBack_ = new QPushButton("&Take Back", this);
    auto* close = new QPushButton("&Close", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(takeBack_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    connect(takeBack_, &QPushButton::clicked, this, &RunsWindow::takeBackSelected);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    resize(820, 360);
}

RunsWindow::~RunsWindow() = default;

RunsWindow* RunsWindow::start(const db::Settings& settings, QWidget* parent) {
    auto* w = new RunsWindow(settings, parent);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    w->refresh();
    return w;
}

bool RunsWindow::refresh() {
    list_->setRowCount(0);
    if (!ctx_->connection() || !history_->open()) {
        ui_->message("The import runs cannot be read: " + (ctx_->connection() ? history_->why() : ctx_->lastError().driverText),
                     "Import Runs", ui::Icon::Warning);
        takeBack_->setEnabled(false);
        return false;
    }
    std::vector<history::RunInfo> runs = history_->runs();
    list_->setRowCount(static_cast<int>(runs.size()));
    int row = 0;
    for (auto it = runs.rbegin(); it != runs.rend(); ++it, ++row) {
        const history::RunInfo& r = *it;
        std::string outcome = r.outcome;
        if (r.kind == history::kUndoRun) outcome += " (takes back run " + std::to_string(r.undoOf) + ")";
        if (r.undoneBy) outcome += " (taken back by run " + std::to_string(r.undoneBy) + ")";
        const std::string cells[] = {std::to_string(r.runId), r.kind, r.started, r.station + " / " + r.folder, std::to_string(r.fromRef),
                                     std::to_string(r.firstRef), std::to_string(r.lastRef), r.total.toString(2), outcome};
        for (int c = 0; c < 9; ++c) list_->setItem(row, c, new QTableWidgetItem(QString::fromStdString(cells[c])));
    }
    if (row > 0) list_->selectRow(0);
    takeBack_->setEnabled(row > 0);
    return true;
}

void RunsWindow::takeBackSelected() {
    const int row = list_->currentRow();
    if (row < 0 || !list_->item(row, 0)) return;
    const int32_t runId = list_->item(row, 0)->text().toInt();
    Session s{*ctx_, *ui_};
    TableUse tables(s, {TableId::BatchDetails, TableId::BatchH, TableId::DiaryAttachments, TableId::TimeDayBook, TableId::FeesImported,
                        TableId::SQLResultD});
    if (!tables.ok()) return;
    TakeBack t = takeBack(s, *history_, runId, productIniPath(), [&](const UndoPlan& plan) {
        std::string text = "Take back run " + std::to_string(plan.run.runId) + " (" + plan.run.kind + ", " + plan.run.started + ")?|";
        const size_t shown = std::min<size_t>(plan.steps.size(), 12);
        for (size_t i = 0; i < shown; ++i) text += "|" + plan.steps[i];
        if (shown < plan.steps.size()) text += "|... and " + std::to_string(plan.steps.size() - shown) + " more";
        return ui_->message(text, "Import Runs", ui::Icon::Question, ui::ButtonYes | ui::ButtonNo, ui::ButtonNo) == ui::ButtonYes;
    });
    if (!t.text.empty()) ui_->message(t.text, "Import Runs", t.ok ? ui::Icon::Information : ui::Icon::Warning);
    refresh();
}

}  // namespace mg::shell
