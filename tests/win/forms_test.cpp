// The forms runtime with real windows on the test desktop.
#include <gtest/gtest.h>

#include "engine/picture_services.h"
#include "forms/controls.h"
#include "forms/form.h"
#include "forms/screen.h"
#include "test_support.h"

using namespace testing_support;

namespace {

class TestForm : public forms::Form {
public:
    forms::PictureBox pic;
    forms::Label label;
    std::vector<std::string> events;
    bool cancelUnload = false;
    int lastKey = -1, lastShift = -1;
    bool swallowKeys = false;

protected:
    void InitializeComponent() override {
        events.push_back("controls");
        pic.AutoRedraw = true;
        pic.AutoSize = true;
        pic.Create(*this, 150, 300, 1500, 750);
        label.Create(*this, 0, 0, 1500, 255, L"ラベル");
    }
    void Form_Load() override {
        events.push_back("load");
        EXPECT_NE(hWnd(), nullptr);
        EXPECT_NE(pic.hWnd(), nullptr);  // controls exist before the load handler runs
    }
    void Form_Unload(int& cancel) override {
        events.push_back("unload");
        cancel = cancelUnload ? 1 : 0;
    }
    void Form_KeyDown(int& keyCode, int shift) override {
        lastKey = keyCode;
        lastShift = shift;
        if (swallowKeys) keyCode = 0;
    }
};

}  // namespace

TEST(Forms, TwipsFollowTheScreenResolution) {
    EXPECT_EQ(forms::Screen::TwipsPerPixelX(), 15);  // the test desktop runs at 96 dpi
    EXPECT_EQ(forms::Screen::TwipsPerPixelY(), 15);
    EXPECT_EQ(forms::Screen::Width(), GetSystemMetrics(SM_CXSCREEN) * 15);
    EXPECT_EQ(forms::TwipsToPixelsX(1244), 82);  // sizes truncate
    EXPECT_EQ(forms::PixelsToTwipsY(83), 1245);
}

TEST(Forms, LoadCreatesControlsFirstAndUnloadCanBeCancelled) {
    TestForm f;
    const int before = forms::LoadedFormCount();
    f.Load();
    EXPECT_EQ(f.events, (std::vector<std::string>{"controls", "load"}));
    EXPECT_FALSE(f.Visible());
    EXPECT_EQ(forms::LoadedFormCount(), before + 1);
    f.Load();  // once per load
    EXPECT_EQ(f.events.size(), 2u);

    f.cancelUnload = true;
    EXPECT_FALSE(f.Unload());
    EXPECT_TRUE(f.IsLoaded());
    f.cancelUnload = false;
    EXPECT_TRUE(f.Unload());
    EXPECT_FALSE(f.IsLoaded());
    EXPECT_EQ(f.pic.hWnd(), nullptr);
    EXPECT_EQ(forms::LoadedFormCount(), before);
}

TEST(Forms, GeometryIsInTwipsAndTheClientSizeExcludesTheFrame) {
    TestForm f;
    f.Show();
    f.Move(1500, 900, 6000, 4500);
    EXPECT_EQ(f.Left(), 1500);
    EXPECT_EQ(f.Top(), 900);
    EXPECT_EQ(f.Width(), 6000);
    EXPECT_EQ(f.Height(), 4500);
    EXPECT_LT(f.ScaleWidth(), 6000);
    EXPECT_LT(f.ScaleHeight(), 4500);
    RECT r;
    GetWindowRect(f.hWnd(), &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.right - r.left, 400);
    f.SetCaption(L"日本語の題名");
    EXPECT_EQ(f.Caption(), L"日本語の題名");
    f.SetWindowState(forms::vbMinimized);
    EXPECT_EQ(f.WindowState(), forms::vbMinimized);
    EXPECT_EQ(f.Left(), 1500);  // the normal rectangle while minimised
    f.SetWindowState(forms::vbNormal);
    EXPECT_EQ(f.WindowState(), forms::vbNormal);
    f.Unload();
}

TEST(Forms, APictureBoxSizesItselfAndItsSurfaceHoldsThePictureWhileHidden) {
    TestForm f;
    f.Load();  // never shown
    forms::Picture p;
    ASSERT_EQ(tamsel::LoadPicture(DataPath(L"sample.bmp"), p), S_OK);
    ASSERT_TRUE(f.pic.SetPicture(p));
    EXPECT_EQ(f.pic.ScaleWidth(), 7);
    EXPECT_EQ(f.pic.ScaleHeight(), 5);
    EXPECT_EQ(f.pic.Width(), 105);
    EXPECT_EQ(GetPixel(f.pic.hDC(), 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(f.pic.hDC(), 6, 4), RGB(255, 255, 255));

    // Drawing on the surface shows in Image; Cls brings back the picture.
    SetPixel(f.pic.hDC(), 3, 2, RGB(1, 2, 3));
    forms::Picture snap = f.pic.Image();
    EXPECT_EQ(snap.WidthPixels(), 7);
    EXPECT_EQ(PixelOf(snap, 3, 2), 0x010203u);
    f.pic.Cls();
    EXPECT_EQ(GetPixel(f.pic.hDC(), 3, 2), RGB(0x20, 0x40, 0x80));
    EXPECT_EQ(PixelOf(snap, 3, 2), 0x010203u);  // the snapshot is its own

    // The empty picture clears to the white background and keeps the size.
    ASSERT_TRUE(f.pic.SetPicture(forms::Picture()));
    EXPECT_EQ(f.pic.ScaleWidth(), 7);
    EXPECT_EQ(GetPixel(f.pic.hDC(), 0, 0), RGB(255, 255, 255));
    f.Unload();
}

TEST(Forms, KeyPreviewGivesTheFormKeysBeforeItsControls) {
    TestForm f;
    f.KeyPreview = true;
    f.Show();
    MSG m{};
    m.hwnd = f.pic.hWnd();
    m.message = WM_KEYDOWN;
    m.wParam = 'A';
    f.swallowKeys = true;
    EXPECT_TRUE(f.PreviewKey(m));
    EXPECT_EQ(f.lastKey, 'A');
    f.swallowKeys = false;
    EXPECT_FALSE(f.PreviewKey(m));
    f.KeyPreview = false;
    f.lastKey = -1;
    EXPECT_FALSE(f.PreviewKey(m));
    EXPECT_EQ(f.lastKey, -1);  // without preview the control's keys stay with it
    f.Unload();
}

namespace {
// The "user" who closes the modal form, from a timer inside its own loop.
TestForm* gModal = nullptr;
TestForm* gOwner = nullptr;
bool gOwnerEnabledDuring = true;
void CALLBACK CloseModal(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    gOwnerEnabledDuring = IsWindowEnabled(gOwner->hWnd()) != FALSE;
    gModal->Hide();
}
}  // namespace

TEST(Forms, AModalShowReturnsWhenTheFormIsHiddenAndDisablesTheOthers) {
    TestForm owner, dialog;
    owner.Show();
    gModal = &dialog;
    gOwner = &owner;
    ASSERT_NE(SetTimer(nullptr, 0, 30, &CloseModal), 0u);
    dialog.Show(forms::vbModal);
    EXPECT_FALSE(gOwnerEnabledDuring);
    EXPECT_TRUE(IsWindowEnabled(owner.hWnd()));
    EXPECT_TRUE(dialog.IsLoaded());
    EXPECT_FALSE(dialog.Visible());
    dialog.Unload();
    owner.Unload();
}
