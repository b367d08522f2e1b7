#pragma once
// The demo practice's look: a style file "Style.Ini" with the sets "Basic1" (16 colours),
// "Basic2" (256 colours) and "Basic3" (more), and the few small images its sets name
// (wallpapers and cool-button faces), all made here.

#include <string>

namespace mg::shell {

// Writes Style.Ini and its images into `folder`. An existing Style.Ini is the user's own:
// then nothing is written. False when a file cannot be written.
bool writeDemoStyle(const std::string& folder);

namespace demo {
inline constexpr const char* kStyleIni = "Style.Ini";
inline constexpr const char* kPaperImage = "demo_paper.bmp";
inline constexpr const char* kTileImage = "demo_tile.bmp";
inline constexpr const char* kButtonImage = "demo_button.bmp";
inline constexpr const char* kButtonHotImage = "demo_button_hot.bmp";
}  // namespace demo

}  // namespace mg::shell
