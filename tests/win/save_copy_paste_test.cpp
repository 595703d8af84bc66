// Saving, copying and pasting through the real save dialog's hook, real files
// and the real clipboard.
#include <gtest/gtest.h>

#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"
#include "engine/picture_services.h"
#include "engine/save_copy_paste.h"
#include "test_support.h"
#include "windows/frmNormal.h"

using namespace tamsel;
using namespace testing_support;

namespace {

class SaveCopyPasteTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        EmptyTheClipboard();
        frmBackground.Load();
        ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.bmp"), false));  // 7 x 5
        frmNormal.Show();
    }
    void TearDown() override {
        ResetProgramState();
        EmptyTheClipboard();
    }
    forms::Picture Saved(const std::wstring& path) {
        forms::Picture p;
        EXPECT_EQ(LoadPicture(path, p), S_OK);
        return p;
    }
    TempDir dir;
};

}  // namespace

TEST_F(SaveCopyPasteTest, AtOneHundredPercentNoQuestionAndTheNaturalSize) {
    MsgBoxRecorder boxes;
    FileDialogAnswer answer(dir / L"out.bmp");
    frmNormal.menu_SaveAs_Click();
    EXPECT_TRUE(boxes.calls.empty());
    EXPECT_EQ(answer.shown, 1);
    EXPECT_EQ(answer.filter, L"ビットマップファイル (*.BMP)|*.bmp");
    EXPECT_EQ(answer.flags, 2u);
    EXPECT_TRUE(answer.cancelError);
    forms::Picture p = Saved(dir / L"out.bmp");
    EXPECT_EQ(p.WidthPixels(), 7);
    EXPECT_EQ(PixelOf(p, 0, 0), 0xFF0000u);
}

TEST_F(SaveCopyPasteTest, ScaledTheQuestionChoosesTheSizeAndCancelDoesNothing) {
    CurrentViewSize = 150;
    frmBackground.FirstResizePicture();
    const int shown = frmBackground.picBlt.ScaleWidth();
    ASSERT_GT(shown, 7);
    {
        MsgBoxRecorder boxes(IDYES);
        FileDialogAnswer answer(dir / L"yes.bmp");
        frmNormal.menu_SaveAs_Click();
        ASSERT_EQ(boxes.calls.size(), 1u);
        EXPECT_EQ(boxes.calls[0].prompt, L"現在表示されている表示サイズで保存しますか？");
        EXPECT_EQ(boxes.calls[0].title, L"保存サイズの確認");
        EXPECT_EQ(boxes.calls[0].style, 67);
    }
    EXPECT_EQ(Saved(dir / L"yes.bmp").WidthPixels(), shown);
    {
        MsgBoxRecorder boxes(IDNO);
        FileDialogAnswer answer(dir / L"no");  // no extension: written as given
        frmNormal.menu_SaveAs_Click();
    }
    EXPECT_EQ(Saved(dir / L"no").WidthPixels(), 7);
    {
        MsgBoxRecorder boxes(IDCANCEL);
        FileDialogAnswer answer(dir / L"cancel.bmp");
        frmNormal.menu_SaveAs_Click();
        EXPECT_EQ(answer.shown, 0);
    }
    EXPECT_EQ(GetFileAttributesW((dir / L"cancel.bmp").c_str()), INVALID_FILE_ATTRIBUTES);

    {
        MsgBoxRecorder boxes(IDYES);
        frmNormal.menu_Copy_Click();
        ASSERT_EQ(boxes.calls.size(), 1u);
        EXPECT_EQ(boxes.calls[0].prompt, L"現在表示されている表示サイズでコピーしますか？");
        EXPECT_EQ(boxes.calls[0].title, L"コピーサイズの確認");
    }
    forms::Picture copied;
    ASSERT_EQ(ClipboardGetData(copied), S_OK);
    EXPECT_EQ(copied.WidthPixels(), shown);
    {
        MsgBoxRecorder boxes(IDNO);
        frmNormal.menu_Copy_Click();
    }
    ASSERT_EQ(ClipboardGetData(copied), S_OK);
    EXPECT_EQ(copied.WidthPixels(), 7);
}

TEST_F(SaveCopyPasteTest, AFailedSaveIsReportedAndKeepsTheOldFile) {
    const std::wstring target = dir / L"locked.bmp";
    WriteBytes(target, {'o', 'l', 'd'});
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
    {
        MsgBoxRecorder boxes;
        FileDialogAnswer answer(target);
        frmNormal.menu_SaveAs_Click();
        ASSERT_EQ(boxes.calls.size(), 1u);
        EXPECT_EQ(boxes.calls[0].prompt, L"画像ファイルを保存することが出来ませんでした！");
    }
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
    // Nothing but the old file is left in the folder.
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((dir / L"*").c_str(), &found);
    int files = 0;
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++files;
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    EXPECT_EQ(files, 1);
    {
        MsgBoxRecorder boxes;
        FileDialogAnswer answer(dir / L"no folder\\x.bmp");
        frmNormal.menu_SaveAs_Click();
        EXPECT_EQ(boxes.calls.size(), 1u);
    }
}

TEST_F(SaveCopyPasteTest, PastingMakesTheClipboardPictureCurrent) {
    PutTextOnClipboard(L"only text");
    frmNormal.SetCaption(L"before");
    frmNormal.menu_Paste_Click();  // no picture there: nothing changes but the caption is rebuilt
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.bmp"));
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 7);
    PutBitmapOnClipboard(9, 6, 0x336699);
    frmNormal.menu_Paste_Click();
    EXPECT_EQ(CurrentFileName, L"ClipboardPicture");
    EXPECT_EQ(frmNormal.Caption(), L"未保存の画像 - Tamsel2");
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 9);
    // A failed load keeps the marker.
    WriteBytes(dir / L"notes.txt", {'x'});
    MsgBoxRecorder boxes;
    EXPECT_FALSE(frmBackground.PictureLoadRun(dir / L"notes.txt", false));
    EXPECT_EQ(CurrentFileName, L"ClipboardPicture");
    // Saved at its own size, it is the clipboard's bitmap pixel for pixel.
    FileDialogAnswer answer(dir / L"pasted.bmp");
    frmNormal.menu_SaveAs_Click();
    forms::Picture p = Saved(dir / L"pasted.bmp");
    EXPECT_EQ(p.WidthPixels(), 9);
    EXPECT_EQ(PixelOf(p, 4, 3), 0x336699u);
}

TEST_F(SaveCopyPasteTest, AfterACancelledHighQualityRunTheShownSizeIsTheFastResult) {
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.jpg"), false));
    CurrentViewSize = 250;
    frmBackground.FirstResizePicture();
    const forms::Picture fast = frmBackground.picBlt.Image();
    PostMessageW(frmNormal.hWnd(), WM_KEYDOWN, VK_ESCAPE, 0);  // seen at the run's first report
    Render(&frmNormal.lblProgress);
    ASSERT_TRUE(ResizeCancel);
    MsgBoxRecorder boxes(IDYES);
    FileDialogAnswer answer(dir / L"shown.bmp");
    frmNormal.menu_SaveAs_Click();
    forms::Picture saved = Saved(dir / L"shown.bmp");
    ASSERT_EQ(saved.WidthPixels(), fast.WidthPixels());
    for (int x = 0; x < fast.WidthPixels(); x += 7)
        for (int y = 0; y < fast.HeightPixels(); y += 5) EXPECT_EQ(PixelOf(saved, x, y), PixelOf(fast, x, y));
}

TEST_F(SaveCopyPasteTest, AMetafileOnlyClipboardIsPastedAsAPictureOfItsSize) {
    // A 40 x 20 pixel metafile, red, as drawing programs put it on the clipboard.
    HDC mdc = CreateMetaFileW(nullptr);
    SetWindowExtEx(mdc, 40, 20, nullptr);
    SetWindowOrgEx(mdc, 0, 0, nullptr);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT r{0, 0, 40, 20};
    FillRect(mdc, &r, red);
    DeleteObject(red);
    HMETAFILE mf = CloseMetaFile(mdc);
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT));
    auto* mfp = static_cast<METAFILEPICT*>(GlobalLock(g));
    const int dpi = GetDeviceCaps(GetDC(nullptr), LOGPIXELSX);
    mfp->mm = MM_ANISOTROPIC;
    mfp->xExt = MulDiv(40, 2540, dpi);
    mfp->yExt = MulDiv(20, 2540, dpi);
    mfp->hMF = mf;
    GlobalUnlock(g);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    ASSERT_NE(SetClipboardData(CF_METAFILEPICT, g), nullptr);
    CloseClipboard();
    ASSERT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));  // the metafile is what the paste takes
    ASSERT_FALSE(IsClipboardFormatAvailable(CF_DIB));

    frmNormal.menu_Paste_Click();
    EXPECT_EQ(CurrentFileName, L"ClipboardPicture");
    EXPECT_NEAR(frmNormal.picView.ScaleWidth(), 40, 1);
    EXPECT_NEAR(frmNormal.picView.ScaleHeight(), 20, 1);
    EXPECT_EQ(PixelOf(frmBackground.picLoad.GetPicture(), 20, 10), 0xFF0000u);
}

TEST_F(SaveCopyPasteTest, AnIconIsSavedAndCopiedAsA24BitBitmapOfItsSize) {
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"icon.ico"), false));
    CurrentFileName = DataPath(L"icon.ico");
    const forms::Picture icon = frmBackground.picLoad.GetPicture();
    ASSERT_EQ(icon.Type(), PICTYPE_ICON);
    const int w = icon.WidthPixels(), h = icon.HeightPixels();
    FileDialogAnswer answer(dir / L"icon.bmp");
    frmNormal.menu_SaveAs_Click();
    const std::vector<uint8_t> bytes = ReadBytes(dir / L"icon.bmp");
    ASSERT_GT(bytes.size(), 54u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[28], 24);  // bits per pixel
    forms::Picture saved = Saved(dir / L"icon.bmp");
    EXPECT_EQ(saved.Type(), PICTYPE_BITMAP);
    EXPECT_EQ(saved.WidthPixels(), w);
    EXPECT_EQ(saved.HeightPixels(), h);
    EXPECT_EQ(PixelOf(saved, w / 2, h / 2), PixelOf(icon, w / 2, h / 2));

    frmNormal.menu_Copy_Click();
    forms::Picture copied;
    ASSERT_EQ(ClipboardGetData(copied), S_OK);
    EXPECT_EQ(copied.WidthPixels(), w);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
}
