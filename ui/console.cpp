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

// ---- the progress line -------------------------------------------------------------------

namespace {

std::string grouped(int64_t n) {
    std::string digits = std::to_string(n < 0 ? -n : n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}

std::string duration(double seconds) {
    const auto s = static_cast<int64_t>(seconds + 0.5);
    if (s < 60) return std::to_string(s) + " s";
    if (s < 3600) return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
    return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
}

}  // namespace

std::string ConsoleUserInterface::progressLine(int64_t done, int64_t aboutTotal, std::string_view what, double seconds) {
    std::string line = grouped(done) + " of about " + grouped(std::max(aboutTotal, done)) + " " + std::string(what);
    if (seconds >= 1 && done > 0) {
        const double rate = static_cast<double>(done) / seconds;
        line += ", " + grouped(static_cast<int64_t>(rate + 0.5)) + "/s";
        if (aboutTotal > done) line += ", about " + duration(static_cast<double>(aboutTotal - done) / rate) + " left";
    }
    return line;
}

void ConsoleUserInterface::setCounts(int64_t done, int64_t aboutTotal, std::string_view what) {
    if (!progress_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!progressShown_ && progressStart_ == std::chrono::steady_clock::time_point{}) progressStart_ = now;
    // A few times a second is enough for the eye and costs the run nothing.
    if (progressShown_ && now - progressDrawn_ < std::chrono::milliseconds(250)) return;
    progressDrawn_ = now;
    const double seconds = std::chrono::duration<double>(now - progressStart_).count();
    std::fprintf(out_, "\r%s\x1b[K", progressLine(done, aboutTotal, what, seconds).c_str());
    std::fflush(out_);
    progressShown_ = true;
}

void ConsoleUserInterface::clearProgress() {
    if (!progressShown_) return;
    std::fprintf(out_, "\r\x1b[K");
    progressShown_ = false;
}

int ConsoleUserInterface::message(const Message& m) {
    clearProgress();  // a message stands on a line of its own
    std::string line;
    if (!m.caption.empty()) line = m.caption + ": ";
    line += oneLine(m.text);
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
    return m.defaultButton;
}

int ConsoleUserInterface::waitRetry(std::string_view text, int ticks) {
    clearProgress();
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
    clearProgress();
    std::fprintf(out_, "%s\n", oneLine(text).c_str());
    std::fflush(out_);
    markHalted(text);
}

void ConsoleUserInterface::setPercentText(std::string_view text) {
    (void)text;  // the command line stays quiet while it works
}

}  // namespace mg::ui
