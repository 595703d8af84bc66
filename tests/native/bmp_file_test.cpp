#include <gtest/gtest.h>

#include <cstring>

#include "engine/bmp_file.h"

using namespace tamsel;

namespace {
uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    uint16_t v;
    std::memcpy(&v, b.data() + at, 2);
    return v;
}
}  // namespace

TEST(BmpFile, TrueColourRowsArePaddedToFourBytesBehindTheTwoHeaders) {
    DibImage img;
    img.width = 3;
    img.height = 2;
    img.bitCount = 24;
    EXPECT_EQ(DibStride(3, 24), 12u);
    img.rows.assign(24, 0);
    for (size_t i = 0; i < 9; ++i) img.rows[i] = static_cast<uint8_t>(i + 1);
    auto b = EncodeBmpFile(img);
    ASSERT_EQ(b.size(), 14u + 40u + 24u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(U32(b, 2), b.size());
    EXPECT_EQ(U32(b, 10), 54u);
    EXPECT_EQ(U32(b, 14), 40u);
    EXPECT_EQ(static_cast<int32_t>(U32(b, 18)), 3);
    EXPECT_EQ(static_cast<int32_t>(U32(b, 22)), 2);  // positive: bottom-up
    EXPECT_EQ(U16(b, 26), 1);
    EXPECT_EQ(U16(b, 28), 24);
    EXPECT_EQ(U32(b, 30), 0u);
    EXPECT_EQ(U32(b, 34), 24u);
    EXPECT_EQ(0, std::memcmp(b.data() + 54, img.rows.data(), 24));
}

TEST(BmpFile, APaletteIsKeptAndCountedInTheOffset) {
    DibImage img;
    img.width = 9;
    img.height = 1;
    img.bitCount = 1;
    img.palette = {0x00FF0000, 0x000000FF};
    EXPECT_EQ(DibStride(9, 1), 4u);
    img.rows = {0xE3, 0x80, 0, 0};
    auto b = EncodeBmpFile(img);
    ASSERT_EQ(b.size(), 14u + 40u + 8u + 4u);
    EXPECT_EQ(U32(b, 10), 62u);
    EXPECT_EQ(U32(b, 46), 2u);
    EXPECT_EQ(U32(b, 54), 0x00FF0000u);
    EXPECT_EQ(U32(b, 58), 0x000000FFu);
}

TEST(BmpFile, InconsistentImagesGiveNoFile) {
    DibImage img;
    img.width = 2;
    img.height = 2;
    img.rows.assign(15, 0);  // one byte short
    EXPECT_TRUE(EncodeBmpFile(img).empty());
    img.rows.assign(16, 0);
    img.bitCount = 8;  // a palette picture without a palette
    EXPECT_TRUE(EncodeBmpFile(img).empty());
    img.bitCount = 16;
    EXPECT_EQ(DibStride(2, 16), 0u);
    EXPECT_TRUE(EncodeBmpFile(img).empty());
    img.bitCount = 24;
    img.height = 0;
    EXPECT_TRUE(EncodeBmpFile(img).empty());
    EXPECT_EQ(DibStride(-1, 24), 0u);
}
