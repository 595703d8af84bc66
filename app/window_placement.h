#pragma once
// Where a viewer window goes: the anchor point of a window and the window's
// place for an anchor, in twips, with halves rounded to even. Windows-free.
#include <cstdint>
#include <optional>

#include "app/settings_record.h"

namespace tamsel {

struct Rect32 {
    int32_t left = 0, top = 0, width = 0, height = 0;  // twips
};
struct Point32 {
    int32_t x = 0, y = 0;
};

// The point of the window that index 0..4 names; nothing for another index.
std::optional<Point32> AnchorOf(const Rect32& window, int16_t index);

// Left and top that put the window's indexed point on the anchor (another
// index keeps the window where it is), then pushed inside the screen.
Point32 PlaceAtAnchor(const Rect32& window, int16_t index, Point32 anchor, int32_t screenWidth, int32_t screenHeight);

// Check boxes hold 0, 1 or 2; only 1 is True, and only True (-1) is ticked.
VBBool CheckToBool(int16_t value);
int16_t BoolToCheck(VBBool value);

}  // namespace tamsel
