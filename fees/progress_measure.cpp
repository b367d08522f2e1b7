#include "fees/progress_measure.h"

#include <algorithm>

namespace mg::fees {

int64_t declaredRowSize(const TableDecl& table) {
    int64_t size = 0;
    for (const ColumnDecl& c : table.columns) {
        switch (c.type) {
        case ColType::Text:
        case ColType::ZText: size += c.size; break;
        case ColType::Int32: size += 4; break;
        case ColType::Int16:
        case ColType::UInt16: size += 2; break;
        case ColType::UInt8: size += 1; break;
        case ColType::Float64: size += 8; break;
        case ColType::Decimal: size += (c.size + 1) / 2; break;
        case ColType::Date:
        case ColType::Time: size += 4; break;
        case ColType::DateTime: size += 8; break;
        }
    }
    return size;
}

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

}  // namespace mg::fees
