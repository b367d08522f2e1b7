// Styling benchmark: loading the demo's style (sixteen sections of some twenty keys from
// Style.Ini) as the start-up does, and styling the setup-sized form and a window of forty
// controls with cool buttons, offscreen. Prints the time of each.
//
//   mg_style_bench [repetitions]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <QApplication>
#include <QDialog>

#include "shell/demo_style.h"
#include "ui/widgets/controls.h"
#include "ui/widgets/styler.h"

using namespace mg;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

ui::WindowDef manyControls(int rows) {
    using K = ui::ControlKind;
    ui::WindowDef def{.caption = "Bench", .width = 400, .height = 20 + rows * 14};
    for (int i = 0; i < rows; ++i) {
        const std::string n = std::to_string(i);
        def.controls.push_back({.kind = K::Prompt, .name = "?P" + n, .text = "Field " + n, .x = 4, .y = 4 + i * 14, .w = 50, .h = 10});
        def.controls.push_back({.kind = K::Entry, .name = "?E" + n, .x = 60, .y = 4 + i * 14, .w = 80, .h = 12});
        def.controls.push_back({.kind = K::Button, .name = "?B" + n, .text = "Go", .x = 150, .y = 4 + i * 14, .w = 40, .h = 12});
        def.controls.push_back({.kind = K::Check, .name = "?C" + n, .text = "Flag", .x = 200, .y = 4 + i * 14, .w = 50, .h = 10});
    }
    return def;
}

}  // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 ? std::atoi(argv[1]) : 50;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto folder = std::filesystem::temp_directory_path() / ("mg_style_bench_" + std::to_string(Clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    if (!shell::writeDemoStyle(folder.string())) return 1;

    ui::WindowStyler s;
    s.iniName = "Style.Ini";
    auto start = Clock::now();
    for (int i = 0; i < reps; ++i) s.load("Basic3");
    std::printf("load(Basic3) of the demo style: %.3f ms\n", msSince(start) / reps);
    s.colorDepth = 3;

    for (int rows : {2, 10}) {
        const ui::WindowDef def = manyControls(rows);
        double total = 0;
        for (int i = 0; i < reps; ++i) {
            QDialog w;
            ui::Controls c = ui::buildWindow(w, def);
            start = Clock::now();
            s.setWindow(c, ui::StyleForm);
            s.refresh(c);
            total += msSince(start);
        }
        std::printf("setWindow + refresh, %d controls (%d cool): %.3f ms\n", rows * 4, rows, total / reps);
    }
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(folder);
    return 0;
}
