#include "ui/widgets/styler.h"

#include <string>

namespace mg::ui {
namespace {

HookObserver& observer() {
    static HookObserver o;
    return o;
}

}  // namespace

void setHookObserver(HookObserver o) { observer() = std::move(o); }

void reportHook(std::string_view call) {
    if (observer()) observer()(call);
}

WindowStyler& styler() {
    static WindowStyler s;
    return s;
}

// Styling comes with the window-styling work: until then these do nothing.

void WindowStyler::getColorDepth() { reportHook("getColorDepth"); }

void WindowStyler::load(std::string_view name) { reportHook("load(" + std::string(name) + ")"); }

void WindowStyler::setXP(int32_t) {}

void WindowStyler::setWindow(Controls&, int type) { reportHook("setWindow(" + std::to_string(type) + ")"); }

int32_t WindowStyler::sheetColor(Controls&, int type, int32_t, int32_t sheet) {
    reportHook("sheetColor(" + std::to_string(type) + ")");
    return sheet;
}

void WindowStyler::refresh(Controls&) { reportHook("refresh"); }

void WindowStyler::takeEvent(Controls&, const QEvent&, int, int32_t&, int32_t&) {}

}  // namespace mg::ui
