#include "ui/console.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace mg::ui {
namespace {

std::string oneLine(std::string_view text) {
    std::string s;
    for (char c : text) {
        if (c == '|' || c == '\n') {
            if (!s.empty() && s.back() != ' ') s += ' ';
            continue;
        }
        if (c == '\r') continue;
        s += c;
    }
    return s;
}

}  // namespace

int ConsoleUserInterface::message(const Message& m) {
    std::string line;
    if (!m.caption.empty()) line = m.caption + ": ";
    line += oneLine(m.text);
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
    return m.defaultButton;
}

int ConsoleUserInterface::waitRetry(std::string_view text, int ticks) {
    std::fprintf(out_, "Wait Message: Process is waiting for files to unlock: %s\n", oneLine(text).c_str());
    if (workDone_) {
        // Work went through since the last message: the wait it belonged to is over.
        const uint64_t work = workDone_();
        if (work != workAtLastWait_) resetRetries();
        workAtLastWait_ = work;
    }
    auto cancelled = [this] {
        if (!interrupt_ || !*interrupt_) return false;
        std::fprintf(out_, "Wait Message: Cancel: the run was cancelled while it waited\n");
        std::fflush(out_);
        return true;
    };
    if (cancelled()) return 0;
    if (retries_ >= maxRetries_) {
        std::fprintf(out_, "Wait Message: giving up after %d retries\n", retries_);
        std::fflush(out_);
        return 0;
    }
    for (int t = ticks; t >= 1; --t) {
        std::fprintf(out_, "Wait Message: &Retry (%d)\n", t);
        std::fflush(out_);
        // The tick is slept in short slices, so that a Cancel ends the wait within one of them.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(tickMs_);
        while (std::chrono::steady_clock::now() < until) {
            if (cancelled()) return 0;
            std::this_thread::sleep_until(std::min(until, std::chrono::steady_clock::now() + std::chrono::milliseconds(50)));
        }
    }
    if (cancelled()) return 0;
    ++retries_;
    return 1;
}

void ConsoleUserInterface::halt(std::string_view text) {
    std::fprintf(out_, "%s\n", oneLine(text).c_str());
    std::fflush(out_);
    markHalted(text);
}

void ConsoleUserInterface::setPercentText(std::string_view text) {
    (void)text;  // the command line stays quiet while it works
}

}  // namespace mg::ui
