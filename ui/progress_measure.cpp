#include "ui/progress_measure.h"

#include <algorithm>

namespace mg::ui {

void ProgressMeasure::start(int64_t total, int64_t perCycle) {
    total_ = std::max<int64_t>(total, 0);
    perCycle_ = std::max<int64_t>(perCycle, 1);
    processed_ = 0;
    thisCycle_ = 0;
    percent_ = 0;
}

int ProgressMeasure::add(int64_t units) {
    processed_ += units;
    thisCycle_ += units;
    if (percent_ < 100) {
        // Whole numbers throughout: the quotient truncated is the decimal one taken as a
        // whole number.
        int64_t p = total_ > 0 ? processed_ * 100 / total_ : 100;
        percent_ = static_cast<int>(std::clamp<int64_t>(p, 0, 100));
    }
    return percent_;
}

}  // namespace mg::ui
