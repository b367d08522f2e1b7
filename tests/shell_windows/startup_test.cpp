// The styling steps of the desktop start-up: the style INI name, the colour depth, the
// switch in the default INI file, and the style set loaded.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "data/ini.h"
#include "shell/windows/startup.h"
#include "testdb.h"
#include "ui/widgets/styler.h"

namespace mg::shell {
namespace {

class StylingStartUp : public ::testing::Test {
protected:
    test::TempDatabase db;  // for its temporary folder
    std::string defaultIni = (db.folder() / "default.ini").string();
    std::string oldDefault;
    std::vector<std::string> hooks;

    void SetUp() override {
        if (const char* v = std::getenv("MARROWGATE_DEFAULT_INI")) oldDefault = v;
        setenv("MARROWGATE_DEFAULT_INI", defaultIni.c_str(), 1);
        ui::setHookObserver([this](std::string_view h) { hooks.emplace_back(h); });
    }
    void TearDown() override {
        ui::setHookObserver({});
        if (oldDefault.empty()) unsetenv("MARROWGATE_DEFAULT_INI");
        else setenv("MARROWGATE_DEFAULT_INI", oldDefault.c_str(), 1);
    }
};

TEST_F(StylingStartUp, EnabledByDefaultLoadsTheSetOfTheColourDepth) {
    ui::WindowStyler styler;
    styler.colorDepth = 3;  // as a display of more than 8 bits would give
    loadStyling(styler);
    EXPECT_EQ(styler.iniName, "Style.Ini");
    EXPECT_EQ(hooks, (std::vector<std::string>{"getColorDepth", "load(Basic3)"}));
    EXPECT_EQ(styler.colorDepth, 3);
}

TEST_F(StylingStartUp, EnabledZeroInTheDefaultIniSwitchesStylingOff) {
    ASSERT_TRUE(ini::put("", "Marrowgate", "Enabled", "0"));
    ui::WindowStyler styler;
    styler.colorDepth = 2;
    loadStyling(styler);
    EXPECT_EQ(styler.colorDepth, 0);
    EXPECT_EQ(hooks, (std::vector<std::string>{"getColorDepth", "load(Basic0)"}));
}

TEST_F(StylingStartUp, EnabledOneLeavesTheColourDepthAlone) {
    // The depth forced in the default INI selects its set whatever the display has.
    ASSERT_TRUE(ini::put("", "marrowgate", "enabled", "1"));
    ASSERT_TRUE(ini::put("", "Styler", "ColorDepth", "1"));
    ui::WindowStyler styler;
    loadStyling(styler);
    EXPECT_EQ(styler.colorDepth, 1);
    EXPECT_EQ(hooks.back(), "load(Basic1)");
}

}  // namespace
}  // namespace mg::shell
