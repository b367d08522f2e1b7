#include "ui/resize_strategy.h"

#include <algorithm>

namespace mg::ui {
namespace {

constexpr int64_t kOne = 10000;  // a ratio of exactly 1

// value × ratio (ratio in ten-thousandths), rounded to a whole unit, halves away from zero.
int32_t scaled(int64_t value, int64_t ratio) {
    const int64_t p = value * ratio;
    return static_cast<int32_t>(p >= 0 ? (p + kOne / 2) / kOne : -((-p + kOne / 2) / kOne));
}

// One axis: the position for a strategy that is already derived (1, 2, 4, 8 or 0).
int32_t placeOnAxis(int strategy, bool fixedSize, int32_t scaledPos, int32_t pos, int32_t origExtent, int32_t extent,
                    int64_t ratio) {
    switch (strategy) {
    case 1: return pos;
    case 2: {
        const int32_t d = origExtent - pos;
        return fixedSize ? extent - d : extent - scaled(d, ratio);
    }
    case 4: return fixedSize ? pos : scaled(pos, ratio);
    case 8: {
        // C = pos - origExtent / 2 and the new position extent / 2 + C (× ratio), in halves
        // so that an odd width loses nothing.
        const int64_t twiceC = 2 * int64_t(pos) - origExtent;
        const int64_t twiceNew = extent + (fixedSize ? twiceC : int64_t(scaled(twiceC, ratio)));
        return static_cast<int32_t>(twiceNew >= 0 ? (twiceNew + 1) / 2 : -((-twiceNew + 1) / 2));
    }
    default: return scaledPos;
    }
}

}  // namespace

void strategiesFor(int32_t type, int strategy, uint16_t& positional, uint16_t& resize) {
    positional = 0;
    resize = 0;
    if (strategy != 2) return;
    switch (type) {
    case TypeEntry:
    case TypeCombo:
    case TypeSpin:
    case TypeDropCombo: resize = KeepHeight; break;
    case TypeButton:
        positional = DeriveX | DeriveY;
        resize = KeepWidth | KeepHeight;
        break;
    case TypeCheck:
    case TypeRadio: resize = KeepWidth | KeepHeight; break;
    default: break;
    }
}

void keepButtonsBesideTheirEntries(std::vector<ResizeEntry>& controls) {
    const auto isEntry = [](int32_t t) { return t == TypeEntry || t == TypeCombo || t == TypeSpin || t == TypeDropCombo; };
    for (ResizeEntry& b : controls) {
        if (b.type != TypeButton) continue;
        const int32_t middle = b.pos.y + b.pos.height / 2;
        for (const ResizeEntry& e : controls) {
            const int32_t end = e.pos.x + e.pos.width;
            if (isEntry(e.type) && b.pos.x >= end && b.pos.x <= end + kBesideGap && middle >= e.pos.y &&
                middle < e.pos.y + e.pos.height) {
                b.positional = 0;
                break;
            }
        }
    }
}

int32_t sizeRatio(int32_t now, int32_t initial) {
    if (initial <= 0) return static_cast<int32_t>(kOne);
    const int64_t r = (int64_t(now) * kOne * 2 + initial) / (int64_t(initial) * 2);
    return static_cast<int32_t>(std::clamp<int64_t>(r, 0, 9999999));
}

Geometry placeControl(const ResizeEntry& e, const Geometry& orig, int32_t width, int32_t height) {
    const int64_t xr = sizeRatio(width, orig.width);
    const int64_t yr = sizeRatio(height, orig.height);
    const bool fixedW = e.resize & KeepWidth;
    const bool fixedH = e.resize & KeepHeight;
    Geometry g;
    g.x = scaled(e.pos.x, xr);
    g.y = scaled(e.pos.y, yr);
    g.width = fixedW ? e.pos.width : scaled(e.pos.width, xr);
    g.height = fixedH ? e.pos.height : scaled(e.pos.height, yr);

    int hs = e.positional & 0xFF;
    int vs = e.positional >> 8;
    if (hs == 16) hs = e.pos.x > orig.width - e.pos.x - e.pos.width ? 2 : 4;
    if (vs == 16) vs = e.pos.y > orig.height - e.pos.y - e.pos.height ? 2 : 4;
    if (xr != kOne) g.x = placeOnAxis(hs, fixedW, g.x, e.pos.x, orig.width, width, xr);
    if (yr != kOne) g.y = placeOnAxis(vs, fixedH, g.y, e.pos.y, orig.height, height, yr);
    if (e.type == TypeString && e.pos.width == 1) g.width = e.pos.width;
    return g;
}

}  // namespace mg::ui
