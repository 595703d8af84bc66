// The borderless window, its taskbar stand-in and its popup menu, with real
// windows; the popup's choice is made through the menu hook.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>

#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"
#include "forms/menu.h"
#include "forms/screen.h"
#include "test_support.h"
#include "windows/frmMini.h"
#include "windows/frmNoTitleFrame.h"
#include "windows/frmNormal.h"
#include "windows/frmPopupMenu.h"

using namespace tamsel;
using namespace testing_support;

namespace {

// What the last popup showed, and what the test chooses from it next.
std::vector<std::wstring> gShown;
HMENU gPopup = nullptr;
UINT gChoice = 0;
UINT RecordPopup(HMENU menu) {
    gShown = MenuItemTexts(menu);
    gPopup = menu;
    return std::exchange(gChoice, 0u);
}

// A submenu of the popup as the platform opens it.
HMENU OpenSubmenu(int position) {
    HMENU sub = GetSubMenu(gPopup, position);
    SendMessageW(frmNoTitleFrame.hWnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub), position);
    return sub;
}

void Key(int vk, std::initializer_list<int> held, UINT message = WM_KEYDOWN) {
    BYTE state[256] = {};
    for (int h : held) state[h] = 0x80;
    SetKeyboardState(state);
    MSG m{};
    m.hwnd = frmNoTitleFrame.picView.hWnd();
    m.message = message;
    m.wParam = static_cast<WPARAM>(vk);
    forms::DispatchOne(m);
    BYTE none[256] = {};
    SetKeyboardState(none);
}

class BorderlessWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        forms::SetPopupHook(&RecordPopup);
        gShown.clear();
        frmBackground.Load();
    }
    void TearDown() override { ResetProgramState(); }
    void ShowWith(const std::wstring& file) {
        ASSERT_TRUE(frmBackground.PictureLoadRun(file, false));
        CurrentFileName = file;
        frmNoTitleFrame.Show();
    }
    TempDir dir;
};

}  // namespace

TEST_F(BorderlessWindowTest, WithoutAPictureABlankAreaNamedTamsel2OpensCentred) {
    frmNoTitleFrame.Show();
    EXPECT_EQ(frmNoTitleFrame.ScaleWidth(), 320 * 15);
    EXPECT_EQ(frmNoTitleFrame.ScaleHeight(), 240 * 15);
    EXPECT_EQ(frmNoTitleFrame.Width(), 320 * 15);  // no frame: the window is the picture
    EXPECT_TRUE(frmNoTitleFrame.lblProgress.Visible());
    EXPECT_EQ(frmNoTitleFrame.lblProgress.Caption(), L"Tamsel 2");
    EXPECT_EQ(frmNoTitleFrame.lblProgress.Left(), 120);
    EXPECT_NEAR(frmNoTitleFrame.Left(), (forms::Screen::Width() - frmNoTitleFrame.Width()) / 2, 15);
    EXPECT_NEAR(WindowPointX, frmNoTitleFrame.Left() + frmNoTitleFrame.Width() / 2, 15);  // the centre anchor
    const LONG_PTR ex = GetWindowLongPtrW(frmNoTitleFrame.hWnd(), GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_TOPMOST);
    EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);  // no taskbar button
    EXPECT_FALSE(GetWindowLongPtrW(frmNoTitleFrame.hWnd(), GWL_STYLE) & WS_CAPTION);
    EXPECT_EQ(Settings.LastForm, 1);
    EXPECT_TRUE(frmMini.IsLoaded());
    EXPECT_FALSE(frmMini.Visible());
    EXPECT_EQ(frmMini.Caption(), L"Tamsel2");
    EXPECT_TRUE(frmPopupMenu.IsLoaded());
}

TEST_F(BorderlessWindowTest, TheWindowFollowsThePictureAndItsKeysNeedExactlyCtrl) {
    ShowWith(DataPath(L"sample.jpg"));
    EXPECT_EQ(frmNoTitleFrame.ScaleWidth(), 40 * 15);
    EXPECT_EQ(frmMini.Caption(), L"sample.jpg - Tamsel2");
    const int left = frmNoTitleFrame.Left(), top = frmNoTitleFrame.Top();
    Settings.ViewSizes[0] = {250, kTrue};
    Key('Z', {VK_CONTROL, VK_SHIFT});  // nothing
    Key('D', {VK_CONTROL});            // the actual size again: same place
    EXPECT_EQ(frmNoTitleFrame.Left(), left);
    // Ctrl+A and Ctrl+S both save; Ctrl+Shift+S does nothing.
    {
        FileDialogAnswer answer(std::nullopt);
        Key('S', {VK_CONTROL, VK_SHIFT});
        EXPECT_EQ(answer.shown, 0);
        Key('S', {VK_CONTROL});
        Key('A', {VK_CONTROL});
        EXPECT_EQ(answer.shown, 2);
    }
    // Ctrl+L: translucent whatever the option says.
    Settings.Translucence = kFalse;
    Key('L', {VK_CONTROL});
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(frmNoTitleFrame.hWnd(), nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 128);
    // The middle button does nothing; F4 alone does nothing.
    SendMessageW(frmNoTitleFrame.picView.hWnd(), WM_MBUTTONDOWN, MK_MBUTTON, 0);
    SendMessageW(frmNoTitleFrame.picView.hWnd(), WM_MBUTTONUP, 0, 0);
    Key(VK_F4, {});
    EXPECT_TRUE(frmNoTitleFrame.Visible());
    EXPECT_EQ(top, frmNoTitleFrame.Top());
}

TEST_F(BorderlessWindowTest, AltF4EndsTheProgramAndWritesTheOptions) {
    ShowWith(DataPath(L"sample.jpg"));
    ClearStoredSettings();
    Key(VK_F4, {VK_MENU}, WM_SYSKEYDOWN);
    EXPECT_FALSE(frmNoTitleFrame.IsLoaded());
    EXPECT_FALSE(frmMini.IsLoaded());
    EXPECT_FALSE(frmPopupMenu.IsLoaded());
    EXPECT_EQ(StoredValue(L"Run", L"LstFm"), L"1");
}

TEST_F(BorderlessWindowTest, MinimizedTheMiniWindowStandsInUntilRestored) {
    ShowWith(DataPath(L"sample.jpg"));
    const int left = frmNoTitleFrame.Left();
    Key('M', {VK_CONTROL});
    EXPECT_FALSE(frmNoTitleFrame.Visible());
    EXPECT_TRUE(frmMini.Visible());
    EXPECT_EQ(frmMini.WindowState(), forms::vbMinimized);
    EXPECT_EQ(frmMini.Caption(), L"sample.jpg - Tamsel2");
    // Restored from the taskbar: the borderless window where it was, the mini window hidden.
    frmMini.SetWindowState(forms::vbNormal);
    EXPECT_TRUE(frmNoTitleFrame.Visible());
    EXPECT_FALSE(frmMini.Visible());
    EXPECT_EQ(frmNoTitleFrame.Left(), left);
    // Closing the mini window while it stands in ends the program.
    Key('M', {VK_CONTROL});
    ClearStoredSettings();
    SendMessageW(frmMini.hWnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(frmNoTitleFrame.IsLoaded());
    EXPECT_FALSE(frmMini.IsLoaded());
    EXPECT_TRUE(StoredValue(L"Run", L"LstFm").has_value());
}

TEST_F(BorderlessWindowTest, SwitchingToTheFramedWindowAndBackKeepsTheCorner) {
    ShowWith(DataPath(L"sample.jpg"));
    frmNoTitleFrame.Move(3000, 2250);
    Key('T', {VK_CONTROL});
    EXPECT_FALSE(frmNoTitleFrame.IsLoaded());
    ASSERT_TRUE(frmNormal.Visible());
    EXPECT_EQ(frmNormal.Left(), 3000);
    EXPECT_EQ(frmNormal.Top(), 2250);
    EXPECT_EQ(Settings.LastForm, 0);
    frmNormal.Move(4500, 1500);
    frmNormal.menu_NoTitleFrame_Click();
    EXPECT_FALSE(frmNormal.IsLoaded());
    ASSERT_TRUE(frmNoTitleFrame.Visible());
    EXPECT_EQ(frmNoTitleFrame.Left(), 4500);
    EXPECT_EQ(frmNoTitleFrame.Top(), 1500);
}

TEST_F(BorderlessWindowTest, ThePopupShowsWhatTheOptionsAndThePictureAllow) {
    frmNoTitleFrame.Show();
    Settings.Translucence = kFalse;
    SendMessageW(frmNoTitleFrame.picView.hWnd(), WM_RBUTTONDOWN, MK_RBUTTON, 0);
    SendMessageW(frmNoTitleFrame.picView.hWnd(), WM_RBUTTONUP, 0, 0);
    const std::vector<std::wstring> opaque{L"画像ファイルを開く(&O)...\tCtrl+O", L"次の画像(&X)\tPageDown",
                                           L"前の画像(&B)\tPageUp", L"-", L"表示サイズ(&S)", L"回転(&R)", L"編集(&E)", L"-",
                                           L"タイトルと枠を表示(&T)\tCtrl+T", L"最小化(&N)\tCtrl+M", L"-", L"終了(&Q)"};
    EXPECT_EQ(gShown, opaque);
    Settings.Translucence = kTrue;
    Key(VK_APPS, {VK_SHIFT});  // the context-menu key, any modifiers
    ASSERT_EQ(gShown.size(), opaque.size() + 1);
    EXPECT_EQ(gShown[9], L"半透明表示(&L)\tCtrl+L");

    // The view sizes: entries 0 and 3 at 50 and 200 %.
    Settings.ViewSizes[0] = {50, kTrue};
    Settings.ViewSizes[3] = {200, kTrue};
    Key(VK_APPS, {});
    HMENU sizes = OpenSubmenu(4);
    EXPECT_EQ(MenuItemTexts(sizes), (std::vector<std::wstring>{L"等倍(&D)\tCtrl+D", L"-", L"50%", L"200%", L"-",
                                                          L"任意のサイズ(&I)...\tCtrl+Z"}));
    // No picture: save, copy and tile copy greyed; text only on the clipboard: paste greyed.
    PutTextOnClipboard(L"text");
    HMENU edit = OpenSubmenu(6);  // after 回転
    EXPECT_EQ(MenuItemTexts(edit), (std::vector<std::wstring>{L"コピー(&C)\tCtrl+C", L"貼り付け(&P)\tCtrl+V", L"-",
                                                         L"タイルに並べてコピー(&T)...", L"名前を付けてファイルの保存(&A)...\tCtrl+S"}));
    for (int i : {0, 1, 3, 4}) EXPECT_FALSE(MenuItemEnabled(edit, i)) << i;

    // A picture pasted: all enabled; choosing 200 % from the popup renders it and names it in the mini window.
    PutBitmapOnClipboard(30, 20, 0x336699);
    Key('V', {VK_CONTROL});
    EXPECT_EQ(frmMini.Caption(), L"未保存の画像 - Tamsel2");
    Key(VK_APPS, {});
    edit = OpenSubmenu(6);
    for (int i : {0, 1, 3, 4}) EXPECT_TRUE(MenuItemEnabled(edit, i)) << i;
    sizes = OpenSubmenu(4);
    gChoice = GetMenuItemID(sizes, 3);
    Key(VK_APPS, {});
    EXPECT_EQ(CurrentViewSize, 200);
    EXPECT_EQ(frmNoTitleFrame.ScaleWidth(), 60 * 15);
    EXPECT_EQ(frmMini.Caption(), L"未保存の画像 - Tamsel2 (200%)");
    EmptyTheClipboard();
}

TEST_F(BorderlessWindowTest, OfTheDroppedFilesTheLastExistingOneOpens) {
    frmNoTitleFrame.Show();
    SendMessageW(frmNoTitleFrame.picView.hWnd(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(DropFileList({DataPath(L"sample.bmp"), DataPath(L"sample.gif"), dir / L"gone.jpg"})),
                 0);
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.gif"));
    EXPECT_EQ(frmNoTitleFrame.ScaleWidth(), 24 * 15);
    EXPECT_EQ(frmMini.Caption(), L"sample.gif - Tamsel2");
}
