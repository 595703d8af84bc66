#include "windows/scroll_area.h"

#include <algorithm>
#include <cmath>

#include "app/numeric.h"

namespace tamsel {

BarChoice ChooseBars(int32_t innerWidth, int32_t innerHeight, int32_t viewWidth, int32_t viewHeight,
                     int32_t hBarHeight, int32_t vBarWidth) {
    BarChoice c{false, false, innerWidth, innerHeight};
    if (c.width < viewWidth) {
        c.horizontal = true;
        c.height -= hBarHeight;
        if (c.height < viewHeight) {
            c.vertical = true;
            c.width -= vBarWidth;
        }
    } else if (c.height < viewHeight) {
        c.vertical = true;
        c.width -= vBarWidth;
        if (c.width < viewWidth) {
            c.horizontal = true;
            c.height -= hBarHeight;
        }
    }
    return c;
}

namespace {
constexpr int32_t kBarLimit = 32767;
// A Max this far below the limit keeps Max + 120 inside 16 bits.
constexpr int32_t kScaledMax = kBarLimit - 120;
}  // namespace

BarRange SizeBar(const BarRange& old, int32_t viewSize, int32_t areaSize) {
    BarRange bar = old;
    const int64_t excess = static_cast<int64_t>(viewSize) - areaSize;
    if (excess > kBarLimit) {
        bar.unit = static_cast<int32_t>((excess + kScaledMax - 1) / kScaledMax);
        bar.max = static_cast<int32_t>((excess + bar.unit - 1) / bar.unit);
        bar.extent = static_cast<int32_t>(excess);
    } else if (excess >= -32768) {
        bar.unit = 1;
        bar.max = static_cast<int32_t>(excess);
        bar.extent = static_cast<int32_t>(std::max<int64_t>(excess, 0));
    }
    // A page is the share of the range the area shows: (Max + 120) \ (picture \ area).
    if (areaSize <= 0) return bar;
    const int32_t pages = viewSize / areaSize;
    const int32_t sum = bar.max + 120;
    if (pages == 0 || sum > kBarLimit) return bar;
    const int32_t large = sum / pages;
    if (large < 1 || large > kBarLimit) return bar;
    bar.largeChange = large;
    const auto small = static_cast<int32_t>(RoundHalfEven(large / 10.0));
    if (small >= 1) bar.smallChange = small;
    return bar;
}

int32_t OffsetForValue(const BarRange& bar, int32_t value) {
    const int64_t moved = std::min<int64_t>(static_cast<int64_t>(value) * bar.unit, bar.extent);
    return static_cast<int32_t>(-std::max<int64_t>(moved, 0));
}

DragStop ClampDrag(const BarRange& bar, double wanted) {
    if (wanted < -static_cast<double>(bar.extent)) return {-static_cast<double>(bar.extent), bar.max};
    if (wanted > 0) return {0, 0};
    const double value = RoundHalfEven(-wanted / bar.unit);
    return {wanted, static_cast<int32_t>(std::min<double>(value, bar.max))};
}

int32_t WheelNotches(int32_t& pending, int32_t delta) {
    constexpr int32_t kNotch = 120;
    if ((pending > 0 && delta < 0) || (pending < 0 && delta > 0)) pending = 0;
    const int64_t total = int64_t{pending} + delta;
    const int64_t notches = total / kNotch;  // toward zero: the part of a notch keeps its sign
    pending = static_cast<int32_t>(total - notches * kNotch);
    return static_cast<int32_t>(notches);
}

int32_t WheelValue(int32_t value, int32_t notches, int32_t smallChange, int32_t min, int32_t max) {
    const int64_t wanted = int64_t{value} - int64_t{notches} * smallChange;
    return static_cast<int32_t>(std::clamp<int64_t>(wanted, min, std::max(min, max)));
}

}  // namespace tamsel
