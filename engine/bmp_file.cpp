#include "engine/bmp_file.h"

namespace tamsel {
namespace {

void Put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

uint64_t DibStride(int32_t width, uint16_t bitCount) {
    if (width <= 0 || (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24)) return 0;
    return ((static_cast<uint64_t>(width) * bitCount + 31) / 32) * 4;
}

std::vector<uint8_t> EncodeBmpFile(const DibImage& img) {
    const uint64_t stride = DibStride(img.width, img.bitCount);
    if (stride == 0 || img.height <= 0) return {};
    const uint64_t imageBytes = stride * static_cast<uint64_t>(img.height);
    if (img.rows.size() != imageBytes) return {};
    const size_t maxColours = img.bitCount == 24 ? 0 : (size_t{1} << img.bitCount);
    if (img.palette.size() > maxColours || (img.bitCount != 24 && img.palette.empty())) return {};
    const uint64_t headers = 14 + 40 + 4 * img.palette.size();
    const uint64_t total = headers + imageBytes;
    if (total > 0xFFFFFFFFull) return {};

    std::vector<uint8_t> b;
    b.reserve(static_cast<size_t>(total));
    b.push_back('B');
    b.push_back('M');
    Put32(b, static_cast<uint32_t>(total));
    Put32(b, 0);
    Put32(b, static_cast<uint32_t>(headers));
    Put32(b, 40);
    Put32(b, static_cast<uint32_t>(img.width));
    Put32(b, static_cast<uint32_t>(img.height));
    Put16(b, 1);
    Put16(b, img.bitCount);
    Put32(b, 0);  // BI_RGB
    Put32(b, static_cast<uint32_t>(imageBytes));
    Put32(b, 3780);  // 96 dpi in pixels per metre
    Put32(b, 3780);
    Put32(b, static_cast<uint32_t>(img.palette.size()));
    Put32(b, 0);
    for (uint32_t c : img.palette) Put32(b, c & 0x00FFFFFF);
    b.insert(b.end(), img.rows.begin(), img.rows.end());
    return b;
}

}  // namespace tamsel
