// Loading the style: every key of a set from the style INI file with its default, the set's
// sections named by the set name and the window type, the selected bitmap falling back to
// the normal one, button cursor names, the manifest test, the forced colour depth and the
// debug texts.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <QTemporaryDir>

#include "data/ini.h"
#include "qt_app.h"
#include "ui/widgets/styler.h"

namespace mg::ui {
namespace {

class StyleLoad : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string folder = dir.path().toStdString();
    std::string styleIni = folder + "/Style.Ini";
    std::string oldDefault;

    void SetUp() override {
        test::qtApp();
        if (const char* v = std::getenv("MARROWGATE_DEFAULT_INI")) oldDefault = v;
        setenv("MARROWGATE_DEFAULT_INI", (folder + "/default.ini").c_str(), 1);
    }
    void TearDown() override {
        if (oldDefault.empty()) unsetenv("MARROWGATE_DEFAULT_INI");
        else setenv("MARROWGATE_DEFAULT_INI", oldDefault.c_str(), 1);
    }
    void write(const std::string& text) { std::ofstream(styleIni, std::ios::binary) << text; }
    WindowStyler loaded(const std::string& set) {
        WindowStyler s;
        s.iniName = styleIni;
        s.commandLine = folder + "/marrowgate";
        s.load(set);
        return s;
    }
};

void expectDefaults(const WindowStyler& s, int t) {
    SCOPED_TRACE("type " + std::to_string(t));
    EXPECT_EQ(s.wallPaper[t], "");
    EXPECT_EQ(s.wallPaperType[t], 0);
    EXPECT_EQ(s.backGroundColor[t], 12632256);
    EXPECT_EQ(s.activeTabColor[t], 12632256);
    EXPECT_EQ(s.inActiveTabColor[t], 12632256);
    for (int32_t c : {s.entryColor[t], s.requiredEntryColor[t], s.readOnlyColor[t], s.listColor[t], s.activeTabFontColor[t],
                      s.inactiveTabFontColor[t], s.buttonFontColor[t], s.textFontColor[t], s.onTabFontColor[t]})
        EXPECT_EQ(c, -1);
    EXPECT_EQ(s.flatButtons[t] + s.coolButtons[t] + s.transparentSheet[t], 0);
    EXPECT_EQ(s.buttonCursor[t] + s.coolButton[t] + s.coolButtonSelected[t], "");
}

TEST_F(StyleLoad, WithoutAFileEveryTypeHasTheDefaults) {
    const WindowStyler s = loaded("Basic3");
    EXPECT_EQ(s.setName, "Basic3");
    for (int t = 1; t <= WindowStyler::kTypes; ++t) expectDefaults(s, t);
    EXPECT_EQ(s.toolBarBackground, "");
    EXPECT_EQ(s.toolBarBackgroundType, 0);
    EXPECT_EQ(s.xp, 0);
}

TEST_F(StyleLoad, EveryKeyOfASetIsReadFromTheSectionOfItsType) {
    write("[Basic3 Form]\r\n"
          "WallPaper=paper.bmp\r\nWallPaperType=2\r\nBackGroundColor=255\r\nActiveTabColor=65280\r\n"
          "InActiveTabColor=16711680\r\nEntryColor=1\r\nRequiredEntryColor=2\r\nReadOnlyColor=3\r\nListColor=4\r\n"
          "FlatButtons=1\r\nButtonCursor=~Hand\r\nCoolButtons=1\r\nCoolButton=cool.bmp\r\nCoolButtonSelected=hot.bmp\r\n"
          "TransparentSheet=1\r\nActiveTabFontColor=5\r\nInactiveTabFontColor=6\r\nButtonFontColor=7\r\n"
          "TextFontColor=8\r\nOnTabFontColor=0C0C0C0h\r\n"
          "ToolBarBackground=not-for-a-form.bmp\r\n"
          "[basic3 frame]\r\ntoolbarbackground=bar.bmp\r\nToolBarBackgroundType=1\r\nWallPaper=frame.bmp\r\n"
          "[Basic2 Form]\r\nWallPaper=other-set.bmp\r\n");
    // Trailing blanks of the set name are not part of the section name.
    const WindowStyler s = loaded("Basic3  ");
    const int t = StyleForm;
    EXPECT_EQ(s.wallPaper[t], "paper.bmp");
    EXPECT_EQ(s.wallPaperType[t], 2);
    EXPECT_EQ(s.backGroundColor[t], 255);
    EXPECT_EQ(s.activeTabColor[t], 65280);
    EXPECT_EQ(s.inActiveTabColor[t], 16711680);
    EXPECT_EQ((std::vector<int32_t>{s.entryColor[t], s.requiredEntryColor[t], s.readOnlyColor[t], s.listColor[t]}),
              (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(s.flatButtons[t], 1);
    EXPECT_EQ(s.buttonCursor[t], "~Hand");
    EXPECT_EQ(s.coolButtons[t], 1);
    EXPECT_EQ(s.coolButton[t], "cool.bmp");
    EXPECT_EQ(s.coolButtonSelected[t], "hot.bmp");
    EXPECT_EQ(s.transparentSheet[t], 1);
    EXPECT_EQ((std::vector<int32_t>{s.activeTabFontColor[t], s.inactiveTabFontColor[t], s.buttonFontColor[t],
                                    s.textFontColor[t], s.onTabFontColor[t]}),
              (std::vector<int32_t>{5, 6, 7, 8, 12632256}));
    // The tool bar's wallpaper comes from the frame's section only.
    EXPECT_EQ(s.toolBarBackground, "bar.bmp");
    EXPECT_EQ(s.toolBarBackgroundType, 1);
    EXPECT_EQ(s.wallPaper[StyleFrame], "frame.bmp");
    EXPECT_EQ(s.backGroundColor[StyleFrame], 12632256);
    for (int other : {1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}) expectDefaults(s, other);

    // A key written with a blank value is there: it reads as 0, not as the default.
    write("[Basic3 Browse]\r\nBackGroundColor=\r\nInActiveTabColor= \r\nEntryColor=\r\nTransparentSheet=\r\n");
    const WindowStyler blank = loaded("Basic3");
    EXPECT_EQ(blank.backGroundColor[StyleBrowse], 0);
    EXPECT_EQ(blank.inActiveTabColor[StyleBrowse], 0);
    EXPECT_EQ(blank.entryColor[StyleBrowse], 0);
    EXPECT_EQ(blank.activeTabColor[StyleBrowse], 12632256);  // not written: the default
    EXPECT_EQ(blank.listColor[StyleBrowse], -1);
}

TEST_F(StyleLoad, SelectedBitmapAndButtonCursorsAsLoaded) {
    struct Case {
        const char* lines;
        const char* cursor;
        const char* cool;
        const char* selected;
    };
    const Case cases[] = {
        {"CoolButton=up.bmp\r\n", "", "up.bmp", "up.bmp"},  // selected absent: the normal one
        {"CoolButton=up.bmp\r\nCoolButtonSelected=\r\n", "", "up.bmp", "up.bmp"},
        {"CoolButton=up.bmp\r\nCoolButtonSelected=down.bmp\r\n", "", "up.bmp", "down.bmp"},
        {"ButtonCursor=Hand\r\n", "~Hand", "", ""},          // the program's own set
        {"ButtonCursor=~IBeam\r\n", "~IBeam", "", ""},
        {"ButtonCursor=!pointer.cur\r\n", "!pointer.cur", "", ""},  // used as read
        {"ButtonCursor=pen.cur\r\n", "~pen.cur", "", ""},
        {"ButtonCursor=\r\n", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        write(std::string("[Basic1 Process]\r\n") + c.lines);
        const WindowStyler s = loaded("Basic1");
        EXPECT_EQ(s.buttonCursor[StyleProcess], c.cursor);
        EXPECT_EQ(s.coolButton[StyleProcess], c.cool);
        EXPECT_EQ(s.coolButtonSelected[StyleProcess], c.selected);
        EXPECT_EQ(s.coolButtonSelected[StyleReport], "");
    }
}

TEST_F(StyleLoad, NumbersAsTheStyleFileWritesThem) {
    struct Case {
        const char* text;
        int32_t colour;
        uint8_t flag;
    };
    const Case cases[] = {
        {"255", 255, 255},       {"-1", -1, 255},       {"0FFh", 255, 255}, {"0x00C0C0C0", 12632256, 0xC0},
        {"12abc", 12, 12},       {"abc", 0, 0},         {"256", 256, 0},    {"4294967295", -1, 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        write(std::string("[S Form]\r\nEntryColor=") + c.text + "\r\nFlatButtons=" + c.text + "\r\n");
        const WindowStyler s = loaded("S");
        EXPECT_EQ(s.entryColor[StyleForm], c.colour);
        EXPECT_EQ(s.flatButtons[StyleForm], c.flag);
    }
}

TEST_F(StyleLoad, ManifestBesideTheProgramSwitchesXPOn) {
    EXPECT_EQ(loaded("Basic3").xp, 0);
    std::ofstream(folder + "/marrowgate.manifest") << "<assembly/>";
    EXPECT_EQ(loaded("Basic3").xp, 1);
}

TEST_F(StyleLoad, ForcedColourDepthAndTheDebugTexts) {
    WindowStyler s;
    s.iniName = "Style.Ini";
    s.graphicsPath = "";
    s.commandLine = folder + "/marrowgate";
    std::vector<std::pair<std::string, bool>> shown;
    s.debugShow = [&](const std::string& text, bool stop) { shown.emplace_back(text, stop); };

    // The offscreen screen has more than 8 bits: 3, unless the default INI forces a depth.
    s.getColorDepth();
    EXPECT_EQ(s.colorDepth, 3);
    ASSERT_TRUE(ini::put("", "Styler", "ColorDepth", "1"));
    s.getColorDepth();
    EXPECT_EQ(s.colorDepth, 1);
    s.load("Basic1");
    EXPECT_TRUE(shown.empty());

    // A folder of the program's path named like the switch is no switch.
    s.commandLine = folder + "/DebugStyler/marrowgate";
    s.getColorDepth();
    s.load("Basic1");
    EXPECT_TRUE(shown.empty());

    s.commandLine = folder + "/marrowgate /debugstyler";
    s.getColorDepth();
    s.load("Basic1");
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].first.rfind("Styler 2.0 : 32 bit - Color Depth = 1 planes = 1 bits = ", 0), 0u) << shown[0].first;
    EXPECT_NE(shown[0].first.find(" SizePallette = "), std::string::npos);
    EXPECT_NE(shown[0].first.find(" ColorRes = "), std::string::npos);
    EXPECT_TRUE(shown[0].second);
    EXPECT_EQ(shown[1], std::make_pair(std::string("Styler using Stylefile - Style.Ini"), false));
    EXPECT_EQ(shown[2].first.rfind("The current path is set to ", 0), 0u);
    EXPECT_EQ(shown[3], std::make_pair(std::string("The Graphics path is set to "), false));
}

}  // namespace
}  // namespace mg::ui
