#pragma once
// The progress window of the long processes (the two imports, the two reports) and the
// driver that runs a ui::Process in it.
//
// The driver: prepare() before the window is shown; once it is shown, opened() as a posted
// event; then a timer at the process's interval calls cycle(). A cycle is never re-entered:
// while a cycle, the opening or a Cancel is in progress (and so while a message box of the
// process is open) the timer is stopped, and a Cancel pressed meanwhile waits for the step
// in progress to finish. Cancel (the button, Escape or the close box) calls cancelPressed().
// When the process has ended: the timer stops, finish() runs, the window closes.

#include <functional>
#include <memory>
#include <string_view>

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include "ui/process.h"
#include "ui/widgets/controls.h"
#include "ui/widgets/procedure.h"
#include "ui/widgets/qt_ui.h"
#include "ui/widgets/styler.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace mg::ui {

// The progress window's layout.
const WindowDef& progressWindowDef();

class ProgressWindow : public QDialog, public ProgressView {
    Q_OBJECT
public:
    // `styleType`: the styling's type of the window (7 for an import, 8 for a report).
    explicit ProgressWindow(QWidget* parent = nullptr, int styleType = StyleProcess);
    ~ProgressWindow() override;

    void setCaption(std::string_view text) override;
    void setUserText(std::string_view text) override;
    void setPercentText(std::string_view text) override;
    void setBar(int percent) override;

    Controls& controls() { return controls_; }
    QProgressBar* thermometer() const;
    QLabel* userString() const;
    QLabel* pctText() const;
    QPushButton* cancelButton() const;

    // Closes the window for good (the driver, once the process has ended).
    void closeForGood();

signals:
    // Cancel was asked for: the button, Escape or the close box.
    void cancelRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    Controls controls_;
    WindowProcedure procedure_;
    bool closing_ = false;
};

class ProcessDriver : public QObject {
    Q_OBJECT
public:
    // `ui` (optional) is the process's user interface: when it halts the program, the run
    // stops where it is.
    ProcessDriver(ProgressWindow& window, Process& process, UserInterface* ui = nullptr);
    ~ProcessDriver() override;

    // Prepares the process and shows the window. False when the process could not start
    // (then the window is not shown and finished() is not emitted).
    bool start();
    bool running() const { return started_ && !done_; }
    bool done() const { return done_; }
    // Cycles run so far (for tests and the curious).
    int cycles() const { return cycles_; }
    // Overrides the process's timer interval (milliseconds).
    void setIntervalMs(int ms) { intervalMs_ = ms; }

signals:
    void finished(int response);

private:
    void onOpened();
    void onTimer();
    void onCancel();
    // After each step: ends the run when the process has ended, else restarts the timer.
    void afterStep();
    void end();
    bool haltedNow() const { return ui_ && ui_->halted(); }

    QPointer<ProgressWindow> window_;
    Process& process_;
    UserInterface* ui_;
    QTimer timer_;
    int intervalMs_ = -1;
    bool started_ = false;
    bool busy_ = false;
    bool cancelPending_ = false;
    bool done_ = false;
    int cycles_ = 0;
};

// Makes the process of a run: it shows its progress in `window` and talks to the user
// through `ui`. Whatever the factory captures lives until the process has been destroyed.
using ProcessFactory = std::function<std::unique_ptr<Process>(ProgressWindow& window, UserInterface& ui)>;

// Runs a process in a progress window and returns when it has ended, with its response (0
// when it could not start). The caller's event handling waits meanwhile (a local event
// loop), so the caller holds back its own commands until then (the frame disables its
// menu). The window is a window of its own, placed over `owner` but neither its child nor
// modal: a modal window would hold back every window of the owner's family as well (the
// windows the owner opened, other runs' progress windows), which must stay usable. The
// run's message boxes are modal to its progress window alone.
int runProcessWindow(QWidget* owner, const ProcessFactory& make, int styleType = StyleProcess);
// The same with a window and process the caller made; the window is window-modal to its
// parent when `windowModal`, else modeless.
int runProcessWindow(ProgressWindow& window, Process& process, bool windowModal, UserInterface* ui = nullptr);

// Starts a process in a modeless progress window of its own and returns at once; the
// window, the user interface, the process and what the factory holds are deleted when the
// run has ended. `done` (optional) is told the response. Returns false when the process
// could not start (everything is deleted already).
bool startProcessWindow(QWidget* parent, ProcessFactory make, std::function<void(int)> done = {}, int styleType = StyleProcess);

}  // namespace mg::ui
