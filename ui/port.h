#pragma once
// The user-interface port: everything process logic says to the user goes through this
// small interface, never to a widget directly. Three implementations: Qt dialogs for the
// desktop program, the console for the command line, and a scripted one for tests that
// records every message and answers from a script.

#include <cstdint>
#include <string>
#include <string_view>

namespace mg::ui {

enum class Icon { None, Information, Question, Warning, Error };

// Buttons of a message box; a combination is their sum.
enum Button : int {
    ButtonOk = 1,
    ButtonYes = 2,
    ButtonNo = 4,
    ButtonCancel = 8,
    ButtonRetry = 16,
    ButtonIgnore = 32,
    ButtonAbort = 64,
};

struct Message {
    std::string text;      // a vertical bar is a line break
    std::string caption;   // empty: no caption
    Icon icon = Icon::None;
    int buttons = ButtonOk;
    int defaultButton = ButtonOk;
};

// The message text with each vertical bar turned into a line break.
std::string withLineBreaks(std::string_view text);

// What a long process shows while it runs: the progress window's texts and bar.
class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void setCaption(std::string_view text) = 0;
    virtual void setUserText(std::string_view text) = 0;
    virtual void setPercentText(std::string_view text) = 0;
    virtual void setBar(int percent) = 0;
    // How many items of about how many are done, for a view that shows counts (the command
    // line on a terminal). A process asks first, since an estimate may cost a query.
    virtual bool wantsCounts() const { return false; }
    virtual void setCounts(int64_t done, int64_t aboutTotal, std::string_view what) {
        (void)done, (void)aboutTotal, (void)what;
    }
};

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // Shows a message and waits for it to be closed; returns the button pressed.
    virtual int message(const Message& m) = 0;
    int message(std::string_view text, std::string_view caption = {}, Icon icon = Icon::None, int buttons = ButtonOk,
                int defaultButton = ButtonOk);

    // The wait/retry message of a locked control row: counts down from `ticks` seconds
    // and retries by itself. Returns 1 to retry, 0 to give up.
    virtual int waitRetry(std::string_view text, int ticks) = 0;

    // Places a text on the system clipboard (the command line leaves the clipboard alone).
    virtual void setClipboard(std::string_view text) = 0;

    virtual void beep() {}

    // Ends the program cleanly after showing `text`: the caller returns at once and the
    // program stops when control is back in its event loop (or in main).
    virtual void halt(std::string_view text) = 0;
    bool halted() const { return halted_; }
    const std::string& haltText() const { return haltText_; }

protected:
    void markHalted(std::string_view text) {
        halted_ = true;
        haltText_ = std::string(text);
    }

private:
    bool halted_ = false;
    std::string haltText_;
};

}  // namespace mg::ui
