#include "maintenance/windows/charge_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "data/table.h"
#include "data/text.h"
#include "maintenance/windows/browse_window.h"
#include "ui/picture.h"
#include "ui/widgets/styler.h"

namespace mg::browse {
namespace {

std::string rtrim(std::string_view s) { return std::string(text::rtrim(s)); }

bool dittoKey(const QKeyEvent* k) {
    return (k->modifiers() & Qt::ControlModifier) && (k->key() == Qt::Key_Apostrophe || k->text() == "'");
}

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

int riUpdate(ChargeForm which, Session s) {
    return which == ChargeForm::Outlays ? riUpdateDocumentCharges(s, true) : riUpdateDocumentChargesFees(s, true);
}
int riDelete(ChargeForm which, Session s) {
    return which == ChargeForm::Outlays ? riDeleteDocumentCharges(s) : riDeleteDocumentChargesFees(s);
}

}  // namespace

ChargeFormWindow::ChargeFormWindow(ChargeForm which, Session s, int request, QWidget* parent)
    : QDialog(parent),
      which_(which),
      def_(chargeFormDef(which)),
      s_(s),
      request_(request),
      controls_(ui::buildWindow(*this, def_.layout)),
      procedure_(*this, controls_, ui::StyleForm, &resizer_),
      saved_(decl(def_.table)) {
    tables_ = std::make_unique<TableUse>(s_, def_.tables);
    started_ = tables_->ok();
    saved_ = rec();
    setWindowTitle(request_ == InsertRecord ? "Insert Detail" : "Change Detail");
    setModal(true);

    for (const FormEntry& e : def_.entries) {
        QLineEdit* le = entry(e.control);
        if (!le) continue;
        le->installEventFilter(this);
        connect(le, &QLineEdit::editingFinished, this, [this, &e] { left(e); });
        if (e.lookup)
            if (auto* b = controls_.get<QPushButton>(e.lookup->button)) {
                b->setAutoDefault(false);
                connect(b, &QPushButton::clicked, this, [this, &e] { lookupPressed(e); });
            }
    }
    auto* ok = controls_.get<QPushButton>("?OK");
    auto* cancel = controls_.get<QPushButton>("?CANCEL");
    ok->setDefault(true);
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &ChargeFormWindow::okPressed);
    connect(cancel, &QPushButton::clicked, this, &ChargeFormWindow::cancelPressed);

    procedure_.onOpen = [this] {
        // A blank code shows a blank description.
        for (const FormEntry& e : def_.entries)
            if (e.lookup && rtrim(rec().slot(e.column).text).empty()) s_.ctx.rec(e.lookup->code.table).clear();
        showEntries();
    };
    procedure_.onInit = [this] { refresh(); };
    connect(&procedure_, &ui::WindowProcedure::opened, this, [this] { focusFirst(); });
}

ChargeFormWindow::~ChargeFormWindow() = default;

Record& ChargeFormWindow::rec() { return s_.ctx.rec(def_.table); }
Table& ChargeFormWindow::table() { return s_.ctx.table(def_.table); }

QLineEdit* ChargeFormWindow::entry(const std::string& name) const { return controls_.get<QLineEdit>(name); }

void ChargeFormWindow::focusFirst() {
    if (QLineEdit* le = entry(def_.entries.front().control)) ui::Controls::select(le);
}

// Reads the description of every code (a code not found shows blank), then shows the record.
void ChargeFormWindow::refresh() {
    if (acceptingAll_) return;
    for (const FormEntry& e : def_.entries) {
        if (!e.lookup) continue;
        const CodeLookup& l = *e.lookup;
        s_.ctx.set(l.code, rec().slot(e.column).text);
        if (s_.ctx.table(l.code.table).get(l.key) != 0) s_.ctx.rec(l.code.table).clear();
    }
    showEntries();
}

void ChargeFormWindow::showEntries() {
    // An entry holding a refused amount keeps what the user typed until it is put right.
    for (const FormEntry& e : def_.entries)
        if (!refused_.count(e.control)) showEntry(e);
    for (const FormEntry& e : def_.entries)
        if (e.lookup) controls_.setText(e.lookup->descriptionControl, s_.ctx.rec(e.lookup->code.table).trimmed(e.lookup->description));
}

void ChargeFormWindow::showEntry(const FormEntry& e) {
    refused_.erase(e.control);
    const ColumnDecl& c = decl(def_.table).columns[e.column];
    if (c.type == ColType::Decimal) controls_.setNumber(e.control, rec().slot(e.column).dec);
    else controls_.setText(e.control, rtrim(rec().slot(e.column).text));
}

bool ChargeFormWindow::take(const FormEntry& e) {
    QLineEdit* le = entry(e.control);
    if (!le) return true;
    const ColumnDecl& c = decl(def_.table).columns[e.column];
    if (c.type != ColType::Decimal) {
        rec().setText(e.column, rtrim(picture::parseText(le->text().toStdString(), controls_.def(controls_.field(e.control))->picture)));
        return true;
    }
    // An amount that does not read through its picture or does not fit its column is
    // refused: a beep, and the entry selected again with what was typed, never replaced.
    const std::optional<Decimal> typed = controls_.number(e.control);
    if (!typed || !typed->fits(c.size, c.scale)) {
        refused_.insert(e.control);
        procedure_.rejected(le);
        return false;
    }
    refused_.erase(e.control);
    rec().setDecimal(e.column, *typed);
    return true;
}

// The code is looked up; a code not found opens the lookup at its first row. False when the
// user closed the lookup: the entry keeps the focus and nothing further happens.
bool ChargeFormWindow::validate(const FormEntry& e) {
    if (!e.lookup) return true;
    if (!e.required && rtrim(rec().slot(e.column).text).empty()) return true;
    return pickCode(e, true);
}

bool ChargeFormWindow::pickCode(const FormEntry& e, bool onlyWhenMissing) {
    const CodeLookup& l = *e.lookup;
    std::string code = rtrim(rec().slot(e.column).text);
    if (l.lookupWidth > 0 && static_cast<int>(code.size()) < l.lookupWidth) code.resize(l.lookupWidth, ' ');
    s_.ctx.set(l.code, code);
    if (onlyWhenMissing && s_.ctx.table(l.code.table).get(l.key) == 0) return true;
    s_.ctx.set(l.code, code);
    s_.ctx.globalRequest = SelectRecord;
    const int picked = runLookup(l.window, s_, this);
    if (picked == RequestCompleted) {
        std::string chosen = rtrim(s_.ctx.rec(l.code.table).get(l.code));
        if (l.keep > 0) chosen = picture::cutToCharacters(chosen, l.keep);
        rec().setText(e.column, chosen);
        return true;
    }
    return false;
}

void ChargeFormWindow::left(const FormEntry& e) {
    if (busy_ || acceptingAll_ || finished_) return;
    QLineEdit* le = entry(e.control);
    const std::string before = rec().slot(e.column).text;
    const Decimal beforeDec = rec().slot(e.column).dec;
    busy_ = true;
    bool ok = take(e);
    const bool changed = rec().slot(e.column).text != before || !(rec().slot(e.column).dec == beforeDec);
    // Leaving for Cancel takes what was typed without checking it.
    const bool toCancel = QApplication::focusWidget() == controls_.widget("?CANCEL");
    if (ok && changed && !toCancel && !validate(e)) {
        refresh();
        ui::Controls::select(le);
        ok = false;
    }
    busy_ = false;
    if (ok) refresh();
}

void ChargeFormWindow::lookupPressed(const FormEntry& e) {
    if (busy_ || finished_) return;
    busy_ = true;
    take(e);
    pickCode(e, false);
    busy_ = false;
    refresh();
}

void ChargeFormWindow::ditto(const FormEntry& e) {
    const Record& history = s_.ctx.history(def_.table);
    rec().slot(e.column) = history.slot(e.column);
    showEntry(e);
    refresh();
}

void ChargeFormWindow::okPressed() {
    if (busy_ || finished_) return;
    busy_ = true;
    acceptingAll_ = true;
    bool passed = true;
    for (const FormEntry& e : def_.entries) {
        if (!take(e) || !validate(e)) {
            passed = false;
            if (QLineEdit* le = entry(e.control)) ui::Controls::select(le);
            break;
        }
        showEntry(e);
    }
    acceptingAll_ = false;
    busy_ = false;
    if (!passed) {
        refresh();
        return;
    }
    complete();
}

// Band limits that do not rise are saved as typed, once the user has said so.
bool ChargeFormWindow::bandsConfirmed() {
    if (def_.bandLimits.empty()) return true;
    const std::vector<int> bands = bandsNotRising(rec(), def_.bandLimits);
    if (bands.empty()) return true;
    std::string list;
    for (int b : bands) list += (list.empty() ? "" : ", ") + std::to_string(b);
    const int answer = standardWarning(s_, WarnBandLimits, list);
    if (answer == ui::ButtonYes) return true;
    if (QLineEdit* le = entry("?DCH:BAND" + std::to_string(bands.front()))) ui::Controls::select(le);
    return false;
}

void ChargeFormWindow::complete() {
    if (request_ == InsertRecord || !rec().sameValues(saved_))
        if (!bandsConfirmed()) return;
    s_.ctx.history(def_.table) = rec();
    if (request_ == InsertRecord) {
        int code = 0;
        {
            WaitCursor wait;
            code = table().add();
        }
        if (code == 0) return finish(RequestCompleted);
        if (code == DupKeyErr) {
            const int key = table().duplicateKey();
            if (key >= 0 && decl(def_.table).keys[key].primary) {
                standardWarning(s_, WarnDuplicateKey, def_.primaryKeyName);
                focusFirst();
            }
            return;
        }
        standardWarning(s_, WarnInsertError);
        focusFirst();
        return;
    }
    for (;;) {
        response_ = RequestCancelled;
        int result = RiWritten;
        {
            WaitCursor wait;
            if (!rec().sameValues(saved_)) result = riUpdate(which_, s_);
        }
        if (result == RiWritten) return finish(RequestCompleted);
        if (result == RiChanged) {
            // The other station's row is shown; the ditto key recalls the user's values.
            refresh();
            focusFirst();
            return;
        }
        const int answer = standardWarning(s_, WarnRecordUpdateRetry);
        if (answer == ui::ButtonYes) continue;
        if (answer == ui::ButtonNo) return finish(RequestCancelled);
        refresh();
        focusFirst();
        return;
    }
}

bool ChargeFormWindow::closeAllowed() {
    if (response_ == RequestCompleted || (request_ != InsertRecord && request_ != ChangeRecord)) return true;
    // What was typed in the entry being left counts as entered.
    if (auto* le = qobject_cast<QLineEdit*>(QApplication::focusWidget()))
        for (const FormEntry& e : def_.entries)
            if (entry(e.control) == le) {
                const ColumnDecl& c = decl(def_.table).columns[e.column];
                if (c.type != ColType::Decimal) rec().setText(e.column, rtrim(le->text().toStdString()));
                else if (auto v = controls_.number(e.control); v && v->fits(c.size, c.scale)) rec().setDecimal(e.column, *v);
            }
    if (rec().sameValues(saved_) && refused_.empty()) return true;
    if (standardWarning(s_, WarnConfirmCancel) == ui::ButtonYes) return true;
    focusFirst();
    return false;
}

void ChargeFormWindow::cancelPressed() {
    if (finished_) return;
    response_ = RequestCancelled;
    if (closeAllowed()) finish(RequestCancelled);
}

void ChargeFormWindow::reject() { cancelPressed(); }

void ChargeFormWindow::closeEvent(QCloseEvent* event) {
    if (finished_) return QDialog::closeEvent(event);
    event->ignore();
    cancelPressed();
}

void ChargeFormWindow::finish(int response) {
    finished_ = true;
    response_ = response;
    done(response == RequestCompleted ? QDialog::Accepted : QDialog::Rejected);
}

bool ChargeFormWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && dittoKey(static_cast<QKeyEvent*>(event)))
        for (const FormEntry& e : def_.entries)
            if (entry(e.control) == watched) {
                ditto(e);
                return true;
            }
    // An amount its picture cannot take yet (too many digits for it) ends no editing when the
    // user leaves it, so it is refused here: the entry beeps and is selected again with what
    // was typed. Leaving it for Cancel only keeps it, for the question on closing.
    if (event->type() == QEvent::FocusOut && !busy_ && !acceptingAll_ && !finished_) {
        const Qt::FocusReason why = static_cast<QFocusEvent*>(event)->reason();
        if (why == Qt::TabFocusReason || why == Qt::BacktabFocusReason || why == Qt::MouseFocusReason || why == Qt::ShortcutFocusReason)
            for (const FormEntry& e : def_.entries) {
                QLineEdit* le = entry(e.control);
                if (le != watched || le->hasAcceptableInput()) continue;
                if (decl(def_.table).columns[e.column].type != ColType::Decimal) break;
                refused_.insert(e.control);
                if (QApplication::focusWidget() == controls_.widget("?CANCEL")) break;
                QMetaObject::invokeMethod(
                    this, [this, &e] { left(e); }, Qt::QueuedConnection);
                break;
            }
    }
    return QDialog::eventFilter(watched, event);
}

int runChargeForm(ChargeForm which, Session s, QWidget* parent) {
    ui::ProcedureWords words(s.ctx);
    const int request = words.request();
    if (request == DeleteRecord) {
        const ChargeFormDef& def = chargeFormDef(which);
        TableUse tables(s, def.tables);
        if (!tables.ok()) return words.leave(), s.ctx.globalResponse;
        if (standardWarning(s, WarnConfirmDelete) == ui::ButtonOk) {
            for (;;) {
                words.response = RequestCancelled;
                int result = RiError;
                {
                    WaitCursor wait;
                    result = riDelete(which, s);
                }
                if (result == RiWritten) {
                    words.response = RequestCompleted;
                    break;
                }
                if (standardWarning(s, WarnRecordDeleteRetry) != ui::ButtonYes) break;
            }
        }
        words.leave();
        return s.ctx.globalResponse;
    }
    if (request != InsertRecord && request != ChangeRecord) {
        words.leave();
        return s.ctx.globalResponse;
    }
    {
        ChargeFormWindow window(which, s, request, parent);
        if (window.started()) {
            window.exec();
            words.response = window.response();
        }
    }
    words.leave();
    return s.ctx.globalResponse;
}

}  // namespace mg::browse
