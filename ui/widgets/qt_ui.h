#pragma once
// The user interface of the desktop program: message boxes, the wait/retry message, the
// system clipboard, halt.
//
// The wait/retry message is a window of the shell; the shell hands it in as a function
// (setDefaultWaitRetry at start-up, or per instance), so that this layer does not depend on
// the shell.

#include <functional>
#include <string>
#include <string_view>

#include <QPointer>
#include <QWidget>

#include "ui/port.h"

namespace mg::ui {

// The platform's pop-up menu at `at` (screen coordinates) from a "|"-separated text: a lone
// "-" is a separator line, a leading "~" greys an item, a leading "-" makes one that can be
// checked and a leading "+" one that is (opened as the active item). Returns the item chosen,
// counted from 1 without the separators, or 0.
int popupMenu(const std::string& text, QWidget* parent, const QPoint& at);

class QtUserInterface : public UserInterface {
public:
    using WaitRetry = std::function<int(std::string_view text, int ticks, QWidget* parent)>;

    explicit QtUserInterface(QWidget* parent = nullptr) : parent_(parent) {}

    // The window the message boxes belong to, and are modal to (none: they stand on their
    // own and hold back every window).
    void setParent(QWidget* parent) { parent_ = parent; }
    QWidget* parent() const { return parent_; }

    int message(const Message& m) override;
    using UserInterface::message;
    int waitRetry(std::string_view text, int ticks) override;
    void setClipboard(std::string_view text) override;
    void beep() override;
    // Shows the text, then ends the program with exit code 1 once control is back in the
    // event loop (every open event loop is left).
    void halt(std::string_view text) override;

    // The wait/retry message of this instance; when none is set, the program's default.
    void setWaitRetry(WaitRetry f) { waitRetry_ = std::move(f); }
    static void setDefaultWaitRetry(WaitRetry f);

private:
    QPointer<QWidget> parent_;
    WaitRetry waitRetry_;
};

}  // namespace mg::ui
