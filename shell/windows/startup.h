#pragma once
// The steps of the desktop start-up that come before the main frame.

namespace mg::ui {
class WindowStyler;
}

namespace mg::shell {

// Window styling, loaded once for the whole run: the style INI "Style.Ini", the display's
// colour depth, the switch "Enabled" of section "Marrowgate" in the default INI file
// (default 1; 0 switches styling off), then the style set "Basic" followed by the digit
// of the colour depth.
void loadStyling(ui::WindowStyler& styler);

}  // namespace mg::shell
