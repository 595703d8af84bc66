// The framed window with real windows: files dropped from the shell, its keys
// and fitting its frame.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>

#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"
#include "test_support.h"
#include "windows/frmNormal.h"

using namespace tamsel;
using namespace testing_support;

namespace {

// A file list as the shell hands it over (clipboard format 15).
HGLOBAL FileList(const std::vector<std::wstring>& names) {
    std::wstring packed;
    for (auto& n : names) packed += n + L'\0';
    packed += L'\0';
    HGLOBAL g = GlobalAlloc(GHND, sizeof(DROPFILES) + packed.size() * sizeof(wchar_t));
    auto* d = static_cast<DROPFILES*>(GlobalLock(g));
    d->pFiles = sizeof(DROPFILES);
    d->fWide = TRUE;
    std::memcpy(reinterpret_cast<uint8_t*>(d) + sizeof(DROPFILES), packed.data(), packed.size() * sizeof(wchar_t));
    GlobalUnlock(g);
    return g;
}

void Drop(const std::vector<std::wstring>& names) {
    SendMessageW(frmNormal.picView.hWnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(FileList(names)), 0);
}

void Key(int vk, std::initializer_list<int> held) {
    BYTE state[256] = {};
    for (int h : held) state[h] = 0x80;
    SetKeyboardState(state);
    MSG m{};
    m.hwnd = frmNormal.picView.hWnd();
    m.message = WM_KEYDOWN;
    m.wParam = static_cast<WPARAM>(vk);
    forms::DispatchOne(m);
    BYTE none[256] = {};
    SetKeyboardState(none);
}

class FramedWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        frmBackground.Load();
        frmNormal.Show();
    }
    void TearDown() override { ResetProgramState(); }
    TempDir dir;
};

}  // namespace

TEST_F(FramedWindowTest, OfTheDroppedFilesTheLastExistingOneOpensAndNoneClearsTheView) {
    Drop({DataPath(L"sample.gif"), dir / L"gone.bmp", dir / L"also-gone.jpg"});
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.gif"));
    EXPECT_EQ(frmNormal.Caption(), L"sample.gif - Tamsel2");
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 24);

    Drop({DataPath(L"sample.bmp"), DataPath(L"sample.jpg"), dir / L"gone.bmp"});
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.jpg"));
    EXPECT_EQ(frmNormal.Caption(), L"sample.jpg - Tamsel2");

    WriteBytes(dir / L"notes.txt", {'t'});
    Drop({dir / L"notes.txt"});  // no picture: nothing changes, no message
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.jpg"));
    EXPECT_EQ(frmNormal.Caption(), L"sample.jpg - Tamsel2");

    Drop({dir.path()});  // a folder is no file: the empty name clears the view
    EXPECT_EQ(CurrentFileName, L"");
    EXPECT_EQ(frmNormal.Caption(), L"Tamsel2");
    EXPECT_TRUE(frmNormal.picView.GetPicture().Empty());
}

TEST_F(FramedWindowTest, KeysWithExactlyCtrlAndEscapeWithAny) {
    Key('M', {VK_CONTROL, VK_SHIFT});
    EXPECT_EQ(frmNormal.WindowState(), forms::vbNormal);
    Key('M', {VK_CONTROL});
    EXPECT_EQ(frmNormal.WindowState(), forms::vbMinimized);
    frmNormal.SetWindowState(forms::vbNormal);

    ResizeCancel = kFalse;
    Key(VK_ESCAPE, {VK_SHIFT, VK_MENU});
    EXPECT_EQ(ResizeCancel, kTrue);
}

TEST_F(FramedWindowTest, TheFrameFitsThePicture) {
    ASSERT_TRUE(frmBackground.PictureLoadRun(ProgramFolder() + L"\\ts2image.JPG", false));
    SetViewPicture(frmNormal.picView);
    frmNormal.Move(0, 0, 3000, 3000);
    frmNormal.AttachFrameSize();
    EXPECT_EQ(frmNormal.ScaleWidth(), 480 * 15);
    EXPECT_EQ(frmNormal.ScaleHeight(), 360 * 15);
    EXPECT_EQ(frmNormal.Left(), 0);
    frmNormal.SetWindowState(forms::vbMaximized);
    const int width = frmNormal.Width();
    frmNormal.AttachFrameSize();  // only in the normal state
    EXPECT_EQ(frmNormal.Width(), width);
    frmNormal.SetWindowState(forms::vbNormal);
}
