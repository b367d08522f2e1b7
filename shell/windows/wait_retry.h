#pragma once
// WAITRETRYMESSAGE: the message the batch posting shows when the control row is locked or
// cannot be written. It counts down once per second and retries by itself when the count
// runs out; the user may retry at once or give up.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <QDialog>
#include <QTimer>

#include "data/context.h"
#include "ui/widgets/controls.h"
#include "ui/widgets/procedure.h"
#include "ui/widgets/resizer.h"

class QPushButton;

namespace mg::shell {

const ui::WindowDef& waitRetryMessageDef();

class WaitRetryMessage : public QDialog {
    Q_OBJECT
public:
    // `timer`: the length of the countdown in ticks (3 when omitted). `ctx` (optional): the
    // caller's context, whose request and response words the window takes and leaves.
    explicit WaitRetryMessage(std::string_view message, std::optional<int32_t> timer = std::nullopt, QWidget* parent = nullptr,
                              Context* ctx = nullptr);
    ~WaitRetryMessage() override;

    // The length of a tick (one second; tests shorten it). Set before the window opens.
    void setTickMilliseconds(int ms) { tickMs_ = ms; }

    // 1: the caller is to retry; 0: it is to give up.
    uint8_t result() const { return return_; }
    int32_t ticksLeft() const { return timer_; }
    const std::string& messageShown() const { return message_; }
    ui::Controls& controls() { return controls_; }
    QPushButton* okButton() const;
    QPushButton* cancelButton() const;

    // Runs the window modally and returns result().
    uint8_t run();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void opening();
    void tick();
    void okPressed();
    void cancelPressed();
    void showCountdown();
    void fitMessage();

    std::string message_;   // LOC:MESSAGE
    int32_t timer_;         // LOC:TIMER
    uint8_t return_ = 0;    // LOC:RETURN
    int tickMs_ = 1000;
    QTimer ticker_;
    std::optional<ui::ProcedureWords> words_;
    ui::Controls controls_;
    ui::WindowResizeType resizer_;
    ui::WindowProcedure procedure_;
};

// WAITRETRYMESSAGE(message, timer): shows the message modally over `parent` and returns 1
// to retry, 0 to give up.
uint8_t waitRetryMessage(std::string_view message, std::optional<int32_t> timer = std::nullopt, QWidget* parent = nullptr,
                         Context* ctx = nullptr);

}  // namespace mg::shell
