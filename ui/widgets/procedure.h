#pragma once
// The pattern every window and process procedure follows.
//
// ProcedureWords: on entry the procedure takes the caller's request word as its own (and as
// its original request), its local response starts as "request cancelled", and the context's
// request and response words are cleared. On exit the context's response word is the local
// response, or "request cancelled" when that is 0.
//
// WindowProcedure: the common window events and the styling and resizing hooks of one
// window. When the window opens it runs the window's own opening steps, styles it
// (setWindow, sheetColor for a sheet, refresh), and for a resizable window sets the minimum
// size and starts the resizer; then, as a posted event, it initialises the window (once) and
// selects its first control. Gaining the focus or being resized redraws the window
// (initialising it the first time). A rejected entry beeps, is redisplayed and selected
// again. Every event of the window passes through the styling's takeEvent first.

#include <cstdint>
#include <functional>

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "data/context.h"
#include "ui/widgets/controls.h"
#include "ui/widgets/resizer.h"

namespace mg::ui {

class ProcedureWords {
public:
    explicit ProcedureWords(Context& ctx);
    ~ProcedureWords() { leave(); }
    ProcedureWords(const ProcedureWords&) = delete;
    ProcedureWords& operator=(const ProcedureWords&) = delete;

    int request() const { return request_; }
    int originalRequest() const { return originalRequest_; }
    // The local response: 1 request completed, 2 request cancelled.
    int response = RequestCancelled;

    // Leaves the response on the context (once; the destructor does it otherwise).
    void leave();

private:
    Context* ctx_;
    int request_;
    int originalRequest_;
    bool left_ = false;
};

class WindowProcedure : public QObject {
    Q_OBJECT
public:
    // `styleType` is the styling's window type; `resizer` is null for a window of fixed layout.
    WindowProcedure(QWidget& window, Controls& controls, int styleType, WindowResizeType* resizer = nullptr);
    ~WindowProcedure() override;

    // The window's own steps when it opens, before it is styled (texts set, values shown).
    std::function<void()> onOpen;
    // Initialises the window once (its first "opened", focus or resize, whichever comes first).
    std::function<void()> onInit;

    // A rejected entry: beep, redisplay the control, select it again.
    void rejected(QWidget* control, std::function<void()> redisplay = {});

    bool isOpen() const { return open_; }
    bool initialised() const { return initialised_; }
    // The styling's hot image and last selected control of this window.
    int32_t hot = 0;
    int32_t last = 0;
    // The current tab of the window's sheet, as the styling hands it back.
    int32_t currentTab = 0;

signals:
    // Posted once after the window has opened and been styled (the window's first control
    // is selected by then).
    void opened();
    // The private event after a resize: the resizer has placed the controls again.
    void resized();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openWindow();
    void afterOpen();
    void initialise();
    void afterResize();

    QPointer<QWidget> window_;
    Controls& controls_;
    int type_;
    WindowResizeType* resizer_;
    bool open_ = false;
    bool initialised_ = false;
    bool resizePosted_ = false;
};

}  // namespace mg::ui
