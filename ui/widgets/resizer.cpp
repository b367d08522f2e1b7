#include "ui/widgets/resizer.h"

#include <string>

#include <QWidget>

#include "ui/widgets/controls.h"
#include "ui/widgets/styler.h"

namespace mg::ui {

int32_t controlType(const Controls& controls, int field) {
    const ControlDef* def = controls.def(field);
    if (!def || !qobject_cast<QWidget*>(controls.at(field))) return TypeNone;
    switch (def->kind) {
    case ControlKind::String: return TypeString;
    case ControlKind::Entry: return TypeEntry;
    case ControlKind::Button: return TypeButton;
    case ControlKind::Check: return TypeCheck;
    case ControlKind::Radio: return TypeRadio;
    case ControlKind::Spin: return TypeSpin;
    case ControlKind::MenuBar:
    case ControlKind::Menu: return TypeMenu;
    case ControlKind::Item:
    case ControlKind::Separator: return TypeItem;
    // A tab page is placed by its sheet; tool and status bars by the frame.
    case ControlKind::Tab:
    case ControlKind::ToolBar:
    case ControlKind::StatusBar: return TypeNone;
    default: return TypeOther;
    }
}

void WindowResizeType::setMinimum(QWidget& window) {
    reportHook("setMinimum");
    window.setMinimumSize(window.size());
}

Geometry WindowResizeType::clientGeometry() const {
    if (!client_) return {};
    const QWidget* top = client_->window();
    return {top->x(), top->y(), client_->width(), client_->height()};
}

void WindowResizeType::initialize(Controls& window, int strategy) {
    reportHook("initialize(" + std::to_string(strategy) + ")");
    destroy();
    client_ = window.client();
    origWin_ = previousWin_ = clientGeometry();
    for (int f = window.firstField(); f <= window.lastField(); ++f) {
        const int32_t type = controlType(window, f);
        if (type == TypeNone || type == TypeMenu || type == TypeItem) continue;
        auto* w = qobject_cast<QWidget*>(window.at(f));
        ResizeEntry e;
        e.id = f;
        e.type = type;
        strategiesFor(type, strategy, e.positional, e.resize);
        const QPoint at = client_ ? w->mapTo(client_, QPoint(0, 0)) : w->pos();
        e.pos = {at.x(), at.y(), w->width(), w->height()};
        queue_.push_back(e);
        widgets_.emplace_back(w);
    }
    keepButtonsBesideTheirEntries(queue_);
    initialized_ = true;
}

void WindowResizeType::resize() {
    reportHook("resize");
    if (!initialized_ || !client_) return;
    const Geometry now = clientGeometry();
    if (now.width == previousWin_.width && now.height == previousWin_.height) return;
    previousWin_ = now;

    // All moves are collected and shown in one repaint.
    QWidget* top = client_->window();
    const bool wasEnabled = top->updatesEnabled();
    top->setUpdatesEnabled(false);
    for (size_t i = 0; i < queue_.size(); ++i) {
        QWidget* w = widgets_[i];
        if (!w) continue;
        const Geometry g = placeControl(queue_[i], origWin_, now.width, now.height);
        // Controls inside a group or on a tab are placed relative to their parent, which has
        // been placed already (it comes earlier in control order).
        QPoint offset(0, 0);
        if (w->parentWidget() && w->parentWidget() != client_) offset = w->parentWidget()->mapTo(client_, QPoint(0, 0));
        const int width = queue_[i].type == TypeString && queue_[i].pos.width == 1 ? w->width() : g.width;
        w->setGeometry(g.x - offset.x(), g.y - offset.y(), width, g.height);
    }
    ++applied_;
    if (wasEnabled) top->setUpdatesEnabled(true);
}

void WindowResizeType::destroy() {
    if (!initialized_) return;
    reportHook("destroy");
    queue_.clear();
    widgets_.clear();
    initialized_ = false;
}

}  // namespace mg::ui
