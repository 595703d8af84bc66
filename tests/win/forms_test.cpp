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

namespace {
// A picture whose every pixel differs from its neighbours: (x, y) -> x, y, x ^ y.
forms::Picture PatternPicture(int w, int h) {
    void* bits = nullptr;
    HBITMAP bmp = forms::CreateDib24(w, h, &bits);
    const int stride = (w * 3 + 3) & ~3;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = static_cast<uint8_t*>(bits) + y * stride + x * 3;
            p[0] = static_cast<uint8_t>(x), p[1] = static_cast<uint8_t>(y), p[2] = static_cast<uint8_t>((x ^ y) >> 3);
        }
    return forms::Picture::FromBitmap(bmp);
}

// The pixels of a 24-bit DIB as 0xRRGGBB, row by row.
std::vector<uint32_t> Pixels(HDC dc, int w, int h) {
    std::vector<uint32_t> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            out.push_back((uint32_t{GetRValue(c)} << 16) | (GetGValue(c) << 8) | GetBValue(c));
        }
    return out;
}
}  // namespace

// A copy out of a picture box reads its picture directly while the surface has
// not been drawn, in bands for large pictures; it must give exactly what a copy
// from the drawn surface gives, at the same size and stretched.
TEST(Forms, ACopyOutOfAPictureBoxIsTheSameWithOrWithoutItsSurface) {
    TestForm f;
    f.Load();
    const int w = 1100, h = 1300;  // several bands of rows
    ASSERT_TRUE(f.pic.SetPicture(PatternPicture(w, h)));
    HDC target = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(target, forms::CreateDib24(w, h));
    f.pic.StretchTo(target, 0, 0, w, h, w, h);
    const std::vector<uint32_t> direct = Pixels(target, w, h);
    EXPECT_EQ(direct[0], 0x000000u);
    EXPECT_EQ(direct[static_cast<size_t>(1299) * w + 1099], 0x2B134Bu);  // x 1099, y 1299, (x ^ y) >> 3
    SetStretchBltMode(target, COLORONCOLOR);
    f.pic.StretchTo(target, 10, 20, 300, 200, w, h);  // stretched, into a part of the target
    const std::vector<uint32_t> directStretched = Pixels(target, 320, 230);

    // The same copies from the drawn surface (hDC draws it).
    BitBlt(target, 0, 0, w, h, f.pic.hDC(), 0, 0, SRCCOPY);
    EXPECT_EQ(Pixels(target, w, h), direct);
    f.pic.StretchTo(target, 10, 20, 300, 200, w, h);
    EXPECT_EQ(Pixels(target, 320, 230), directStretched);
    DeleteObject(SelectObject(target, old));
    DeleteDC(target);
    f.Unload();
}

namespace {
std::wstring gDialogAnswer;
BOOL CALLBACK FindDialog(HWND h, LPARAM found) {
    wchar_t cls[16] = {};
    GetClassNameW(h, cls, 16);
    if (std::wstring(cls) == L"#32770" && IsWindowVisible(h)) *reinterpret_cast<HWND*>(found) = h;
    return TRUE;
}
// Answers the system's file dialog of this thread as a user would: a name typed and OK, or Cancel.
void CALLBACK AnswerFileDialog(HWND, UINT, UINT_PTR id, DWORD) {
    // The first dialog of a session can take long to come: it is waited for.
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;
    KillTimer(nullptr, id);
    if (gDialogAnswer.empty()) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    } else {
        SetDlgItemTextW(dialog, 0x47C, gDialogAnswer.c_str());  // the file name box
        SetDlgItemTextW(dialog, 0x480, gDialogAnswer.c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
}
}  // namespace

// The system's own open dialog (its library is loaded when first needed):
// a chosen file comes back, a cancel is reported as one.
TEST(Forms, TheSystemFileDialogAnswersWithTheChosenFileOrACancel) {
    forms::SetFileDialogHook(nullptr);
    forms::CommonDialog d;
    d.Filter = L"画像|*.bmp";
    d.CancelError = true;
    d.Flags = 0x1000;
    gDialogAnswer = DataPath(L"sample.bmp");
    UINT_PTR timer = SetTimer(nullptr, 0, 50, &AnswerFileDialog);
    ASSERT_NE(timer, 0u);
    EXPECT_EQ(d.ShowOpen(), forms::DialogResult::Ok);
    KillTimer(nullptr, timer);  // when no dialog came at all
    EXPECT_EQ(_wcsicmp(d.FileName.c_str(), DataPath(L"sample.bmp").c_str()), 0) << d.FileName;

    gDialogAnswer.clear();
    timer = SetTimer(nullptr, 0, 50, &AnswerFileDialog);
    ASSERT_NE(timer, 0u);
    EXPECT_EQ(d.ShowOpen(), forms::DialogResult::Cancelled);
    KillTimer(nullptr, timer);
    FailOnUnexpectedMessageBoxes();
}
