#include "ui/process.h"

#include <cstdio>

namespace mg::ui {

bool Process::confirmCancel() {
    return ui_.message("This Process is incomplete... | If you cancel now your RESULTS MAY BE INCORRECT!! || Do you still wish to Cancel?",
                       "Cancel Process", Icon::Question, ButtonYes + ButtonNo, ButtonNo) == ButtonYes;
}

void Process::cancelPressed() {
    if (confirmCancel()) cancelConfirmed();
}

void Process::showPercent(int percent) {
    if (percent == shown_) return;
    shown_ = percent;
    view_.setBar(percent);
    char text[32];
    std::snprintf(text, sizeof text, "%3d%% Completed", percent);
    view_.setPercentText(text);
}

int runWithoutWindow(Process& process, const volatile std::sig_atomic_t* interrupted) {
    if (!process.prepare()) return 0;
    process.opened();
    bool cancelled = false;
    while (!process.ended()) {
        if (interrupted && *interrupted && !cancelled) {
            cancelled = true;
            process.cancelConfirmed();
            if (process.ended()) break;
        }
        process.cycle();
    }
    process.finish();
    return process.response();
}

}  // namespace mg::ui
