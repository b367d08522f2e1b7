#include "maintenance/windows/browse_window.h"

#include <numeric>

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeView>

#include "maintenance/windows/browse_model.h"
#include "maintenance/windows/charge_form.h"
#include "ui/widgets/list_control.h"
#include "ui/widgets/own_context.h"
#include "ui/widgets/qt_ui.h"
#include "ui/widgets/styler.h"

namespace mg::browse {

struct BrowseWindow::Owned : ui::OwnContext {
    using OwnContext::OwnContext;
};

namespace {

constexpr int kListHeight = 104;  // dialog units: about ten rows
constexpr int kButtonW = 45, kButtonH = 14, kGap = 4;

std::vector<ListColumn> columnsOf(const ListWindowDef& def) {
    auto cols = parseListFormat(def.format);
    return cols ? *cols : std::vector<ListColumn>{};
}

}  // namespace

ui::WindowDef listWindowLayout(const ListWindowDef& def) {
    using K = ui::ControlKind;
    const std::vector<ListColumn> cols = columnsOf(def);
    const int formatWidth = std::accumulate(cols.begin(), cols.end(), 0, [](int s, const ListColumn& c) { return s + c.width; });
    const int actions = static_cast<int>(def.buttons.size()) - 1;  // all but Close
    // Room for the scroll bar and a little more, which the last column takes.
    const int listW = std::max({formatWidth + 24, actions * (kButtonW + kGap), 150});
    const int sheetW = listW + 16;
    const int sheetH = 18 + kListHeight + kGap + kButtonH + 8;
    ui::WindowDef w;
    w.caption = def.caption;
    w.width = sheetW + 8;
    w.height = 4 + sheetH + kGap + kButtonH + 4;
    w.resizable = true;
    w.controls.push_back({.kind = K::List, .name = "?BROWSE:1", .x = 12, .y = 20, .w = listW, .h = kListHeight, .tip = def.listTip});
    // The action buttons under the list, right-aligned; Close under the sheet.
    int x = 12 + listW - actions * kButtonW - (actions - 1) * kGap;
    for (const ListButton& b : def.buttons) {
        if (b.button == Button::Close) continue;
        w.controls.push_back({.kind = K::Button, .name = b.name, .text = b.text, .x = x, .y = 20 + kListHeight + kGap, .w = kButtonW,
                              .h = kButtonH, .tip = b.tip});
        x += kButtonW + kGap;
    }
    w.controls.push_back({.kind = K::Sheet, .name = "?CURRENTTAB", .x = 4, .y = 4, .w = sheetW, .h = sheetH});
    for (size_t i = 0; i < def.tabs.size(); ++i)
        w.controls.push_back({.kind = K::Tab, .name = "?TAB" + std::to_string(i + 1), .text = def.tabs[i], .in = "?CURRENTTAB"});
    const ListButton& close = def.buttons.back();
    w.controls.push_back({.kind = K::Button, .name = close.name, .text = close.text, .x = 4 + sheetW - kButtonW, .y = 4 + sheetH + kGap,
                          .w = kButtonW, .h = kButtonH, .tip = close.tip});
    return w;
}

int updateFormNotCompleted(Session s, ListWindow, int) {
    s.ctx.globalRequest = NoRequest;
    s.ctx.globalResponse = RequestCancelled;
    return RequestCancelled;
}

BrowseWindow::BrowseWindow(ListWindow which, Session s, QWidget* parent) : BrowseWindow(nullptr, which, s, parent) {}

BrowseWindow::BrowseWindow(std::unique_ptr<Owned> owned, ListWindow which, Session s, QWidget* parent)
    : QDialog(parent),
      owned_(std::move(owned)),
      which_(which),
      def_(listWindowDef(which)),
      s_(s),
      words_(s.ctx),
      controls_(ui::buildWindow(*this, listWindowLayout(def_))),
      procedure_(*this, controls_, ui::StyleBrowse, &resizer_) {
    tables_ = std::make_unique<TableUse>(s_, def_.engine.tables);
    started_ = tables_->ok();
    engine_ = std::make_unique<BrowseEngine>(s_, def_.engine, words_.request(), hooks());

    ui::ListControl* l = list();
    const std::vector<ListColumn> cols = columnsOf(def_);
    model_ = new BrowseModel(*engine_, cols, this);
    l->view()->setModel(model_);
    l->view()->setItemDelegate(new BrowseColumnDelegate(cols, controls_.units(), l->rowHeight(), this));
    for (size_t i = 0; i < cols.size(); ++i) l->view()->header()->resizeSection(static_cast<int>(i), controls_.units().x(cols[i].width));

    // The list and its buttons lie over the sheet and show on every tab.
    l->raise();
    for (const ListButton& b : def_.buttons) {
        auto* button = controls_.get<QPushButton>(b.name);
        if (!button) continue;
        button->raise();
        button->setAutoDefault(false);
        const Button which = b.button;
        connect(button, &QPushButton::clicked, this, [this, which] { accepted(which); });
    }
    if (auto* select = controls_.get<QPushButton>("?SELECT:2")) {
        // Select is the default button in select mode; otherwise it is hidden and disabled.
        const bool on = engine_->selectMode();
        select->setVisible(on);
        select->setEnabled(on);
        select->setDefault(on);
    }
    if (auto* sheet = controls_.get<QTabWidget>("?CURRENTTAB"))
        connect(sheet, &QTabWidget::currentChanged, this, [this](int tab) { engine_->tabChosen(tab); });

    connect(l, &ui::ListControl::scrollAction, this, [this](ui::ListScroll a) { engine_->processScroll(static_cast<Scroll>(a)); });
    connect(l, &ui::ListControl::thumbDropped, this, [this](int percent) {
        engine_->scrollDrag(percent);
        list()->setThumb(engine_->currentScroll());
    });
    connect(l, &ui::ListControl::rowChosen, this, [this](int row) { engine_->newSelection(false, row + 1); });
    connect(l, &ui::ListControl::rowDoubleClicked, this, [this](int) { engine_->alertKey(ListKey::DoubleClick); });
    connect(l, &ui::ListControl::rightClicked, this, [this](int row, QPoint) {
        if (row >= 0) engine_->newSelection(false, row + 1);
        engine_->newSelection(true, row + 1);
    });
    connect(l, &ui::ListControl::keyTyped, this, &BrowseWindow::typed);

    procedure_.onInit = [this] {
        if (started_) engine_->windowShown();
    };
    // A resize reloads the page once the resizer has placed the list at its new size, so
    // that the page holds as many rows as the list now shows.
    connect(&procedure_, &ui::WindowProcedure::resized, this, [this] {
        if (started_ && !finished_ && procedure_.initialised()) engine_->gainedFocus();
    });
    form_ = [this](Session fs, ListWindow list, int) {
        if (list == ListWindow::DocOutlays) return updateDocumentCharges(fs, this);
        if (list == ListWindow::DocFees) return updateDocFeesCharges(fs, this);
        return updateFormNotCompleted(fs, list, fs.ctx.globalRequest);
    };
    installEventFilter(this);
}

BrowseWindow::~BrowseWindow() {
    removeEventFilter(this);
    // The view lets go of the model before the engine the model shows goes.
    if (ui::ListControl* l = list()) l->view()->setModel(nullptr);
    engine_.reset();
}

ui::ListControl* BrowseWindow::list() const { return controls_.get<ui::ListControl>("?BROWSE:1"); }

BrowseWindow* BrowseWindow::start(ListWindow which, const db::Settings& settings, QWidget* parent) {
    auto owned = std::make_unique<Owned>(settings, parent);
    Context& ctx = *owned->ctx;
    ui::QtUserInterface& qtUi = *owned->ui;
    return ui::showOnOwnContext(new BrowseWindow(std::move(owned), which, Session{ctx, qtUi}, parent), qtUi);
}

BrowseHooks BrowseWindow::hooks() {
    BrowseHooks h;
    h.rowsShown = [this] { return list()->rowsShown(); };
    h.postCloseWindow = [this] { QMetaObject::invokeMethod(this, [this] { finish(); }, Qt::QueuedConnection); };
    h.postNewSelection = [this] {
        QMetaObject::invokeMethod(this, [this] { engine_->newSelection(false, list()->currentRow() + 1); }, Qt::QueuedConnection);
    };
    h.postAccepted = [this](Button b) { QMetaObject::invokeMethod(this, [this, b] { accepted(b); }, Qt::QueuedConnection); };
    h.selectInControl = [this](int n) { list()->setCurrentRow(n - 1); };
    h.bufferChanged = [this] {
        model_->reload();
        list()->setCurrentRow(engine_->currentChoice() - 1);
    };
    h.setChangeDelete = [this](bool on) {
        controls_.setEnabled("?CHANGE:4", on);
        controls_.setEnabled("?DELETE:4", on);
    };
    h.callForm = [this](int request) {
        form_(s_, which_, request);
        return s_.ctx.globalResponse;
    };
    h.popup = [this](const std::string& menu) { return popup(menu); };
    h.waitCursor = [](bool on) {
        if (on) QApplication::setOverrideCursor(Qt::WaitCursor);
        else QApplication::restoreOverrideCursor();
    };
    h.showScrollBar = [this](bool on) { list()->setScrollBarVisible(on); };
    h.setThumb = [this](int t) { list()->setThumb(t); };
    h.focusList = [this] { list()->view()->setFocus(Qt::OtherFocusReason); };
    h.closeWindow = [this] { finish(); };
    return h;
}

// A menu from "&Insert|~&Change|~&Delete": items split at '|', a leading '~' greys one.
int BrowseWindow::popup(const std::string& text) { return ui::popupMenu(text, this, QCursor::pos()); }

void BrowseWindow::accepted(Button b) {
    if (finished_) return;
    switch (b) {
    case Button::Insert: engine_->buttonInsert(); break;
    case Button::Change: engine_->buttonChange(); break;
    case Button::Delete: engine_->buttonDelete(); break;
    case Button::Select:
        if (engine_->selectMode()) engine_->selectPressed();
        break;
    case Button::Close: engine_->closePressed(); break;
    }
}

void BrowseWindow::typed(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    switch (key) {
    case Qt::Key_Insert: engine_->alertKey(ListKey::Insert); return;
    case Qt::Key_Delete: engine_->alertKey(ListKey::Delete); return;
    case Qt::Key_Backspace: engine_->alertKey(ListKey::Backspace); return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (modifiers & Qt::ControlModifier) engine_->alertKey(ListKey::CtrlEnter);
        return;
    default: break;
    }
    if (text.isEmpty()) return;
    const char c = text.at(0).toLatin1();
    if (c) engine_->alertKey(ListKey::Character, c);
}

void BrowseWindow::reject() {
    if (finished_) return;
    engine_->closePressed();
}

void BrowseWindow::finish() {
    if (finished_) return;
    finished_ = true;
    words_.response = engine_->localResponse();
    words_.leave();
    done(words_.response == RequestCompleted ? QDialog::Accepted : QDialog::Rejected);
}

// Every later gain of the focus reloads the page around the highlighted row, so that what
// other stations changed meanwhile shows (a resize does the same after the resizer).
bool BrowseWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && procedure_.initialised() && !finished_ && event->type() == QEvent::WindowActivate && !refreshPosted_) {
        refreshPosted_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                refreshPosted_ = false;
                if (!finished_) engine_->gainedFocus();
            },
            Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, event);
}

int runLookup(ListWindow which, Session s, QWidget* parent) {
    BrowseWindow window(which, s, parent);
    if (!window.started()) return s.ctx.globalResponse = RequestCancelled;
    window.exec();
    return s.ctx.globalResponse;
}

}  // namespace mg::browse
