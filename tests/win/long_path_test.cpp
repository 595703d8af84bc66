// A picture in a folder whose full path is longer than the classic 260
// characters: opened from the command line, by a drop, through the open
// dialog and by a step; named in the caption; saved beside it; and kept from
// plug-ins, which take names into buffers of the classic length.
#include <gtest/gtest.h>

#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"
#include "engine/picture_services.h"
#include "test_support.h"
#include "windows/frmNormal.h"

using namespace tamsel;
using namespace testing_support;

namespace {

class LongPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        folder = dir.path();
        for (int i = 0; i < 6; ++i) {
            folder += L"\\長いフォルダの名前_" + std::to_wstring(i) + std::wstring(40, L'x');
            ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
        }
        ASSERT_GT(folder.size(), 300u);
    }
    void TearDown() override {
        ResetProgramState();
        ClearStoredSettings();
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Obrinth");
    }
    std::wstring Put(const std::wstring& name, const std::wstring& data) {
        const std::wstring path = folder + L"\\" + name;
        WriteBytes(path, ReadBytes(DataPath(data)));
        return path;
    }
    TempDir dir;
    std::wstring folder;
};

}  // namespace

TEST_F(LongPathTest, OpensNamesStepsAndSavesAPictureThere) {
    const std::wstring photo = Put(L"写真.jpg", L"sample.jpg");
    const std::wstring second = Put(L"second.gif", L"sample.gif");
    Main(photo);
    EXPECT_EQ(CurrentFileName, photo);
    EXPECT_EQ(frmNormal.Caption(), L"写真.jpg - Tamsel2");
    forms::Picture expected;
    ASSERT_EQ(LoadPicture(DataPath(L"sample.jpg"), expected), S_OK);
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), expected.WidthPixels());

    SendMessageW(frmNormal.picView.hWnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropFileList({second})), 0);
    EXPECT_EQ(CurrentFileName, second);
    EXPECT_EQ(frmNormal.Caption(), L"second.gif - Tamsel2");

    {
        FileDialogAnswer answer(photo);
        frmNormal.menu_Open_Click();
        EXPECT_EQ(answer.shown, 1);
    }
    EXPECT_EQ(CurrentFileName, photo);
    frmNormal.StepPicture(Step::Previous);
    EXPECT_EQ(CurrentFileName, second);

    const std::wstring saved = folder + L"\\保存した画像.bmp";
    {
        FileDialogAnswer answer(saved);
        frmNormal.menu_SaveAs_Click();
        EXPECT_EQ(answer.shown, 1);
    }
    forms::Picture back;
    ASSERT_EQ(LoadPicture(saved, back), S_OK);
    EXPECT_EQ(back.WidthPixels(), frmBackground.picLoad.ScaleWidth());
    EXPECT_EQ(PixelOf(back, 3, 3), PixelOf(frmBackground.picLoad.GetPicture(), 3, 3));
    // Nothing of the save's own left beside it.
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder + L"\\*.tmp").c_str(), &found);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

TEST_F(LongPathTest, APluginIsNeverHandedANameLongerThanItsBuffers) {
    TempDir plugins, shortFolder;
    InstallTestPlugin(L"pnm", plugins.path());
    SetPluginFolder(plugins.path());
    std::string ppm = "P6 2 2 255\n";
    ppm.append(12, '\x40');
    WriteBytes(shortFolder / L"near.ppm", std::vector<uint8_t>(ppm.begin(), ppm.end()));
    WriteBytes(folder + L"\\far.ppm", std::vector<uint8_t>(ppm.begin(), ppm.end()));
    frmBackground.Load();
    ASSERT_TRUE(frmBackground.PictureLoadRun(shortFolder / L"near.ppm", false));  // the plug-in reads the file itself

    MsgBoxRecorder boxes;
    EXPECT_FALSE(frmBackground.PictureLoadRun(folder + L"\\far.ppm", true));
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].prompt, L"画像ファイルを開くことが出来ませんでした！");
    EXPECT_EQ(CurrentFileName, shortFolder / L"near.ppm");
    // The engine goes on as before.
    EXPECT_TRUE(frmBackground.PictureLoadRun(shortFolder / L"near.ppm", false));
}
