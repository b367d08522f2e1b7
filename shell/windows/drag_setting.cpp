#include "shell/windows/drag_setting.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace mg::shell {

#ifdef _WIN32

namespace {
constexpr UINT kGetDragFullWindows = 38;  // SPI_GETDRAGFULLWINDOWS
constexpr UINT kSetDragFullWindows = 37;  // SPI_SETDRAGFULLWINDOWS
constexpr UINT kUpdateAndBroadcast = 3;   // SPIF_UPDATEINIFILE | SPIF_SENDCHANGE
}  // namespace

int32_t readDragFullWindows() {
    BOOL on = FALSE;  // lCurrentFDSetting
    if (!SystemParametersInfoA(kGetDragFullWindows, 0, &on, 0)) return 0;
    return on ? 1 : 0;
}

void writeDragFullWindows(int32_t value) {
    int32_t adjust = 0;  // lAdjFDSetting
    SystemParametersInfoA(kSetDragFullWindows, static_cast<UINT>(value), &adjust, kUpdateAndBroadcast);
}

#else

int32_t readDragFullWindows() { return 0; }
void writeDragFullWindows(int32_t) {}

#endif

}  // namespace mg::shell
