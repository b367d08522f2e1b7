#pragma once
// The user interface of the command line: messages go to standard error, one line each
// (caption first when there is one); a question takes its default answer, since nobody
// is there to answer it; the wait/retry message counts down on standard error and retries
// by itself a bounded number of times before it gives up, so an unattended run never hangs.
// The bound is per wait, not per run: a wait is the wait/retry messages that follow one
// another while no work goes through, so a long run that meets many short lock conflicts
// gets the full number of retries for each of them.

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "ui/port.h"

namespace mg::ui {

class ConsoleUserInterface : public UserInterface, public ProgressView {
public:
    explicit ConsoleUserInterface(std::FILE* out = stderr, int maxRetries = 20) : out_(out), maxRetries_(maxRetries) {}

    int message(const Message& m) override;
    using UserInterface::message;
    int waitRetry(std::string_view text, int ticks) override;
    void setClipboard(std::string_view) override {}
    void halt(std::string_view text) override;

    // On a terminal a long run shows its progress on one line that rewrites itself: done, of
    // about how many, the rate and the time left, a few times a second. Redirected, nothing.
    void showProgress(bool on) { progress_ = on; }
    bool wantsCounts() const override { return progress_; }
    void setCounts(int64_t done, int64_t aboutTotal, std::string_view what) override;
    // The progress line as it reads after `seconds` (for the tests).
    static std::string progressLine(int64_t done, int64_t aboutTotal, std::string_view what, double seconds);

    void setCaption(std::string_view) override {}
    void setUserText(std::string_view) override {}
    void setPercentText(std::string_view text) override;
    void setBar(int) override {}

    // The retry count starts again (after a retry that succeeded).
    void resetRetries() { retries_ = 0; }
    // A count of the work that went through (the job's committed transactions): when it has
    // moved since the last wait/retry message, the next one starts a new wait. Without it
    // every message of the run counts towards the one bound.
    void countWaitsBy(std::function<uint64_t()> workDone) { workDone_ = std::move(workDone); }
    // Seconds a countdown tick lasts (tests shorten it).
    void setTickMilliseconds(int ms) { tickMs_ = ms; }
    // A flag that a signal handler sets (Ctrl+C): while it is set, a wait gives up at once.
    void setInterruptFlag(const volatile std::sig_atomic_t* flag) { interrupt_ = flag; }

private:
    std::FILE* out_;
    int maxRetries_;
    int retries_ = 0;
    int tickMs_ = 1000;
    std::function<uint64_t()> workDone_;
    uint64_t workAtLastWait_ = 0;
    const volatile std::sig_atomic_t* interrupt_ = nullptr;
    // The progress line: shown, when it was last drawn, and when the run started.
    void clearProgress();
    bool progress_ = false;
    bool progressShown_ = false;
    std::chrono::steady_clock::time_point progressStart_{}, progressDrawn_{};
};

}  // namespace mg::ui
