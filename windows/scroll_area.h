#pragma once
// The framed window's scrolling area: which bars a picture needs, their
// ranges and steps, and where a drag leaves the picture. Twips. Windows-free.
#include <cstdint>

namespace tamsel {

// Bars shown and the room they leave for the picture.
struct BarChoice {
    bool horizontal = false, vertical = false;
    int32_t width = 0, height = 0;  // the area left for the picture
};

// The horizontal bar comes first; a bar that takes room can make the other needed.
BarChoice ChooseBars(int32_t innerWidth, int32_t innerHeight, int32_t viewWidth, int32_t viewHeight,
                     int32_t hBarHeight, int32_t vBarWidth);

// A bar's range and steps. Bar values are 16-bit; where the picture exceeds
// the area by more than that, one bar unit stands for `unit` twips so the
// whole picture stays reachable.
struct BarRange {
    int32_t max = 32767;
    int32_t largeChange = 1;
    int32_t smallChange = 1;
    int32_t unit = 1;
    int32_t extent = 32767;  // how far the picture can move, twips
};

// The range for a picture of viewSize twips in an area of areaSize; what
// cannot be set (no area, a picture smaller than the area, an overflowing
// step) keeps the old value.
BarRange SizeBar(const BarRange& old, int32_t viewSize, int32_t areaSize);

// The picture's offset (its Left or Top) for a bar value.
int32_t OffsetForValue(const BarRange& bar, int32_t value);

// Where a drag to `wanted` (the picture's new Left or Top) ends: inside
// [-extent, 0], with the bar value that shows it.
struct DragStop {
    double offset = 0;
    int32_t value = 0;
};
DragStop ClampDrag(const BarRange& bar, double wanted);

// Whole wheel notches (120 units each, positive away from the user) of what
// has turned so far; fine-grained wheels send parts of a notch, which wait in
// `pending` for the rest. A turn back drops what waited.
int32_t WheelNotches(int32_t& pending, int32_t delta);

// A bar's value after the wheel moved it `notches` small changes back
// (positive) or on (negative), inside [min, max].
int32_t WheelValue(int32_t value, int32_t notches, int32_t smallChange, int32_t min, int32_t max);

// The grip is never dragged left of this (twips), which keeps the window from becoming too narrow.
constexpr int32_t kGripMinimumLeft = 1245;

}  // namespace tamsel
