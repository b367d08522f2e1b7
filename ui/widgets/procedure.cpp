#include "ui/widgets/procedure.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTabWidget>

#include "ui/widgets/styler.h"

namespace mg::ui {

// ---- ProcedureWords ----------------------------------------------------------------------------

ProcedureWords::ProcedureWords(Context& ctx) : ctx_(&ctx), request_(ctx.globalRequest), originalRequest_(ctx.globalRequest) {
    ctx.globalRequest = NoRequest;
    ctx.globalResponse = NoResponse;
}

void ProcedureWords::leave() {
    if (left_) return;
    left_ = true;
    ctx_->globalResponse = response != NoResponse ? response : RequestCancelled;
}

// ---- WindowProcedure ---------------------------------------------------------------------------

WindowProcedure::WindowProcedure(QWidget& window, Controls& controls, int styleType, WindowResizeType* resizer)
    : window_(&window), controls_(controls), type_(styleType), resizer_(resizer) {
    window.installEventFilter(this);
    // A control taking the focus is "a control is selected" for the styling. The focus often
    // goes to a widget inside the control (a list's view, a sheet's tab bar): the control is
    // the nearest one holding it.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (!now || now->window() != window_) return;
        for (QWidget* w = now; w && w != window_; w = w->parentWidget()) {
            const int f = w->property("field").toInt();
            if (f > 0 && controls_.at(f) == w) {
                QFocusEvent focusIn(QEvent::FocusIn, Qt::OtherFocusReason);
                styler().takeEvent(controls_, focusIn, type_, hot, last, w);
                return;
            }
        }
    });
    // An entry that refuses a keystroke (its picture does not take it) counts as rejected.
    for (int f = controls.firstField(); f <= controls.lastField(); ++f) {
        if (auto* le = qobject_cast<QLineEdit*>(controls.at(f)))
            connect(le, &QLineEdit::inputRejected, this, [] { QApplication::beep(); });
        if (auto* tabs = qobject_cast<QTabWidget*>(controls.at(f))) {
            connect(tabs, &QTabWidget::currentChanged, this, [this, f](int) {
                currentTab = styler().sheetColor(controls_, type_, currentTab, f);
            });
        }
    }
}

WindowProcedure::~WindowProcedure() {
    if (window_) window_->removeEventFilter(this);
}

void WindowProcedure::rejected(QWidget* control, std::function<void()> redisplay) {
    QApplication::beep();
    if (redisplay) redisplay();
    Controls::select(control);
}

bool WindowProcedure::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) return false;
    styler().takeEvent(controls_, *event, type_, hot, last, watched);
    switch (event->type()) {
    case QEvent::Show:
        if (!open_) openWindow();
        break;
    case QEvent::WindowActivate:
        if (open_) {
            if (!initialised_) initialise();
            window_->update();
        }
        break;
    case QEvent::Resize:
        if (open_) {
            if (!initialised_) initialise();
            styler().refresh(controls_);
            if (resizer_ && !resizePosted_) {
                resizePosted_ = true;
                QMetaObject::invokeMethod(this, &WindowProcedure::afterResize, Qt::QueuedConnection);
            }
            window_->update();
        }
        break;
    case QEvent::Hide:
        if (open_ && !event->spontaneous() && resizer_) resizer_->destroy();
        break;
    default: break;
    }
    return false;
}

void WindowProcedure::openWindow() {
    open_ = true;
    if (onOpen) onOpen();
    styler().setWindow(controls_, type_);
    for (int f = controls_.firstField(); f <= controls_.lastField(); ++f) {
        const ControlDef* d = controls_.def(f);
        if (d && d->kind == ControlKind::Sheet) {
            currentTab = styler().sheetColor(controls_, type_, 0, f);
            break;
        }
    }
    styler().refresh(controls_);
    if (resizer_) {
        // A styled tab bar takes another height, and its sheet places the tab pages again
        // only when the layout request it posted arrives: place them now, so that the
        // resizer records the controls on the pages where the user will see them.
        for (int f = controls_.firstField(); f <= controls_.lastField(); ++f)
            if (auto* tabs = qobject_cast<QTabWidget*>(controls_.at(f))) QCoreApplication::sendPostedEvents(tabs, QEvent::LayoutRequest);
        resizer_->setMinimum(*window_);
        resizer_->initialize(controls_, WindowResizeType::Spread);
    }
    QMetaObject::invokeMethod(this, &WindowProcedure::afterOpen, Qt::QueuedConnection);
}

void WindowProcedure::afterOpen() {
    if (!window_) return;
    if (!initialised_) initialise();
    Controls::select(controls_.firstSelectable());
    emit opened();
}

void WindowProcedure::initialise() {
    initialised_ = true;
    if (onInit) onInit();
}

void WindowProcedure::afterResize() {
    resizePosted_ = false;
    if (!window_ || !window_->isVisible()) return;
    if (resizer_ && resizer_->initialized()) resizer_->resize();
    emit resized();
}

}  // namespace mg::ui
