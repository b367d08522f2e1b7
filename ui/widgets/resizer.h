#pragma once
// The window resizer: one WindowResizeType per open resizable window remembers where every
// control stood when the window opened and, on each change of the window's size, places the
// controls again from those initial values (ui/resize_strategy.h has the arithmetic).
//
// Calling order in every window that uses it: after the window is opened and styled,
// setMinimum (the window can grow but never shrink below its designed size), then
// initialize(2); on a resize the window posts itself a private event and refreshes the
// styling, and on that event calls resize(); on close, destroy().
//
// Positions are the window's own coordinates (pixels of its client area): controls inside
// groups and on tabs are measured and placed relative to the client area too. Menus, their
// items, tab pages (their sheet places them), tool bars and status bars are never moved.

#include <cstdint>
#include <vector>

#include <QPointer>

#include "ui/resize_strategy.h"

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
    // The control queue, in control order, and the window's geometry at initialize and at
    // the last resize that changed its size.
    const std::vector<ResizeEntry>& queue() const { return queue_; }
    const Geometry& origWin() const { return origWin_; }
    const Geometry& previousWin() const { return previousWin_; }
    // How many resizes have moved controls (a move of the window alone moves none).
    int resizesApplied() const { return applied_; }

private:
    Geometry clientGeometry() const;

    bool initialized_ = false;
    QPointer<QWidget> client_;
    Geometry origWin_, previousWin_;
    std::vector<ResizeEntry> queue_;
    std::vector<QPointer<QWidget>> widgets_;  // beside queue_, one per entry
    int applied_ = 0;
};

// The runtime's control type of a built control (TypeNone for one the resizer leaves alone).
int32_t controlType(const Controls& controls, int field);

}  // namespace mg::ui
