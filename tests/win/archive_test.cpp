// Pictures inside archives: a ZIP the viewer reads itself and a TAR its
// archive plug-in reads (in a host, of each bitness the machine runs), opened
// on the first picture and paged with every step key; save and copy of an
// entry; hostile archives; the temporary folder left clean.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "app/mdlTamsel.h"
#include "engine/archive.h"
#include "engine/frmBackground.h"
#include "engine/loading.h"
#include "engine/picture_services.h"
#include "engine/save_copy_paste.h"
#include "forms/dialog_controls.h"
#include "forms/dialogs.h"
#include "test_support.h"
#include "tests/zip_maker.h"
#include "windows/frmNoTitleFrame.h"
#include "windows/frmNormal.h"

using namespace tamsel;
using namespace testing_support;
using ziptest::Bytes;
using ziptest::Item;

namespace {

int gBeeps = 0;
void CountBeep() { ++gBeeps; }

struct Shot {
    int w = 0, h = 0;
    Bytes px;
    explicit Shot(const forms::Picture& p) { px = PackedPixels(p, w, h); }
    bool operator==(const Shot& o) const { return w == o.w && h == o.h && px == o.px; }
};

Shot Loaded() { return Shot(frmBackground.picLoad.GetPicture()); }

std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

Shot OfFile(const std::wstring& path) {
    forms::Picture p;
    EXPECT_TRUE(SUCCEEDED(LoadPicture(path, p))) << path;
    return Shot(p);
}

// A 3 x 2 binary PPM, which only the PNM test plug-in reads.
const Bytes kPpm = [] {
    const std::string head = "P6\n3 2\n255\n";
    Bytes b(head.begin(), head.end());
    for (int i = 0; i < 18; ++i) b.push_back(static_cast<uint8_t>(i * 14));
    return b;
}();

std::vector<std::wstring> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::wstring> names;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().wstring());
    return names;
}

class ArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        gBeeps = 0;
        forms::SetBeepHook(&CountBeep);
        InstallTestPlugin(L"pnm", plugins.path());
        InstallTestPlugin(L"tar", plugins.path());
        SetPluginFolder(plugins.path());
        frmBackground.Load();
        frmBackground.SusiePlugin.Start();
    }
    void TearDown() override {
        forms::SetBeepHook(nullptr);
        forms::SetFileDialogHook(nullptr);
        ResetProgramState();
        ClearStoredSettings();
    }
    // The entry shown, as a path inside the archive.
    std::wstring Shown(const std::wstring& archive) const {
        return CurrentFileName.compare(0, archive.size() + 1, archive + L"\\") == 0 ? CurrentFileName.substr(archive.size() + 1)
                                                                                      : L"(" + CurrentFileName + L")";
    }
    TempDir dir, plugins;
};

struct Page {
    int key;               // pressed in the framed window; 0: none (as opened)
    const wchar_t* entry;  // shown after it
    const wchar_t* data;   // the test file its pixels come from; null: the PPM
    int beeps;             // so far
};

// Pages through an archive opened in the framed window, as the table says.
void PageThrough(const std::wstring& archive, const std::vector<Page>& pages, const Shot& ppm) {
    const HWND keys = frmNormal.picView.hWnd();
    for (const Page& p : pages) {
        SCOPED_TRACE(testing::Message() << "key " << p.key << " to " << p.entry);
        if (p.key) PressKey(keys, p.key);
        const std::wstring shown = CurrentFileName.substr(std::min(CurrentFileName.size(), archive.size() + 1));
        EXPECT_EQ(shown, p.entry);
        EXPECT_EQ(gBeeps, p.beeps);
        const std::wstring leaf = std::wstring(p.entry).substr(std::wstring(p.entry).find_last_of(L'\\') + 1);
        EXPECT_EQ(frmNormal.Caption(), leaf + L" [" + archive.substr(archive.find_last_of(L'\\') + 1) + L"] - Tamsel2");
        if (p.data) EXPECT_TRUE(Loaded() == OfFile(DataPath(p.data)));
        else EXPECT_TRUE(Loaded() == ppm);
    }
}

}  // namespace

// A ZIP with stored and deflated entries, a folder, UTF-8 and CP932 names, a
// text file, a damaged and an encrypted entry, and a name that would climb out
// of a folder: the pictures in the shell's order, the others passed over.
TEST_F(ArchiveTest, ZipOpensOnItsFirstPictureAndEveryStepKeyPagesThroughIt) {
    const Bytes jpg = ReadBytes(DataPath(L"sample.jpg")), bmp = ReadBytes(DataPath(L"sample.bmp")),
                gif = ReadBytes(DataPath(L"sample.gif")), palette = ReadBytes(DataPath(L"palette.bmp"));
    Item damaged{"vol/004.bmp", bmp};
    damaged.corrupt = true;
    Item locked{"vol/005.jpg", jpg};
    locked.encrypted = true;
    Item utf8{"\xE7\x94\xBB\xE5\x83\x8F/a.bmp", palette};  // 画像
    utf8.utf8 = true;
    const std::vector<Item> items = {
        {"vol/", {}, false},     {"vol/010.bmp", bmp},        {"vol/001.jpg", jpg, false}, {"vol/002.gif", gif},
        damaged,                 locked,                      {"readme.txt", bmp},         utf8,
        {"\x89\xE6\x91\x9C/b.ppm", kPpm},  // 画像 in CP932: read by the plug-in from a copy
        {"../evil.jpg", jpg},    {"vol/../../evil2.jpg", jpg}};
    const std::wstring zip = dir / L"Comic.zip";
    WriteBytes(zip, ziptest::Make(items));
    // The PPM as the plug-in decodes it from a file of its own.
    WriteBytes(dir / L"b.ppm", kPpm);
    ASSERT_TRUE(frmBackground.PictureLoadRun(dir / L"b.ppm", false));
    const Shot ppm = Loaded();

    // A step from the PPM onto the archive beside it opens the archive.
    frmNormal.Show();
    PressKey(frmNormal.picView.hWnd(), VK_NEXT);

    const std::vector<Page> pages = {
        {0, L"vol\\001.jpg", L"sample.jpg", 0},
        {VK_NEXT, L"vol\\002.gif", L"sample.gif", 0},
        {VK_SPACE, L"vol\\010.bmp", L"sample.bmp", 0},  // past the damaged and the encrypted entry, without a word
        {VK_NEXT, L"\u753B\u50CF\\a.bmp", L"palette.bmp", 0},
        {VK_NEXT, L"\u753B\u50CF\\b.ppm", nullptr, 0},
        {VK_NEXT, L"\u753B\u50CF\\b.ppm", nullptr, 1},  // the end
        {VK_HOME, L"vol\\001.jpg", L"sample.jpg", 1},
        {VK_PRIOR, L"vol\\001.jpg", L"sample.jpg", 2},
        {VK_HOME, L"vol\\001.jpg", L"sample.jpg", 3},
        {VK_END, L"\u753B\u50CF\\b.ppm", nullptr, 3},
        {VK_BACK, L"\u753B\u50CF\\a.bmp", L"palette.bmp", 3},
        {VK_PRIOR, L"vol\\010.bmp", L"sample.bmp", 3},
    };
    PageThrough(zip, pages, ppm);

    // Save offers the entry's own name as a bitmap's; save and copy hold what is shown.
    std::wstring offered;
    forms::SetFileDialogHook([&](const forms::CommonDialog& d, bool save) -> std::optional<std::wstring> {
        EXPECT_TRUE(save);
        offered = d.FileName;
        return dir / L"saved.bmp";
    });
    SavePictureAs(true);
    EXPECT_EQ(offered, L"010.bmp");
    EXPECT_TRUE(OfFile(dir / L"saved.bmp") == OfFile(DataPath(L"sample.bmp")));
    CopyPicture(true);
    forms::Picture copied;
    ASSERT_TRUE(SUCCEEDED(ClipboardGetData(copied)));
    EXPECT_TRUE(Shot(copied) == OfFile(DataPath(L"sample.bmp")));

    // The borderless window's wheel pages too.
    frmNormal.menu_NoTitleFrame_Click();
    ASSERT_TRUE(frmNoTitleFrame.Visible());
    SendMessageW(frmNoTitleFrame.picView.hWnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    EXPECT_EQ(Shown(zip), L"\u753B\u50CF\\a.bmp");

    // Nothing climbed out of a folder; the plug-in's copy is gone.
    const std::filesystem::path here(dir.path());
    for (const auto& p : {here / L"evil.jpg", here.parent_path() / L"evil.jpg", here.parent_path() / L"evil2.jpg",
                          std::filesystem::path(OwnTempFolder()).parent_path() / L"evil.jpg"})
        EXPECT_FALSE(std::filesystem::exists(p)) << p;
    EXPECT_EQ(FilesIn(dir.path()).size(), 3u);  // the archive, the PPM, the saved bitmap
    EXPECT_EQ(FilesIn(OwnTempFolder()), std::vector<std::wstring>{OwnTempFolder() + L"\\in-use"});
}

// The same pages through the TAR test plug-in, in its host, for each kind of
// plug-in the machine runs: listed by the plug-in, each entry extracted into
// our own folder, read and removed at once.
TEST_F(ArchiveTest, AnArchivePluginsListingPagesTheSameWayInEachKindOfHost) {
    const Bytes jpg = ReadBytes(DataPath(L"sample.jpg")), bmp = ReadBytes(DataPath(L"sample.bmp")),
                gif = ReadBytes(DataPath(L"sample.gif"));
    const std::wstring tar = dir / L"Scans.tar";
    WriteBytes(tar, Tar({{"vol/010.bmp", Text(bmp)}, {"vol/001.jpg", Text(jpg)}, {"vol/002.gif", Text(gif)},
                         {"readme.txt", "hello"}, {"../evil.jpg", Text(jpg)}}));
    const std::vector<Page> pages = {
        {0, L"vol\\001.jpg", L"sample.jpg", 0},       {VK_NEXT, L"vol\\002.gif", L"sample.gif", 0},
        {VK_NEXT, L"vol\\010.bmp", L"sample.bmp", 0}, {VK_NEXT, L"vol\\010.bmp", L"sample.bmp", 1},
        {VK_HOME, L"vol\\001.jpg", L"sample.jpg", 1}, {VK_END, L"vol\\010.bmp", L"sample.bmp", 1},
    };
    const std::wstring log = dir / L"plugin.log";
    EnvVar logged(L"TAMSEL_PLUGIN_LOG", log);
    for (const bool other : {false, true}) {
        SCOPED_TRACE(other ? "the other kind" : "the own kind");
        TempDir kind;
        if (!(other ? InstallOtherKindPlugin(L"tar", kind.path()) : (InstallTestPlugin(L"tar", kind.path()), true))) {
            std::printf("the other kind's TAR plug-in is not built here: its host is not tried\n");
            continue;
        }
        ResetProgramState();
        SetPluginFolder(kind.path());
        frmBackground.Load();
        frmBackground.SusiePlugin.Start();
        gBeeps = 0;
        DeleteFileW(log.c_str());
        frmNormal.Show();
        ASSERT_TRUE(DropPictureLoad(tar, frmNormal.picView, nullptr, frmNormal, true));
        PageThrough(tar, pages, Shot(forms::Picture()));
        // Listed once, by the load that found it an archive; each entry shown extracted once per showing.
        const std::string said = Text(ReadBytes(log));
        size_t lists = 0, extracts = 0;
        for (size_t at = 0; (at = said.find("list ", at)) != std::string::npos; ++at) ++lists;
        for (size_t at = 0; (at = said.find("extract ", at)) != std::string::npos; ++at) ++extracts;
        EXPECT_EQ(lists, 1u) << said;
        EXPECT_EQ(extracts, 5u) << said;
        EXPECT_EQ(FilesIn(OwnTempFolder()), std::vector<std::wstring>{OwnTempFolder() + L"\\in-use"});
        const std::filesystem::path here(dir.path());
        EXPECT_FALSE(std::filesystem::exists(here.parent_path() / L"evil.jpg"));
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(OwnTempFolder()).parent_path() / L"evil.jpg"));
        frmNormal.Unload();
    }
}

// Archives that lie: a clear failure (the picture before stays) or a skip;
// no crash, nothing written anywhere but our own folder.
TEST_F(ArchiveTest, HostileArchivesFailCleanlyAndKeepThePictureBefore) {
    const Bytes jpg = ReadBytes(DataPath(L"sample.jpg"));
    const Bytes good = ziptest::Make({{"a.jpg", jpg}, {"b.jpg", jpg}});
    Bytes outside = good;
    Bytes field;
    ziptest::Put32(field, static_cast<uint32_t>(good.size() + 100));
    std::copy(field.begin(), field.end(), outside.begin() + static_cast<ptrdiff_t>(ziptest::DirectoryOffsetField(outside)));
    const std::pair<const wchar_t*, Bytes> hostile[] = {
        {L"slip.zip", ziptest::Make({{"../../evil.jpg", jpg}, {"C:/evil.jpg", jpg}, {"/evil.jpg", jpg},
                                     {"sub\\..\\..\\evil.jpg", jpg}, {"nul.jpg", jpg}, {"COM1.jpg", jpg}})},
        {L"bomb.zip", ziptest::Make({{"bomb.bmp", Bytes(8 << 20, 0)}})},
        {L"outside.zip", outside},
        {L"truncated.zip", Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(good.size() / 2))},
        {L"empty.zip", ziptest::Make({})},
    };
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.bmp"), false));
    const Shot before = Loaded();
    for (const auto& [name, bytes] : hostile) {
        SCOPED_TRACE(testing::Message() << name);
        WriteBytes(dir / name, bytes);
        EXPECT_FALSE(frmBackground.PictureLoadRun(dir / name, false));
        EXPECT_EQ(CurrentFileName, DataPath(L"sample.bmp"));
        EXPECT_TRUE(Loaded() == before);
    }
    // 70 000 entries: listed, passed over, the one picture among them found.
    std::vector<Item> many(70000);
    for (size_t i = 0; i < many.size(); ++i) many[i] = {"notes/" + std::to_string(i) + ".txt", {}, false};
    many.push_back({"zz.jpg", jpg});
    WriteBytes(dir / L"many.zip", ziptest::Make(many, true));  // past 65 535 entries: ZIP64
    ASSERT_TRUE(frmBackground.PictureLoadRun(dir / L"many.zip", false));
    EXPECT_EQ(Shown(dir / L"many.zip"), L"zz.jpg");

    const std::filesystem::path here(dir.path());
    for (const auto& p : {here / L"evil.jpg", here.parent_path() / L"evil.jpg", here.parent_path().parent_path() / L"evil.jpg",
                          std::filesystem::path(L"C:\\evil.jpg"), std::filesystem::path(OwnTempFolder()) / L"evil.jpg"})
        EXPECT_FALSE(std::filesystem::exists(p)) << p;
    EXPECT_EQ(FilesIn(dir.path()).size(), std::size(hostile) + 1);
}

// The program's own folder goes at the end; a folder a run left behind (no
// lock held) goes at the next start, and one in use stays.
TEST_F(ArchiveTest, TheTemporaryFolderIsLeftCleanAndLeftoversAreSweptAtStart) {
    const std::wstring root = TempFoldersRoot();
    CreateDirectoryW(root.c_str(), nullptr);
    const std::wstring crashed = root + L"\\run-999999", running = root + L"\\run-999998";
    for (const std::wstring& f : {crashed, running}) {
        ASSERT_TRUE(CreateDirectoryW(f.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        WriteBytes(f + L"\\entry.ppm", kPpm);
    }
    HANDLE held = CreateFileW((running + L"\\in-use").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    frmBackground.Unload();
    frmBackground.Load();  // a start
    EXPECT_FALSE(std::filesystem::exists(crashed));
    EXPECT_TRUE(std::filesystem::exists(running + L"\\entry.ppm"));
    CloseHandle(held);

    frmBackground.SusiePlugin.Start();
    WriteBytes(dir / L"p.zip", ziptest::Make({{"p.ppm", kPpm}}));
    ASSERT_TRUE(frmBackground.PictureLoadRun(dir / L"p.zip", false));  // through a copy for the plug-in
    const std::wstring own = OwnTempFolder();
    EXPECT_TRUE(std::filesystem::exists(own));
    frmBackground.Unload();  // the end
    EXPECT_FALSE(std::filesystem::exists(own));
    frmBackground.Load();  // the next start takes the folder its run no longer holds
    EXPECT_FALSE(std::filesystem::exists(running));
    EXPECT_FALSE(std::filesystem::exists(root));
}
