// The engine form's loading pipeline with real files and the viewer's procedures.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"
#include "forms/filter.h"
#include "engine/loading.h"
#include "engine/save_copy_paste.h"
#include "engine/picture_services.h"
#include "test_support.h"
#include "windows/frmNormal.h"

using namespace tamsel;
using namespace testing_support;

namespace {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        frmBackground.Load();
        WriteBytes(dir / L"notes.txt", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'});
    }
    void TearDown() override { ResetProgramState(); }

    uint32_t LoadedPixel(int x, int y) {
        // The persistent surface of the hidden engine form holds the picture.
        COLORREF c = GetPixel(frmBackground.picLoad.hDC(), x, y);
        return (uint32_t{GetRValue(c)} << 16) | (uint32_t{GetGValue(c)} << 8) | GetBValue(c);
    }

    TempDir dir;
};

const wchar_t kFailText[] = L"画像ファイルを開くことが出来ませんでした！";
const wchar_t kFailTitle[] = L"未対応フォーマット";

}  // namespace

TEST_F(EngineTest, LoadPreparesTheOpenDialogWithTheFiveEntryFilter) {
    frmBackground.SettleOpenDialog();
    // Without plug-ins: the platform's formats, then what its imaging component adds.
    const auto entries = forms::ParseFilter(frmBackground.CommonDialog.Filter);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0], std::make_pair(std::wstring(L"全てのファイル (*.*)"), std::wstring(L"*.*")));
    EXPECT_EQ(entries[1].first, L"全ての画像ファイル");
    EXPECT_EQ(entries[1].second.rfind(L"*.bmp;;*.jpg;*.jpeg;*.gif;*.", 0), 0u);
    EXPECT_EQ(entries[2], std::make_pair(std::wstring(L"ビットマップファイル (*.BMP)"), std::wstring(L"*.bmp")));
    EXPECT_EQ(entries[3], std::make_pair(std::wstring(L"JPEGファイル (*.JPG, *.JPEG)"), std::wstring(L"*.jpg;*.jpeg")));
    EXPECT_EQ(entries[4], std::make_pair(std::wstring(L"書庫ファイル"), std::wstring(L"*.zip")));
    // Stepping through a folder takes the same pictures and archives.
    EXPECT_EQ(frmBackground.PicturePatterns() + L";" + frmBackground.ArchivePatterns(), entries[1].second);
    EXPECT_EQ(frmBackground.CommonDialog.FilterIndex, 2);
    EXPECT_EQ(frmBackground.CommonDialog.Flags, 0x1000u);
    EXPECT_TRUE(frmBackground.CommonDialog.CancelError);
    EXPECT_FALSE(frmBackground.Visible());
}

TEST_F(EngineTest, PlatformFormatsLoadIntoTheHiddenPictureBoxAtTheirOwnSize) {
    MsgBoxRecorder boxes;
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.bmp"), true));
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.bmp"));
    EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), 7);
    EXPECT_EQ(frmBackground.picLoad.ScaleHeight(), 5);
    EXPECT_EQ(LoadedPixel(0, 0), 0xFF0000u);
    EXPECT_EQ(LoadedPixel(6, 4), 0xFFFFFFu);

    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.jpg"), true));
    EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), 40);
    EXPECT_EQ(frmBackground.picLoad.ScaleHeight(), 30);
    EXPECT_EQ(frmBackground.picLoad.Width(), 40 * 15);  // twips at 96 dpi

    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.gif"), false));
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.gif"));
    EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), 24);
    EXPECT_EQ(LoadedPixel(8, 7), 0xF0F000u);
    EXPECT_TRUE(boxes.calls.empty());
}

TEST_F(EngineTest, AFileNoDecoderReadsFailsKeepsThePictureAndNameAndIsReportedOnlyWhenAsked) {
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.bmp"), true));
    IPicture* before = frmBackground.picLoad.GetPicture().get();
    {
        MsgBoxRecorder boxes;
        EXPECT_FALSE(frmBackground.PictureLoadRun(dir / L"notes.txt", true));
        ASSERT_EQ(boxes.calls.size(), 1u);
        EXPECT_EQ(boxes.calls[0].prompt, kFailText);
        EXPECT_EQ(boxes.calls[0].title, kFailTitle);
        EXPECT_EQ(boxes.calls[0].style, 48);
    }
    {
        MsgBoxRecorder boxes;
        EXPECT_FALSE(frmBackground.PictureLoadRun(dir / L"missing.jpg", false));
        EXPECT_TRUE(boxes.calls.empty());
    }
    EXPECT_EQ(frmBackground.picLoad.GetPicture().get(), before);
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.bmp"));
    EXPECT_EQ(LoadedPixel(0, 0), 0xFF0000u);
}

TEST_F(EngineTest, TheEmptyNameClearsThePictureAndTheName) {
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.bmp"), true));
    EXPECT_TRUE(frmBackground.PictureLoadRun(L"", true));
    EXPECT_TRUE(frmBackground.picLoad.GetPicture().Empty());
    EXPECT_EQ(CurrentFileName, L"");
    EXPECT_EQ(LoadedPixel(0, 0), 0xFFFFFFu);  // white background
}

TEST_F(EngineTest, TheOpenDialogLoadsTheChosenFileAndACancelChangesNothing) {
    frmNormal.Show();
    forms::Label* seenDuringDialog = nullptr;
    {
        forms::SetFileDialogHook([&](const forms::CommonDialog&, bool) -> std::optional<std::wstring> {
            seenDuringDialog = frmBackground.ProgressLabel();
            frmBackground.SusiePlugin_ProgressValueChange();  // a report while no decode runs
            return std::nullopt;
        });
        OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
        FailOnUnexpectedMessageBoxes();
    }
    EXPECT_EQ(seenDuringDialog, &frmNormal.lblProgress);
    EXPECT_EQ(frmNormal.lblProgress.Caption(), L"Load ...");
    EXPECT_FALSE(frmNormal.lblProgress.Visible());
    EXPECT_EQ(frmBackground.ProgressLabel(), nullptr);
    EXPECT_EQ(CurrentFileName, L"");
    EXPECT_EQ(frmNormal.Caption(), L"Tamsel2");

    {
        FileDialogAnswer answer(DataPath(L"sample.gif"));
        OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
        EXPECT_EQ(answer.shown, 1);
        EXPECT_EQ(answer.filterIndex, 2);
        EXPECT_EQ(answer.flags, 0x1000u);
        EXPECT_TRUE(answer.cancelError);
    }
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.gif"));
    EXPECT_EQ(frmNormal.Caption(), L"sample.gif - Tamsel2");
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 24);
    EXPECT_EQ(frmBackground.ProgressLabel(), nullptr);

    {
        MsgBoxRecorder boxes;
        FileDialogAnswer answer(dir / L"notes.txt");
        OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
        ASSERT_EQ(boxes.calls.size(), 1u);  // from the dialog a failure is always reported
        EXPECT_EQ(boxes.calls[0].prompt, kFailText);
    }
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.gif"));
    EXPECT_EQ(frmNormal.Caption(), L"sample.gif - Tamsel2");
}

TEST_F(EngineTest, ADroppedFileLoadsSilentlyOrLeavesEverythingAsItWas) {
    frmNormal.Show();
    MsgBoxRecorder boxes;
    EXPECT_TRUE(DropPictureLoad(DataPath(L"sample.jpg"), frmNormal.picView, &frmNormal.lblProgress, frmNormal, true));
    EXPECT_EQ(frmNormal.Caption(), L"sample.jpg - Tamsel2");
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 40);
    EXPECT_EQ(frmNormal.picView.GetPicture().get(), frmBackground.picLoad.GetPicture().get());
    EXPECT_FALSE(frmNormal.lblProgress.Visible());

    EXPECT_FALSE(DropPictureLoad(dir / L"notes.txt", frmNormal.picView, &frmNormal.lblProgress, frmNormal, true));
    EXPECT_TRUE(boxes.calls.empty());
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.jpg"));
    EXPECT_EQ(frmNormal.Caption(), L"sample.jpg - Tamsel2");
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 40);
    EXPECT_FALSE(frmNormal.lblProgress.Visible());

    // No dropped name was an existing file: the empty name clears the view.
    EXPECT_TRUE(DropPictureLoad(L"", frmNormal.picView, nullptr, frmNormal, true));
    EXPECT_EQ(CurrentFileName, L"");
    EXPECT_EQ(frmNormal.Caption(), L"Tamsel2");
    EXPECT_TRUE(frmNormal.picView.GetPicture().Empty());
}

TEST_F(EngineTest, AClipboardPictureIsTakenIntoTheEngineWithTheClipboardMarker) {
    PutTextOnClipboard(L"only text");
    EXPECT_FALSE(ClipboardHasPicture());
    EXPECT_EQ(CurrentFileName, L"");

    PutBitmapOnClipboard(12, 9, 0x806040);
    Settings.ViewDefaultSize = kTrue;
    CurrentViewSize = 250;
    EXPECT_TRUE(ClipboardHasPicture());
    EXPECT_EQ(CurrentFileName, L"ClipboardPicture");
    EXPECT_EQ(CurrentViewSize, 100);
    EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), 12);
    EXPECT_EQ(LoadedPixel(5, 5), 0x806040u);
    EXPECT_EQ(MakeCaption(), L"未保存の画像 - Tamsel2");
    EmptyTheClipboard();
}

namespace {
// A 3 x 3 picture no command of the viewer ever makes: where it stays, the view was not applied again.
forms::Picture Marker() {
    void* bits = nullptr;
    HBITMAP bmp = forms::CreateDib24(3, 3, &bits);
    std::memset(bits, 0x5A, 12 * 3);
    return forms::Picture::FromBitmap(bmp);
}
}  // namespace

// The open command applies the view only when the file name changed: reopening
// the file shown, a cancelled dialog and a failed load leave the view alone.
TEST_F(EngineTest, TheOpenCommandAppliesTheViewOnlyForANewName) {
    frmNormal.Show();
    {
        FileDialogAnswer answer(DataPath(L"sample.jpg"));
        OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
    }
    const forms::Picture marker = Marker();
    frmNormal.picView.SetPicture(marker);
    {
        FileDialogAnswer same(DataPath(L"sample.jpg"));
        OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
    }
    EXPECT_EQ(frmNormal.picView.GetPicture().get(), marker.get()) << "reopening the same file";
    {
        FileDialogAnswer cancel(std::nullopt);
        OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
    }
    EXPECT_EQ(frmNormal.picView.GetPicture().get(), marker.get()) << "a cancelled dialog";
    {
        MsgBoxRecorder boxes;
        FileDialogAnswer unreadable(dir / L"notes.txt");
        OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
    }
    EXPECT_EQ(frmNormal.picView.GetPicture().get(), marker.get()) << "a failed load";
    {
        FileDialogAnswer other(DataPath(L"sample.gif"));
        OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
    }
    EXPECT_EQ(frmNormal.picView.GetPicture().get(), frmBackground.picLoad.GetPicture().get()) << "another file";
}

// With "always 100 %" every new picture, opened, dropped or pasted, comes at
// 100 %; without it each keeps the view size.
TEST_F(EngineTest, ANewPictureComesAtOneHundredPercentOnlyWhenTheOptionSaysSo) {
    frmNormal.Show();
    PutBitmapOnClipboard(20, 10, 0x203040);
    const std::function<void()> commands[] = {
        [] {
            FileDialogAnswer answer(DataPath(L"sample.jpg"));
            OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
        },
        [] { DropPictureLoad(DataPath(L"sample.gif"), frmNormal.picView, &frmNormal.lblProgress, frmNormal, true); },
        [] { PastePicture(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true); },
    };
    const char* names[] = {"open", "drop", "paste"};
    for (int i = 0; i < 3; ++i) {
        for (bool always : {true, false}) {
            SCOPED_TRACE(testing::Message() << names[i] << (always ? " with" : " without") << " the option");
            DropPictureLoad(L"", frmNormal.picView, nullptr, frmNormal, true);  // a different name before each
            Settings.ViewDefaultSize = always ? kTrue : kFalse;
            CurrentViewSize = 250;
            commands[i]();
            EXPECT_EQ(CurrentViewSize, always ? 100 : 250);
            const int shownWidth = frmNormal.picView.ScaleWidth(), loadedWidth = frmBackground.picLoad.ScaleWidth();
            EXPECT_EQ(shownWidth, always ? loadedWidth : loadedWidth * 5 / 2);
            if (always) EXPECT_EQ(frmNormal.picView.GetPicture().get(), frmBackground.picLoad.GetPicture().get());
        }
    }
    EmptyTheClipboard();
}
