// The pixel buffer library through the real DLL, loaded by name.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "engine/rastel_library.h"

using namespace tamsel;

namespace {
HDC Dc(intptr_t h) { return reinterpret_cast<HDC>(h); }

SIZE BitmapSize(intptr_t h) {
    BITMAP bm{};
    GetObjectW(GetCurrentObject(Dc(h), OBJ_BITMAP), sizeof bm, &bm);
    return {bm.bmWidth, bm.bmHeight};
}
}  // namespace

TEST(Rastel, ThirtyTwoBuffersAtMostAndEachDeletesOnce) {
    std::vector<intptr_t> handles;
    for (int i = 0; i < 32; ++i) {
        intptr_t h = rastel::Create(4, 4);
        ASSERT_NE(h, 0) << i;
        handles.push_back(h);
    }
    EXPECT_EQ(rastel::Create(4, 4), 0);  // the 33rd
    EXPECT_EQ(rastel::Delete(handles[7]), 1);
    EXPECT_EQ(rastel::Delete(handles[7]), 0);
    const intptr_t again = rastel::Create(2, 2);  // a freed entry is used again
    EXPECT_NE(again, 0);
    EXPECT_EQ(rastel::Create(2, 2), 0);
    handles[7] = again;
    for (intptr_t h : handles) EXPECT_EQ(rastel::Delete(h), 1);
    EXPECT_EQ(rastel::Delete(0), 0);
    EXPECT_EQ(rastel::Delete(12345), 0);
    uint8_t b[4];
    EXPECT_EQ(rastel::GetData(0, b), 0);
    EXPECT_EQ(rastel::SetData(12345, b), 0);
    EXPECT_EQ(rastel::ChangeSize(12345, 1, 1), 0);
}

TEST(Rastel, RowsCrossAsPackedBlueGreenRedWithoutGaps) {
    const intptr_t h = rastel::Create(3, 2);
    ASSERT_NE(h, 0);
    SetPixel(Dc(h), 0, 0, RGB(1, 2, 3));
    SetPixel(Dc(h), 2, 0, RGB(4, 5, 6));
    SetPixel(Dc(h), 0, 1, RGB(7, 8, 9));
    SetPixel(Dc(h), 2, 1, RGB(10, 11, 12));
    std::vector<uint8_t> out(18 + 4, 0xAB);
    ASSERT_EQ(rastel::GetData(h, out.data()), 1);
    // Row length 9 (stride 12 inside): row 1 starts at byte 9.
    EXPECT_EQ((std::vector<uint8_t>(out.begin(), out.begin() + 3)), (std::vector<uint8_t>{3, 2, 1}));
    EXPECT_EQ((std::vector<uint8_t>(out.begin() + 6, out.begin() + 9)), (std::vector<uint8_t>{6, 5, 4}));
    EXPECT_EQ((std::vector<uint8_t>(out.begin() + 9, out.begin() + 12)), (std::vector<uint8_t>{9, 8, 7}));
    EXPECT_EQ((std::vector<uint8_t>(out.begin() + 15, out.begin() + 18)), (std::vector<uint8_t>{12, 11, 10}));
    EXPECT_EQ(out[18], 0xAB);  // nothing past the rows

    std::vector<uint8_t> in(18);
    for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(100 + i);
    ASSERT_EQ(rastel::SetData(h, in.data()), 1);
    EXPECT_EQ(GetPixel(Dc(h), 1, 1), RGB(114, 113, 112));  // bytes 12..14 are blue, green, red
    EXPECT_EQ(rastel::Delete(h), 1);

    const intptr_t four = rastel::Create(4, 1);
    ASSERT_NE(four, 0);
    std::vector<uint8_t> w4(12);
    for (size_t i = 0; i < w4.size(); ++i) w4[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(rastel::SetData(four, w4.data()), 1);
    EXPECT_EQ(GetPixel(Dc(four), 3, 0), RGB(11, 10, 9));
    EXPECT_EQ(rastel::Delete(four), 1);
}

TEST(Rastel, AfterChangeSizeTheSameHandleDrawsIntoTheNewSize) {
    const intptr_t h = rastel::Create(100, 100);
    ASSERT_NE(h, 0);
    ASSERT_EQ(rastel::ChangeSize(h, 300, 5), 1);
    const SIZE s = BitmapSize(h);
    EXPECT_EQ(s.cx, 300);
    EXPECT_EQ(s.cy, 5);
    // Draw beyond the old width with a device-context copy.
    HDC src = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(GetDC(nullptr), 10, 1);
    HGDIOBJ old = SelectObject(src, bmp);
    RECT r{0, 0, 10, 1};
    HBRUSH brush = CreateSolidBrush(RGB(0x10, 0x20, 0x30));
    FillRect(src, &r, brush);
    DeleteObject(brush);
    BitBlt(Dc(h), 250, 4, 10, 1, src, 0, 0, SRCCOPY);
    SelectObject(src, old);
    DeleteObject(bmp);
    DeleteDC(src);
    std::vector<uint8_t> out(300 * 5 * 3);
    ASSERT_EQ(rastel::GetData(h, out.data()), 1);
    const size_t at = (4 * 300 + 255) * 3;
    EXPECT_EQ(out[at], 0x30);
    EXPECT_EQ(out[at + 1], 0x20);
    EXPECT_EQ(out[at + 2], 0x10);
    EXPECT_EQ(rastel::Delete(h), 1);
}

TEST(Rastel, AFailedChangeSizeCopiesNothingAndStillDeletes) {
    const intptr_t h = rastel::Create(4, 4);
    ASSERT_NE(h, 0);
    EXPECT_EQ(rastel::ChangeSize(h, -5, 3), 0);
    std::vector<uint8_t> guard(64, 0x5A);
    EXPECT_EQ(rastel::GetData(h, guard.data()), 1);
    EXPECT_EQ(rastel::SetData(h, guard.data()), 1);
    EXPECT_EQ(guard, std::vector<uint8_t>(64, 0x5A));
    EXPECT_EQ(rastel::ChangeSize(h, 2, 2), 1);  // the entry can still take a bitmap
    EXPECT_EQ(rastel::Delete(h), 1);
    EXPECT_EQ(rastel::Delete(h), 0);
}

TEST(Rastel, AHeightOfZeroCopiesNothing) {
    const intptr_t h = rastel::Create(5, 0);
    if (h != 0) {  // the platform may refuse an empty bitmap; then there is no buffer
        std::vector<uint8_t> guard(16, 0x77);
        EXPECT_EQ(rastel::GetData(h, guard.data()), 1);
        EXPECT_EQ(guard, std::vector<uint8_t>(16, 0x77));
        EXPECT_EQ(rastel::Delete(h), 1);
    }
    const intptr_t b = rastel::Create(5, 3);
    ASSERT_NE(b, 0);
    rastel::ChangeSize(b, 5, 0);
    std::vector<uint8_t> guard(16, 0x77);
    EXPECT_EQ(rastel::GetData(b, guard.data()), 1);
    EXPECT_EQ(guard, std::vector<uint8_t>(16, 0x77));
    EXPECT_EQ(rastel::Delete(b), 1);
}
