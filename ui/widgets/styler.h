#pragma once
// Window styling: one program-wide WindowStyler gives every window the look configured in
// the style INI file. Start-up loads it once (iniName, getColorDepth, load); every window
// procedure then calls setWindow(type) and refresh() right after opening its window, and
// passes every event through takeEvent(type, ...).
//
// Styling comes with the window-styling work: until then these do nothing. The members and
// the calling points are in place so that every window already calls them in its order, and
// a window behaves the same without them, only plainer.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class QEvent;

namespace mg::ui {

class Controls;

// Window types of the styling (the index of the per-type members).
enum WindowType : int {
    StyleBrowse = 1,
    StyleForm = 2,
    StyleFrame = 3,
    StyleWindow = 4,
    StyleLookup = 5,
    StyleWizard = 6,
    StyleProcess = 7,
    StyleReport = 8,
};

class WindowStyler {
public:
    static constexpr int kTypes = 16;

    int32_t colorDepth = 0;      // 0: styling off; 1..3 by the display's colour depth
    std::string graphicsPath;
    std::string iniName;
    std::string setName;
    std::string toolBarBackground;
    uint8_t toolBarBackgroundType = 0;
    uint8_t xp = 0;

    // Per window type, index 1 to 16 (index 0 unused).
    std::array<std::string, kTypes + 1> wallPaper{};
    std::array<uint8_t, kTypes + 1> wallPaperType{};
    std::array<int32_t, kTypes + 1> backGroundColor{};
    std::array<int32_t, kTypes + 1> activeTabColor{};
    std::array<int32_t, kTypes + 1> inActiveTabColor{};
    std::array<int32_t, kTypes + 1> entryColor{};
    std::array<int32_t, kTypes + 1> requiredEntryColor{};
    std::array<int32_t, kTypes + 1> readOnlyColor{};
    std::array<int32_t, kTypes + 1> listColor{};
    std::array<uint8_t, kTypes + 1> flatButtons{};
    std::array<std::string, kTypes + 1> buttonCursor{};
    std::array<uint8_t, kTypes + 1> coolButtons{};
    std::array<std::string, kTypes + 1> coolButton{};
    std::array<std::string, kTypes + 1> coolButtonSelected{};
    std::array<uint8_t, kTypes + 1> transparentSheet{};
    std::array<int32_t, kTypes + 1> activeTabFontColor{};
    std::array<int32_t, kTypes + 1> inactiveTabFontColor{};
    std::array<int32_t, kTypes + 1> buttonFontColor{};
    std::array<int32_t, kTypes + 1> textFontColor{};
    std::array<int32_t, kTypes + 1> onTabFontColor{};

    // Styling comes with the window-styling work: until then these do nothing.
    void getColorDepth();
    void load(std::string_view setName);
    void setXP(int32_t unused);
    void setWindow(Controls& window, int type);
    // Returns the tab to pass as `previousTab` next time.
    int32_t sheetColor(Controls& window, int type, int32_t previousTab, int32_t sheet);
    void refresh(Controls& window);
    // `hot` is the highlighted image, `last` the last selected control; the window keeps both.
    void takeEvent(Controls& window, const QEvent& event, int type, int32_t& hot, int32_t& last);
};

// The program's one styler: written by the start-up, only read afterwards.
WindowStyler& styler();

// Tests watch the order in which windows call the styling and resizing hooks: each hook
// reports its name ("setWindow(4)", "refresh", "initialize(2)", ...) here when it is set.
// takeEvent is not reported (it is called on every event).
using HookObserver = std::function<void(std::string_view)>;
void setHookObserver(HookObserver observer);
void reportHook(std::string_view call);

}  // namespace mg::ui
