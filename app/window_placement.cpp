#include "app/window_placement.h"

#include "app/numeric.h"

namespace tamsel {
namespace {
// Sizes are 32-bit floats, the arithmetic floating point, the result rounded to a 32-bit integer.
int32_t Round(double v) { return RoundToInt32(v).value_or(v < 0 ? INT32_MIN : INT32_MAX); }
double Size(int32_t twips) { return static_cast<float>(twips); }
}  // namespace

std::optional<Point32> AnchorOf(const Rect32& w, int16_t index) {
    const double l = w.left, t = w.top, width = Size(w.width), height = Size(w.height);
    switch (index) {
    case 0: return Point32{Round(l), Round(t)};
    case 1: return Point32{Round(l + width), Round(t)};
    case 2: return Point32{Round(l + width / 2), Round(t + height / 2)};
    case 3: return Point32{Round(l), Round(t + height)};
    case 4: return Point32{Round(l + width), Round(t + height)};
    default: return std::nullopt;
    }
}

Point32 PlaceAtAnchor(const Rect32& w, int16_t index, Point32 anchor, int32_t screenWidth, int32_t screenHeight) {
    const double x = anchor.x, y = anchor.y, width = Size(w.width), height = Size(w.height);
    Point32 p{w.left, w.top};
    switch (index) {
    case 0: p = {Round(x), Round(y)}; break;
    case 1: p = {Round(x - width), Round(y)}; break;
    case 2: p = {Round(x - width / 2), Round(y - height / 2)}; break;
    case 3: p = {Round(x), Round(y - height)}; break;
    case 4: p = {Round(x - width), Round(y - height)}; break;
    default: break;
    }
    if (p.x < 0) {
        p.x = 0;
    } else if (screenWidth - width < p.x) {
        p.x = Round(screenWidth - width);
    }
    if (p.y < 0) {
        p.y = 0;
    } else if (screenHeight - height < p.y) {
        p.y = Round(screenHeight - height);
    }
    return p;
}

VBBool CheckToBool(int16_t value) { return value == 1 ? kTrue : kFalse; }
int16_t BoolToCheck(VBBool value) { return value == kTrue ? 1 : 0; }

}  // namespace tamsel
