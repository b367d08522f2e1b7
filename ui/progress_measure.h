#pragma once
// The records-to-process measure of a long process: a total taken once at the start, the
// share of it done so far, and the share done in the current timer event. The percentage
// it gives rises from 0 to 100 over the run and never passes 100, also when more rows come
// than were counted at the start.
//
// Widget-free; both imports and the reports use it.

#include <cstdint>

namespace mg::ui {

class ProgressMeasure {
public:
    // A new run: `total` units to process, at most `perCycle` units per timer event.
    void start(int64_t total, int64_t perCycle);
    // A new timer event: nothing done in it yet.
    void startCycle() { thisCycle_ = 0; }
    // Whether this timer event has done its share.
    bool cycleDone() const { return thisCycle_ >= perCycle_; }
    // One more row of `units` done. Returns the percentage: processed / total * 100 taken as
    // a whole number, capped at 100 (100 at once when the total was 0).
    int add(int64_t units);

    int percent() const { return percent_; }
    int64_t total() const { return total_; }
    int64_t processed() const { return processed_; }
    int64_t thisCycle() const { return thisCycle_; }
    int64_t perCycle() const { return perCycle_; }

private:
    int64_t total_ = 0;
    int64_t perCycle_ = 1;
    int64_t processed_ = 0;
    int64_t thisCycle_ = 0;
    int percent_ = 0;
};

}  // namespace mg::ui
