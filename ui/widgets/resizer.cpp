#include "ui/widgets/resizer.h"

#include <string>

#include <QWidget>

#include "ui/widgets/styler.h"

namespace mg::ui {

void WindowResizeType::setMinimum(QWidget& window) {
    reportHook("setMinimum");
    window.setMinimumSize(window.size());
}

// Resizing comes with the window-resizer work: until then these only keep their state.

void WindowResizeType::initialize(Controls&, int strategy) {
    reportHook("initialize(" + std::to_string(strategy) + ")");
    initialized_ = true;
}

void WindowResizeType::resize() { reportHook("resize"); }

void WindowResizeType::destroy() {
    if (!initialized_) return;
    reportHook("destroy");
    initialized_ = false;
}

}  // namespace mg::ui
