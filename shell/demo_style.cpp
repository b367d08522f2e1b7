#include "shell/demo_style.h"

#include "data/file_io.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

namespace mg::shell {
namespace {

namespace fs = std::filesystem;

struct Rgb {
    int r, g, b;
};

// The system's colour value of an RGB colour (0x00BBGGRR), as the style file writes it.
std::string colour(Rgb c) { return std::to_string(c.r | c.g << 8 | c.b << 16); }

Rgb mix(Rgb a, Rgb b, double t) {
    auto m = [t](int x, int y) { return static_cast<int>(x + (y - x) * t + 0.5); };
    return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

// A 24-bit uncompressed bitmap of width × height pixels, `pixel(x, y)` with y from the top.
bool writeBitmap(const fs::path& file, int width, int height, const std::function<Rgb(int, int)>& pixel) {
    const int rowBytes = (width * 3 + 3) / 4 * 4;
    const uint32_t imageBytes = static_cast<uint32_t>(rowBytes * height);
    std::vector<unsigned char> out;
    auto u16 = [&](uint32_t v) {
        out.push_back(static_cast<unsigned char>(v & 0xFF));
        out.push_back(static_cast<unsigned char>(v >> 8 & 0xFF));
    };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    out.push_back('B');
    out.push_back('M');
    u32(54 + imageBytes);
    u32(0);
    u32(54);
    u32(40);
    u32(static_cast<uint32_t>(width));
    u32(static_cast<uint32_t>(height));
    u16(1);
    u16(24);
    u32(0);
    u32(imageBytes);
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    for (int y = height - 1; y >= 0; --y) {  // rows bottom up
        for (int x = 0; x < width; ++x) {
            const Rgb p = pixel(x, y);
            out.push_back(static_cast<unsigned char>(p.b));
            out.push_back(static_cast<unsigned char>(p.g));
            out.push_back(static_cast<unsigned char>(p.r));
        }
        for (int pad = width * 3; pad < rowBytes; ++pad) out.push_back(0);
    }
    std::ofstream f(file, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(f.flush());
}

// A button face: a vertical gradient in a one-pixel frame, lighter along the top.
std::function<Rgb(int, int)> buttonFace(int w, int h, Rgb top, Rgb bottom, Rgb frame) {
    return [=](int x, int y) -> Rgb {
        if (x == 0 || y == 0 || x == w - 1 || y == h - 1) return frame;
        if (y == 1) return {255, 255, 255};
        return mix(top, bottom, static_cast<double>(y) / (h - 1));
    };
}

// The colours of the demo's look.
const Rgb kPaperTop{250, 246, 232}, kPaperBottom{212, 223, 240};
const Rgb kWindow{233, 236, 242};
const Rgb kTabInactive{204, 214, 232}, kTabActive{246, 248, 252};
const Rgb kEntry{255, 252, 222}, kRequired{255, 240, 200}, kReadOnly{232, 232, 232}, kList{250, 252, 255};
const Rgb kText{24, 40, 72}, kButtonText{16, 32, 64}, kActiveTabText{0, 0, 128}, kInactiveTabText{72, 72, 72};

std::string styleText() {
    std::string s;
    auto line = [&s](const std::string& key, const std::string& value) { s += key + "=" + value + "\r\n"; };
    auto section = [&s](const std::string& name) { s += (s.empty() ? "[" : "\r\n[") + name + "]\r\n"; };

    // Set 3, a display of more than 256 colours: wallpapers, coloured tabs and entries, and
    // cool buttons that light up with the focus.
    const char* const set3[] = {" Browse", " Form", " Frame", " Window", " Process", " Report"};
    for (const char* suffix : set3) {
        const std::string type = suffix;
        section("Basic3" + type);
        if (type == " Window") {
            line("WallPaper", demo::kTileImage);
            line("WallPaperType", "1");
        } else {
            line("WallPaper", demo::kPaperImage);
            line("WallPaperType", "0");
        }
        if (type == " Frame") continue;
        line("BackGroundColor", colour(kWindow));
        line("ActiveTabColor", colour(kTabActive));
        line("InActiveTabColor", colour(kTabInactive));
        line("EntryColor", colour(kEntry));
        line("RequiredEntryColor", colour(kRequired));
        line("ReadOnlyColor", colour(kReadOnly));
        line("ListColor", colour(kList));
        line("TextFontColor", colour(kText));
        line("OnTabFontColor", colour(kText));
        line("ButtonFontColor", colour(kButtonText));
        line("ActiveTabFontColor", colour(kActiveTabText));
        line("InactiveTabFontColor", colour(kInactiveTabText));
        line("ButtonCursor", "Hand");
        line("CoolButtons", "1");
        line("CoolButton", demo::kButtonImage);
        line("CoolButtonSelected", demo::kButtonHotImage);
    }

    // Set 2, 256 colours: a tiled wallpaper and flat buttons in a few safe colours.
    for (const char* suffix : {" Browse", " Form", " Frame", " Window", " Process", " Report"}) {
        section(std::string("Basic2") + suffix);
        line("WallPaper", demo::kTileImage);
        line("WallPaperType", "1");
        line("BackGroundColor", colour({224, 224, 224}));
        line("InActiveTabColor", colour({192, 192, 192}));
        line("ActiveTabColor", colour({255, 255, 255}));
        line("EntryColor", colour({255, 255, 255}));
        line("RequiredEntryColor", colour({255, 255, 204}));
        line("FlatButtons", "1");
        line("ButtonCursor", "Hand");
    }

    // Set 1, 16 colours: plain grey windows, white entries, no images.
    for (const char* suffix : {" Browse", " Form", " Window", " Process", " Report"}) {
        section(std::string("Basic1") + suffix);
        line("BackGroundColor", colour({192, 192, 192}));
        line("EntryColor", colour({255, 255, 255}));
        line("RequiredEntryColor", colour({255, 255, 0}));
        line("ListColor", colour({255, 255, 255}));
    }
    return s;
}

}  // namespace

bool writeDemoStyle(const std::string& folder) {
    const fs::path dir = folder.empty() ? fs::path(".") : files::pathOf(folder);
    std::error_code ec;
    if (fs::exists(dir / demo::kStyleIni, ec)) return true;

    const int pw = 96, ph = 96;
    bool ok = writeBitmap(dir / demo::kPaperImage, pw, ph, [&](int x, int y) {
        (void)x;
        return mix(kPaperTop, kPaperBottom, static_cast<double>(y) / (ph - 1));
    });
    ok = ok && writeBitmap(dir / demo::kTileImage, 16, 16, [](int x, int y) {
        // A small diamond on every tile, two to a tile side.
        const int dx = std::abs((x % 8) - 4), dy = std::abs((y % 8) - 4);
        return dx + dy <= 1 ? Rgb{212, 220, 236} : Rgb{234, 238, 245};
    });
    ok = ok && writeBitmap(dir / demo::kButtonImage, 64, 20, buttonFace(64, 20, {250, 252, 255}, {196, 210, 234}, {122, 142, 176}));
    ok = ok && writeBitmap(dir / demo::kButtonHotImage, 64, 20, buttonFace(64, 20, {255, 250, 232}, {255, 212, 136}, {204, 132, 36}));
    if (!ok) return false;

    std::ofstream ini(dir / demo::kStyleIni, std::ios::binary | std::ios::trunc);
    ini << "; The demo practice's look: set 1 for 16 colours, set 2 for 256, set 3 for more.\r\n" << styleText();
    return static_cast<bool>(ini.flush());
}

}  // namespace mg::shell
