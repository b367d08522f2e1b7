#include "shell/windows/startup.h"

#include <string>

#include "data/ini.h"
#include "ui/widgets/styler.h"

namespace mg::shell {

void loadStyling(ui::WindowStyler& styler) {
    styler.iniName = "Style.Ini";
    styler.getColorDepth();
    if (ini::getInt("", "Marrowgate", "Enabled", 1) == 0) styler.colorDepth = 0;
    styler.load("Basic" + std::to_string(styler.colorDepth));
}

}  // namespace mg::shell
