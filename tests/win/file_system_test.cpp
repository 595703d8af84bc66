// Path questions answered by the real file system, Unicode names included.
#include <gtest/gtest.h>

#include "app/file_system.h"
#include "engine/caption.h"
#include "test_support.h"

using namespace tamsel;
using namespace testing_support;

namespace {
// Letters outside code page 932: Esperanto, Korean, and one beyond the BMP.
const std::wstring kForeignName = L"ĉambro_이미지_\U0001F600.bmp";
}

TEST(FileSystem, FileExistsOnlyForAnExistingFile) {
    TempDir dir;
    WriteBytes(dir / L"a.bmp", {1, 2, 3});
    CreateDirectoryW((dir / L"folder").c_str(), nullptr);
    FileSystem& fs = PlatformFileSystem();
    EXPECT_TRUE(fs.FileExists(dir / L"a.bmp"));
    EXPECT_FALSE(fs.FileExists(dir / L"folder"));
    EXPECT_FALSE(fs.FileExists(dir / L"missing.bmp"));
    EXPECT_FALSE(fs.FileExists(L""));
    EXPECT_FALSE(fs.FileExists(L"?clipboard"));
    EXPECT_FALSE(fs.FileExists(L"\"" + (dir / L"a.bmp") + L"\""));
    EXPECT_FALSE(fs.FileExists((dir / L"a.bmp") + L" " + (dir / L"a.bmp")));
    EXPECT_FALSE(fs.FileExists(dir / L"*.bmp"));
}

TEST(FileSystem, GetFileResolvesRelativePathsAgainstTheCurrentFolderAndFailsForNonFiles) {
    TempDir dir;
    WriteBytes(dir / L"rel.gif", {1});
    wchar_t before[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, before);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.path().c_str()));
    auto full = PlatformFileSystem().GetFilePath(L"rel.gif");
    SetCurrentDirectoryW(before);
    ASSERT_TRUE(full.has_value());
    EXPECT_EQ(*full, dir / L"rel.gif");
    EXPECT_FALSE(PlatformFileSystem().GetFilePath(dir / L"none.gif").has_value());
    EXPECT_FALSE(PlatformFileSystem().GetFilePath(dir.path()).has_value());
}

TEST(FileSystem, DirGivesTheStoredSpellingAndFindsHiddenEntries) {
    TempDir dir;
    WriteBytes(dir / L"Photo.Jpg", {1});
    WriteBytes(dir / L"hidden.bmp", {1});
    SetFileAttributesW((dir / L"hidden.bmp").c_str(), FILE_ATTRIBUTE_HIDDEN);
    CreateDirectoryW((dir / L"Sub Folder").c_str(), nullptr);
    FileSystem& fs = PlatformFileSystem();
    EXPECT_EQ(fs.Dir(dir / L"PHOTO.JPG"), L"Photo.Jpg");
    EXPECT_EQ(fs.Dir(dir / L"hidden.bmp"), L"hidden.bmp");
    EXPECT_EQ(fs.Dir(dir / L"sub folder"), L"Sub Folder");
    EXPECT_EQ(fs.Dir(dir / L"nothing.bmp"), L"");
}

TEST(FileSystem, NamesOutsideTheAnsiCodePageWorkEndToEnd) {
    TempDir dir;
    const std::wstring path = dir / kForeignName;
    WriteBytes(path, ReadBytes(DataPath(L"sample.bmp")));
    FileSystem& fs = PlatformFileSystem();
    EXPECT_TRUE(fs.FileExists(path));
    EXPECT_EQ(fs.GetFilePath(path), path);
    EXPECT_EQ(fs.Dir(path), kForeignName);
    // The caption spells the stored name even when asked with other letter case.
    std::wstring upper = dir.path() + L"\\" + L"ĈAMBRO_이미지_\U0001F600.BMP";
    EXPECT_EQ(MakeCaption(fs, upper, 100), kForeignName + L" - Tamsel2");
    EXPECT_EQ(GetFileName(FileTitleOf(fs, upper)), kForeignName);
}
