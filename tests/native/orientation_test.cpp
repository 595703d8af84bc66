// Which way up a photo is, from the bytes its file starts with, and the turn
// that shows it upright.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/orientation.h"

using namespace tamsel;

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint16_t v, bool big) {
    if (big) b.push_back(v >> 8), b.push_back(v & 0xFF);
    else b.push_back(v & 0xFF), b.push_back(v >> 8);
}
void Put32(Bytes& b, uint32_t v, bool big) {
    Put16(b, big ? v >> 16 : v & 0xFFFF, big);
    Put16(b, big ? v & 0xFFFF : v >> 16, big);
}

// A TIFF structure whose IFD0 (after `gap` bytes) holds a width entry and the
// orientation entry (`type` SHORT unless said); `ifd` and `count` can lie.
Bytes Tiff(bool big, uint16_t orientation, uint32_t ifd = 8, uint16_t count = 2, uint16_t type = 3, size_t gap = 0) {
    Bytes b = big ? Bytes{'M', 'M', 0, 42} : Bytes{'I', 'I', 42, 0};
    Put32(b, ifd, big);
    b.resize(b.size() + gap, 0);
    Put16(b, count, big);
    Put16(b, 0x0100, big), Put16(b, 4, big), Put32(b, 1, big), Put32(b, 640, big);  // width
    Put16(b, 0x0112, big), Put16(b, type, big), Put32(b, 1, big), Put16(b, orientation, big), Put16(b, 0, big);
    Put32(b, 8, big);  // the next IFD: this one again
    return b;
}

// A JPEG's start: APP0, `before` bytes of another segment, then the Exif APP1.
Bytes Jpeg(const Bytes& exif, size_t padding = 0, uint16_t before = 0) {
    Bytes b = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};  // APP0
    if (before) {
        b.push_back(0xFF), b.push_back(0xE2);
        Put16(b, before, true);
        b.resize(b.size() + before - 2, 0);
    }
    Bytes app1 = {'E', 'x', 'i', 'f', 0, 0};
    app1.insert(app1.end(), exif.begin(), exif.end());
    app1.resize(app1.size() + padding, 0);
    b.push_back(0xFF), b.push_back(0xE1);
    Put16(b, static_cast<uint16_t>(app1.size() + 2), true);
    b.insert(b.end(), app1.begin(), app1.end());
    for (uint8_t x : {0xFF, 0xDA, 0x00, 0x02, 0x11, 0x22, 0xFF, 0xD9}) b.push_back(x);
    return b;
}

Bytes Png(const Bytes& exif) {
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&](const char* type, const Bytes& data) {
        Put32(b, static_cast<uint32_t>(data.size()), true);
        b.insert(b.end(), type, type + 4);
        b.insert(b.end(), data.begin(), data.end());
        Put32(b, 0, true);  // the check sum, never looked at
    };
    chunk("IHDR", Bytes(13, 1));
    chunk("eXIf", exif);
    chunk("IEND", {});
    return b;
}

Bytes Webp(const Bytes& exif, bool exifPrefix) {
    Bytes b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'};
    auto chunk = [&](const char* type, Bytes data) {
        b.insert(b.end(), type, type + 4);
        Put32(b, static_cast<uint32_t>(data.size()), false);
        const bool odd = data.size() & 1;
        b.insert(b.end(), data.begin(), data.end());
        if (odd) b.push_back(0);
    };
    chunk("VP8X", Bytes(9, 0));  // odd: padded
    Bytes block = exifPrefix ? Bytes{'E', 'x', 'i', 'f', 0, 0} : Bytes{};
    block.insert(block.end(), exif.begin(), exif.end());
    chunk("EXIF", block);
    return b;
}

int Read(const Bytes& b) { return ExifOrientation(b.data(), b.size()); }

}  // namespace

TEST(Orientation, EveryContainerAndByteOrderGivesTheTag) {
    for (bool big : {false, true})
        for (uint16_t o = 1; o <= 8; ++o) {
            SCOPED_TRACE(testing::Message() << (big ? "big" : "little") << "-endian, orientation " << o);
            const Bytes tiff = Tiff(big, o);
            EXPECT_EQ(Read(Jpeg(tiff)), o);
            EXPECT_EQ(Read(tiff), o);
            EXPECT_EQ(Read(Png(tiff)), o);
            EXPECT_EQ(Read(Webp(tiff, false)), o);
            EXPECT_EQ(Read(Webp(tiff, true)), o);
        }
    // An Exif segment reaching past the first read, its IFD at the end: asked for whole, read whole.
    const Bytes longer = Jpeg(Tiff(true, 6, 8 + 60000, 2, 3, 60000), 0, 8000);
    const size_t wanted = OrientationBytesWanted(longer.data(), kOrientationFirstRead);
    EXPECT_GT(wanted, kOrientationFirstRead);
    EXPECT_LT(wanted, longer.size());
    EXPECT_EQ(ExifOrientation(longer.data(), kOrientationFirstRead), 1);
    EXPECT_EQ(ExifOrientation(longer.data(), wanted), 6);
    const Bytes plain = Jpeg(Tiff(false, 3));
    EXPECT_EQ(OrientationBytesWanted(plain.data(), plain.size()), plain.size());
    // The size from the frame header after the Exif segment (a progressive one here), when the bytes reach it.
    Bytes framed(plain.begin(), plain.end() - 8);
    for (uint8_t x : {0xFF, 0xC2, 0x00, 0x11, 0x08, 0x0B, 0xB8, 0x0F, 0xA0, 0x03}) framed.push_back(x);
    framed.resize(framed.size() + 15, 0);
    int w = 0, h = 0;
    ASSERT_TRUE(JpegSize(framed.data(), framed.size(), w, h));
    EXPECT_EQ(w, 4000);
    EXPECT_EQ(h, 3000);
    EXPECT_FALSE(JpegSize(plain.data(), plain.size(), w, h));  // the pixels begin before any frame header
    EXPECT_FALSE(JpegSize(framed.data(), framed.size() - 30, w, h));
}

TEST(Orientation, AnythingThatCannotBeFollowedIsUpright) {
    const Bytes cases[] = {
        Tiff(false, 6, 4000),                 // IFD past the end
        Tiff(true, 6, 0xFFFFFFF0u),           // ... far past
        Tiff(false, 6, 4),                    // IFD inside the header
        Tiff(false, 6, 8, 2, 4),              // a LONG, not a SHORT
        Tiff(false, 9),                       // no orientation there is
        Tiff(false, 0),
        Bytes{'I', 'I', 42, 0, 8, 0, 0, 0},  // no room for the count
        Jpeg(Bytes(3, 0)),
        Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0, 1},  // a length shorter than itself
        Bytes{0xFF, 0xD8, 0xFF, 0xDA, 0, 8, 'E', 'x', 'i', 'f', 0, 0},  // pixels come first
        Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P', 'E', 'X', 'I', 'F', 0xFF, 0xFF, 0xFF, 0x7F},
        Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0xFF, 0xFF, 0xFF, 0xF0, 'e', 'X', 'I', 'f'},
        Bytes{},
    };
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(Read(cases[i]), 1) << i;
    // A count the bytes cannot hold: the entries they do hold are read (IFD0's
    // next-IFD offset points back at itself, and is never followed).
    EXPECT_EQ(Read(Tiff(false, 6, 8, 65535)), 6);
    // Every shortened file: no read beyond it, and nothing but upright or the tag.
    const Bytes whole = Jpeg(Tiff(true, 7));
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        const Bytes part(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut));
        const int o = Read(part);
        EXPECT_TRUE(o == 1 || o == 7) << cut;
    }
}

TEST(Orientation, EachTurnShowsThePictureUpright) {
    // abc/def, one byte a pixel; each orientation's upright picture as the tag defines it.
    const Bytes src = {'a', 'b', 'c', 'd', 'e', 'f'};
    const char* upright[9] = {"", "abcdef", "cbafed", "fedcba", "defabc", "adbecf", "daebfc", "fcebda", "cfbead"};
    for (int o = 1; o <= 8; ++o) {
        const int outW = SwapsSides(o) ? 2 : 3;
        Bytes dst(6, 0);
        TurnPixels(src.data(), 3, 2, 3, 1, dst.data(), outW, o);
        EXPECT_EQ(std::string(dst.begin(), dst.end()), upright[o]) << o;
    }
    // Larger than a tile, wider pixels and padded rows: four right turns, a
    // left after a right and two flips each give the picture back.
    const int w = 130, h = 70;
    for (int bpp : {3, 4}) {
        const ptrdiff_t pad = 5, stride = w * bpp + pad, turnedStride = h * bpp + pad;
        Bytes picture(static_cast<size_t>(stride * h));
        for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint8_t>(i * 7 + i / 13);
        auto turn = [&](const Bytes& in, int inW, int inH, int o) {
            const int outW = SwapsSides(o) ? inH : inW, outH = SwapsSides(o) ? inW : inH;
            const ptrdiff_t inStride = inW * bpp + pad, outStride = outW * bpp + pad;
            Bytes out(static_cast<size_t>(outStride * outH), 0);
            TurnPixels(in.data(), inW, inH, inStride, bpp, out.data(), outStride, o);
            return out;
        };
        auto pixelsEqual = [&](const Bytes& a, const Bytes& b) {
            for (int y = 0; y < h; ++y)
                if (std::memcmp(&a[static_cast<size_t>(y * stride)], &b[static_cast<size_t>(y * stride)], static_cast<size_t>(w * bpp)))
                    return false;
            return true;
        };
        Bytes r = picture;
        for (int i = 0; i < 4; ++i) r = turn(r, i % 2 ? h : w, i % 2 ? w : h, static_cast<int>(Turn::Right));
        EXPECT_TRUE(pixelsEqual(r, picture)) << bpp;
        EXPECT_TRUE(pixelsEqual(turn(turn(picture, w, h, 6), h, w, 8), picture)) << bpp;
        EXPECT_TRUE(pixelsEqual(turn(turn(picture, w, h, 2), w, h, 2), picture)) << bpp;
        EXPECT_TRUE(pixelsEqual(turn(turn(picture, w, h, 4), w, h, 4), picture)) << bpp;
        EXPECT_EQ(turnedStride, h * bpp + pad);
    }
}
