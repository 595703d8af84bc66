// Commands that arrive while a high-quality run pumps events ("Resize ..."):
// another view size, a dropped file, a step, a paste, closing the window. Each runs
// to its end inside the pump; the interrupted run then finishes with its own
// sizes and must neither crash nor put its stale picture over the newer one.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/mdlTamsel.h"
#include "engine/bmp_file.h"
#include "engine/frmBackground.h"
#include "engine/loading.h"
#include "forms/screen.h"
#include "test_support.h"
#include "windows/frmNormal.h"

using namespace tamsel;
using namespace testing_support;

namespace {

// A w x h picture file whose pixel (x, y) is a pattern of `seed`.
void WritePicture(const std::wstring& path, int w, int h, int seed) {
    DibImage img;
    img.width = w;
    img.height = h;
    const size_t stride = DibStride(w, 24);
    img.rows.assign(stride * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &img.rows[(h - 1 - y) * stride + x * 3];  // bottom-up
            p[0] = static_cast<uint8_t>(x * seed), p[1] = static_cast<uint8_t>(y + seed),
            p[2] = static_cast<uint8_t>((x ^ y) * 3);
        }
    WriteBytes(path, EncodeBmpFile(img));
}

// Runs a command once from inside the event pump, at the first report past 20 %.
std::function<void()> gNested;
std::vector<std::wstring> gCaptions;
HWND gNestWindow = nullptr;
WNDPROC gLabelProc = nullptr;
LRESULT CALLBACK LabelProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETTEXT) {
        const std::wstring caption = reinterpret_cast<const wchar_t*>(lp);
        gCaptions.push_back(caption);
        if (gNested && caption.rfind(L"Resize ... ", 0) == 0 && _wtoi(caption.c_str() + 11) > 20)
            PostMessageW(gNestWindow, WM_APP, 0, 0);  // handed to the run's next pump
    }
    return CallWindowProcW(gLabelProc, h, msg, wp, lp);
}
LRESULT CALLBACK NestProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP && gNested) {
        auto nested = std::move(gNested);
        gNested = nullptr;
        nested();
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

class NestingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        WNDCLASSW wc{};
        wc.lpfnWndProc = NestProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"NestingTestWindow";
        RegisterClassW(&wc);
        gNestWindow = CreateWindowW(L"NestingTestWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        WritePicture(dir / L"a.bmp", 1600, 1200, 1);
        WritePicture(dir / L"b.bmp", 900, 700, 5);
        Settings.ViewSizes[0] = {25, kTrue};
        Settings.ViewSizes[1] = {50, kTrue};
        Settings.ViewSizes[2] = {150, kTrue};
        frmBackground.Load();
        ASSERT_TRUE(frmBackground.PictureLoadRun(dir / L"a.bmp", false));
        frmNormal.Show();
        gLabelProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(frmNormal.lblProgress.hWnd(), GWLP_WNDPROC,
                                                                 reinterpret_cast<LONG_PTR>(&LabelProc)));
        gCaptions.clear();
    }
    void TearDown() override {
        gNested = nullptr;
        if (frmNormal.lblProgress.hWnd())
            SetWindowLongPtrW(frmNormal.lblProgress.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gLabelProc));
        DestroyWindow(gNestWindow);
        ResetProgramState();
    }
    // What the nested command left on the screen, taken the moment it ended.
    void Nest(std::function<void()> command) {
        gNested = [this, command] {
            command();
            nestedShown = frmNormal.picView.GetPicture();
            nestedCaptions = gCaptions.size();
        };
    }
    forms::Picture nestedShown;
    size_t nestedCaptions = 0;
    TempDir dir;
};

}  // namespace

// Larger, then smaller: the nested size is shown as it would be alone, the
// interrupted run goes on to its own last column, and its stale result does
// not replace the newer one.
TEST_F(NestingTest, AnotherViewSizeDuringARunWinsAndTheRunEndsWithItsOwnSizes) {
    struct Case {
        int16_t outer, nested;
        int outerIndex, nestedIndex;  // the preset menu items
        const wchar_t* outerLast;     // the run's last report, for its own width
    };
    // 1600 pixels at 50 % are 800 (last report at column 784); at 150 % the
    // screen's 1280 (last report at 1264).
    for (const Case c : {Case{50, 150, 1, 2, L"Resize ... 98%"}, Case{150, 25, 2, 0, L"Resize ... 99%"}}) {
        SCOPED_TRACE(testing::Message() << c.outer << " % interrupted by " << c.nested << " %");
        CurrentViewSize = 100;
        ApplyViewSize(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
        gCaptions.clear();
        Nest([&] { frmNormal.menu_SizeView_Click(static_cast<int16_t>(c.nestedIndex)); });
        frmNormal.menu_SizeView_Click(static_cast<int16_t>(c.outerIndex));
        ASSERT_FALSE(gNested) << "the nested command never ran";
        EXPECT_TRUE(IsHighQualityOf(nestedShown, frmBackground.picLoad.GetPicture(), c.nested));
        ASSERT_GT(gCaptions.size(), nestedCaptions);
        EXPECT_EQ(gCaptions.back(), c.outerLast);  // the interrupted run reached its own end
        EXPECT_EQ(CurrentViewSize, c.nested);
        EXPECT_EQ(frmNormal.picView.GetPicture().get(), nestedShown.get());
        EXPECT_TRUE(IsHighQualityOf(frmNormal.picView.GetPicture(), frmBackground.picLoad.GetPicture(), c.nested));
        EXPECT_TRUE(IsHighQualityOf(frmBackground.picBlt.Image(), frmBackground.picLoad.GetPicture(), c.nested));
        EXPECT_FALSE(frmNormal.lblProgress.Visible());
    }
    // Runs after the nesting are whole and exact again.
    frmNormal.menu_SizeView_Click(1);
    EXPECT_TRUE(IsHighQualityOf(frmNormal.picView.GetPicture(), frmBackground.picLoad.GetPicture(), 50));
}

// A file dropped during a run: the new picture at the view size, under its
// own name, nothing of the old one.
TEST_F(NestingTest, AFileDroppedDuringARunIsShownAndTheOldPictureNever) {
    Nest([&] {
        SendMessageW(frmNormal.picView.hWnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropFileList({dir / L"b.bmp"})),
                     0);
    });
    frmNormal.menu_SizeView_Click(2);  // 150 %
    ASSERT_FALSE(gNested) << "the nested command never ran";
    EXPECT_EQ(CurrentFileName, dir / L"b.bmp");
    EXPECT_EQ(frmNormal.Caption(), L"b.bmp - Tamsel2 (150%)");
    EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), 900);
    EXPECT_TRUE(IsHighQualityOf(nestedShown, frmBackground.picLoad.GetPicture(), 150));
    EXPECT_EQ(frmNormal.picView.GetPicture().get(), nestedShown.get());
    EXPECT_TRUE(IsHighQualityOf(frmBackground.picBlt.Image(), frmBackground.picLoad.GetPicture(), 150));
}

// A paste during a run: the clipboard's picture under the clipboard's name.
TEST_F(NestingTest, APasteDuringARunIsShownUnderItsOwnName) {
    PutBitmapOnClipboard(700, 500, 0x336699);
    Nest([&] { frmNormal.menu_Paste_Click(); });
    frmNormal.menu_SizeView_Click(2);  // 150 %
    ASSERT_FALSE(gNested) << "the nested command never ran";
    EXPECT_EQ(CurrentFileName, L"ClipboardPicture");
    EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), 700);
    EXPECT_EQ(frmNormal.picView.GetPicture().get(), nestedShown.get());
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 1050);
    EXPECT_EQ(PixelOf(frmNormal.picView.GetPicture(), 1000, 700), 0x336699u);
    EmptyTheClipboard();
}

// The window closed during a run: the program ends its run without touching
// what the close released.
TEST_F(NestingTest, ClosingTheWindowDuringARunEndsCleanly) {
    Nest([&] { SendMessageW(frmNormal.hWnd(), WM_CLOSE, 0, 0); });
    frmNormal.menu_SizeView_Click(2);  // 150 %
    ASSERT_FALSE(gNested) << "the nested command never ran";
    EXPECT_FALSE(frmNormal.IsLoaded());
    EXPECT_FALSE(frmBackground.IsLoaded());
}

// A step during the run that shows the picture a step loaded: it steps on
// from the new picture, and only its picture is shown.
TEST_F(NestingTest, AStepDuringTheRunAfterAStepGoesOnFromTheNewPicture) {
    WritePicture(dir / L"c.bmp", 600, 400, 9);
    CurrentViewSize = 150;
    Nest([&] { frmNormal.StepPicture(Step::Next); });
    frmNormal.StepPicture(Step::Next);  // a.bmp to b.bmp, rendered at 150 %
    ASSERT_FALSE(gNested) << "the nested command never ran";
    EXPECT_EQ(CurrentFileName, dir / L"c.bmp");
    EXPECT_EQ(frmNormal.Caption(), L"c.bmp - Tamsel2 (150%)");
    EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), 600);
    EXPECT_EQ(frmNormal.picView.GetPicture().get(), nestedShown.get());
    EXPECT_TRUE(IsHighQualityOf(nestedShown, frmBackground.picLoad.GetPicture(), 150));
}
