// The platform's imaging component as the last reader: TIFF variants read
// pixel for pixel, transparency shown on the window colour, the first of
// several pages, damaged and oversized files refused like any unreadable
// file, and the open dialog offering the component's formats.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/frmBackground.h"
#include "engine/picture_services.h"
#include "engine/wic_decoder.h"
#include "forms/filter.h"
#include "app/mdlTamsel.h"
#include "test_support.h"

using namespace tamsel;
using namespace testing_support;

namespace {

std::wstring Tiff(const std::wstring& name) { return DataPath(L"tiff\\" + name); }

// A little-endian TIFF of 8-bit grey whose directory claims `width` x `height`
// pixels but whose one strip holds 16 bytes.
std::vector<uint8_t> ClaimedSizeTiff(uint32_t width, uint32_t height) {
    std::vector<uint8_t> f{'I', 'I', 42, 0, 8, 0, 0, 0};
    auto u16 = [&](uint16_t v) { f.push_back(v & 0xFF), f.push_back(v >> 8); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    const uint16_t entries = 8;
    const uint32_t data = 8 + 2 + entries * 12 + 4;
    u16(entries);
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t value) {
        u16(tag), u16(type), u32(1);
        if (type == 3) {
            u16(static_cast<uint16_t>(value)), u16(0);
        } else {
            u32(value);
        }
    };
    entry(256, 4, width);
    entry(257, 4, height);
    entry(258, 3, 8);
    entry(259, 3, 1);
    entry(262, 3, 1);
    entry(273, 4, data);
    entry(278, 4, height);
    entry(279, 4, 16);
    u32(0);
    f.resize(f.size() + 16, 0x80);
    return f;
}

class ImagingTest : public ::testing::Test {
protected:
    void SetUp() override { ResetProgramState(); }
    void TearDown() override { ResetProgramState(); }
    TempDir dir;
};

}  // namespace

TEST_F(ImagingTest, TiffVariantsReadAsTheSamePixelsAsTheirBitmaps) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"rgb-lzw.tif", L"rgb.bmp"}, {L"rgb-zip.tif", L"rgb.bmp"}, {L"rgb16.tif", L"rgb.bmp"},
        {L"palette.tif", L"palette.bmp"}};
    for (const auto& [tiff, bmp] : cases) {
        SCOPED_TRACE(testing::Message() << tiff);
        forms::Picture expected, read;
        ASSERT_EQ(LoadPicture(Tiff(bmp), expected), S_OK);
        EXPECT_NE(LoadPicture(Tiff(tiff), read), S_OK);  // only the imaging component reads it
        ASSERT_EQ(LoadWicPicture(Tiff(tiff), RGB(1, 2, 3), read), S_OK);
        int ew = 0, eh = 0, rw = 0, rh = 0;
        const auto want = PackedPixels(expected, ew, eh), got = PackedPixels(read, rw, rh);
        EXPECT_EQ(rw, 37);
        EXPECT_EQ(rh, 23);
        EXPECT_EQ(rw, ew);
        EXPECT_EQ(rh, eh);
        EXPECT_TRUE(got == want);
    }
}

TEST_F(ImagingTest, TransparencyLiesOnTheGivenColourAndOnlyTheFirstPageIsRead) {
    forms::Picture read;
    ASSERT_EQ(LoadWicPicture(Tiff(L"alpha.tif"), RGB(200, 100, 50), read), S_OK);
    EXPECT_EQ(read.WidthPixels(), 3);
    EXPECT_EQ(PixelOf(read, 0, 0), 0xFF0000u);  // opaque
    EXPECT_EQ(PixelOf(read, 2, 0), 0xC86432u);  // transparent: the colour itself
    // Half blue over (200, 100, 50): half of each, give or take the file's rounding of one half.
    const uint32_t half = PixelOf(read, 1, 0);
    EXPECT_NEAR(static_cast<int>(half >> 16), 100, 1);
    EXPECT_NEAR(static_cast<int>((half >> 8) & 0xFF), 50, 1);
    EXPECT_NEAR(static_cast<int>(half & 0xFF), 152, 1);

    ASSERT_EQ(LoadWicPicture(Tiff(L"pages.tif"), RGB(0, 0, 0), read), S_OK);
    EXPECT_EQ(read.WidthPixels(), 20);
    EXPECT_EQ(read.HeightPixels(), 10);
    EXPECT_EQ(PixelOf(read, 19, 9), 0xFF0000u);
}

TEST_F(ImagingTest, TheViewerReadsThemLastAndRefusesDamagedOrOversizedOnesAsUnreadable) {
    frmBackground.Load();
    ASSERT_TRUE(frmBackground.PictureLoadRun(Tiff(L"rgb-lzw.tif"), true));
    EXPECT_EQ(CurrentFileName, Tiff(L"rgb-lzw.tif"));
    EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), 37);
    EXPECT_EQ(frmBackground.picLoad.ScaleHeight(), 23);

    WriteBytes(dir / L"huge.tif", ClaimedSizeTiff(70000, 70000));    // 14 GB as a bitmap
    WriteBytes(dir / L"wide.tif", ClaimedSizeTiff(0x7FFFFFFF, 1));  // a row beyond any bitmap
    WriteBytes(dir / L"empty.tif", {});
    // Just over the bound: memory a 64-bit process could have, refused before any is asked for.
    WriteBytes(dir / L"over.tif", ClaimedSizeTiff(32768, 21846));
    for (const wchar_t* name : {L"over.tif", L"huge.tif", L"wide.tif"}) {
        forms::Picture none;
        EXPECT_EQ(LoadWicPicture(dir / name, RGB(0, 0, 0), none), WINCODEC_ERR_IMAGESIZEOUTOFRANGE) << name;
    }
    for (const std::wstring& bad : {Tiff(L"truncated.tif"), dir / L"huge.tif", dir / L"wide.tif", dir / L"empty.tif"}) {
        SCOPED_TRACE(testing::Message() << bad);
        forms::Picture none;
        EXPECT_FALSE(SUCCEEDED(LoadWicPicture(bad, RGB(0, 0, 0), none)));
        EXPECT_TRUE(none.Empty());
        MsgBoxRecorder boxes;
        EXPECT_FALSE(frmBackground.PictureLoadRun(bad, true));
        ASSERT_EQ(boxes.calls.size(), 1u);
        EXPECT_EQ(boxes.calls[0].prompt, L"画像ファイルを開くことが出来ませんでした！");
        EXPECT_EQ(boxes.calls[0].title, L"未対応フォーマット");
        // The picture before stays.
        EXPECT_EQ(CurrentFileName, Tiff(L"rgb-lzw.tif"));
        EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), 37);
    }
}

TEST_F(ImagingTest, TheOpenDialogAddsTheComponentsExtensionsToAllPictures) {
    frmBackground.Load();
    FileDialogAnswer answer(std::nullopt);
    frmBackground.PictureLoad(nullptr);
    ASSERT_EQ(answer.shown, 1);
    const auto pairs = forms::ParseFilter(answer.filter);
    ASSERT_EQ(pairs.size(), 5u);
    EXPECT_EQ(pairs[0].second, L"*.*");
    EXPECT_EQ(pairs[2].second, L"*.bmp");
    EXPECT_EQ(pairs[3].second, L"*.jpg;*.jpeg");
    const std::wstring& all = pairs[1].second;
    // What was there stays first and as it was; the component's formats follow, each once.
    EXPECT_EQ(all.rfind(L"*.bmp;;*.jpg;*.jpeg;*.gif;", 0), 0u) << all;
    std::vector<std::wstring> seen;
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = std::min(all.find(L';', start), all.size());
        std::wstring p = all.substr(start, end - start);
        std::transform(p.begin(), p.end(), p.begin(), ::towlower);
        if (!p.empty()) {
            EXPECT_EQ(std::count(seen.begin(), seen.end(), p), 0) << "twice";
            seen.push_back(p);
        }
        start = end + 1;
    }
    for (const wchar_t* wanted : {L"*.tif", L"*.tiff", L"*.png", L"*.ico"})
        EXPECT_EQ(std::count(seen.begin(), seen.end(), std::wstring(wanted)), 1) << all;
}
