// The orientation reader over any bytes a file can start with.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/orientation.h"

using namespace tamsel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);  // exactly these: a read beyond is caught
    const int o = ExifOrientation(bytes.data(), bytes.size());
    if (o < 1 || o > 8) __builtin_trap();
    const size_t wanted = OrientationBytesWanted(bytes.data(), bytes.size());
    if (wanted < bytes.size() && wanted != bytes.size()) __builtin_trap();
    if (wanted > kOrientationMostRead && wanted != bytes.size()) __builtin_trap();
    if (TiffOrientation(bytes.data(), bytes.size()) < 1) __builtin_trap();
    int w = 0, h = 0;
    if (JpegSize(bytes.data(), bytes.size(), w, h) && (w <= 0 || h <= 0 || w > 65535 || h > 65535)) __builtin_trap();
    return 0;
}
