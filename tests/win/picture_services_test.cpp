// The platform decoder and the BMP writer on real files.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/picture_services.h"
#include "test_support.h"

using namespace tamsel;
using namespace testing_support;
using forms::Picture;

namespace {
Picture Load(const std::wstring& path) {
    Picture p;
    EXPECT_EQ(LoadPicture(path, p), S_OK) << "loading failed";
    return p;
}
uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    uint32_t v = 0;
    if (b.size() >= at + 4) std::memcpy(&v, b.data() + at, 4);
    return v;
}
size_t FilesIn(const std::wstring& dir) {
    size_t n = 0;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return n;
}
}  // namespace

TEST(LoadPicture, DecodesBmpJpegAndGifAtTheirOwnSize) {
    Picture bmp = Load(DataPath(L"sample.bmp"));
    EXPECT_EQ(bmp.Type(), PICTYPE_BITMAP);
    EXPECT_EQ(bmp.WidthPixels(), 7);
    EXPECT_EQ(bmp.HeightPixels(), 5);
    EXPECT_EQ(PixelOf(bmp, 0, 0), 0xFF0000u);
    EXPECT_EQ(PixelOf(bmp, 6, 0), 0x00FF00u);
    EXPECT_EQ(PixelOf(bmp, 0, 4), 0x0000FFu);
    EXPECT_EQ(PixelOf(bmp, 6, 4), 0xFFFFFFu);
    EXPECT_EQ(PixelOf(bmp, 3, 2), 0x204080u);

    Picture jpg = Load(DataPath(L"sample.jpg"));
    EXPECT_EQ(jpg.WidthPixels(), 40);
    EXPECT_EQ(jpg.HeightPixels(), 30);
    uint32_t top = PixelOf(jpg, 20, 0);
    EXPECT_GT((top >> 16) & 255, 200u);  // orange at the top, blue at the bottom
    EXPECT_GT(PixelOf(jpg, 20, 29) & 255, 200u);

    Picture gif = Load(DataPath(L"sample.gif"));
    EXPECT_EQ(gif.WidthPixels(), 24);
    EXPECT_EQ(gif.HeightPixels(), 16);
    EXPECT_EQ(PixelOf(gif, 8, 7), 0xF0F000u);
    EXPECT_EQ(PixelOf(gif, 20, 14), 0x10A010u);
}

TEST(LoadPicture, TheEmptyPathGivesTheEmptyPictureAndEverythingElseFails) {
    Picture p = Load(DataPath(L"sample.bmp"));
    EXPECT_EQ(LoadPicture(L"", p), S_OK);
    EXPECT_TRUE(p.Empty());

    TempDir dir;
    WriteBytes(dir / L"notes.txt", {'h', 'e', 'l', 'l', 'o', '\r', '\n'});
    WriteBytes(dir / L"empty.jpg", {});
    Picture q = Load(DataPath(L"sample.gif"));
    EXPECT_TRUE(FAILED(LoadPicture(dir / L"notes.txt", q)));
    EXPECT_TRUE(FAILED(LoadPicture(dir / L"empty.jpg", q)));
    EXPECT_TRUE(FAILED(LoadPicture(dir / L"missing.bmp", q)));
    EXPECT_TRUE(FAILED(LoadPicture(dir.path(), q)));
    EXPECT_EQ(q.WidthPixels(), 24);  // a failure leaves the caller's picture alone
}

TEST(SavePicture, WritesAValidBmpThatReadsBackPixelForPixel) {
    TempDir dir;
    Picture bmp = Load(DataPath(L"sample.bmp"));
    ASSERT_EQ(SavePicture(bmp, dir / L"out.bmp"), S_OK);
    auto b = ReadBytes(dir / L"out.bmp");
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(U32(b, 2), b.size());
    EXPECT_EQ(U32(b, 14), 40u);
    EXPECT_EQ(b[28], 24);
    EXPECT_EQ(b.size(), 54u + 5 * 24);  // 7 pixels of 3 bytes padded to 24
    Picture back = Load(dir / L"out.bmp");
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(PixelOf(back, x, y), PixelOf(bmp, x, y)) << x << "," << y;

    // A 1-bit file reads back with the same pixels.
    Picture mono = Load(DataPath(L"palette.bmp"));
    ASSERT_EQ(SavePicture(mono, dir / L"mono.bmp"), S_OK);
    Picture monoBack = Load(dir / L"mono.bmp");
    for (int x = 0; x < 9; ++x) EXPECT_EQ(PixelOf(monoBack, x, 1), PixelOf(mono, x, 1)) << x;

    // A name without an extension is written as given.
    Picture jpg = Load(DataPath(L"sample.jpg"));
    ASSERT_EQ(SavePicture(jpg, dir / L"noext"), S_OK);
    Picture jpgBack = Load(dir / L"noext");
    EXPECT_EQ(jpgBack.WidthPixels(), 40);
    EXPECT_EQ(PixelOf(jpgBack, 20, 15), PixelOf(jpg, 20, 15));
}

TEST(SavePicture, ABitmapWithAPaletteKeepsItsPalette) {
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colours[4];
    } bi{};
    bi.h.biSize = sizeof bi.h;
    bi.h.biWidth = 5;
    bi.h.biHeight = -2;
    bi.h.biPlanes = 1;
    bi.h.biBitCount = 8;
    bi.h.biClrUsed = 4;
    bi.colours[1] = {0x30, 0x20, 0x10, 0};  // blue, green, red
    bi.colours[2] = {0xFF, 0x00, 0x80, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    auto* px = static_cast<uint8_t*>(bits);
    const uint8_t indices[2][5] = {{0, 1, 2, 1, 0}, {2, 2, 1, 0, 3}};
    for (int y = 0; y < 2; ++y) std::memcpy(px + 8 * y, indices[y], 5);  // rows of 8 bytes
    Picture pal = Picture::FromBitmap(dib);

    TempDir dir;
    ASSERT_EQ(SavePicture(pal, dir / L"pal.bmp"), S_OK);
    auto b = ReadBytes(dir / L"pal.bmp");
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(b[28], 8);
    EXPECT_EQ(U32(b, 10), 54u + 4 * U32(b, 46));
    EXPECT_EQ(U32(b, 54 + 4), 0x102030u);
    EXPECT_EQ(U32(b, 54 + 8), 0x8000FFu);
    // Bottom-up: the file's first row is the picture's last.
    EXPECT_EQ(b[U32(b, 10) + 0], 2);
    EXPECT_EQ(b[U32(b, 10) + 8 + 1], 1);
    Picture back = Load(dir / L"pal.bmp");
    EXPECT_EQ(PixelOf(back, 1, 0), 0x102030u);
    EXPECT_EQ(PixelOf(back, 0, 1), 0x8000FFu);
}

TEST(SavePicture, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    TempDir dir;
    Picture bmp = Load(DataPath(L"sample.bmp"));
    const std::wstring target = dir / L"locked.bmp";
    WriteBytes(target, {'o', 'l', 'd'});
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(FAILED(SavePicture(bmp, target)));
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(FilesIn(dir.path()), 1u);

    EXPECT_TRUE(FAILED(SavePicture(bmp, dir / L"no such folder\\x.bmp")));
    EXPECT_TRUE(FAILED(SavePicture(Picture(), dir / L"empty.bmp")));
    EXPECT_EQ(FilesIn(dir.path()), 1u);

    // Replacing a writable file works and leaves one file.
    WriteBytes(dir / L"old.bmp", {'x'});
    ASSERT_EQ(SavePicture(bmp, dir / L"old.bmp"), S_OK);
    EXPECT_EQ(ReadBytes(dir / L"old.bmp").size(), 174u);
    EXPECT_EQ(FilesIn(dir.path()), 2u);
}
