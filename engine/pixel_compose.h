#pragma once
// Pixels with alpha shown on an opaque colour.
#include <cstdint>

namespace tamsel {

// One row of `width` blue-green-red-alpha pixels (straight alpha) onto
// `background` (0xRRGGBB), as blue-green-red bytes, rounded to nearest.
void ComposeRowOnColour(const uint8_t* bgra, uint8_t* bgr, int width, uint32_t background);

}  // namespace tamsel
