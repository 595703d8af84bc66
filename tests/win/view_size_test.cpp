// Applying the view size to a real viewer window, and the window procedures
// that keep it topmost, translucent and at its anchor point.
#include <gtest/gtest.h>

#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"
#include "engine/view_size.h"
#include "forms/screen.h"
#include "test_support.h"
#include "windows/frmNormal.h"

using namespace tamsel;
using namespace testing_support;

namespace {

class ViewSizeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        frmBackground.Load();
        // Large enough that the frame is not held at the system's smallest window.
        ASSERT_TRUE(frmBackground.PictureLoadRun(ProgramFolder() + L"\\ts2image.JPG", false));  // 480 x 360
        frmNormal.Show();
    }
    void TearDown() override { ResetProgramState(); }
};

// A viewer window without a frame to fit.
class PlainWindow : public forms::Form {
public:
    forms::PictureBox pic;

protected:
    void InitializeComponent() override {
        pic.AutoSize = true;
        pic.Create(*this, 0, 0, 1500, 1500);
    }
};

}  // namespace

TEST_F(ViewSizeTest, AtOneHundredPercentTheLoadedPictureItselfIsShownFittedAndPlaced) {
    frmNormal.picView.SetPicture(forms::Picture());
    ApplyViewSize(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
    EXPECT_EQ(frmNormal.picView.GetPicture().get(), frmBackground.picLoad.GetPicture().get());
    EXPECT_EQ(frmNormal.ScaleWidth(), 480 * 15);  // the frame fits the picture
    EXPECT_EQ(frmNormal.ScaleHeight(), 360 * 15);
    EXPECT_EQ(LastWindowLeft, frmNormal.Left());
    EXPECT_EQ(LastWindowTop, frmNormal.Top());
}

namespace {
// Everything the progress label was told: its captions and whether it was shown.
std::vector<std::wstring> gLabel;
WNDPROC gLabelProc = nullptr;
LRESULT CALLBACK LabelProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETTEXT) gLabel.push_back(reinterpret_cast<const wchar_t*>(lp));
    if (msg == WM_SHOWWINDOW && wp) gLabel.push_back(L"<shown>");
    return CallWindowProcW(gLabelProc, h, msg, wp, lp);
}
}  // namespace

TEST_F(ViewSizeTest, WithoutHighQualityOnlyTheFastResultIsShownAndNoProgress) {
    gLabelProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(frmNormal.lblProgress.hWnd(), GWLP_WNDPROC,
                                                             reinterpret_cast<LONG_PTR>(&LabelProc)));
    const forms::Picture loaded = frmBackground.picLoad.GetPicture();
    Settings.PictureBlt = kFalse;
    CurrentViewSize = 150;
    gLabel.clear();
    ApplyViewSize(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 720);
    EXPECT_EQ(frmNormal.ScaleWidth(), 720 * 15);
    EXPECT_TRUE(gLabel.empty());  // no progress, the label never shown
    EXPECT_TRUE(IsFastStretchOf(frmNormal.picView.GetPicture(), loaded));
    EXPECT_FALSE(IsHighQualityOf(frmNormal.picView.GetPicture(), loaded, 150));

    // With it, the high-quality result takes the fast one's place.
    Settings.PictureBlt = kTrue;
    ApplyViewSize(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
    PumpUntilRendered();
    ASSERT_GE(gLabel.size(), 3u);
    EXPECT_EQ(gLabel[0], L"Resize ...");
    EXPECT_EQ(gLabel[1], L"<shown>");
    EXPECT_EQ(gLabel[2], L"Resize ... 0%");
    EXPECT_FALSE(frmNormal.lblProgress.Visible());
    EXPECT_TRUE(IsHighQualityOf(frmNormal.picView.GetPicture(), loaded, 150));
    EXPECT_FALSE(IsFastStretchOf(frmNormal.picView.GetPicture(), loaded));
    SetWindowLongPtrW(frmNormal.lblProgress.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gLabelProc));
}

TEST_F(ViewSizeTest, WithAnAnchorTheWindowKeepsItsPointAndStaysOnTheScreen) {
    Settings.WindowPoint = kTrue;
    Settings.WindowPointIndex = 2;
    WindowPointX = 7200;
    WindowPointY = 5400;
    CurrentViewSize = 50;
    ApplyViewSize(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
    // Centred on the anchor, to the pixel (the window lands on whole pixels).
    EXPECT_NEAR(frmNormal.Left() + frmNormal.Width() / 2.0, 7200, 15);
    EXPECT_NEAR(frmNormal.Top() + frmNormal.Height() / 2.0, 5400, 15);
    EXPECT_NEAR(LastWindowLeft, frmNormal.Left(), 14);

    Settings.WindowPointIndex = 4;  // bottom-right at (300, 300): pushed to the screen's corner
    WindowPointX = WindowPointY = 300;
    ApplyViewSize(frmNormal.picView, nullptr, frmNormal, true);
    EXPECT_EQ(frmNormal.Left(), 0);
    EXPECT_EQ(frmNormal.Top(), 0);

    // A minimised window is neither recorded nor moved.
    LastWindowLeft = -5;
    frmNormal.SetWindowState(forms::vbMinimized);
    PlaceWindowAtPoint(frmNormal);
    EXPECT_EQ(LastWindowLeft, -5);
    frmNormal.SetWindowState(forms::vbNormal);
}

TEST_F(ViewSizeTest, AWindowWithoutAFrameIsPlacedButNotFitted) {
    PlainWindow plain;
    plain.Show();
    plain.Move(3000, 3000, 6000, 6000);
    Settings.WindowPoint = kTrue;
    Settings.WindowPointIndex = 0;
    WindowPointX = 1500;
    WindowPointY = 1200;
    ApplyViewSize(plain.pic, nullptr, plain, false);
    EXPECT_EQ(plain.Width(), 6000);
    EXPECT_EQ(plain.Left(), 1500);
    EXPECT_EQ(plain.Top(), 1200);
    plain.Unload();
}

TEST_F(ViewSizeTest, TopmostLayeredAndTheAnchorPoint) {
    WindowTopMost(frmNormal);
    EXPECT_TRUE(GetWindowLongW(frmNormal.hWnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    WindowNoTopMost(frmNormal);
    EXPECT_FALSE(GetWindowLongW(frmNormal.hWnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);

    EXPECT_FALSE(SetLayeredWindow(frmNormal, 300));
    EXPECT_FALSE(GetWindowLongW(frmNormal.hWnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_TRUE(SetLayeredWindow(frmNormal, 128));
    EXPECT_TRUE(GetWindowLongW(frmNormal.hWnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(frmNormal.hWnd(), nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 128);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));

    frmNormal.Move(1500, 750, 4500, 3000);
    Settings.WindowPointIndex = 2;
    LastWindowLeft = frmNormal.Left();
    LastWindowTop = frmNormal.Top();
    LastWindowWidth = frmNormal.Width();
    LastWindowHeight = frmNormal.Height();
    WindowPointX = WindowPointY = 1;
    CheckWindowPoint(frmNormal);  // nothing changed: the anchor stays
    EXPECT_EQ(WindowPointX, 1);
    LastWindowWidth = 999;  // a different width alone renews it
    CheckWindowPoint(frmNormal);
    EXPECT_EQ(WindowPointX, 1500 + 2250);
    EXPECT_EQ(WindowPointY, 750 + 1500);
}
