// The styler's start-up half: the display's colour depth, the manifest test and the loading
// of every member from the style INI file. The window operations are in styler_window.cpp.

#include "ui/widgets/styler.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStringList>

#include "data/ini.h"

namespace mg::ui {
namespace {

HookObserver& observer() {
    static HookObserver o;
    return o;
}

constexpr std::string_view kSuffixes[WindowStyler::kTypes + 1] = {
    "",         " Browse",     " Form",  " Frame",  " Window", " Lookup", " Wizard", " Process", " Report",
    " Background", " About",   " Splash", " Viewer", " Other1", " Other2", " Other3", " Toolbox",
};

constexpr size_t kTextMax = 255;  // the text members hold at most 255 characters
constexpr size_t kSetNameMax = 25;

std::string text255(std::string s) {
    if (s.size() > kTextMax) s.resize(kTextMax);
    return s;
}

bool isHex(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// A number as the style file writes it: decimal ("12632256", "-1"), or hexadecimal with a
// trailing "h" ("0C0C0C0h") or a leading "0x"; text with no number reads as 0, blank as the
// default (the callers pass 0 for a key written blank). The value is kept to 32 bits as a colour member holds it.
int64_t numberOf(const std::string& text, int64_t defaultValue) {
    if (text.empty()) return defaultValue;
    std::string_view s = text;
    if (s.size() > 1 && (s.back() == 'h' || s.back() == 'H') && isHex(s.substr(0, s.size() - 1)))
        return static_cast<int64_t>(std::strtoull(std::string(s.substr(0, s.size() - 1)).c_str(), nullptr, 16));
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && isHex(s.substr(2)))
        return static_cast<int64_t>(std::strtoull(std::string(s.substr(2)).c_str(), nullptr, 16));
    return std::strtoll(text.c_str(), nullptr, 10);
}

int32_t int32Of(const std::string& text, int32_t defaultValue) {
    return static_cast<int32_t>(static_cast<uint32_t>(numberOf(text, defaultValue)));
}

uint8_t byteOf(const std::string& text, uint8_t defaultValue) {
    return static_cast<uint8_t>(numberOf(text, defaultValue) & 0xFF);
}

std::string trimmed(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string lowerCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

std::string_view styleSuffix(int type) {
    if (type < 1 || type > WindowStyler::kTypes) return {};
    return kSuffixes[type];
}

void setHookObserver(HookObserver o) { observer() = std::move(o); }

void reportHook(std::string_view call) {
    if (observer()) observer()(call);
}

WindowStyler& styler() {
    static WindowStyler s;
    return s;
}

// ---- command line and debug texts --------------------------------------------------------------

// A switch is one of the arguments after the program's own name, whatever its case: a
// folder of the program's path that happens to be called "/DebugStyler" is no switch.
bool WindowStyler::commandLineHas(std::string_view text) const {
    std::vector<std::string> args;
    if (!commandLine.empty()) {
        const std::string program = programName();
        size_t at = commandLine.front() == '"' ? program.size() + 2 : program.size();
        while (at < commandLine.size()) {
            while (at < commandLine.size() && commandLine[at] == ' ') ++at;
            if (at >= commandLine.size()) break;
            size_t end;
            if (commandLine[at] == '"') {
                end = commandLine.find('"', at + 1);
                args.push_back(commandLine.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1));
                at = end == std::string::npos ? commandLine.size() : end + 1;
            } else {
                end = commandLine.find(' ', at);
                args.push_back(commandLine.substr(at, end == std::string::npos ? std::string::npos : end - at));
                at = end == std::string::npos ? commandLine.size() : end;
            }
        }
    } else if (QCoreApplication::instance()) {
        const QStringList all = QCoreApplication::arguments();
        for (qsizetype i = 1; i < all.size(); ++i) args.push_back(all[i].toStdString());
    }
    const std::string wanted = lowerCase(text);
    for (const std::string& a : args)
        if (lowerCase(a) == wanted) return true;
    return false;
}

std::string WindowStyler::programName() const {
    if (!commandLine.empty()) {
        // Element 0: up to the first blank, or between quotes when it starts with one.
        if (commandLine.front() == '"') {
            const size_t end = commandLine.find('"', 1);
            return commandLine.substr(1, end == std::string::npos ? std::string::npos : end - 1);
        }
        return commandLine.substr(0, commandLine.find(' '));
    }
    if (QCoreApplication::instance()) {
        const QStringList args = QCoreApplication::arguments();
        if (!args.isEmpty()) return args.front().toStdString();
    }
    return {};
}

void WindowStyler::debug(const std::string& text, bool stop) {
    if (debugShow) {
        debugShow(text, stop);
        return;
    }
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    if (!stop) {
        QMessageBox::information(nullptr, QStringLiteral("Styler"), QString::fromStdString(text));
        return;
    }
    // The stop dialog: the user ends the program here or goes on.
    const auto answer = QMessageBox::warning(nullptr, QStringLiteral("Styler"), QString::fromStdString(text),
                                             QMessageBox::Abort | QMessageBox::Ignore, QMessageBox::Ignore);
    if (answer == QMessageBox::Abort) std::exit(0);
}

// ---- start-up --------------------------------------------------------------------------------

void WindowStyler::getColorDepth() {
    reportHook("getColorDepth");
    int planes = 1;  // a screen reports no planes; one plane of `bits` bits
    int bits = 32;
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (QScreen* screen = app->primaryScreen()) bits = screen->depth();
    }
    const int paletteSize = bits <= 8 ? 1 << bits : 0;
    const int colorRes = bits;
    const int b = bits * planes;
    colorDepth = b <= 4 ? 1 : b > 8 ? 3 : 2;
    const long long forced = ini::getInt("", "Styler", "ColorDepth", 0);
    if (forced > 0) colorDepth = static_cast<int32_t>(forced);
    if (commandLineHas("/DebugStyler")) {
        debug("Styler 2.0 : 32 bit - Color Depth = " + std::to_string(colorDepth) + " planes = " + std::to_string(planes) +
                  " bits = " + std::to_string(bits) + " SizePallette = " + std::to_string(paletteSize) +
                  " ColorRes = " + std::to_string(colorRes),
              true);
    }
}

void WindowStyler::setXP(int32_t) {
    const std::string program = programName();
    std::error_code ec;
    xp = !program.empty() && std::filesystem::exists(program + ".manifest", ec) ? 1 : 0;
}

void WindowStyler::load(std::string_view set) {
    reportHook("load(" + std::string(set) + ")");
    setXP(0);
    if (commandLineHas("/DebugStyler")) {
        debug("Styler using Stylefile - " + iniName, false);
        debug("The current path is set to " + QDir::toNativeSeparators(QDir::currentPath()).toStdString(), false);
        debug("The Graphics path is set to " + graphicsPath, false);
    }
    setName = std::string(set.substr(0, kSetNameMax));
    std::string base = setName;
    while (!base.empty() && base.back() == ' ') base.pop_back();

    for (int t = 1; t <= kTypes; ++t) {
        const std::string section = base + std::string(kSuffixes[t]);
        // A missing file, section or key gives the default; a key written with a blank
        // value is there, and reads as 0.
        auto written = [&](const char* key) -> std::optional<std::string> {
            std::optional<std::string> v = ini::lookup(iniName, section, key).value;
            if (v) v = trimmed(*v);
            return v;
        };
        auto text = [&](const char* key) { return text255(written(key).value_or(std::string())); };
        auto colour = [&](const char* key, int32_t def) {
            const std::optional<std::string> v = written(key);
            return v ? int32Of(*v, 0) : def;
        };
        auto byte = [&](const char* key) { return byteOf(written(key).value_or(std::string()), 0); };

        wallPaper[t] = text("WallPaper");
        buttonCursor[t] = text("ButtonCursor");
        coolButton[t] = text("CoolButton");
        coolButtonSelected[t] = text("CoolButtonSelected");
        if (t == StyleFrame) {
            toolBarBackground = text("ToolBarBackground");
            toolBarBackgroundType = byte("ToolBarBackgroundType");
        }
        wallPaperType[t] = byte("WallPaperType");
        backGroundColor[t] = colour("BackGroundColor", 12632256);
        activeTabColor[t] = colour("ActiveTabColor", 12632256);
        inActiveTabColor[t] = colour("InActiveTabColor", 12632256);
        entryColor[t] = colour("EntryColor", kNoColor);
        requiredEntryColor[t] = colour("RequiredEntryColor", kNoColor);
        readOnlyColor[t] = colour("ReadOnlyColor", kNoColor);
        listColor[t] = colour("ListColor", kNoColor);
        flatButtons[t] = byte("FlatButtons");
        coolButtons[t] = byte("CoolButtons");
        transparentSheet[t] = byte("TransparentSheet");
        activeTabFontColor[t] = colour("ActiveTabFontColor", kNoColor);
        inactiveTabFontColor[t] = colour("InactiveTabFontColor", kNoColor);
        buttonFontColor[t] = colour("ButtonFontColor", kNoColor);
        textFontColor[t] = colour("TextFontColor", kNoColor);
        onTabFontColor[t] = colour("OnTabFontColor", kNoColor);

        if (coolButtonSelected[t].empty()) coolButtonSelected[t] = coolButton[t];
        // A cursor of the program's own set is written with "~"; "!" marks a name used as read.
        const std::string& cursor = buttonCursor[t];
        if (!cursor.empty() && cursor[0] != '~' && cursor[0] != ' ' && cursor[0] != '!')
            buttonCursor[t] = text255("~" + cursor);
    }
}

}  // namespace mg::ui
