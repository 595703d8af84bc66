// A picture plug-in whose files describe the bitmap it hands over, so that
// the host's conversion can be tried on every header shape. A file is one line:
//   TSTDIB headerSize width height bits compression colorsUsed tableEntries pixelBytes
// The pixels show the same picture whichever row order the height gives:
// colour (x * 16, y * 16, 0x80) for direct colours, index (x + y) mod colours otherwise.
#include <cstdio>

#include "plugin_common.h"

namespace {

const char* const kInfo[] = {"00IN", "Bitmap shapes test plug-in", "*.tstdib", "Bitmap shape descriptions"};

struct Shape {
    long long headerSize, width, height, bits, compression, used, table, pixelBytes;
};

bool Parse(const char* name, Shape& s) {
    std::vector<uint8_t> f;
    if (!ReadWholeFile(name, f)) return false;
    f.push_back(0);
    return std::sscanf(reinterpret_cast<const char*>(f.data()), "TSTDIB %lld %lld %lld %lld %lld %lld %lld %lld",
                       &s.headerSize, &s.width, &s.height, &s.bits, &s.compression, &s.used, &s.table,
                       &s.pixelBytes) == 8;
}

RGBQUAD PaletteEntry(int i) {
    return {static_cast<BYTE>(i * 20), static_cast<BYTE>(i * 10), static_cast<BYTE>(255 - i * 5), 0};
}

}  // namespace

SPI_EXPORT int WINAPI GetPluginInfo(int index, char* buffer, int length) {
    return InfoString(kInfo, 4, index, buffer, length);
}

SPI_EXPORT int WINAPI IsSupported(const char*, void* header) {
    return header && std::memcmp(header, "TSTDIB", 6) == 0;
}

SPI_EXPORT int WINAPI GetPictureInfo(const char* source, SusieLong, unsigned, PictureInfoRecord* info) {
    Shape s;
    if (!Parse(source, s)) return kUnknownFormat;
    std::memset(info, 0, sizeof *info);
    // Placeholder values, as some plug-ins report: the bitmap carries the real size.
    info->width = 100;
    info->height = 100;
    info->colorDepth = 24;
    return kOk;
}

SPI_EXPORT int WINAPI GetPicture(const char* source, SusieLong, unsigned, HLOCAL* header, HLOCAL* pixels,
                                 ProgressFn, SusieLong) {
    Shape s;
    if (!Parse(source, s) || s.table < 0 || s.table > 4096 || s.pixelBytes < 0 || s.pixelBytes > (64 << 20))
        return kUnknownFormat;
    const size_t headerBytes = static_cast<size_t>(s.headerSize < 40 ? 40 : s.headerSize);
    std::vector<uint8_t> head(headerBytes + 4 * static_cast<size_t>(s.table), 0);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&head[at], &v, 4); };
    put32(0, static_cast<uint32_t>(s.headerSize));
    put32(4, static_cast<uint32_t>(s.width));
    put32(8, static_cast<uint32_t>(s.height));
    const uint16_t planes = 1, bits = static_cast<uint16_t>(s.bits);
    std::memcpy(&head[12], &planes, 2);
    std::memcpy(&head[14], &bits, 2);
    put32(16, static_cast<uint32_t>(s.compression));
    put32(32, static_cast<uint32_t>(s.used));
    for (long long i = 0; i < s.table; ++i) {
        RGBQUAD q = PaletteEntry(static_cast<int>(i));
        std::memcpy(&head[headerBytes + 4 * i], &q, 4);
    }
    std::vector<uint8_t> px(static_cast<size_t>(s.pixelBytes), 0);
    const long long w = s.width, rows = s.height < 0 ? -s.height : s.height;
    if (w > 0 && w < 100000 && rows < 100000 && (s.bits == 1 || s.bits == 4 || s.bits == 8 || s.bits == 16 ||
                                                  s.bits == 24 || s.bits == 32)) {
        const long long stride = ((w * s.bits + 31) / 32) * 4;
        const int colours = s.bits <= 8 ? static_cast<int>(s.used ? s.used : (1 << s.bits)) : 0;
        for (long long y = 0; y < rows && y * stride < static_cast<long long>(px.size()); ++y) {
            const long long row = s.height < 0 ? y : rows - 1 - y;
            if (row * stride >= static_cast<long long>(px.size())) continue;
            for (long long x = 0; x < w; ++x) {
                const long long at = row * stride;
                auto set = [&](long long i, uint8_t v) {
                    if (at + i >= 0 && at + i < static_cast<long long>(px.size())) px[at + i] |= v;
                };
                if (s.bits <= 8) {
                    const int index = static_cast<int>((x + y) % colours);
                    const long long bit = x * s.bits;
                    set(bit / 8, static_cast<uint8_t>(index << (8 - s.bits - bit % 8)));
                } else if (s.bits == 16) {
                    const uint16_t v = static_cast<uint16_t>(((x & 31) << 0) | ((y & 31) << 5) | (16 << 10));
                    set(2 * x, static_cast<uint8_t>(v)), set(2 * x + 1, static_cast<uint8_t>(v >> 8));
                } else {
                    const long long b = s.bits / 8;
                    set(b * x, static_cast<uint8_t>(x * 16)), set(b * x + 1, static_cast<uint8_t>(y * 16));
                    set(b * x + 2, 0x80);
                }
            }
        }
    }
    *header = BlockOf(head.data(), head.size());
    *pixels = BlockOf(px.data(), px.size());
    return kOk;
}
