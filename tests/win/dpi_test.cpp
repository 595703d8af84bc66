// The program at 96, 120, 144 and 192 DPI, as the system's scaling setting
// (LogPixels) gives them: each in a process of its own started at that
// setting, which checks the twips per pixel, that a picture at 100 % is one
// screen pixel per picture pixel, the bars and grip at their designed
// thickness, the first window's placement, every dialog's captions inside
// their controls at their designed places, and a move to a monitor of
// another DPI.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "app/mdlTamsel.h"
#include "dialogs/frmDialogTile.h"
#include "dialogs/frmDialogViewSize.h"
#include "dialogs/frmOptions.h"
#include "dialogs/frmVersion.h"
#include "engine/frmBackground.h"
#include "forms/screen.h"
#include "test_support.h"
#include "windows/frmNoTitleFrame.h"
#include "windows/frmNormal.h"

using namespace tamsel;
using namespace testing_support;

namespace {

constexpr wchar_t kDesktop[] = L"Control Panel\\Desktop";

// The DPI this process was started for; 0 in the process that starts the others.
int StartedAt() {
    const char* v = std::getenv("TAMSEL_TEST_DPI");
    return v ? std::atoi(v) : 0;
}

std::optional<DWORD> StoredLogPixels() {
    DWORD value = 0, size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

void StoreLogPixels(std::optional<DWORD> value) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kDesktop, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (value)
        RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*value), sizeof *value);
    else
        RegDeleteValueW(key, L"LogPixels");
    RegCloseKey(key);
}

RECT RectIn(HWND window, HWND parent) {
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

struct CaptionCheck {
    HWND form;
    bool system;
};

BOOL CALLBACK CheckCaption(HWND child, LPARAM lp) {
    const auto& c = *reinterpret_cast<CaptionCheck*>(lp);
    wchar_t cls[32] = {}, text[512] = {};
    GetClassNameW(child, cls, 32);
    GetWindowTextW(child, text, 512);
    if (!IsWindowVisible(child) || !text[0] || lstrcmpiW(cls, L"Edit") == 0) return TRUE;
    RECT client;
    GetClientRect(child, &client);
    HDC dc = GetDC(child);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
    RECT need{0, 0, 0, 0};
    DrawTextW(dc, text, -1, &need, DT_CALCRECT | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(child, dc);
    const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK;
    int room = client.right;
    if (lstrcmpiW(cls, L"Button") == 0) {
        if (style == BS_GROUPBOX)
            room -= 2 * GetSystemMetrics(SM_CXEDGE) + 8;
        else if (style == BS_3STATE || style == BS_AUTOCHECKBOX || style == BS_CHECKBOX ||
                 style == BS_RADIOBUTTON || style == BS_AUTORADIOBUTTON) {
            if (!c.system) return TRUE;
            room -= GetSystemMetrics(SM_CXMENUCHECK) + GetSystemMetrics(SM_CXEDGE);
        } else {
            room -= 2 * GetSystemMetrics(SM_CXEDGE);
        }
    }
    const std::string name = (testing::Message() << cls << " \"" << text << "\"").GetString();
    EXPECT_LE(need.right, room) << name;
    if (!(lstrcmpiW(cls, L"Button") == 0 && style == BS_GROUPBOX)) EXPECT_LE(need.bottom, client.bottom) << name;
    if (!c.system) return TRUE;
    // Inside the form's client area too.
    RECT outer = RectIn(child, c.form), area;
    GetClientRect(c.form, &area);
    EXPECT_LE(outer.right, area.right) << name;
    EXPECT_LE(outer.bottom, area.bottom) << name;
    return TRUE;
}

// Every caption of a form's controls fits inside its control, and every
// control inside the form. `systemAtThisDpi`: the system draws frames and
// check marks for this DPI (under Wine only at the DPI it started with).
void ExpectCaptionsInside(forms::Form& form, bool systemAtThisDpi = true) {
    SCOPED_TRACE(testing::Message() << form.Caption());
    CaptionCheck check{form.hWnd(), systemAtThisDpi};
    EnumChildWindows(form.hWnd(), &CheckCaption, reinterpret_cast<LPARAM>(&check));
}

// Each form control's window where its twips say, at this DPI's twips per pixel.
void ExpectAtDesignedPlaces(std::initializer_list<const forms::Control*> controls) {
    for (const forms::Control* c : controls) {
        const RECT r = RectIn(c->hWnd(), GetParent(c->hWnd()));
        EXPECT_EQ(r.left, forms::TwipsToPixelsX(c->Left()));
        EXPECT_EQ(r.top, forms::TwipsToPixelsY(c->Top()));
        EXPECT_EQ(r.right - r.left, forms::TwipsToPixelsX(c->Width()));
        EXPECT_EQ(r.bottom - r.top, forms::TwipsToPixelsY(c->Height()));
    }
}

class AtThisDpi : public ::testing::Test {
protected:
    void SetUp() override {
        if (!StartedAt()) GTEST_SKIP() << "runs in the processes Dpi.AtEachScaling starts";
        ResetProgramState();
        frmBackground.Load();
    }
    void TearDown() override {
        forms::Screen::SetDpi(0);
        for (forms::Form* f : std::initializer_list<forms::Form*>{&frmOptions, &frmDialogTile, &frmDialogViewSize,
                                                                  &frmVersion})
            f->Unload();
        ResetProgramState();
        ClearStoredSettings();
    }
};

}  // namespace

TEST(Dpi, AtEachScaling) {
    if (StartedAt()) GTEST_SKIP();
    const std::optional<DWORD> before = StoredLogPixels();
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    // The children write no report of their own over this one's.
    wchar_t report[1024] = {};
    const bool hadReport = GetEnvironmentVariableW(L"GTEST_OUTPUT", report, 1024) > 0;
    SetEnvironmentVariableW(L"GTEST_OUTPUT", nullptr);
    for (DWORD dpi : {96u, 120u, 144u, 192u}) {
        StoreLogPixels(dpi);
        SetEnvironmentVariableW(L"TAMSEL_TEST_DPI", std::to_wstring(dpi).c_str());
        EXPECT_EQ(RunProcess(L"\"" + std::wstring(self) + L"\" --gtest_filter=AtThisDpi.*"), 0u) << dpi << " DPI";
    }
    SetEnvironmentVariableW(L"TAMSEL_TEST_DPI", nullptr);
    if (hadReport) SetEnvironmentVariableW(L"GTEST_OUTPUT", report);
    StoreLogPixels(before);
}

TEST_F(AtThisDpi, TwipsPerPixelFollowTheScaling) {
    const std::map<int, int> twips{{96, 15}, {120, 12}, {144, 10}, {192, 7}};
    ASSERT_EQ(forms::Screen::DpiX(), StartedAt());
    EXPECT_EQ(forms::Screen::DpiY(), StartedAt());
    EXPECT_EQ(forms::Screen::TwipsPerPixelX(), twips.at(StartedAt()));
    EXPECT_EQ(forms::Screen::TwipsPerPixelY(), twips.at(StartedAt()));
}

TEST_F(AtThisDpi, APictureAt100PercentIsOneScreenPixelPerPixelInAFramedWindowLaidOutInTwips) {
    ASSERT_TRUE(frmBackground.PictureLoadRun(ProgramFolder() + L"\\ts2image.JPG", false));  // 480 x 360
    frmNormal.Show();
    frmNormal.AttachFrameSize();
    // The first window of the run: centred on the screen.
    RECT w;
    GetWindowRect(frmNormal.hWnd(), &w);
    EXPECT_NEAR((w.left + w.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((w.top + w.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

    RedrawWindow(frmNormal.hWnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    forms::DoEvents();
    RECT view;
    GetWindowRect(frmNormal.picView.hWnd(), &view);
    ASSERT_EQ(view.right - view.left, 480);
    ASSERT_EQ(view.bottom - view.top, 360);
    // What the screen shows there, against the picture's own pixels.
    HDC screen = GetDC(nullptr);
    void* bits = nullptr;
    HBITMAP shot = forms::CreateDib24(480, 360, &bits);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, shot);
    BitBlt(dc, 0, 0, 480, 360, screen, view.left, view.top, SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
    const auto shown = PackedPixels(forms::Picture::FromBitmap(shot), w1, h1);
    const auto picture = PackedPixels(frmBackground.picLoad.GetPicture(), w2, h2);
    EXPECT_TRUE(shown == picture) << "the screen does not show the picture pixel for pixel";

    // A smaller window: both bars and the grip, at their designed 255 twips.
    frmNormal.Move(frmNormal.Left(), frmNormal.Top(), frmNormal.Width() - frmNormal.ScaleWidth() + 200 * 15,
                   frmNormal.Height() - frmNormal.ScaleHeight() + 150 * 15);
    ASSERT_TRUE(frmNormal.HScroll.Visible() && frmNormal.VScroll.Visible() && frmNormal.picDummy.Visible());
    const int across = forms::TwipsToPixelsY(255);
    RECT bar;
    GetWindowRect(frmNormal.HScroll.hWnd(), &bar);
    EXPECT_EQ(bar.bottom - bar.top, across);
    GetWindowRect(frmNormal.VScroll.hWnd(), &bar);
    EXPECT_EQ(bar.right - bar.left, forms::TwipsToPixelsX(255));
    GetWindowRect(frmNormal.picDummy.hWnd(), &bar);
    EXPECT_EQ(bar.bottom - bar.top, across);
    ExpectAtDesignedPlaces({&frmNormal.HScroll, &frmNormal.VScroll, &frmNormal.picDummy});
}

TEST_F(AtThisDpi, EveryDialogShowsItsCaptionsWhole) {
    ASSERT_TRUE(frmBackground.PictureLoadRun(ProgramFolder() + L"\\ts2image.JPG", false));
    for (forms::Form* dialog : std::initializer_list<forms::Form*>{&frmOptions, &frmDialogTile, &frmDialogViewSize,
                                                                   &frmVersion}) {
        dialog->Show();
        ASSERT_TRUE(IsWindowVisible(dialog->hWnd()));
        ExpectCaptionsInside(*dialog);
        dialog->Unload();
    }
    frmOptions.Show();
    ExpectAtDesignedPlaces({&frmOptions.cmdOK, &frmOptions.cmdCancel, &frmOptions.optPoint[4]});
}

// A window moved to a monitor of another DPI (the system's message, as it
// sends it): the window takes the suggested rectangle, everything of the
// program is laid out in twips at the new DPI, and the picture keeps its pixels.
TEST_F(AtThisDpi, AWindowMovedToAMonitorOfAnotherDpiIsLaidOutForIt) {
    const int from = StartedAt(), to = from == 96 ? 144 : 96;
    const std::map<int, int> twips{{96, 15}, {120, 12}, {144, 10}, {192, 7}};
    ASSERT_TRUE(frmBackground.PictureLoadRun(ProgramFolder() + L"\\ts2image.JPG", false));  // 480 x 360
    frmNormal.Show();
    frmNormal.Move(frmNormal.Left(), frmNormal.Top(), frmNormal.Width() - frmNormal.ScaleWidth() + 200 * 15,
                   frmNormal.Height() - frmNormal.ScaleHeight() + 150 * 15);
    auto pixels = [](HWND h) {
        RECT r;
        GetWindowRect(h, &r);
        return std::make_pair(static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top));
    };
    auto fontHeight = [](HWND h) {
        LOGFONTW lf{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)), sizeof lf, &lf);
        return lf.lfHeight;
    };
    RECT before;
    GetWindowRect(frmNormal.hWnd(), &before);
    for (const int dpi : {to, from}) {
        SCOPED_TRACE(testing::Message() << dpi << " DPI");
        const RECT suggested{before.left + 8, before.top + 8,
                             before.left + 8 + MulDiv(before.right - before.left, dpi, from),
                             before.top + 8 + MulDiv(before.bottom - before.top, dpi, from)};
        SendMessageW(frmNormal.hWnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(forms::Screen::DpiY(), dpi);
        EXPECT_EQ(forms::Screen::TwipsPerPixelX(), twips.at(dpi));
        RECT now;
        GetWindowRect(frmNormal.hWnd(), &now);
        EXPECT_TRUE(EqualRect(&now, &suggested));
        EXPECT_EQ(pixels(frmNormal.picView.hWnd()), std::make_pair(480, 360));
        EXPECT_EQ(pixels(frmBackground.picLoad.hWnd()), std::make_pair(480, 360));
        EXPECT_EQ(frmNormal.picView.ScaleWidth(), 480);
        ASSERT_TRUE(frmNormal.HScroll.Visible() && frmNormal.VScroll.Visible());
        EXPECT_EQ(pixels(frmNormal.HScroll.hWnd()).second, 255 / twips.at(dpi));
        EXPECT_EQ(pixels(frmNormal.VScroll.hWnd()).first, 255 / twips.at(dpi));
        ExpectAtDesignedPlaces({&frmNormal.HScroll, &frmNormal.VScroll, &frmNormal.picDummy});
        EXPECT_EQ(fontHeight(frmNormal.lblProgress.hWnd()), -MulDiv(9, dpi, 72));
        // A dialog opened now: at the new DPI, its captions whole.
        frmOptions.Show();
        EXPECT_EQ(fontHeight(frmOptions.cmdOK.hWnd()), -MulDiv(9, dpi, 72));
        ExpectCaptionsInside(frmOptions, dpi == from);
        ExpectAtDesignedPlaces({&frmOptions.cmdOK, &frmOptions.optPoint[4]});
        frmOptions.Unload();
    }

    // The borderless window stays exactly the picture.
    frmNormal.menu_NoTitleFrame_Click();
    RECT r;
    GetWindowRect(frmNoTitleFrame.hWnd(), &r);
    const RECT scaled{r.left, r.top, r.left + MulDiv(r.right - r.left, to, from), r.top + MulDiv(r.bottom - r.top, to, from)};
    SendMessageW(frmNoTitleFrame.hWnd(), WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&scaled));
    EXPECT_EQ(pixels(frmNoTitleFrame.hWnd()), std::make_pair(480, 360));
    EXPECT_EQ(pixels(frmNoTitleFrame.picView.hWnd()), std::make_pair(480, 360));
    forms::Screen::SetDpi(0);
}
