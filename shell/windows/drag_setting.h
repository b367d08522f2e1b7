#pragma once
// The desktop's full-window-drag setting (window contents shown while a window is dragged).
// The program switches it off for the length of its run and restores it at the end.
//
// On Windows it is read with SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS) and written with
// SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS), updating the user profile and broadcasting
// the change. Elsewhere there is no such setting: it reads as off and is never changed.

#include <cstdint>

namespace mg::shell {

// 1 when full-window dragging is on, else 0.
int32_t readDragFullWindows();
// Switches it on (1) or off (0).
void writeDragFullWindows(int32_t value);

}  // namespace mg::shell
