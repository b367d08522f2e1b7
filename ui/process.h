#pragma once
// A long process (the two imports, the two reports) as the event loop drives it: it does
// a bounded amount of work per timer event and returns, so windows repaint and Cancel is
// seen between cycles. The process never calls the event loop; the loop calls the process.
// One process class serves the progress window of the desktop program and the command
// line alike.

#include <csignal>
#include <string>
#include <string_view>

#include "ui/port.h"

namespace mg::ui {

class Process {
public:
    virtual ~Process() = default;

    // Prepares the run: opens the tables and sets the progress window's texts. False when
    // the run cannot start (the program has been halted); then nothing else is called.
    virtual bool prepare() = 0;
    // The progress window is open: the first row is read. May end the run at once.
    virtual void opened() = 0;
    // One timer event's share of the work.
    virtual void cycle() = 0;
    // The user pressed Cancel: asks, and on Yes ends the run after the current cycle.
    virtual void cancelPressed();
    // A cancel that needs no question (Ctrl+C on the command line).
    virtual void cancelConfirmed() = 0;
    // The end steps, once the event loop has ended: final messages, tables closed.
    virtual void finish() = 0;

    // Whether the event loop is to end (the window to close).
    bool ended() const { return ended_; }
    // The process's timer interval in hundredths of a second.
    virtual int timerHundredths() const { return 1; }
    // The response the run ended with (1 completed, 2 cancelled).
    virtual int response() const = 0;

protected:
    Process(UserInterface& ui, ProgressView& view) : ui_(ui), view_(view) {}
    // Posts the close of the window: the event loop ends after this event.
    void endLoop() { ended_ = true; }
    // The Cancel question; true when the user confirmed it.
    bool confirmCancel();
    // Shows a percentage on the bar and the percent line (right-aligned in three
    // characters followed by "% Completed") when it differs from what is shown.
    void showPercent(int percent);
    int shownPercent() const { return shown_; }

    UserInterface& ui_;
    ProgressView& view_;

private:
    bool ended_ = false;
    int shown_ = 0;
};

// Runs a process without windows: prepare, opened, cycles until the end, finish. When
// `interrupted` becomes non-zero (Ctrl+C) the run ends as a confirmed Cancel after the
// cycle in progress. Returns the process's response, or 0 when it could not start.
int runWithoutWindow(Process& process, const volatile std::sig_atomic_t* interrupted);

}  // namespace mg::ui
