// Main with the real registry, clipboard, files and windows.
#include <gtest/gtest.h>

#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"
#include "test_support.h"
#include "windows/frmNoTitleFrame.h"
#include "windows/frmNormal.h"

using namespace tamsel;
using namespace testing_support;

namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        ClearStoredSettings();
        EmptyTheClipboard();
        // A default picture that exists wherever the tests run.
        StoreValue(L"Options", L"DPiFN", DataPath(L"sample.jpg"));
    }
    void TearDown() override {
        ResetProgramState();
        ClearStoredSettings();
        EmptyTheClipboard();
    }
    bool ShowsEmptyArea() {
        return frmNormal.picView.GetPicture().Empty() && frmNormal.picView.ScaleWidth() == 320 &&
               frmNormal.picView.ScaleHeight() == 240;
    }
    TempDir dir;
};

}  // namespace

TEST_F(StartupTest, WithoutACommandLineTheDefaultPictureOpensUnderItsStoredName) {
    // Stored with a redundant segment: kept as stored, not normalised.
    const std::wstring stored = tamsel::ProgramFolder() + L"\\testdata\\.\\sample.jpg";
    StoreValue(L"Options", L"DPiFN", stored);
    Main(L"");
    EXPECT_EQ(StoredValue(L"App", L"Minor"), L"1");
    EXPECT_EQ(StoredValue(L"App", L"Path"), ProgramFolder());
    EXPECT_EQ(CurrentFileName, stored);
    EXPECT_EQ(CurrentViewSize, 100);
    ASSERT_TRUE(frmNormal.Visible());
    EXPECT_EQ(frmNormal.Caption(), L"sample.jpg - Tamsel2");
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 40);
    EXPECT_EQ(frmNormal.picView.ScaleHeight(), 30);
    EXPECT_EQ(Settings.LastForm, 0);
}

TEST_F(StartupTest, WithTheDefaultPictureOffOrMissingTheViewerOpensEmpty) {
    StoreValue(L"Options", L"DefPi", L"False");
    Main(L"");
    EXPECT_EQ(CurrentFileName, L"");
    EXPECT_TRUE(ShowsEmptyArea());
    EXPECT_EQ(frmNormal.Caption(), L"Tamsel2");
    ResetProgramState();

    StoreValue(L"Options", L"DefPi", L"True");
    StoreValue(L"Options", L"DPiFN", dir / L"gone.jpg");
    MsgBoxRecorder boxes;
    Main(L"");
    EXPECT_EQ(CurrentFileName, L"");
    EXPECT_TRUE(ShowsEmptyArea());
    EXPECT_TRUE(boxes.calls.empty());
}

TEST_F(StartupTest, ACommandLineFileOpensUnderItsFullPath) {
    wchar_t before[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, before);
    SetCurrentDirectoryW((ProgramFolder() + L"\\testdata").c_str());
    Main(L"sample.bmp");
    SetCurrentDirectoryW(before);
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.bmp"));
    EXPECT_EQ(frmNormal.Caption(), L"sample.bmp - Tamsel2");
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 7);
    // An open as any other: once the window is idle, the next picture is read ahead.
    EXPECT_FALSE(frmBackground.Ahead().Holding());
    for (int i = 0; i < 50 && !frmBackground.Ahead().Holding() && frmBackground.PluginAhead().empty(); ++i) {
        Sleep(10);
        forms::DoEvents();
    }
    EXPECT_TRUE(frmBackground.Ahead().Holding() || !frmBackground.PluginAhead().empty());
}

TEST_F(StartupTest, AFileNamedOutsideTheAnsiCodePageOpens) {
    const std::wstring name = L"ĉambro_이미지_\U0001F600.gif";
    WriteBytes(dir / name, ReadBytes(DataPath(L"sample.gif")));
    Main(dir / name);
    EXPECT_EQ(CurrentFileName, dir / name);
    EXPECT_EQ(frmNormal.Caption(), name + L" - Tamsel2");
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 24);
}

TEST_F(StartupTest, AnUnreadableCommandLineFileIsReportedAndTheViewerOpensEmpty) {
    WriteBytes(dir / L"fake.jpg", {'n', 'o', 't', ' ', 'J', 'P', 'E', 'G'});
    MsgBoxRecorder boxes;
    Main(dir / L"fake.jpg");
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].prompt, L"画像ファイルを開くことが出来ませんでした！");
    EXPECT_EQ(boxes.calls[0].title, L"未対応フォーマット");
    EXPECT_EQ(boxes.calls[0].style, 48);
    EXPECT_EQ(CurrentFileName, L"");
    EXPECT_TRUE(ShowsEmptyArea());
    EXPECT_EQ(frmNormal.Caption(), L"Tamsel2");
}

TEST_F(StartupTest, OneQuotedPathOpensAndEveryOtherFormThatNamesNoFileOpensTheDefault) {
    const std::wstring blanks = dir / L"a picture with blanks.bmp";
    ASSERT_TRUE(CopyFileW(DataPath(L"sample.bmp").c_str(), blanks.c_str(), FALSE));
    const std::wstring other = DataPath(L"sample.gif");
    const struct { std::wstring line; std::wstring opened; } cases[] = {
        {L"\"" + blanks + L"\"", blanks},                  // as the shell hands over a dropped file
        {L"\"" + blanks + L"\" ", blanks},
        {blanks, blanks},                                  // unquoted, blanks and all
        {L"\"" + dir / L"missing.bmp" + L"\"", DataPath(L"sample.jpg")},
        {L"\"" + blanks + L"\" \"" + other + L"\"", DataPath(L"sample.jpg")},
        {blanks + L" " + other, DataPath(L"sample.jpg")},
    };
    for (const auto& c : cases) {
        ResetProgramState();
        Main(c.line);
        EXPECT_EQ(CurrentFileName, c.opened) << c.line;
        EXPECT_FALSE(frmNormal.picView.GetPicture().Empty()) << c.line;
    }
}

TEST_F(StartupTest, TheClipboardSwitchOpensTheClipboardPictureWhenThereIsOne) {
    PutBitmapOnClipboard(30, 20, 0x2080C0);
    Main(L"?clipboard");
    EXPECT_EQ(CurrentFileName, L"ClipboardPicture");
    EXPECT_EQ(frmNormal.Caption(), L"未保存の画像 - Tamsel2");
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 30);
    EXPECT_EQ(frmBackground.picLoad.ScaleHeight(), 20);
    ResetProgramState();

    EmptyTheClipboard();
    Main(L"?clipboard");  // nothing there: the default picture
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.jpg"));
}

TEST_F(StartupTest, AClipboardPictureIsTakenAtEveryStartEvenWhenNothingShowsIt) {
    PutBitmapOnClipboard(16, 8, 0x102030);
    StoreValue(L"Options", L"DefPi", L"False");
    Main(L"");
    EXPECT_EQ(CurrentFileName, L"");
    EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), 16);  // taken into the engine
    EXPECT_TRUE(ShowsEmptyArea());                        // but not shown
    ResetProgramState();

    Main(DataPath(L"sample.bmp"));  // a file on the command line wins over the clipboard
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.bmp"));
    EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), 7);
}

TEST_F(StartupTest, TheRunStateAndTheLastWindowChooseTheFirstWindow) {
    StoreValue(L"Options", L"VLstF", L"0");
    StoreValue(L"Run", L"LstFm", L"1");
    Main(L"");
    EXPECT_TRUE(frmNormal.Visible());
    EXPECT_FALSE(frmNoTitleFrame.IsLoaded());
    EXPECT_EQ(Settings.LastForm, 0);
    ResetProgramState();

    StoreValue(L"Options", L"VLstF", L"-1");  // the window used last
    StoreValue(L"Run", L"LstFm", L"1");
    Main(L"");
    EXPECT_TRUE(frmNoTitleFrame.Visible());
    EXPECT_FALSE(frmNormal.IsLoaded());
    EXPECT_EQ(Settings.LastForm, 1);
    ResetProgramState();

    StoreValue(L"Options", L"VLstF", L"1");
    StoreValue(L"Run", L"LstFm", L"0");
    Main(L"");
    EXPECT_TRUE(frmNoTitleFrame.Visible());
    ResetProgramState();

    StoreValue(L"Options", L"VLstF", L"7");  // outside the table
    Main(L"");
    EXPECT_TRUE(frmNormal.Visible());
}

TEST_F(StartupTest, ClosingTheViewerUnloadsTheEngineAndWritesEveryOption) {
    StoreValue(L"Options", L"VSs_3", L"250");
    Main(L"");
    EXPECT_EQ(Settings.ViewSizes[3].Percent, 250);
    ASSERT_TRUE(frmNormal.Unload());
    EXPECT_FALSE(frmNormal.IsLoaded());
    EXPECT_FALSE(frmBackground.IsLoaded());
    EXPECT_EQ(forms::LoadedFormCount(), 0);
    EXPECT_EQ(StoredValue(L"Options", L"VSs_3"), L"250");
    EXPECT_EQ(StoredValue(L"Options", L"AtAtt"), L"True");
    EXPECT_EQ(StoredValue(L"Options", L"DPiFN"), DataPath(L"sample.jpg"));
    EXPECT_EQ(StoredValue(L"Run", L"LstFm"), L"0");
}
