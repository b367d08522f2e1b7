#pragma once
// The arithmetic of the window resizer, free of widgets: the strategies a control gets from
// its kind, and where a control goes for a new window size. Every position is computed from
// the control's and the window's initial geometry and the size ratios, never from the
// previous placement, so rounding never accumulates.

#include <cstdint>
#include <vector>

namespace mg::ui {

// The runtime's control type codes that the strategies tell apart.
enum ControlType : int32_t {
    TypeNone = 0,
    TypeString = 1,
    TypeEntry = 8,
    TypeButton = 9,
    TypeCheck = 12,
    TypeCombo = 15,
    TypeSpin = 16,
    TypeMenu = 19,
    TypeItem = 20,
    TypeRadio = 21,
    TypeDropCombo = 34,
    TypeOther = 99,  // lists, sheets, groups, prompts, boxes, images, regions ...
};

// Positional strategy: low byte horizontal, high byte vertical.
enum PositionalStrategy : uint16_t {
    KeepX = 1, AnchorRight = 2, AnchorLeft = 4, CentreX = 8, DeriveX = 16,
    KeepY = 256, AnchorBottom = 512, AnchorTop = 1024, CentreY = 2048, DeriveY = 4096,
};
// Resize strategy bits.
enum ResizeStrategy : uint16_t { KeepWidth = 1, KeepHeight = 2 };

struct Geometry {
    int32_t x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Geometry&) const = default;
};

struct ResizeEntry {
    int32_t id = 0;     // the control's field number
    int32_t type = 0;   // ControlType
    uint16_t positional = 0;
    uint16_t resize = 0;
    Geometry pos;       // where the control stood when the resizer was initialised
};

// The strategies of a control of `type` under `strategy` (2 spread; anything else gives 0, 0).
void strategiesFor(int32_t type, int strategy, uint16_t& positional, uint16_t& resize);

// A button set against the right end of an entry on its row (a lookup's "...", at most
// `kBesideGap` pixels after it) keeps to that entry: its position is scaled as the entry's is,
// its size kept. Anchored to the window's edge instead, it would part from its entry and
// cover the entry's text once the window grows.
inline constexpr int32_t kBesideGap = 8;
void keepButtonsBesideTheirEntries(std::vector<ResizeEntry>& controls);

// A size ratio as a decimal with 4 places, in ten-thousandths: now / initial, rounded half
// up, at most 999.9999.
int32_t sizeRatio(int32_t now, int32_t initial);

// Where the control of `e` goes when the window of initial geometry `orig` has the size
// width × height. A display string whose initial width is 1 keeps its current width (the
// caller leaves it as it is; the width returned is then its initial one).
Geometry placeControl(const ResizeEntry& e, const Geometry& orig, int32_t width, int32_t height);

}  // namespace mg::ui
