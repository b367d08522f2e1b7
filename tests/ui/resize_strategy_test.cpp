// The resizer's arithmetic, one row per case a reader can work out by hand.

#include <gtest/gtest.h>

#include "ui/resize_strategy.h"

namespace mg::ui {
namespace {

ResizeEntry entry(int32_t type, Geometry pos, int strategy = 2) {
    ResizeEntry e;
    e.type = type;
    e.pos = pos;
    strategiesFor(type, strategy, e.positional, e.resize);
    return e;
}

TEST(ResizeStrategy, StrategiesByControlType) {
    struct Row {
        int32_t type;
        int strategy;
        uint16_t positional, resize;
    };
    const Row rows[] = {
        {TypeEntry, 2, 0, KeepHeight},        {TypeCombo, 2, 0, KeepHeight},   {TypeSpin, 2, 0, KeepHeight},
        {TypeDropCombo, 2, 0, KeepHeight},    {TypeButton, 2, 4112, 3},        {TypeCheck, 2, 0, 3},
        {TypeRadio, 2, 0, 3},                 {TypeString, 2, 0, 0},           {TypeOther, 2, 0, 0},
        {TypeButton, 1, 0, 0},                {TypeEntry, 7, 0, 0},
    };
    for (const Row& r : rows) {
        uint16_t p = 99, s = 99;
        strategiesFor(r.type, r.strategy, p, s);
        EXPECT_EQ(p, r.positional) << "type " << r.type << " strategy " << r.strategy;
        EXPECT_EQ(s, r.resize) << "type " << r.type << " strategy " << r.strategy;
    }
}

TEST(ResizeStrategy, PlacesControlsForNewWindowSizes) {
    const Geometry win{0, 0, 200, 100};
    struct Row {
        const char* what;
        ResizeEntry e;
        int32_t width, height;
        Geometry expected;
    };
    const Row rows[] = {
        // A button nearer the left edge keeps its X and its size at any width.
        {"button left, wider", entry(TypeButton, {10, 10, 40, 12}), 300, 100, {10, 10, 40, 12}},
        {"button left, much wider", entry(TypeButton, {10, 10, 40, 12}), 999, 100, {10, 10, 40, 12}},
        // Nearer the right edge (right gap 10): stays 50 from the right edge.
        {"button right", entry(TypeButton, {150, 10, 40, 12}), 300, 100, {250, 10, 40, 12}},
        // Equal gaps (80 and 80) anchor left; equal top and bottom gaps anchor top.
        {"button with equal gaps", entry(TypeButton, {80, 44, 40, 12}), 400, 200, {80, 44, 40, 12}},
        // Nearer the bottom edge (bottom gap 4): stays 16 above the bottom.
        {"button bottom", entry(TypeButton, {150, 80, 40, 16}), 200, 150, {150, 130, 40, 16}},
        // An entry stretches across and moves down proportionally, keeping its height.
        {"entry", entry(TypeEntry, {20, 30, 100, 12}), 300, 200, {30, 60, 150, 12}},
        // A check box moves proportionally and keeps its size.
        {"check", entry(TypeCheck, {20, 30, 60, 10}), 300, 200, {30, 60, 60, 10}},
        // A list scales both ways.
        {"list", entry(TypeOther, {4, 4, 192, 80}), 300, 150, {6, 6, 288, 120}},
        // A display string one unit wide keeps its width.
        {"one-wide string", entry(TypeString, {40, 10, 1, 8}), 400, 100, {80, 10, 1, 8}},
        // Ratio 1 on an axis skips that axis's strategy: only the height grew.
        {"button, taller only", entry(TypeButton, {150, 10, 40, 12}), 200, 300, {150, 10, 40, 12}},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(placeControl(r.e, win, r.width, r.height), r.expected) << r.what;
    }
}

// A lookup button against its entry's right end moves with the entry; buttons elsewhere keep
// to the window's edges.
TEST(ResizeStrategy, AButtonBesideAnEntryKeepsToIt) {
    const Geometry win{0, 0, 200, 100};
    std::vector<ResizeEntry> controls = {
        entry(TypeEntry, {20, 30, 100, 12}),
        entry(TypeButton, {124, 29, 16, 16}),  // 4 after the entry's end, on its row
        entry(TypeButton, {144, 29, 16, 16}),  // 24 after it: not beside it
        entry(TypeButton, {124, 50, 16, 16}),  // after its end, but on another row
        entry(TypeButton, {10, 70, 40, 12}),
    };
    keepButtonsBesideTheirEntries(controls);
    const Geometry expected[] = {
        {30, 60, 150, 12}, {186, 58, 16, 16}, {244, 29, 16, 16}, {224, 150, 16, 16}, {10, 170, 40, 12},
    };
    for (size_t i = 0; i < controls.size(); ++i) EXPECT_EQ(placeControl(controls[i], win, 300, 200), expected[i]) << i;
}

TEST(ResizeStrategy, CentreAndKeepStrategies) {
    const Geometry win{0, 0, 200, 100};
    ResizeEntry centred = entry(TypeOther, {90, 40, 20, 20});
    centred.positional = CentreX | CentreY;
    centred.resize = KeepWidth | KeepHeight;
    EXPECT_EQ(placeControl(centred, win, 400, 300), (Geometry{190, 140, 20, 20}));
    ResizeEntry kept = entry(TypeOther, {90, 40, 20, 20});
    kept.positional = KeepX | KeepY;
    EXPECT_EQ(placeControl(kept, win, 400, 300), (Geometry{90, 40, 40, 60}));
    EXPECT_EQ(sizeRatio(300, 200), 15000);
    EXPECT_EQ(sizeRatio(1, 3), 3333);
    EXPECT_EQ(sizeRatio(2, 3), 6667);
    EXPECT_EQ(sizeRatio(200000, 1), 9999999);  // at most 999.9999
}

}  // namespace
}  // namespace mg::ui
