#pragma once
// Window styling: one program-wide WindowStyler gives every window the look configured in
// the style INI file. Start-up loads it once (iniName, getColorDepth, load); every window
// procedure then calls setWindow(type), sheetColor for its sheet and refresh() right after
// opening its window, and passes every event through takeEvent(type, ...).
//
// Colours are the system's int32 colour values, 0x00BBGGRR, with -1 for "no colour" (the
// control's own). The loaded members are plain values read from the INI file by load(),
// which needs no screen; the window operations turn them into palettes, a painted wallpaper,
// flat buttons, cursors and cool-button images on the Qt widgets of a built window.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class QEvent;
class QObject;

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
    StyleBackground = 9,
    StyleAbout = 10,
    StyleSplash = 11,
    StyleViewer = 12,
    StyleOther1 = 13,
    StyleOther2 = 14,
    StyleOther3 = 15,
    StyleToolbox = 16,
};

// The section-name suffix of a window type (" Browse", " Form", ...); empty outside 1 to 16.
std::string_view styleSuffix(int type);

// A companion image of a cool button is numbered the button's field number plus this.
inline constexpr int kCoolImageOffset = 1000;

class WindowStyler {
public:
    static constexpr int kTypes = 16;
    static constexpr int kNoColor = -1;

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

    // The command line the "/DebugStyler" switch and the manifest test look at; when empty,
    // the application's own arguments (element 0 is the program as started).
    std::string commandLine;
    // Shows a debug text of the styler; `stop` offers to end the program. When unset, a
    // message box (a stop dialog that can end the program) shows it.
    std::function<void(const std::string& text, bool stop)> debugShow;

    // Sets colorDepth from the screen (key "ColorDepth" of section "Styler" of the default
    // INI file forces it when greater than 0).
    void getColorDepth();
    // Fills every member from the style INI file `iniName`, sections `set` + " Browse" and
    // so on. Missing files, sections and keys give the defaults.
    void load(std::string_view set);
    // xp = 1 when the program's own file name followed by ".manifest" exists.
    void setXP(int32_t unused);
    void setWindow(Controls& window, int type);
    // Returns the tab to pass as `previousTab` next time.
    int32_t sheetColor(Controls& window, int type, int32_t previousTab, int32_t sheet);
    void refresh(Controls& window);
    // `hot` is the highlighted image, `last` the last selected control; the window keeps both.
    // `watched` is the object the event went to: the window, or one of its controls (whose
    // focus-in is "a control is selected").
    void takeEvent(Controls& window, const QEvent& event, int type, int32_t& hot, int32_t& last,
                   const QObject* watched = nullptr);

private:
    bool commandLineHas(std::string_view text) const;
    std::string programName() const;
    void debug(const std::string& text, bool stop);
    bool styled(int type) const { return colorDepth != 0 && type >= 1 && type <= kTypes; }
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
