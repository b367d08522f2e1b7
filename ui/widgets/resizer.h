#pragma once
// The window resizer: one WindowResizeType per open resizable window remembers where every
// control stood when the window opened and, on each change of the window's size, places the
// controls again from those initial values.
//
// Calling order in every window that uses it: after the window is opened and styled,
// setMinimum (the window can grow but never shrink below its designed size), then
// initialize(2); on a resize the window posts itself a private event and refreshes the
// styling, and on that event calls resize(); on close, destroy().
//
// Resizing comes with the window-resizer work: until then initialize, resize and destroy
// do nothing, and a window keeps its controls where its layout put them. setMinimum is the
// window's own step and already takes effect.

#include <cstdint>

class QWidget;

namespace mg::ui {

class Controls;

class WindowResizeType {
public:
    enum Strategy : int { Proportional = 1, Spread = 2 };

    // Sets the window's minimum width and height to its current width and height.
    void setMinimum(QWidget& window);
    void initialize(Controls& window, int strategy);
    void resize();
    // Safe to call twice.
    void destroy();
    ~WindowResizeType() { destroy(); }

    bool initialized() const { return initialized_; }

private:
    bool initialized_ = false;
};

}  // namespace mg::ui
