#include "engine/orientation.h"

#include <algorithm>
#include <cstring>

namespace tamsel {
namespace {

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t Be32(const uint8_t* p) { return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]; }
uint32_t Le32(const uint8_t* p) { return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]; }

bool Starts(const uint8_t* data, size_t size, const char* magic, size_t n) {
    return size >= n && std::memcmp(data, magic, n) == 0;
}

// An Exif block: the TIFF structure, after the "Exif\0\0" that some writers put first.
int ExifBlock(const uint8_t* p, size_t n) {
    if (Starts(p, n, "Exif\0\0", 6)) p += 6, n -= 6;
    return TiffOrientation(p, n);
}

// Walks a JPEG's segments before its pixels: `visit(marker, at, length)` for
// each (at: where its marker is; length as the segment says, at least 2)
// until it returns true, or the bytes or the segments end. Whether it did.
template <typename Visit>
bool WalkJpeg(const uint8_t* data, size_t size, Visit visit) {
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF) return false;
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
            at += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return false;  // the pixels begin
        const size_t length = Be16(data + at + 2);
        if (length < 2) return false;
        if (visit(marker, at, length)) return true;
        at += 2 + length;
    }
    return false;
}

// Where a JPEG's first Exif segment starts and ends (its payload), if it has one.
bool JpegExif(const uint8_t* data, size_t size, size_t& from, size_t& to) {
    return WalkJpeg(data, size, [&](uint8_t marker, size_t at, size_t length) {
        if (marker != 0xE1 || at + 10 > size || std::memcmp(data + at + 4, "Exif\0\0", 6) != 0) return false;
        from = at + 4;
        to = at + 2 + length;
        return true;
    });
}

int PngExif(const uint8_t* data, size_t size) {
    size_t at = 8;
    while (at + 12 <= size) {
        const uint32_t length = Be32(data + at);
        if (length > size - at - 12) return 1;
        if (std::memcmp(data + at + 4, "eXIf", 4) == 0) return ExifBlock(data + at + 8, length);
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) return 1;
        at += 12 + size_t{length};
    }
    return 1;
}

int WebpExif(const uint8_t* data, size_t size) {
    size_t at = 12;
    while (at + 8 <= size) {
        const uint32_t length = Le32(data + at + 4);
        if (length > size - at - 8) return 1;
        if (std::memcmp(data + at, "EXIF", 4) == 0) return ExifBlock(data + at + 8, length);
        at += 8 + size_t{length} + (length & 1);  // chunks are padded to even lengths
    }
    return 1;
}

}  // namespace

int TiffOrientation(const uint8_t* tiff, size_t size) {
    if (size < 8) return 1;
    bool big;
    if (std::memcmp(tiff, "II*\0", 4) == 0) {
        big = false;
    } else if (std::memcmp(tiff, "MM\0*", 4) == 0) {
        big = true;
    } else {
        return 1;
    }
    auto u16 = [&](size_t at) { return big ? Be16(tiff + at) : static_cast<uint16_t>(tiff[at] | tiff[at + 1] << 8); };
    auto u32 = [&](size_t at) { return big ? Be32(tiff + at) : Le32(tiff + at); };
    const uint32_t ifd = u32(4);
    if (ifd < 8 || ifd > size - 2) return 1;
    const uint16_t count = u16(ifd);
    // Only the entries that lie within the bytes given are looked at.
    const size_t entries = std::min<size_t>(count, (size - ifd - 2) / 12);
    for (size_t i = 0; i < entries; ++i) {
        const size_t e = ifd + 2 + 12 * i;
        if (u16(e) != 0x0112) continue;
        // A SHORT, one of it, its value in the entry itself.
        if (u16(e + 2) != 3 || u32(e + 4) != 1) return 1;
        const uint16_t v = u16(e + 8);
        return v >= 1 && v <= 8 ? v : 1;
    }
    return 1;
}

bool JpegSize(const uint8_t* data, size_t size, int& width, int& height) {
    // Frame headers: C0 to CF but for the tables C4, C8 and CC.
    return WalkJpeg(data, size, [&](uint8_t marker, size_t at, size_t) {
        if (marker < 0xC0 || marker > 0xCF || marker == 0xC4 || marker == 0xC8 || marker == 0xCC || at + 9 > size)
            return false;
        height = Be16(data + at + 5);
        width = Be16(data + at + 7);
        return width > 0 && height > 0;
    });
}

size_t OrientationBytesWanted(const uint8_t* data, size_t size) {
    size_t from = 0, to = 0;
    if (JpegExif(data, size, from, to) && to > size) return std::min(to, kOrientationMostRead);
    return size;
}

int ExifOrientation(const uint8_t* data, size_t size) {
    size = std::min(size, kOrientationMostRead);
    size_t from = 0, to = 0;
    if (JpegExif(data, size, from, to)) return ExifBlock(data + from, std::min(to, size) - from);
    if (Starts(data, size, "II*\0", 4) || Starts(data, size, "MM\0*", 4)) return TiffOrientation(data, size);
    if (Starts(data, size, "\x89PNG\r\n\x1a\n", 8)) return PngExif(data, size);
    if (size >= 12 && Starts(data, size, "RIFF", 4) && std::memcmp(data + 8, "WEBP", 4) == 0) return WebpExif(data, size);
    return 1;
}

void TurnPixels(const uint8_t* src, int w, int h, ptrdiff_t srcStride, int bytesPerPixel, uint8_t* dst,
                ptrdiff_t dstStride, int orientation) {
    if (orientation < 1 || orientation > 8) orientation = 1;
    const bool swap = SwapsSides(orientation);
    const int outW = swap ? h : w, outH = swap ? w : h;
    // Where output pixel (x, y) comes from: a source column and row as a
    // start plus steps per output column and per output row.
    int x0 = 0, y0 = 0, dxX = 1, dyX = 0, dxY = 0, dyY = 1;  // source x = x0 + dxX*x + dxY*y, y alike
    switch (orientation) {
    case 2: x0 = w - 1, dxX = -1; break;
    case 3: x0 = w - 1, y0 = h - 1, dxX = -1, dyY = -1; break;
    case 4: y0 = h - 1, dyY = -1; break;
    case 5: dxX = 0, dyX = 1, dxY = 1, dyY = 0; break;                            // transpose
    case 6: y0 = h - 1, dxX = 0, dyX = -1, dxY = 1, dyY = 0; break;               // 90° clockwise
    case 7: x0 = w - 1, y0 = h - 1, dxX = 0, dyX = -1, dxY = -1, dyY = 0; break;  // transverse
    case 8: x0 = w - 1, dxX = 0, dyX = 1, dxY = -1, dyY = 0; break;               // 90° anticlockwise
    default: break;
    }
    const ptrdiff_t stepX = dxX * bytesPerPixel + dyX * srcStride;  // source bytes per output column
    const ptrdiff_t stepY = dxY * bytesPerPixel + dyY * srcStride;  // and per output row
    // In tiles, so that the source rows a turned output row crosses stay in the cache.
    constexpr int kTile = 64;
    auto run = [&](auto copy) {
        for (int ty = 0; ty < outH; ty += kTile)
            for (int tx = 0; tx < outW; tx += kTile) {
                const int yEnd = std::min(outH, ty + kTile), xEnd = std::min(outW, tx + kTile);
                for (int y = ty; y < yEnd; ++y) {
                    const uint8_t* s = src + (y0 * srcStride + x0 * bytesPerPixel) + y * stepY + tx * stepX;
                    uint8_t* d = dst + y * dstStride + tx * bytesPerPixel;
                    for (int x = tx; x < xEnd; ++x, s += stepX, d += bytesPerPixel) copy(d, s);
                }
            }
    };
    // The pixel sizes the viewer uses, each copied without a call.
    if (bytesPerPixel == 3) {
        run([](uint8_t* d, const uint8_t* s) { d[0] = s[0], d[1] = s[1], d[2] = s[2]; });
    } else if (bytesPerPixel == 4) {
        run([](uint8_t* d, const uint8_t* s) { std::memcpy(d, s, 4); });
    } else {
        run([bytesPerPixel](uint8_t* d, const uint8_t* s) { std::memcpy(d, s, static_cast<size_t>(bytesPerPixel)); });
    }
}

}  // namespace tamsel
