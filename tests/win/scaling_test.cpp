// The engine's two scalers on real pictures, with the real pixel buffer library.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"
#include "bench/literal_scaler.h"
#include "engine/rastel_library.h"
#include "forms/screen.h"
#include "test_support.h"
#include "windows/frmNormal.h"

using namespace tamsel;
using namespace testing_support;

namespace {

std::vector<uint8_t> PixelsOf(HDC dc, int w, int h) {
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            COLORREF c = GetPixel(dc, x, y);
            uint8_t* p = &out[(static_cast<size_t>(y) * w + x) * 3];
            p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
        }
    return out;
}

// What the high-quality result must be by its definition (the literal
// transcription, not the program's own scaler), from the loaded picture's pixels.
std::vector<uint8_t> ExpectedHq(int dstW, int dstH, int p) {
    const int sw = frmBackground.picLoad.ScaleWidth(), sh = frmBackground.picLoad.ScaleHeight();
    std::vector<uint8_t> src = PixelsOf(frmBackground.picLoad.hDC(), sw, sh);
    std::vector<uint8_t> dst(static_cast<size_t>(dstW) * dstH * 3);
    LiteralSmoothResize(src.data(), sw, sh, dst.data(), dstW, dstH, p);
    return dst;
}

std::vector<uint8_t> Shown() {
    return PixelsOf(frmBackground.picBlt.hDC(), frmBackground.picBlt.ScaleWidth(),
                    frmBackground.picBlt.ScaleHeight());
}

// A picture whose every column says where it came from: blue = x mod 256, green = x / 256.
forms::Picture ColumnPicture(int w, int h) {
    void* bits = nullptr;
    HBITMAP bmp = forms::CreateDib24(w, h, &bits);
    const int stride = (w * 3 + 3) & ~3;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = static_cast<uint8_t*>(bits) + y * stride + x * 3;
            p[0] = static_cast<uint8_t>(x % 256), p[1] = static_cast<uint8_t>(x / 256), p[2] = 0x40;
        }
    return forms::Picture::FromBitmap(bmp);
}

// Records the label's captions as they are set, with the pointer at that moment,
// and when a posted marker shows that the event pump ran.
std::vector<std::wstring> gCaptions;
WNDPROC gLabelProc = nullptr;
LRESULT CALLBACK RecordingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETTEXT)
        gCaptions.push_back(std::wstring(reinterpret_cast<const wchar_t*>(lp)) + L" [" +
                            std::to_wstring(forms::Screen::MousePointer()) + L"]");
    if (msg == WM_APP) gCaptions.push_back(L"events");
    return CallWindowProcW(gLabelProc, h, msg, wp, lp);
}

class ScalingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        frmBackground.Load();
        frmNormal.Show();
        gCaptions.clear();
    }
    void TearDown() override {
        if (gLabelProc) {
            SetWindowLongPtrW(frmNormal.lblProgress.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gLabelProc));
            gLabelProc = nullptr;
        }
        ResetProgramState();
    }
    void RecordLabel() {
        gLabelProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            frmNormal.lblProgress.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc)));
    }
};

}  // namespace

TEST_F(ScalingTest, AtOneHundredPercentNeitherScalerTouchesTheTarget) {
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.jpg"), false));
    CurrentViewSize = 150;
    frmBackground.FirstResizePicture();
    const auto before = Shown();
    const int width = frmBackground.picBlt.ScaleWidth();
    CurrentViewSize = 100;
    frmBackground.FirstResizePicture();
    Render(&frmNormal.lblProgress);
    EXPECT_EQ(frmBackground.picBlt.ScaleWidth(), width);
    EXPECT_EQ(Shown(), before);
}

TEST_F(ScalingTest, TheTargetIsSizedFromTheTwipsSizeAndTheHighQualityResultIsExact) {
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.jpg"), false));  // 40 x 30
    for (int p : {150, 333, 50, 7}) {
        CurrentViewSize = static_cast<int16_t>(p);
        Render(nullptr);
        const int w = frmBackground.picBlt.ScaleWidth(), h = frmBackground.picBlt.ScaleHeight();
        EXPECT_EQ(w, 40 * p / 100) << p;
        EXPECT_EQ(h, 30 * p / 100) << p;
        EXPECT_EQ(Shown(), ExpectedHq(w, h, p)) << p;
        EXPECT_EQ(forms::Screen::MousePointer(), 0);
    }
}

TEST_F(ScalingTest, ProgressIsReportedEverySixteenColumnsWithTheHourglass) {
    forms::Picture pic = ColumnPicture(50, 20);
    ASSERT_TRUE(frmBackground.picLoad.SetPicture(pic));
    CurrentViewSize = 200;  // 100 target columns
    RecordLabel();
    PostMessageW(frmNormal.lblProgress.hWnd(), WM_APP, 0, 0);
    Render(&frmNormal.lblProgress);
    // The event marker posted before the run is handled while it renders, not after.
    EXPECT_EQ(gCaptions, (std::vector<std::wstring>{L"events", L"Resize ... 0% [11]", L"Resize ... 16% [11]",
                                                    L"Resize ... 32% [11]", L"Resize ... 48% [11]",
                                                    L"Resize ... 64% [11]", L"Resize ... 80% [11]",
                                                    L"Resize ... 96% [11]"}));
    EXPECT_EQ(forms::Screen::MousePointer(), 0);
    EXPECT_EQ(Shown(), ExpectedHq(100, 40, 200));
}

TEST_F(ScalingTest, EscapeDuringARunRestoresTheFastResultAndTheNextRunStartsAfresh) {
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.jpg"), false));
    CurrentViewSize = 250;
    frmBackground.FirstResizePicture();
    const auto fast = Shown();
    const auto hq = ExpectedHq(100, 75, 250);
    ASSERT_NE(fast, hq);

    // The key waits in the queue until the run pumps events.
    PostMessageW(frmNormal.hWnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    Render(&frmNormal.lblProgress);
    EXPECT_TRUE(ResizeCancel);
    EXPECT_EQ(Shown(), fast);
    EXPECT_EQ(forms::Screen::MousePointer(), 0);

    Render(&frmNormal.lblProgress);  // the flag is cleared at the start
    EXPECT_FALSE(ResizeCancel);
    EXPECT_EQ(Shown(), hq);

    ResizeCancel = kTrue;  // an Escape while no run was active
    Render(nullptr);
    EXPECT_EQ(Shown(), hq);
}

TEST_F(ScalingTest, OnANarrowScreenTheFastResultIsCompressedAndTheHighQualityOneShowsTheLeftPart) {
    ASSERT_EQ(forms::Screen::Width(), 1280 * 15) << "the test desktop is 1280 pixels wide";
    forms::Picture pic = ColumnPicture(2000, 12);
    ASSERT_TRUE(frmBackground.picLoad.SetPicture(pic));
    CurrentViewSize = 150;
    // The target never takes the uncapped size, not even for a moment.
    int widest = 0;
    frmBackground.picBlt.OnResize = [&] { widest = std::max(widest, frmBackground.picBlt.ScaleWidth()); };
    frmBackground.FirstResizePicture();
    ASSERT_EQ(frmBackground.picBlt.ScaleWidth(), 1280);
    ASSERT_EQ(frmBackground.picBlt.ScaleHeight(), 18);
    COLORREF lastFast = GetPixel(frmBackground.picBlt.hDC(), 1279, 5);
    EXPECT_GE(GetGValue(lastFast) * 256 + GetBValue(lastFast), 1990);  // the source's last columns

    Render(nullptr);
    COLORREF lastHq = GetPixel(frmBackground.picBlt.hDC(), 1279, 5);
    EXPECT_EQ(GetGValue(lastHq), 853 / 256);  // between source columns 852 and 853
    EXPECT_EQ(GetBValue(lastHq), 853 % 256);  // 852 + 2/3, rounded
    EXPECT_EQ(Shown(), ExpectedHq(1280, 18, 150));
    frmBackground.picBlt.OnResize = nullptr;
    EXPECT_EQ(widest, 1280);

    // A smaller picture after it: the arrays kept from the larger run hold nothing of it.
    ASSERT_TRUE(frmBackground.picLoad.SetPicture(ColumnPicture(300, 7)));
    frmBackground.FirstResizePicture();
    Render(nullptr);
    ASSERT_EQ(frmBackground.picBlt.ScaleWidth(), 450);
    EXPECT_EQ(Shown(), ExpectedHq(450, 10, 150));
}

TEST_F(ScalingTest, WithoutABufferOrATargetPixelTheFastResultStays) {
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.jpg"), false));
    CurrentViewSize = 1;  // 40 x 30 at 1 %: no pixel
    Render(&frmNormal.lblProgress);
    EXPECT_EQ(frmBackground.picBlt.ScaleWidth(), 0);
    EXPECT_TRUE(frmBackground.picBlt.Image().Empty());
    EXPECT_EQ(forms::Screen::MousePointer(), 0);

    CurrentViewSize = 150;
    frmBackground.FirstResizePicture();
    const auto fast = Shown();
    const intptr_t buffer = frmBackground.mhBufferDC;
    frmBackground.mhBufferDC = 0;
    Render(&frmNormal.lblProgress);
    frmBackground.mhBufferDC = buffer;
    EXPECT_EQ(Shown(), fast);
    EXPECT_EQ(forms::Screen::MousePointer(), 0);
}

TEST_F(ScalingTest, TheEngineOwnsOneBufferFromLoadToUnload) {
    const intptr_t buffer = frmBackground.mhBufferDC;
    ASSERT_NE(buffer, 0);
    frmBackground.Unload();
    EXPECT_EQ(frmBackground.mhBufferDC, 0);
    EXPECT_EQ(rastel::Delete(buffer), 0);  // already released
}
