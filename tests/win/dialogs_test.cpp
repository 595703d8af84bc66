// The dialogs with real windows, driven by the messages a user's typing and
// clicks produce.
#include <gtest/gtest.h>

#include <cstring>

#include "app/mdlTamsel.h"
#include "dialogs/frmDialogTile.h"
#include "dialogs/frmDialogViewSize.h"
#include "dialogs/frmOptions.h"
#include "dialogs/frmVersion.h"
#include "engine/bmp_file.h"
#include "engine/frmBackground.h"
#include "engine/picture_services.h"
#include "engine/view_size.h"
#include "test_support.h"
#include "windows/frmNormal.h"

using namespace tamsel;
using namespace testing_support;

namespace {

int gBeeps = 0;
void CountBeep() { ++gBeeps; }

// Typing replaces the box's text: the control reports the change as the platform does.
void Type(forms::TextBox& box, const std::wstring& text) { SetWindowTextW(box.hWnd(), text.c_str()); }
void Click(const forms::Control& c) { SendMessageW(c.hWnd(), BM_CLICK, 0, 0); }
std::wstring WindowText(HWND h) {
    wchar_t text[256] = {};
    GetWindowTextW(h, text, 256);
    return text;
}
std::pair<int, int> Selection(const forms::TextBox& box) {
    DWORD start = 0, end = 0;
    SendMessageW(box.hWnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {static_cast<int>(start), static_cast<int>(end)};
}
// A key as the message loop hands it on, to the control with the focus.
void Key(UINT message, WPARAM key) {
    MSG m{};
    m.hwnd = GetFocus();
    m.message = message;
    m.wParam = key;
    forms::DispatchOne(m);
}

// A 100 x 50 picture: red left half, blue right half, a green top row.
std::wstring TwoColourPicture(const TempDir& dir) {
    DibImage image;
    image.width = 100;
    image.height = 50;
    const auto stride = DibStride(100, 24);
    image.rows.resize(stride * 50);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) {
            uint8_t* p = &image.rows[y * stride + x * 3];  // bottom-up, BGR
            const bool top = y == 49;
            p[0] = top ? 0 : x < 50 ? 0 : 255;
            p[1] = top ? 255 : 0;
            p[2] = top ? 0 : x < 50 ? 255 : 0;
        }
    WriteBytes(dir / L"two.bmp", EncodeBmpFile(image));
    return dir / L"two.bmp";
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        gBeeps = 0;
        forms::SetBeepHook(&CountBeep);
        frmBackground.Load();
    }
    void TearDown() override {
        for (forms::Form* f : std::initializer_list<forms::Form*>{&frmOptions, &frmDialogTile, &frmDialogViewSize,
                                                                  &frmVersion})
            f->Unload();
        forms::SetBeepHook(nullptr);
        ResetProgramState();
    }
    TempDir dir;
};

}  // namespace

TEST_F(DialogTest, TheViewSizeDialogCorrectsWhatIsTypedAndStoresOnlyOnOk) {
    CurrentViewSize = 150;
    frmDialogViewSize.Show();
    EXPECT_EQ(frmDialogViewSize.txtSize.Text(), L"150");
    EXPECT_EQ(Selection(frmDialogViewSize.txtSize), std::make_pair(0, 3));
    EXPECT_EQ(GetFocus(), frmDialogViewSize.txtSize.hWnd());

    auto& box = frmDialogViewSize.txtSize;
    Type(box, L"0");
    EXPECT_EQ(WindowText(box.hWnd()), L"1");
    Type(box, L"5000");
    EXPECT_EQ(WindowText(box.hWnd()), L"1000");
    Type(box, L"abc");
    EXPECT_EQ(WindowText(box.hWnd()), L"");
    // OK on the empty box: the current size again, a beep, still open.
    Click(frmDialogViewSize.cmdOK);
    EXPECT_EQ(box.Text(), L"150");
    EXPECT_EQ(gBeeps, 1);
    EXPECT_TRUE(frmDialogViewSize.IsLoaded());
    EXPECT_EQ(CurrentViewSize, 150);
    // The tab order runs from the box to Cancel, then OK.
    EXPECT_EQ(GetNextDlgTabItem(frmDialogViewSize.hWnd(), box.hWnd(), FALSE), frmDialogViewSize.cmdCancel.hWnd());
    EXPECT_EQ(GetNextDlgTabItem(frmDialogViewSize.hWnd(), frmDialogViewSize.cmdCancel.hWnd(), FALSE),
              frmDialogViewSize.cmdOK.hWnd());
    // The platform's conversion takes blanks and digit grouping.
    Type(box, L" 40 ");
    EXPECT_EQ(WindowText(box.hWnd()), L" 40 ");
    Type(box, L"1,000");
    EXPECT_EQ(WindowText(box.hWnd()), L"1,000");
    // A fraction rounds: 1.5 is 2.
    Type(box, L"1.5");
    Click(frmDialogViewSize.cmdOK);
    EXPECT_FALSE(frmDialogViewSize.IsLoaded());
    EXPECT_EQ(CurrentViewSize, 2);

    // Cancel, and Esc in the modal dialog, leave the size alone.
    frmDialogViewSize.Show();
    Type(frmDialogViewSize.txtSize, L"300");
    Click(frmDialogViewSize.cmdCancel);
    EXPECT_EQ(CurrentViewSize, 2);
    frmDialogViewSize.Load();
    PostMessageW(frmDialogViewSize.txtSize.hWnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    frmDialogViewSize.Show(forms::vbModal);
    EXPECT_FALSE(frmDialogViewSize.IsLoaded());
    EXPECT_EQ(CurrentViewSize, 2);
    // Typed 0 has become 1 by the time OK is pressed.
    frmDialogViewSize.Show();
    Type(frmDialogViewSize.txtSize, L"0");
    Click(frmDialogViewSize.cmdOK);
    EXPECT_EQ(CurrentViewSize, 1);
    // Enter presses OK.
    frmDialogViewSize.Show();
    Type(frmDialogViewSize.txtSize, L"300");
    Key(WM_KEYDOWN, VK_RETURN);
    EXPECT_FALSE(frmDialogViewSize.IsLoaded());
    EXPECT_EQ(CurrentViewSize, 300);
}

TEST_F(DialogTest, TileCopyPutsTheCopiesAtTheirOwnSizeOnTheClearedClipboard) {
    ASSERT_TRUE(frmBackground.PictureLoadRun(TwoColourPicture(dir), false));
    CurrentViewSize = 200;  // the tiles stay at the picture's own size
    PutTextOnClipboard(L"before");

    frmDialogTile.Show();
    EXPECT_EQ(GetFocus(), frmDialogTile.txtH.hWnd());
    EXPECT_EQ(Selection(frmDialogTile.txtH), std::make_pair(0, 1));
    // Tab order: the two counts, then the buttons; an access key selects its box's text.
    EXPECT_EQ(GetNextDlgTabItem(frmDialogTile.hWnd(), frmDialogTile.txtH.hWnd(), FALSE), frmDialogTile.txtV.hWnd());
    EXPECT_EQ(GetNextDlgTabItem(frmDialogTile.hWnd(), frmDialogTile.txtV.hWnd(), FALSE), frmDialogTile.cmdOK.hWnd());
    Key(WM_SYSCHAR, 'v');
    EXPECT_EQ(GetFocus(), frmDialogTile.txtV.hWnd());
    EXPECT_EQ(Selection(frmDialogTile.txtV), std::make_pair(0, 1));
    Key(WM_SYSCHAR, 'h');
    EXPECT_EQ(GetFocus(), frmDialogTile.txtH.hWnd());
    Key(WM_KEYDOWN, VK_TAB);
    EXPECT_EQ(GetFocus(), frmDialogTile.txtV.hWnd());

    Click(frmDialogTile.cmdOK);  // the defaults: 2 x 2
    EXPECT_FALSE(frmDialogTile.IsLoaded());
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    forms::Picture tiles;
    ASSERT_EQ(ClipboardGetData(tiles), S_OK);
    EXPECT_EQ(tiles.WidthPixels(), 200);
    EXPECT_EQ(tiles.HeightPixels(), 100);
    for (int c = 0; c < 2; ++c)
        for (int r = 0; r < 2; ++r) {
            EXPECT_EQ(PixelOf(tiles, c * 100 + 10, r * 50 + 20), 0xFF0000u);
            EXPECT_EQ(PixelOf(tiles, c * 100 + 90, r * 50 + 20), 0x0000FFu);
            EXPECT_EQ(PixelOf(tiles, c * 100 + 40, r * 50), 0x00FF00u);
        }

    frmDialogTile.Show();
    Type(frmDialogTile.txtH, L"3");
    Type(frmDialogTile.txtV, L"1");
    Click(frmDialogTile.cmdOK);
    ASSERT_EQ(ClipboardGetData(tiles), S_OK);
    EXPECT_EQ(tiles.WidthPixels(), 300);
    EXPECT_EQ(tiles.HeightPixels(), 50);
    EXPECT_EQ(PixelOf(tiles, 290, 20), 0x0000FFu);
}

TEST_F(DialogTest, TileCountsThatMakeNoBitmapBeepAndKeepTheDialog) {
    ASSERT_TRUE(frmBackground.PictureLoadRun(TwoColourPicture(dir), false));
    EmptyTheClipboard();
    frmDialogTile.Show();
    int expected = 0;
    for (const wchar_t* bad : {L"abc", L"", L"0", L"-2", L"40000", L"500"}) {
        Type(frmDialogTile.txtH, bad);
        Click(frmDialogTile.cmdOK);
        EXPECT_EQ(gBeeps, ++expected) << bad;
        EXPECT_TRUE(frmDialogTile.IsLoaded()) << bad;
        EXPECT_EQ(frmDialogTile.txtH.Text(), bad);  // left for the user to correct
    }
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
    Click(frmDialogTile.cmdCancel);
    EXPECT_FALSE(frmDialogTile.IsLoaded());
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
}

TEST_F(DialogTest, OptionsCorrectSizesAndApplyStoresWhatTheBoxesHold) {
    Settings.ViewSizes[0] = {150, kTrue};
    Settings.ViewSizes[1] = {0, kTrue};     // shown as 1
    Settings.ViewSizes[2] = {5000, kFalse};  // shown as 1000
    frmOptions.Show();
    EXPECT_EQ(frmOptions.txtSize[0].Text(), L"150");
    EXPECT_EQ(frmOptions.txtSize[1].Text(), L"1");
    EXPECT_EQ(frmOptions.txtSize[2].Text(), L"1000");
    // The greyed states follow their check boxes.
    EXPECT_TRUE(IsWindowEnabled(frmOptions.txtSize[0].hWnd()));
    EXPECT_FALSE(IsWindowEnabled(frmOptions.txtSize[2].hWnd()));
    Click(frmOptions.chkSize[2]);
    EXPECT_EQ(frmOptions.chkSize[2].Value(), 1);
    EXPECT_TRUE(IsWindowEnabled(frmOptions.txtSize[2].hWnd()));

    auto& box = frmOptions.txtSize[3];
    for (auto [typed, shown] : std::initializer_list<std::pair<const wchar_t*, const wchar_t*>>{
             {L"0", L"1"}, {L"-3", L"1"}, {L"2000", L"1000"}, {L"abc", L""}, {L"12a", L""}, {L"1.5", L"1.5"}}) {
        Type(box, typed);
        EXPECT_EQ(WindowText(box.hWnd()), shown) << typed;
    }
    Type(frmOptions.txtSize[4], L"2.5");
    Type(frmOptions.txtSize[5], L"");  // empty at the run's first Apply
    Click(frmOptions.chkSize[5]);
    Click(frmOptions.cmdApp);
    EXPECT_EQ(Settings.ViewSizes[3].Percent, 2);
    EXPECT_EQ(Settings.ViewSizes[3].Enabled, kFalse);  // its box is clear, the percent is kept
    EXPECT_EQ(Settings.ViewSizes[4].Percent, 2);
    EXPECT_EQ(Settings.ViewSizes[5].Percent, 0);
    EXPECT_EQ(Settings.ViewSizes[5].Enabled, kFalse);
    EXPECT_EQ(Settings.ViewSizes[2].Percent, 1000);
    EXPECT_EQ(Settings.ViewSizes[2].Enabled, kTrue);

    // Apply, then Cancel: the applied values stay.
    Type(frmOptions.txtSize[0], L"300");
    Click(frmOptions.cmdApp);
    Type(frmOptions.txtSize[0], L"400");
    Click(frmOptions.cmdCancel);
    EXPECT_FALSE(frmOptions.IsLoaded());
    EXPECT_EQ(Settings.ViewSizes[0].Percent, 300);

    // Opened again: the empty entry shows 1 with its box clear; an empty box now keeps the last Apply's percent.
    frmOptions.Show();
    EXPECT_EQ(frmOptions.txtSize[5].Text(), L"1");
    EXPECT_EQ(frmOptions.chkSize[5].Value(), 0);
    Type(frmOptions.txtSize[0], L"");
    Click(frmOptions.cmdOK);
    EXPECT_FALSE(frmOptions.IsLoaded());
    EXPECT_EQ(Settings.ViewSizes[0].Percent, 300);
    EXPECT_EQ(Settings.ViewSizes[0].Enabled, kFalse);
}

TEST_F(DialogTest, OptionsEditTheStartAnchorAndExtras) {
    Settings.RunState = 5;          // names no option: the first one is shown
    Settings.WindowPointIndex = 9;  // names no point: the centre
    Settings.WindowPoint = kFalse;
    frmOptions.Show();
    EXPECT_TRUE(frmOptions.optRunState[0].Value());
    EXPECT_TRUE(frmOptions.optPoint[2].Value());
    // The points are greyed with their check box clear, and the chosen one is still stored.
    EXPECT_FALSE(IsWindowEnabled(frmOptions.optPoint[0].hWnd()));
    EXPECT_FALSE(IsWindowEnabled(frmOptions.lblWindowPoint.hWnd()));
    Click(frmOptions.optRunState[2]);
    EXPECT_FALSE(frmOptions.optRunState[0].Value());
    frmOptions.optPoint[4].SetValue(true);
    Click(frmOptions.cmdApp);
    EXPECT_EQ(Settings.RunState, 1);
    EXPECT_EQ(Settings.WindowPointIndex, 4);
    EXPECT_EQ(Settings.WindowPoint, kFalse);
    Click(frmOptions.chkWindowPoint);
    EXPECT_TRUE(IsWindowEnabled(frmOptions.optPoint[0].hWnd()));
    // The Exif orientation: on unless stored off, below the anchor points, and kept by Apply.
    EXPECT_EQ(frmOptions.chkExifOrientation.Value(), 1);
    EXPECT_GT(frmOptions.chkExifOrientation.Top(), frmOptions.optPoint[0].Top());
    Click(frmOptions.chkExifOrientation);
    Click(frmOptions.cmdApp);
    EXPECT_EQ(Settings.ExifOrientation, kFalse);
    // The read-ahead likewise, below it.
    EXPECT_EQ(frmOptions.chkReadAhead.Value(), 1);
    EXPECT_GT(frmOptions.chkReadAhead.Top(), frmOptions.chkExifOrientation.Top());
    Click(frmOptions.chkReadAhead);
    Click(frmOptions.cmdApp);
    EXPECT_EQ(Settings.ReadAhead, kFalse);

    // The extras: shown on request, the buttons moved below them.
    EXPECT_EQ(frmOptions.Height(), 4980);  // the Exif and read-ahead rows included
    EXPECT_FALSE(frmOptions.frameAnother.Visible());
    Click(frmOptions.chkAnother);
    EXPECT_EQ(frmOptions.Height(), 7755);
    EXPECT_EQ(frmOptions.cmdOK.Top(), 6900);
    EXPECT_TRUE(frmOptions.frameAnother.Visible());
    // The default picture: browsed, cancelled, cleared.
    {
        FileDialogAnswer answer(DataPath(L"sample.jpg"));
        Click(frmOptions.cmdDefPic);
    }
    EXPECT_EQ(frmOptions.txtDefaultPictureName.Text(), DataPath(L"sample.jpg"));
    {
        FileDialogAnswer answer(std::nullopt);
        Click(frmOptions.cmdDefPic);
    }
    EXPECT_EQ(frmOptions.txtDefaultPictureName.Text(), DataPath(L"sample.jpg"));
    Click(frmOptions.chkDefaultPicture);
    EXPECT_FALSE(IsWindowEnabled(frmOptions.txtDefaultPictureName.hWnd()));
    EXPECT_FALSE(IsWindowEnabled(frmOptions.cmdDefPic.hWnd()));
    Type(frmOptions.txtDefaultPictureName, L"");
    Click(frmOptions.cmdApp);
    EXPECT_EQ(Settings.DefaultPictureName, ProgramFolder() + L"\\ts2image.JPG");
    EXPECT_EQ(Settings.DefaultPicture, kFalse);

    // The help line follows the mouse; the dialog's background clears it.
    SendMessageW(frmOptions.chkAutoAttach.hWnd(), WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(frmOptions.lblMsg.Caption(), L"タイトルと枠を表示している時、ウィンドウの枠を画像にあわせます");
    SendMessageW(frmOptions.cmdOK.hWnd(), WM_MOUSEMOVE, 0, 0);  // a button leaves it
    EXPECT_EQ(frmOptions.lblMsg.Caption(), L"タイトルと枠を表示している時、ウィンドウの枠を画像にあわせます");
    SendMessageW(frmOptions.txtSize[6].hWnd(), WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(frmOptions.lblMsg.Caption(),
              L"メニューで表示される表示サイズ一覧を編集します。1～1000の値（％）を指定します。");
    SendMessageW(frmOptions.hWnd(), WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(frmOptions.lblMsg.Caption(), L"");

    // Every opening starts collapsed.
    Click(frmOptions.cmdCancel);
    frmOptions.Show();
    EXPECT_EQ(frmOptions.Height(), 4980);  // the Exif and read-ahead rows included
    EXPECT_EQ(frmOptions.chkAnother.Value(), 0);
    EXPECT_FALSE(frmOptions.frameAnother.Visible());
    EXPECT_EQ(frmOptions.cmdOK.Top(), 4020);
}

TEST_F(DialogTest, TheVersionDialogShowsTheBuildsVersionAndLogo) {
    frmVersion.Show();
    EXPECT_EQ(frmVersion.lblVersion.Caption(), L"Version. 2.1.0");
    EXPECT_EQ(frmVersion.Image1.GetPicture().WidthPixels(), 64);
    EXPECT_EQ(frmVersion.Caption(), L"Tamsel2 のバージョン情報");
    Key(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_FALSE(frmVersion.IsLoaded());
}

TEST_F(DialogTest, TheViewSizeCommandRendersOnlyWhenTheSizeChanged) {
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.jpg"), false));
    CurrentFileName = DataPath(L"sample.jpg");
    frmNormal.Show();
    CurrentViewSize = 250;
    ApplyViewSize(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
    PumpUntilRendered();
    // A picture no render makes: where it stays, nothing was rendered.
    void* bits = nullptr;
    const forms::Picture marker = forms::Picture::FromBitmap(forms::CreateDib24(3, 3, &bits));
    frmNormal.picView.SetPicture(marker);
    // Answered inside the modal loop: the size shown (250), then 150.
    frmDialogViewSize.Load();
    PostMessageW(frmDialogViewSize.txtSize.hWnd(), WM_KEYDOWN, VK_RETURN, 0);
    frmNormal.SetCaption(L"before");
    frmNormal.menu_InputSize_Click();
    EXPECT_EQ(CurrentViewSize, 250);
    EXPECT_EQ(frmNormal.picView.GetPicture().get(), marker.get());
    EXPECT_EQ(frmNormal.Caption(), L"sample.jpg - Tamsel2 (250%)");  // the caption is still refreshed
    frmDialogViewSize.Load();
    SetWindowTextW(frmDialogViewSize.txtSize.hWnd(), L"150");
    PostMessageW(frmDialogViewSize.txtSize.hWnd(), WM_KEYDOWN, VK_RETURN, 0);
    frmNormal.menu_InputSize_Click();
    PumpUntilRendered();
    EXPECT_EQ(CurrentViewSize, 150);
    EXPECT_TRUE(IsHighQualityOf(frmNormal.picView.GetPicture(), frmBackground.picLoad.GetPicture(), 150));
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 60);
    EXPECT_TRUE(GetWindowLongW(frmNormal.hWnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}
