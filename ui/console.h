#pragma once
// The user interface of the command line: messages go to standard error, one line each
// (caption first when there is one); a question takes its default answer, since nobody
// is there to answer it; the wait/retry message counts down on standard error and retries
// by itself a bounded number of times before it gives up, so an unattended run never hangs.

#include <cstdio>

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

    void setCaption(std::string_view) override {}
    void setUserText(std::string_view) override {}
    void setPercentText(std::string_view text) override;
    void setBar(int) override {}

    // The retry count starts again (after a retry that succeeded).
    void resetRetries() { retries_ = 0; }
    // Seconds a countdown tick lasts (tests shorten it).
    void setTickMilliseconds(int ms) { tickMs_ = ms; }

private:
    std::FILE* out_;
    int maxRetries_;
    int retries_ = 0;
    int tickMs_ = 1000;
};

}  // namespace mg::ui
