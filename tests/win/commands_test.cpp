// Every command of the two viewer windows driven as a user reaches it: the
// framed window's menu items and Ctrl keys, the borderless window's popup
// menu and its left-button move. Dialogs are answered from inside their
// modal loops, where the viewer window must not be topmost.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "app/mdlTamsel.h"
#include "dialogs/frmDialogTile.h"
#include "dialogs/frmDialogViewSize.h"
#include "dialogs/frmOptions.h"
#include "dialogs/frmVersion.h"
#include "engine/frmBackground.h"
#include "engine/picture_services.h"
#include "forms/menu.h"
#include "test_support.h"
#include "windows/frmMini.h"
#include "windows/frmNoTitleFrame.h"
#include "windows/frmNormal.h"
#include "windows/frmPopupMenu.h"

using namespace tamsel;
using namespace testing_support;

namespace {

bool Topmost(const forms::Form& f) { return (GetWindowLongW(f.hWnd(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

// Runs once inside the next modal loop, as the user's answer to a dialog.
std::function<void()> gInModal;
void CALLBACK RunInModal(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (auto f = std::move(gInModal)) f();
}
void InModal(std::function<void()> answer) {
    gInModal = std::move(answer);
    SetTimer(nullptr, 0, 20, &RunInModal);
}

// A file dialog answered with a name (or a cancel), noting whether `viewer` was topmost meanwhile.
struct FileAnswer {
    FileAnswer(std::optional<std::wstring> answer, const forms::Form& viewer) {
        forms::SetFileDialogHook([this, answer, &viewer](const forms::CommonDialog&, bool save) {
            ++shown;
            wasSave = save;
            topmostDuring = Topmost(viewer);
            return answer;
        });
    }
    ~FileAnswer() { FailOnUnexpectedMessageBoxes(); }
    int shown = 0;
    bool wasSave = false, topmostDuring = true;
};

void Key(HWND target, int vk, std::initializer_list<int> held) { PressKey(target, vk, held); }

// The framed window's menu item, chosen as the platform reports a choice.
void Choose(int menu, int item) {
    HMENU popup = GetSubMenu(GetMenu(frmNormal.hWnd()), menu);
    SendMessageW(frmNormal.hWnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), menu);
    SendMessageW(frmNormal.hWnd(), WM_COMMAND, GetMenuItemID(popup, item), 0);
}

// The popup menu: shown once to learn its commands, then again with the choice.
HMENU gPopup = nullptr;
UINT gChoice = 0;
UINT ChoosePopup(HMENU menu) {
    gPopup = menu;
    return std::exchange(gChoice, 0u);
}
void Popup() {
    SendMessageW(frmNoTitleFrame.picView.hWnd(), WM_RBUTTONDOWN, MK_RBUTTON, 0);
    SendMessageW(frmNoTitleFrame.picView.hWnd(), WM_RBUTTONUP, 0, 0);
}
// Item `item` of the popup, or of its submenu `sub` (-1: the popup itself);
// a negative item counts from the end.
void ChooseFromPopup(int sub, int item) {
    Popup();
    HMENU menu = gPopup;
    if (sub >= 0) {
        menu = GetSubMenu(gPopup, sub);
        SendMessageW(frmNoTitleFrame.hWnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), sub);
    }
    gChoice = GetMenuItemID(menu, item >= 0 ? item : GetMenuItemCount(menu) + item);
    Popup();
}

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        forms::SetPopupHook(&ChoosePopup);
        frmBackground.Load();
        ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.jpg"), false));
    }
    void TearDown() override {
        for (forms::Form* f : std::initializer_list<forms::Form*>{&frmOptions, &frmDialogTile, &frmDialogViewSize,
                                                                  &frmVersion})
            f->Unload();
        ResetProgramState();
        ClearStoredSettings();
    }
    TempDir dir;
};

}  // namespace

TEST_F(CommandsTest, TheFramedWindowsFileCommands) {
    frmNormal.Show();
    {
        FileAnswer answer(DataPath(L"sample.gif"), frmNormal);
        Choose(0, 0);  // 画像ファイルを開く
        EXPECT_EQ(answer.shown, 1);
        EXPECT_FALSE(answer.topmostDuring);
    }
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.gif"));
    EXPECT_EQ(frmNormal.Caption(), L"sample.gif - Tamsel2");
    EXPECT_TRUE(Topmost(frmNormal));
    {
        FileAnswer answer(DataPath(L"sample.bmp"), frmNormal);
        Key(frmNormal.picView.hWnd(), 'O', {VK_CONTROL});
        EXPECT_EQ(answer.shown, 1);
    }
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.bmp"));
    {
        FileAnswer answer(dir / L"saved.bmp", frmNormal);
        Key(frmNormal.picView.hWnd(), 'A', {VK_CONTROL});  // save, as Ctrl+S does
        EXPECT_EQ(answer.shown, 1);
        EXPECT_TRUE(answer.wasSave);
        EXPECT_FALSE(answer.topmostDuring);
    }
    forms::Picture saved;
    ASSERT_EQ(LoadPicture(dir / L"saved.bmp", saved), S_OK);
    EXPECT_EQ(saved.WidthPixels(), frmBackground.picLoad.ScaleWidth());
    EXPECT_TRUE(Topmost(frmNormal));

    Choose(0, 6);  // 終了する
    EXPECT_FALSE(frmNormal.IsLoaded());
    EXPECT_FALSE(frmBackground.IsLoaded());
    EXPECT_EQ(StoredValue(L"Run", L"LstFm"), L"0");  // the options written on the way out
}

TEST_F(CommandsTest, TheFramedWindowsViewKeys) {
    // Large enough that the frame is not held at the system's smallest window.
    ASSERT_TRUE(frmBackground.PictureLoadRun(ProgramFolder() + L"\\ts2image.JPG", false));  // 480 x 360
    frmNormal.Show();
    frmNormal.Move(frmNormal.Left(), frmNormal.Top(), 12000, 9000);
    Key(frmNormal.picView.hWnd(), 'F', {VK_CONTROL});  // 枠を画像にあわせる
    EXPECT_EQ(frmNormal.ScaleWidth(), 480 * 15);
    EXPECT_EQ(frmNormal.ScaleHeight(), 360 * 15);

    Key(frmNormal.picView.hWnd(), 'T', {VK_CONTROL});  // タイトルと枠の非表示
    EXPECT_FALSE(frmNormal.IsLoaded());
    EXPECT_TRUE(frmNoTitleFrame.IsLoaded());
    EXPECT_TRUE(IsWindowVisible(frmNoTitleFrame.hWnd()));
    EXPECT_EQ(frmNoTitleFrame.ScaleWidth(), 480 * 15);
}

TEST_F(CommandsTest, TheFramedWindowsDialogsAreNotUnderATopmostWindow) {
    frmNormal.Show();
    ASSERT_TRUE(Topmost(frmNormal));

    bool topmost = true, shown = false;
    InModal([&] {
        topmost = Topmost(frmNormal);
        shown = IsWindowVisible(frmDialogTile.hWnd()) != FALSE;
        SendMessageW(frmDialogTile.cmdCancel.hWnd(), BM_CLICK, 0, 0);
    });
    Choose(1, 3);  // タイルに並べてコピー
    EXPECT_TRUE(shown);
    EXPECT_FALSE(topmost);
    EXPECT_TRUE(Topmost(frmNormal));

    // Options: the anchor is taken anew afterwards, by the point chosen there.
    frmNormal.Move(3000, 1500);
    WindowPointX = WindowPointY = 1;
    InModal([&] {
        topmost = Topmost(frmNormal);
        SendMessageW(frmOptions.optPoint[4].hWnd(), BM_CLICK, 0, 0);  // bottom-right corner
        SendMessageW(frmOptions.cmdOK.hWnd(), BM_CLICK, 0, 0);
    });
    Choose(2, 8);  // オプション
    EXPECT_FALSE(topmost);
    EXPECT_EQ(Settings.WindowPointIndex, 4);
    EXPECT_EQ(WindowPointX, frmNormal.Left() + frmNormal.Width());
    EXPECT_EQ(WindowPointY, frmNormal.Top() + frmNormal.Height());
    EXPECT_TRUE(Topmost(frmNormal));

    shown = false;
    InModal([&] {
        topmost = Topmost(frmNormal);
        shown = IsWindowVisible(frmVersion.hWnd()) != FALSE;
        SendMessageW(frmVersion.cmdClose.hWnd(), BM_CLICK, 0, 0);
    });
    Choose(3, 2);  // バージョン情報
    EXPECT_TRUE(shown);
    EXPECT_FALSE(topmost);
    EXPECT_TRUE(Topmost(frmNormal));
}

TEST_F(CommandsTest, ThePopupMenusFileAndEditCommands) {
    CurrentFileName = DataPath(L"sample.jpg");
    frmNoTitleFrame.Show();
    {
        FileAnswer answer(DataPath(L"sample.gif"), frmNoTitleFrame);
        ChooseFromPopup(-1, 0);  // 画像ファイルを開く
        EXPECT_EQ(answer.shown, 1);
        EXPECT_FALSE(answer.topmostDuring);
    }
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.gif"));
    EXPECT_EQ(frmMini.Caption(), L"sample.gif - Tamsel2");
    EXPECT_TRUE(Topmost(frmNoTitleFrame));

    EmptyTheClipboard();
    ChooseFromPopup(6, 0);  // 編集 > コピー, at 100 % without a question
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    EmptyTheClipboard();
    {
        FileAnswer answer(dir / L"saved.bmp", frmNoTitleFrame);
        ChooseFromPopup(6, 4);  // 編集 > 名前を付けてファイルの保存
        EXPECT_TRUE(answer.wasSave);
        EXPECT_FALSE(answer.topmostDuring);
    }
    forms::Picture saved;
    EXPECT_EQ(LoadPicture(dir / L"saved.bmp", saved), S_OK);

    bool topmost = true, shown = false;
    InModal([&] {
        topmost = Topmost(frmNoTitleFrame);
        shown = IsWindowVisible(frmDialogTile.hWnd()) != FALSE;
        SendMessageW(frmDialogTile.cmdCancel.hWnd(), BM_CLICK, 0, 0);
    });
    ChooseFromPopup(6, 3);  // 編集 > タイルに並べてコピー
    EXPECT_TRUE(shown);
    EXPECT_FALSE(topmost);
    EXPECT_TRUE(Topmost(frmNoTitleFrame));
}

TEST_F(CommandsTest, ThePopupMenusAnySizeAndWindowCommands) {
    CurrentFileName = DataPath(L"sample.jpg");
    frmNoTitleFrame.Show();
    // 任意のサイズ: cancelled, nothing changes; then 200 %.
    bool topmost = true;
    InModal([&] {
        topmost = Topmost(frmNoTitleFrame);
        SetWindowTextW(frmDialogViewSize.txtSize.hWnd(), L"300");
        SendMessageW(frmDialogViewSize.cmdCancel.hWnd(), BM_CLICK, 0, 0);
    });
    ChooseFromPopup(4, -1);  // 表示サイズ > 任意のサイズ, the last item
    EXPECT_FALSE(topmost);
    EXPECT_EQ(CurrentViewSize, 100);
    EXPECT_EQ(frmNoTitleFrame.ScaleWidth(), 40 * 15);
    InModal([&] {
        SetWindowTextW(frmDialogViewSize.txtSize.hWnd(), L"200");
        SendMessageW(frmDialogViewSize.cmdOK.hWnd(), BM_CLICK, 0, 0);
    });
    ChooseFromPopup(4, -1);
    EXPECT_EQ(CurrentViewSize, 200);
    EXPECT_EQ(frmNoTitleFrame.ScaleWidth(), 80 * 15);
    EXPECT_EQ(frmMini.Caption(), L"sample.jpg - Tamsel2 (200%)");

    ChooseFromPopup(-1, 9);  // 最小化: the taskbar window stands in
    EXPECT_FALSE(IsWindowVisible(frmNoTitleFrame.hWnd()));
    EXPECT_TRUE(IsWindowVisible(frmMini.hWnd()));
    EXPECT_EQ(frmMini.WindowState(), forms::vbMinimized);
    frmMini.SetWindowState(forms::vbNormal);  // restored from the taskbar
    EXPECT_TRUE(IsWindowVisible(frmNoTitleFrame.hWnd()));

    ChooseFromPopup(-1, 8);  // タイトルと枠を表示
    EXPECT_FALSE(frmNoTitleFrame.IsLoaded());
    EXPECT_TRUE(frmNormal.IsLoaded());
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 80);

    Key(frmNormal.picView.hWnd(), 'T', {VK_CONTROL});
    ChooseFromPopup(-1, 11);  // 終了
    EXPECT_FALSE(frmNoTitleFrame.IsLoaded());
    EXPECT_FALSE(frmBackground.IsLoaded());
    EXPECT_EQ(StoredValue(L"Run", L"LstFm"), L"1");
}

namespace {
// The borderless window's title-bar press, as the platform receives it, kept
// from starting the system's move loop.
WPARAM gNcHit = 0;
bool gCaptureHeld = true;
WNDPROC gFormProc = nullptr;
LRESULT CALLBACK NcProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCLBUTTONDOWN) {
        gNcHit = wp;
        gCaptureHeld = GetCapture() != nullptr;
        return 0;
    }
    return CallWindowProcW(gFormProc, h, msg, wp, lp);
}
}  // namespace

// A left press on the picture hands the window to the platform's move, as a
// press on a title bar; the right button opens the popup instead.
TEST_F(CommandsTest, TheBorderlessWindowMovesByItsPicture) {
    CurrentFileName = DataPath(L"sample.jpg");
    frmNoTitleFrame.Show();
    gFormProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(frmNoTitleFrame.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&NcProc)));
    gNcHit = 0;
    SendMessageW(frmNoTitleFrame.picView.hWnd(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(gNcHit, static_cast<WPARAM>(HTCAPTION));
    EXPECT_FALSE(gCaptureHeld);  // the picture box let the mouse go first
    gNcHit = 0;
    SendMessageW(frmNoTitleFrame.picView.hWnd(), WM_RBUTTONDOWN, MK_RBUTTON, 0);
    EXPECT_EQ(gNcHit, 0u);
    SendMessageW(frmNoTitleFrame.picView.hWnd(), WM_RBUTTONUP, 0, 0);
    SetWindowLongPtrW(frmNoTitleFrame.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gFormProc));
}
