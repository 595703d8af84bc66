// The framed window with real windows: files dropped from the shell, its keys
// and fitting its frame.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include "app/mdlTamsel.h"
#include "engine/bmp_file.h"
#include "engine/frmBackground.h"
#include "forms/screen.h"
#include "test_support.h"
#include "windows/frmNormal.h"

using namespace tamsel;
using namespace testing_support;

namespace {

void Drop(const std::vector<std::wstring>& names) {
    SendMessageW(frmNormal.picView.hWnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropFileList(names)), 0);
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

// A 24-bit BMP of the given size in pixels.
std::wstring Bitmap(const TempDir& dir, int width, int height) {
    DibImage image;
    image.width = width;
    image.height = height;
    const auto stride = DibStride(width, 24);
    image.rows.resize(stride * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &image.rows[y * stride + x * 3];
            p[0] = static_cast<uint8_t>(x), p[1] = static_cast<uint8_t>(y), p[2] = 128;
        }
    const std::wstring path = dir / (std::to_wstring(width) + L"x" + std::to_wstring(height) + L".bmp");
    WriteBytes(path, EncodeBmpFile(image));
    return path;
}

// The window with a client area of the given size in twips.
void ClientSize(int width, int height) {
    frmNormal.Move(0, 0, frmNormal.Width() - frmNormal.ScaleWidth() + width,
                   frmNormal.Height() - frmNormal.ScaleHeight() + height);
}

// Mouse messages as the platform sends them, the cursor put where the handlers read it.
POINT gCursor{};
void TestCursor(long& x, long& y) { x = gCursor.x, y = gCursor.y; }

// Mouse messages as the platform sends them, with the cursor where the handlers read it.
void Mouse(const forms::Control& c, UINT msg, int screenX, int screenY, WPARAM keys) {
    gCursor = {screenX, screenY};
    SendMessageW(c.hWnd(), msg, keys, 0);
}

class FramedWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        forms::SetCursorHook(&TestCursor);
        frmBackground.Load();
        frmNormal.Show();
    }
    void TearDown() override {
        ResetProgramState();
        forms::SetCursorHook(nullptr);
    }
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

    // Ctrl+Shift+C copies nothing; Ctrl+C copies.
    Drop({DataPath(L"sample.gif")});
    EmptyTheClipboard();
    Key('C', {VK_CONTROL, VK_SHIFT});
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
    Key('C', {VK_CONTROL});
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    EmptyTheClipboard();
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

TEST_F(FramedWindowTest, BarsAndGripFollowThePictureAndTheArea) {
    Settings.AutoAttach = kFalse;
    // Smaller than the area: no bars, no grip, the ordinary pointer.
    Drop({Bitmap(dir, 200, 150)});
    ClientSize(6000, 4500);
    EXPECT_FALSE(frmNormal.HScroll.Visible());
    EXPECT_FALSE(frmNormal.VScroll.Visible());
    EXPECT_FALSE(frmNormal.picDummy.Visible());
    EXPECT_EQ(frmNormal.picView.MouseIcon, nullptr);

    // Wider, and only slightly less high: the horizontal bar makes the vertical one needed.
    Drop({Bitmap(dir, 420, 295)});
    ClientSize(6000, 4500);
    ASSERT_TRUE(frmNormal.HScroll.Visible());
    ASSERT_TRUE(frmNormal.VScroll.Visible());
    EXPECT_EQ(frmNormal.HScroll.Max(), 6300 - 5745);
    EXPECT_EQ(frmNormal.HScroll.LargeChange(), 675);  // (555 + 120) \ 1
    EXPECT_EQ(frmNormal.HScroll.SmallChange(), 68);   // 67.5 to even
    EXPECT_EQ(frmNormal.VScroll.Max(), 4425 - 4245);
    EXPECT_EQ(frmNormal.VScroll.LargeChange(), 300);
    EXPECT_EQ(frmNormal.VScroll.SmallChange(), 30);
    // The bars lie along the edges, the grip in the corner between them.
    EXPECT_EQ(frmNormal.HScroll.Top(), 4500 - 255);
    EXPECT_EQ(frmNormal.HScroll.Width(), 6000 - 255);
    EXPECT_EQ(frmNormal.VScroll.Left(), 6000 - 255);
    EXPECT_EQ(frmNormal.VScroll.Height(), 4500 - 255);
    ASSERT_TRUE(frmNormal.picDummy.Visible());
    EXPECT_EQ(frmNormal.picDummy.Left(), 6000 - 255);
    EXPECT_EQ(frmNormal.picDummy.Top(), 4500 - 255);
    for (auto& line : frmNormal.LineDummy) EXPECT_TRUE(line.Visible());
    EXPECT_NE(frmNormal.picDummy.MouseIcon, nullptr);
    ASSERT_NE(frmNormal.DragCursor(), nullptr);
    EXPECT_EQ(frmNormal.picView.MouseIcon, frmNormal.DragCursor());
    // A grip drawn in the window: a shaded line crosses its middle.
    frmNormal.picDummy.Refresh();
    UpdateWindow(frmNormal.picDummy.hWnd());
    HDC dc = GetDC(frmNormal.picDummy.hWnd());
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    int shaded = 0;
    for (int x = 0; x < 17; ++x)
        for (int y = 0; y < 17; ++y) shaded += GetPixel(dc, x, y) == shadow;
    ReleaseDC(frmNormal.picDummy.hWnd(), dc);
    EXPECT_GT(shaded, 10);

    // The bars move the picture.
    frmNormal.HScroll.SetValue(300);
    EXPECT_EQ(frmNormal.picView.Left(), -300);
    frmNormal.VScroll.SetValue(9999);
    EXPECT_EQ(frmNormal.VScroll.Value(), 180);
    EXPECT_EQ(frmNormal.picView.Top(), -180);

    // Maximized: the grip square stays, without its lines, and does not resize.
    frmNormal.SetWindowState(forms::vbMaximized);
    Drop({Bitmap(dir, 1500, 1200)});
    ASSERT_TRUE(frmNormal.picDummy.Visible());
    for (auto& line : frmNormal.LineDummy) EXPECT_FALSE(line.Visible());
    EXPECT_EQ(frmNormal.picDummy.MouseIcon, nullptr);
    const int width = frmNormal.Width();
    Mouse(frmNormal.picDummy, WM_LBUTTONDOWN, 600, 600, MK_LBUTTON);
    Mouse(frmNormal.picDummy, WM_MOUSEMOVE, 500, 500, MK_LBUTTON);
    Mouse(frmNormal.picDummy, WM_LBUTTONUP, 500, 500, 0);
    EXPECT_EQ(frmNormal.Width(), width);
    frmNormal.SetWindowState(forms::vbNormal);
}

TEST_F(FramedWindowTest, DraggingThePictureScrollsItAndStopsAtBothEdges) {
    Settings.AutoAttach = kFalse;
    Drop({Bitmap(dir, 1400, 1100)});
    ClientSize(6000, 4500);
    const int maxX = frmNormal.HScroll.Max(), maxY = frmNormal.VScroll.Max();
    EXPECT_EQ(maxX, 21000 - 5745);
    EXPECT_EQ(maxY, 16500 - 4245);

    Mouse(frmNormal.picView, WM_LBUTTONDOWN, 300, 300, MK_LBUTTON);
    Mouse(frmNormal.picView, WM_MOUSEMOVE, 250, 260, MK_LBUTTON);
    EXPECT_EQ(frmNormal.picView.Left(), -750);
    EXPECT_EQ(frmNormal.picView.Top(), -600);
    EXPECT_EQ(frmNormal.HScroll.Value(), 750);
    EXPECT_EQ(frmNormal.VScroll.Value(), 600);
    // Past the start: held at 0.
    Mouse(frmNormal.picView, WM_MOUSEMOVE, 400, 350, MK_LBUTTON);
    EXPECT_EQ(frmNormal.picView.Left(), 0);
    EXPECT_EQ(frmNormal.picView.Top(), 0);
    EXPECT_EQ(frmNormal.HScroll.Value(), 0);
    // Far past the end: held at -Max.
    Mouse(frmNormal.picView, WM_LBUTTONUP, 400, 350, 0);
    Mouse(frmNormal.picView, WM_LBUTTONDOWN, 1200, 1000, MK_LBUTTON);
    Mouse(frmNormal.picView, WM_MOUSEMOVE, -200, -200, MK_LBUTTON);
    EXPECT_EQ(frmNormal.picView.Left(), -maxX);
    EXPECT_EQ(frmNormal.picView.Top(), -maxY);
    EXPECT_EQ(frmNormal.HScroll.Value(), maxX);
    EXPECT_EQ(frmNormal.VScroll.Value(), maxY);
    Mouse(frmNormal.picView, WM_LBUTTONUP, 0, 0, 0);
    // After the button is up, moving does nothing; the right button starts no drag.
    Mouse(frmNormal.picView, WM_MOUSEMOVE, 300, 300, 0);
    EXPECT_EQ(frmNormal.picView.Left(), -maxX);
    Mouse(frmNormal.picView, WM_RBUTTONDOWN, 300, 300, MK_RBUTTON);
    Mouse(frmNormal.picView, WM_MOUSEMOVE, 600, 600, MK_RBUTTON);
    Mouse(frmNormal.picView, WM_RBUTTONUP, 600, 600, 0);
    EXPECT_EQ(frmNormal.picView.Left(), -maxX);

    // Wider than a bar's range: one unit stands for more, and the end is still reached.
    Drop({Bitmap(dir, 3000, 200)});
    ClientSize(6000, 4500);
    ASSERT_TRUE(frmNormal.HScroll.Visible());
    EXPECT_LE(frmNormal.HScroll.Max(), 32767 - 120);
    frmNormal.HScroll.SetValue(frmNormal.HScroll.Max());
    EXPECT_EQ(frmNormal.picView.Left(), -(45000 - 6000));
    frmNormal.HScroll.SetValue(0);
    EXPECT_EQ(frmNormal.picView.Left(), 0);

    // Only the bar that is shown moves its direction.
    Drop({Bitmap(dir, 1400, 100)});
    ClientSize(6000, 4500);
    ASSERT_FALSE(frmNormal.VScroll.Visible());
    const int top = frmNormal.picView.Top();
    Mouse(frmNormal.picView, WM_LBUTTONDOWN, 300, 300, MK_LBUTTON);
    Mouse(frmNormal.picView, WM_MOUSEMOVE, 290, 200, MK_LBUTTON);
    Mouse(frmNormal.picView, WM_LBUTTONUP, 290, 200, 0);
    EXPECT_EQ(frmNormal.picView.Top(), top);
}

TEST_F(FramedWindowTest, TheGripResizesTheWindowButNotNarrowerThanItsLimit) {
    Settings.AutoAttach = kFalse;
    Drop({Bitmap(dir, 1400, 1100)});
    ClientSize(6000, 4500);
    ASSERT_TRUE(frmNormal.picDummy.Visible());
    Mouse(frmNormal.picDummy, WM_LBUTTONDOWN, 400, 300, MK_LBUTTON);
    Mouse(frmNormal.picDummy, WM_MOUSEMOVE, 440, 320, MK_LBUTTON);
    EXPECT_EQ(frmNormal.ScaleWidth(), 6000 + 40 * 15);
    EXPECT_EQ(frmNormal.ScaleHeight(), 4500 + 20 * 15);
    // The grip followed the corner.
    EXPECT_EQ(frmNormal.picDummy.Left(), frmNormal.ScaleWidth() - 255);
    Mouse(frmNormal.picDummy, WM_MOUSEMOVE, -2000, 320, MK_LBUTTON);
    // The grip stops at 1245 twips; a platform with a wider smallest window stops it there.
    const int frame = frmNormal.Width() - frmNormal.ScaleWidth();
    const int smallest = forms::PixelsToTwipsX(GetSystemMetrics(SM_CXMINTRACK)) - frame;
    EXPECT_EQ(frmNormal.ScaleWidth(), std::max(forms::PixelsToTwipsX(forms::TwipsToPixelsX(1245)) + 255, smallest));
    Mouse(frmNormal.picDummy, WM_LBUTTONUP, -2000, 320, 0);
    const int width = frmNormal.ScaleWidth();
    Mouse(frmNormal.picDummy, WM_MOUSEMOVE, 800, 320, 0);
    EXPECT_EQ(frmNormal.ScaleWidth(), width);
}

TEST_F(FramedWindowTest, LoadPlacesTheWindowByTheStoredRules) {
    // The first viewer window of the run: centred, topmost, the anchor taken.
    frmNormal.SwitchingForm = true;
    frmNormal.Unload();
    SharedValues = RunValues{};
    ASSERT_LT(WindowPointX, -10);
    ASSERT_TRUE(frmBackground.PictureLoadRun(ProgramFolder() + L"\\ts2image.JPG", false));
    CurrentFileName = ProgramFolder() + L"\\ts2image.JPG";
    Settings.WindowPointIndex = 2;
    frmNormal.Show();
    EXPECT_NEAR(frmNormal.Left(), (forms::Screen::Width() - frmNormal.Width()) / 2, 15);
    EXPECT_NEAR(frmNormal.Top(), (forms::Screen::Height() - frmNormal.Height()) / 2, 15);
    EXPECT_EQ(frmNormal.ScaleWidth(), 480 * 15);
    EXPECT_NEAR(WindowPointX, frmNormal.Left() + frmNormal.Width() / 2, 1);
    EXPECT_TRUE(GetWindowLongW(frmNormal.hWnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(Settings.LastForm, 0);

    // Coming back from the other window: its rectangle.
    frmNormal.SwitchingForm = true;
    frmNormal.Unload();
    LastWindowLeft = 1500, LastWindowTop = 1200, LastWindowWidth = 6000, LastWindowHeight = 4500;
    Settings.LastForm = 1;
    frmNormal.Show();
    EXPECT_EQ(frmNormal.Left(), 1500);
    EXPECT_EQ(frmNormal.Top(), 1200);
    EXPECT_EQ(frmNormal.Width(), 6000);
    EXPECT_EQ(frmNormal.Height(), 4500);
    EXPECT_EQ(Settings.LastForm, 0);

    // No stored size: the stored place, the frame fitted to the picture.
    frmNormal.SwitchingForm = true;
    frmNormal.Unload();
    LastWindowLeft = 3000, LastWindowTop = 1500, LastWindowWidth = 0, LastWindowHeight = 0;
    Settings.AutoAttach = kFalse;
    frmNormal.Show();
    EXPECT_EQ(frmNormal.Left(), 3000);
    EXPECT_EQ(frmNormal.ScaleWidth(), 480 * 15);
    EXPECT_EQ(frmNormal.ScaleHeight(), 360 * 15);

    // With the anchor kept: the stored size, then placed so the centre stays on the anchor.
    frmNormal.SwitchingForm = true;
    frmNormal.Unload();
    Settings.WindowPoint = kTrue;
    WindowPointX = 9000, WindowPointY = 7000;
    LastWindowWidth = 6000, LastWindowHeight = 4500;
    frmNormal.Show();
    EXPECT_EQ(frmNormal.Width(), 6000);
    EXPECT_EQ(frmNormal.Left(), 9000 - 3000);
    EXPECT_EQ(frmNormal.Top(), (7000 - 2250) / 15 * 15);  // in whole pixels
}

TEST_F(FramedWindowTest, WithoutAPictureTheAreaIsAnEmpty320By240) {
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 320);
    EXPECT_EQ(frmNormal.picView.ScaleHeight(), 240);
    EXPECT_EQ(frmNormal.ScaleWidth(), 320 * 15);
    EXPECT_EQ(frmNormal.ScaleHeight(), 240 * 15);
    EXPECT_FALSE(frmNormal.HScroll.Visible());
    EXPECT_EQ(frmNormal.Caption(), L"Tamsel2");
}

namespace {
// The drop-down at a position of the menu bar, opened as the platform opens it.
HMENU OpenMenu(int position) {
    HMENU popup = GetSubMenu(GetMenu(frmNormal.hWnd()), position);
    SendMessageW(frmNormal.hWnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), position);
    return popup;
}

}  // namespace

TEST_F(FramedWindowTest, MenusEnableWhatThePictureAndTheClipboardAllow) {
    EmptyTheClipboard();
    ASSERT_EQ(CurrentFileName, L"");
    HMENU file = OpenMenu(0);
    EXPECT_EQ(MenuItemTexts(file), (std::vector<std::wstring>{L"画像ファイルを開く(&O)...\tCtrl+O",
                                                         L"次の画像(&N)\tPageDown", L"前の画像(&B)\tPageUp", L"-",
                                                         L"名前を付けてファイルを保存(&A)...\tCtrl+S", L"-",
                                                         L"Tamsel2 を終了する(&Q)"}));
    EXPECT_TRUE(MenuItemEnabled(file, 0));
    for (int i : {1, 2, 4}) EXPECT_FALSE(MenuItemEnabled(file, i)) << i;
    HMENU edit = OpenMenu(1);
    EXPECT_EQ(MenuItemTexts(edit), (std::vector<std::wstring>{L"コピー(&C)\tCtrl+C", L"貼り付け(&P)\tCtrl+V", L"-",
                                                         L"タイルに並べてコピー(&T)..."}));
    EXPECT_FALSE(MenuItemEnabled(edit, 0));
    EXPECT_FALSE(MenuItemEnabled(edit, 1));
    EXPECT_FALSE(MenuItemEnabled(edit, 3));
    // A disabled command does nothing even when chosen.
    SendMessageW(frmNormal.hWnd(), WM_COMMAND, GetMenuItemID(file, 4), 0);

    PutBitmapOnClipboard(30, 20, 0x336699);
    edit = OpenMenu(1);
    EXPECT_TRUE(MenuItemEnabled(edit, 1));
    SendMessageW(frmNormal.hWnd(), WM_COMMAND, GetMenuItemID(edit, 1), 0);  // paste
    EXPECT_EQ(CurrentFileName, L"ClipboardPicture");
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 30);
    EXPECT_TRUE(MenuItemEnabled(OpenMenu(0), 4));
    for (int i : {1, 2}) EXPECT_FALSE(MenuItemEnabled(OpenMenu(0), i)) << i;  // a pasted picture has no folder
    EXPECT_TRUE(MenuItemEnabled(OpenMenu(1), 0));
    EXPECT_TRUE(MenuItemEnabled(OpenMenu(1), 3));
    // Copy at 100 % asks nothing; the window is topmost again after it.
    EmptyTheClipboard();
    SendMessageW(frmNormal.hWnd(), WM_COMMAND, GetMenuItemID(OpenMenu(1), 0), 0);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_TRUE(GetWindowLongW(frmNormal.hWnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EmptyTheClipboard();
}

TEST_F(FramedWindowTest, TheViewSizeListFollowsThePresets) {
    HMENU view = OpenMenu(2);
    HMENU sizes = GetSubMenu(view, 3);
    ASSERT_NE(sizes, nullptr);
    SendMessageW(frmNormal.hWnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sizes), 3);
    // All presets off: the actual size and its separator only.
    EXPECT_EQ(MenuItemTexts(sizes), (std::vector<std::wstring>{L"等倍(&D)\tCtrl+D", L"-", L"任意のサイズ(&I)...\tCtrl+Z"}));

    Settings.ViewSizes[1] = {250, kTrue};
    Settings.ViewSizes[4] = {50, kTrue};
    view = OpenMenu(2);
    sizes = GetSubMenu(view, 3);
    SendMessageW(frmNormal.hWnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sizes), 3);
    EXPECT_EQ(MenuItemTexts(sizes), (std::vector<std::wstring>{L"等倍(&D)\tCtrl+D", L"-", L"250%", L"50%", L"-",
                                                          L"任意のサイズ(&I)...\tCtrl+Z"}));

    // Choosing a preset shows the picture at its size; Ctrl+D goes back.
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.jpg"), false));
    CurrentFileName = DataPath(L"sample.jpg");
    SetViewPicture(frmNormal.picView);
    SendMessageW(frmNormal.hWnd(), WM_COMMAND, GetMenuItemID(sizes, 2), 0);
    EXPECT_EQ(CurrentViewSize, 250);
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 100);
    EXPECT_EQ(frmNormal.Caption(), L"sample.jpg - Tamsel2 (250%)");
    Key('D', {VK_CONTROL});
    EXPECT_EQ(CurrentViewSize, 100);
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 40);
}

TEST_F(FramedWindowTest, AHiddenEditMenuKeepsItsKeysAndIsRemembered) {
    HMENU view = OpenMenu(2);
    HMENU shown = GetSubMenu(view, 6);  // after 回転
    SendMessageW(frmNormal.hWnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(shown), 6);
    EXPECT_EQ(GetMenuState(shown, 0, MF_BYPOSITION) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    SendMessageW(frmNormal.hWnd(), WM_COMMAND, GetMenuItemID(shown, 0), 0);  // hide Edit
    EXPECT_EQ(Settings.MenuVisibleEdit, kFalse);
    HMENU bar = GetMenu(frmNormal.hWnd());
    EXPECT_EQ(MenuItemTexts(bar), (std::vector<std::wstring>{L"ファイル(&F)", L"表示(&V)", L"ヘルプ(&H)"}));

    // Ctrl+V still pastes.
    PutBitmapOnClipboard(12, 8, 0x102030);
    Key('V', {VK_CONTROL});
    EXPECT_EQ(CurrentFileName, L"ClipboardPicture");
    EmptyTheClipboard();

    // The next window starts with it hidden and its tick off.
    frmNormal.SwitchingForm = true;
    frmNormal.Unload();
    frmNormal.Show();
    bar = GetMenu(frmNormal.hWnd());
    EXPECT_EQ(GetMenuItemCount(bar), 3);
    EXPECT_FALSE(frmNormal.menu_VisibleEdit.Checked());
    EXPECT_TRUE(frmNormal.menu_VisibleHelp.Checked());
}

namespace {
BOOL CALLBACK FindTree(HWND child, LPARAM found) {
    wchar_t cls[64] = {};
    GetClassNameW(child, cls, 64);
    if (std::wcscmp(cls, L"SysTreeView32") != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}
}  // namespace

TEST_F(FramedWindowTest, HelpOpensTheProgramsHelpFileAtItsContents) {
    HMENU help = OpenMenu(3);
    SendMessageW(frmNormal.hWnd(), WM_COMMAND, GetMenuItemID(help, 0), 0);
    HWND viewer = nullptr;
    for (int i = 0; i < 100 && !viewer; ++i) {
        forms::DoEvents();
        viewer = FindWindowW(L"HH Parent", nullptr);
        if (!viewer) Sleep(20);
    }
    ASSERT_NE(viewer, nullptr) << "no help window";
    wchar_t text[128] = {};
    GetWindowTextW(viewer, text, 128);
    EXPECT_STREQ(text, L"Tamsel2 のヘルプ");  // the compiled title, read in the Japanese code page

    // The contents, every topic of the file, with the first one first.
    HWND tree = nullptr;
    EnumChildWindows(viewer, &FindTree, reinterpret_cast<LPARAM>(&tree));
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(SendMessageW(tree, TVM_GETCOUNT, 0, 0), 7);
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    item.pszText = text;
    item.cchTextMax = 128;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(text, L"Tamsel2 について");
    SendMessageW(viewer, WM_CLOSE, 0, 0);
}
