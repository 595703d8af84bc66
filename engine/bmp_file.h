#pragma once
// Windows BMP files: BITMAPFILEHEADER + BITMAPINFOHEADER, optional palette,
// bottom-up rows padded to 4 bytes. Windows-free.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tamsel {

struct DibImage {
    int32_t width = 0;
    int32_t height = 0;      // rows, stored bottom-up
    uint16_t bitCount = 24;  // 1, 4, 8 (with palette) or 24
    std::vector<uint32_t> palette;  // 0x00RRGGBB entries (RGBQUAD order in memory)
    std::vector<uint8_t> rows;      // height * DibStride(width, bitCount) bytes
};

// Bytes of one row, padded to a multiple of 4; 0 when the row cannot be represented.
uint64_t DibStride(int32_t width, uint16_t bitCount);

// The complete file; empty when the image is inconsistent or exceeds the format.
std::vector<uint8_t> EncodeBmpFile(const DibImage& image);

}  // namespace tamsel
