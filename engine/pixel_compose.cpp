#include "engine/pixel_compose.h"

namespace tamsel {

void ComposeRowOnColour(const uint8_t* bgra, uint8_t* bgr, int width, uint32_t background) {
    const unsigned back[3] = {background & 0xFF, (background >> 8) & 0xFF, (background >> 16) & 0xFF};
    for (int x = 0; x < width; ++x, bgra += 4, bgr += 3) {
        const unsigned a = bgra[3];
        for (int c = 0; c < 3; ++c) bgr[c] = static_cast<uint8_t>((bgra[c] * a + back[c] * (255 - a) + 127) / 255);
    }
}

}  // namespace tamsel
