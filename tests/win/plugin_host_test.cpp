// The plug-in host's classes with the project's own plug-ins, real DLLs
// loaded from a folder named in the real registry of the test prefix.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/file_system.h"
#include "app/mdlTamsel.h"
#include "forms/picture.h"
#include "pluginhost/susie/SPIFile.h"
#include "pluginhost/susie/SPIFunction.h"
#include "pluginhost/susie/SPIManager.h"
#include "pluginhost/susie/SPIModule.h"
#include "test_support.h"

using namespace quillmount;
using namespace testing_support;

namespace {

const std::wstring kSuffix = kPluginPattern + 1;  // ".sph" or ".spi"

std::wstring PluginSource(const std::wstring& name) {
    return tamsel::ProgramFolder() + L"\\testplugins\\" + name + kSuffix;
}

void SetPluginPath(const std::wstring* path) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Obrinth");
    if (path) SetPluginFolder(*path);
}

// A plug-in folder holding the named plug-ins, recorded in the registry.
struct PluginFolder {
    TempDir dir;
    explicit PluginFolder(std::initializer_list<const wchar_t*> names, bool trailingSeparator = false) {
        for (auto n : names) CopyFileW(PluginSource(n).c_str(), (dir / (std::wstring(n) + kSuffix)).c_str(), FALSE);
        const std::wstring path = trailingSeparator ? dir.path() + L"\\" : dir.path();
        SetPluginPath(&path);
    }
    ~PluginFolder() { SetPluginPath(nullptr); }
    std::wstring Module(const wchar_t* name) { return dir.path() + L"\\" + name + kSuffix; }
};

std::shared_ptr<SPIFile> FileFor(const std::wstring& path) {
    auto f = std::make_shared<SPIFile>();
    EXPECT_TRUE(f->Init(path, L"", nullptr));
    return f;
}

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// 3 x 2 colour picture, rows top first in the file, and a 2 x 2 grey one.
std::vector<uint8_t> Ppm(const std::wstring& comment = L"") {
    // Plug-ins speak the ANSI code page.
    std::string s = "P6\n" + (comment.empty() ? "" : "# " + ToAnsi(comment) + "\n") + "3 2\n255\n";
    const uint8_t px[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30, 40, 50, 60, 70, 80, 90};
    s.append(reinterpret_cast<const char*>(px), sizeof px);
    return Bytes(s);
}
std::vector<uint8_t> Pgm() {
    std::string s = "P5 2 2 255\n";
    s += std::string("\x10\x20\x30\x40", 4);
    return Bytes(s);
}

uint32_t Pixel(const ComPtr<IPictureDisp>& p, int x, int y) {
    ComPtr<IPicture> pic;
    if (!p || FAILED(p.As(&pic))) return 0xFFFFFFFF;
    return PixelOf(forms::Picture(pic.Get(), true), x, y);
}

// Every test twice: plug-ins in a host process, as the control runs them,
// and in this process, as it runs them when no host can be started.
class PluginHostTest : public ::testing::TestWithParam<SPIManager::Isolation> {
protected:
    void TearDown() override { SetPluginPath(nullptr); }
    TempDir files;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Isolation, PluginHostTest,
                         ::testing::Values(SPIManager::Isolation::Hosts, SPIManager::Isolation::InProcess),
                         [](const auto& info) {
                             return info.param == SPIManager::Isolation::Hosts ? "InAHost" : "InThisProcess";
                         });

TEST_P(PluginHostTest, TheFolderComesFromTheRegistryWithOneClosingSeparator) {
    {
        PluginFolder folder({L"pnm"}, false);
        SPIManager m(GetParam());
        EXPECT_EQ(m.Path(), folder.dir.path() + L"\\");
        EXPECT_EQ(m.ModuleOrder(), std::vector<std::wstring>{folder.Module(L"pnm")});
        EXPECT_EQ(m.PictureFilter(), L"*.ppm;*.pgm");
    }
    {
        PluginFolder folder({L"pnm"}, true);
        SPIManager m(GetParam());
        EXPECT_EQ(m.Path(), folder.dir.path() + L"\\");
    }
    SetPluginPath(nullptr);
    SPIManager none(GetParam());
    EXPECT_EQ(none.PictureFilter(), L"");
    EXPECT_TRUE(none.ModuleOrder().empty());
    // Without plug-ins a bitmap still loads through the platform, anything else gives no picture.
    WriteBytes(files / L"a.bmp", ReadBytes(DataPath(L"sample.bmp")));
    WriteBytes(files / L"b.ppm", Ppm());
    auto bmp = FileFor(files / L"a.bmp");
    EXPECT_EQ(none.LoadFile(bmp.get()), S_OK);
    EXPECT_TRUE(bmp->HasPicture());
    EXPECT_EQ(bmp->PictureWidth(), 7);
    auto ppm = FileFor(files / L"b.ppm");
    EXPECT_EQ(none.LoadFile(ppm.get()), S_OK);
    EXPECT_FALSE(ppm->HasPicture());
}

TEST_P(PluginHostTest, TheFilterTakesEachPicturePluginsFirstFilterOnly) {
    {
        PluginFolder folder({L"blank_filter"});
        EXPECT_EQ(SPIManager(GetParam()).PictureFilter(), L"*.jpg ;*.jpeg");
    }
    {
        PluginFolder folder({L"no_star_filter"});
        EXPECT_EQ(SPIManager(GetParam()).PictureFilter(), L"bc");
    }
    {
        PluginFolder folder({L"tar"});  // archives contribute nothing
        SPIManager m(GetParam());
        EXPECT_EQ(m.PictureFilter(), L"");
        EXPECT_EQ(m.ModuleOrder().size(), 1u);
    }
    PluginFolder folder({L"pnm", L"dibshape"});
    SPIManager m(GetParam());
    const std::wstring f = m.PictureFilter();
    EXPECT_TRUE(f == L"*.ppm;*.pgm;*.tstdib" || f == L"*.tstdib;*.ppm;*.pgm") << testing::PrintToString(f);
    EXPECT_EQ(f.find(L"*.pnm"), std::wstring::npos);  // a second filter string takes no part
}

TEST_P(PluginHostTest, SelfDescriptionsDecideWhichPluginsTakePart) {
    PluginFolder folder({L"three_strings", L"version_lower", L"version_long", L"version_short", L"no_picture_info",
                         L"long_name"});
    SPIManager m(GetParam());
    auto order = m.ModuleOrder();
    std::sort(order.begin(), order.end());
    EXPECT_EQ(order, (std::vector<std::wstring>{folder.Module(L"long_name"), folder.Module(L"no_picture_info")}));

    SPIModule longName;
    ASSERT_TRUE(longName.LoadInfo(folder.Module(L"long_name")));
    EXPECT_EQ(longName.PluginName(), std::wstring(1023, L'N'));  // read within the buffer, no NUL needed
    EXPECT_EQ(longName.Filters().size(), 2u);  // strings 2..5: two pairs
    EXPECT_FALSE(longName.LoadInfo(folder.Module(L"long_name")));  // once only

    // Five strings: one filter pair, the fifth string dropped.
    SPIModule five;
    ASSERT_TRUE(five.LoadInfo(PluginSource(L"five_strings")));
    EXPECT_EQ(five.Filters(), std::vector<std::wstring>{L"*.ppm;*.pgm"});

    // Described but without GetPictureInfo: it never supports anything.
    SPIModule partial;
    ASSERT_TRUE(partial.LoadInfo(folder.Module(L"no_picture_info")));
    WriteBytes(files / L"x.ppm", Ppm());
    auto f = FileFor(files / L"x.ppm");
    EXPECT_FALSE(partial.CheckSupported(f.get()));
}

TEST_P(PluginHostTest, PicturesComeOutWithTheirPropertiesAndText) {
    PluginFolder folder({L"pnm"});
    SPIManager m(GetParam());
    WriteBytes(files / L"c.ppm", Ppm(L"夕焼け comment"));
    WriteBytes(files / L"g.pgm", Pgm());
    int reports = 0;
    m.OnDecoding = [&](int32_t, int32_t total, bool&) {
        ++reports;
        EXPECT_GT(total, 0);
    };
    auto c = FileFor(files / L"c.ppm");
    ASSERT_EQ(m.LoadFile(c.get()), S_OK);
    ASSERT_TRUE(c->HasPicture());
    EXPECT_GE(reports, 2);
    EXPECT_EQ(c->PictureWidth(), 3);
    EXPECT_EQ(c->PictureHeight(), 2);
    EXPECT_EQ(c->PictureDepth(), 24);
    EXPECT_EQ(c->PictureText(), L"夕焼け comment");
    EXPECT_EQ(c->PluginKey(), folder.Module(L"pnm"));
    EXPECT_EQ(Pixel(c->Picture(), 0, 0), 0xFF0000u);
    EXPECT_EQ(Pixel(c->Picture(), 2, 0), 0x0000FFu);
    EXPECT_EQ(Pixel(c->Picture(), 2, 1), 0x46505Au);

    auto g = FileFor(files / L"g.pgm");  // rows bottom first in the bitmap, same picture
    ASSERT_EQ(m.LoadFile(g.get()), S_OK);
    ASSERT_TRUE(g->HasPicture());
    EXPECT_EQ(g->PictureDepth(), 8);
    EXPECT_EQ(g->PictureText(), L"");
    EXPECT_EQ(Pixel(g->Picture(), 0, 0), 0x101010u);
    EXPECT_EQ(Pixel(g->Picture(), 1, 1), 0x404040u);
}

TEST_P(PluginHostTest, ATextHandlePackedAfterTheColourDepthIsFoundToo) {
    PluginFolder folder({L"packed_info"});
    SPIManager m(GetParam());
    WriteBytes(files / L"c.ppm", Ppm(L"packed text"));
    auto c = FileFor(files / L"c.ppm");
    ASSERT_EQ(m.LoadFile(c.get()), S_OK);
    ASSERT_TRUE(c->HasPicture());
    EXPECT_EQ(c->PictureText(), L"packed text");
    EXPECT_EQ(c->PictureDepth(), 24);
}

TEST_P(PluginHostTest, TheSuccessfulPluginMovesToTheFrontAndAFailingOneKeepsItsPlace) {
    PluginFolder folder({L"fails_decode", L"pnm", L"dibshape"});
    SPIManager m(GetParam());
    const auto before = m.ModuleOrder();
    WriteBytes(files / L"c.ppm", Ppm());
    auto c = FileFor(files / L"c.ppm");
    ASSERT_EQ(m.LoadFile(c.get()), S_OK);
    ASSERT_TRUE(c->HasPicture());
    const auto after = m.ModuleOrder();
    EXPECT_EQ(after[0], folder.Module(L"pnm"));
    // The others keep their order among themselves.
    std::vector<std::wstring> rest;
    for (auto& p : before)
        if (p != folder.Module(L"pnm")) rest.push_back(p);
    EXPECT_EQ(std::vector<std::wstring>(after.begin() + 1, after.end()), rest);
}

TEST_P(PluginHostTest, CancelStopsTheTrialAndNestedLoadsAreRefused) {
    PluginFolder folder({L"pnm", L"long_name"});  // both decode PPM
    SPIManager m(GetParam());
    WriteBytes(files / L"c.ppm", Ppm());
    auto c = FileFor(files / L"c.ppm");
    int reports = 0;
    HRESULT nested = E_FAIL;
    m.OnDecoding = [&](int32_t, int32_t, bool& cancel) {
        ++reports;
        auto other = FileFor(files / L"c.ppm");
        nested = m.LoadFile(other.get());
        cancel = true;
    };
    EXPECT_EQ(m.LoadFile(c.get()), S_FALSE);
    EXPECT_EQ(nested, S_FALSE);
    EXPECT_EQ(reports, 1);  // the first plug-in aborted, the second was not tried
    EXPECT_FALSE(c->HasPicture());
    m.OnDecoding = nullptr;
    EXPECT_EQ(m.LoadFile(c.get()), S_OK);  // not busy any more
    EXPECT_TRUE(c->HasPicture());
}

TEST_P(PluginHostTest, ABitmapThePlatformReadsNeverReachesAPlugin) {
    PluginFolder folder({L"pnm", L"dibshape"});
    SPIManager m(GetParam());
    int reports = 0;
    m.OnDecoding = [&](int32_t, int32_t, bool&) { ++reports; };
    WriteBytes(files / L"a.bmp", ReadBytes(DataPath(L"sample.bmp")));
    auto f = FileFor(files / L"a.bmp");
    EXPECT_EQ(m.LoadFile(f.get()), S_OK);
    EXPECT_TRUE(f->HasPicture());
    EXPECT_EQ(f->PluginKey(), L"");
    EXPECT_EQ(reports, 0);
    EXPECT_EQ(f->PictureDepth(), 24);
}

namespace {
// A bitmap shape through the shape plug-in: the picture, or none, or the load's error.
HRESULT Shape(SPIManager& m, TempDir& dir, const std::string& line, std::shared_ptr<SPIFile>& file) {
    static int n = 0;
    const std::wstring path = dir / (L"s" + std::to_wstring(++n) + L".tstdib");
    WriteBytes(path, Bytes("TSTDIB " + line + "\n"));
    file = FileFor(path);
    return m.LoadFile(file.get());
}
uint32_t Colour(int x, int y) { return (0x80u << 16) | (static_cast<uint32_t>(y * 16 & 255) << 8) | (x * 16 & 255); }
uint32_t PaletteColour(int i) {
    return (static_cast<uint32_t>(255 - i * 5 & 255) << 16) | (static_cast<uint32_t>(i * 10 & 255) << 8) | (i * 20 & 255);
}
}  // namespace

TEST_P(PluginHostTest, EveryHeaderShapeTheHostTakesShowsTheSamePictureInBothRowOrders) {
    PluginFolder folder({L"dibshape"});
    SPIManager m(GetParam());
    std::shared_ptr<SPIFile> f;
    // 24 and 32 bits, both orders.
    for (const char* line : {"40 5 3 24 0 0 0 48", "40 5 -3 24 0 0 0 48", "40 5 3 32 0 0 0 60", "124 5 -3 32 0 0 0 60"}) {
        SCOPED_TRACE(line);
        ASSERT_EQ(Shape(m, files, line, f), S_OK);
        ASSERT_TRUE(f->HasPicture());
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) EXPECT_EQ(Pixel(f->Picture(), x, y), Colour(x, y));
        EXPECT_EQ(f->PictureWidth(), 100);  // the record's placeholder, stored as reported
    }
    // Palettes: 256 implied, 16 used, 4-bit and 1-bit.
    for (const char* line : {"40 6 4 8 0 0 256 32", "40 6 -4 8 0 16 16 32", "40 6 4 4 0 0 16 16", "40 6 -4 1 0 0 2 16"}) {
        SCOPED_TRACE(line);
        ASSERT_EQ(Shape(m, files, line, f), S_OK);
        ASSERT_TRUE(f->HasPicture());
        int colours = 256;
        if (std::strstr(line, " 16 16 ")) colours = 16;
        if (std::strstr(line, " 4 0 0 16 ")) colours = 16;
        if (std::strstr(line, " 1 0 0 2 ")) colours = 2;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) EXPECT_EQ(Pixel(f->Picture(), x, y), PaletteColour((x + y) % colours));
    }
    // 16 bits (5-5-5).
    ASSERT_EQ(Shape(m, files, "40 3 -2 16 0 0 0 16", f), S_OK);
    ASSERT_TRUE(f->HasPicture());
    EXPECT_EQ(Pixel(f->Picture(), 2, 1), (0x84u << 16) | (0x08u << 8) | 0x10u);
}

TEST_P(PluginHostTest, HeadersTheHostDoesNotTakeGiveNoPictureAndHugeOnesAnError) {
    PluginFolder folder({L"dibshape"});
    SPIManager m(GetParam());
    std::shared_ptr<SPIFile> f;
    for (const char* line : {"12 5 3 24 0 0 0 48",    // old core header
                             "40 5 3 16 3 0 3 32",    // bit fields
                             "40 5 3 32 3 0 3 60",
                             "40 100 100 24 0 0 0 1000",  // fewer pixels than promised
                             "40 6 4 8 0 0 100 32",       // colour table shorter than promised
                             "40 6 4 8 0 300 300 32",     // more colours than 8 bits hold
                             "40 -5 3 24 0 0 0 48", "40 5 0 24 0 0 0 48", "40 5 3 12 0 0 0 48"}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(Shape(m, files, line, f), S_OK);  // the attempt ran; nothing came out
        EXPECT_FALSE(f->HasPicture());
    }
    EXPECT_EQ(Shape(m, files, "40 2147483647 2 24 0 0 0 64", f), DISP_E_OVERFLOW);
    EXPECT_FALSE(f->HasPicture());
    EXPECT_EQ(Shape(m, files, "40 70000 -70000 32 0 0 0 64", f), DISP_E_OVERFLOW);
    EXPECT_EQ(Shape(m, files, "40 5 3 24 0 0 0 48", f), S_OK);  // and the host goes on
    EXPECT_TRUE(f->HasPicture());
}

TEST_P(PluginHostTest, ArchivesListExtractIntoATemporaryFolderAndCleanUp) {
    PluginFolder folder({L"tar", L"pnm"});
    SPIManager m(GetParam());
    const std::string picture(reinterpret_cast<const char*>(Ppm().data()), Ppm().size());
    WriteBytes(files / L"a.tar", Tar({{"dir/sub/pic.ppm", picture}, {"top.txt", "hello"}, {"../evil.txt", "x"}}));
    auto archive = FileFor(files / L"a.tar");
    ASSERT_EQ(m.LoadFile(archive.get()), S_OK);
    EXPECT_FALSE(archive->HasPicture());
    ASSERT_EQ(archive->EntryCount(), 3);  // the closing record adds nothing
    EXPECT_EQ(archive->EntryNameAt(0), L"dir\\sub\\pic.ppm");
    EXPECT_EQ(archive->EntrySizeAt(0), picture.size());
    EXPECT_EQ(archive->EntryNameAt(1), L"top.txt");
    EXPECT_EQ(archive->EntryNameAt(-1), L"");
    EXPECT_EQ(archive->EntrySizeAt(3), 0u);
    EXPECT_EQ(archive->PluginKey(), folder.Module(L"tar"));
    // A listing longer than the block between two processes comes back whole.
    std::vector<std::pair<std::string, std::string>> many;
    for (int i = 0; i < 3000; ++i) many.push_back({"d/" + std::string(88, 'x') + std::to_string(10000 + i), "z"});
    WriteBytes(files / L"many.tar", Tar(many));
    auto big = FileFor(files / L"many.tar");
    ASSERT_EQ(m.LoadFile(big.get()), S_OK);
    ASSERT_EQ(big->EntryCount(), 3000);
    EXPECT_EQ(big->EntryNameAt(2999), L"d\\" + std::wstring(88, L'x') + L"12999");
    EXPECT_EQ(big->EntrySizeAt(2999), 1u);

    std::wstring temp, extractedPath;
    {
        auto pic = m.ExtractEntry(archive, L"dir\\sub\\pic.ppm");
        ASSERT_NE(pic, nullptr);
        temp = archive->TempFolder();
        EXPECT_EQ(tamsel::GetFileName(temp.substr(0, temp.size() - 1)).substr(0, 3), L"VPV");
        EXPECT_EQ(temp.back(), L'\\');
        extractedPath = pic->FilePath();
        EXPECT_EQ(extractedPath, temp + L"pic.ppm");
        EXPECT_EQ(pic->EntryName(), L"dir\\sub\\pic.ppm");
        EXPECT_EQ(pic->FileName(), L"pic.ppm");
        EXPECT_EQ(pic->Parent(), archive);
        EXPECT_EQ(ReadBytes(extractedPath), Ppm());
        // The extracted copy decodes like any file.
        ASSERT_EQ(m.LoadFile(pic.get()), S_OK);
        EXPECT_TRUE(pic->HasPicture());
        // Only the last component names the copy: nothing lands outside the folder.
        auto evil = m.ExtractEntry(archive, L"..\\evil.txt");
        ASSERT_NE(evil, nullptr);
        EXPECT_EQ(evil->FilePath(), temp + L"evil.txt");
        EXPECT_EQ(m.ExtractEntry(archive, L".."), nullptr);
        EXPECT_EQ(m.ExtractEntry(archive, L"x:"), nullptr);
        EXPECT_EQ(m.ExtractEntry(archive, L""), nullptr);
    }
    EXPECT_EQ(GetFileAttributesW(extractedPath.c_str()), INVALID_FILE_ATTRIBUTES);  // deleted with its record
    archive.reset();
    EXPECT_EQ(GetFileAttributesW(temp.c_str()), INVALID_FILE_ATTRIBUTES);  // the folder with the archive's
}

TEST(PluginFile, RecordRulesHeaderAndNames) {
    TempDir dir;
    SPIFile f;
    EXPECT_FALSE(f.Init(L"", L"", nullptr));
    auto parent = std::make_shared<SPIFile>();
    EXPECT_FALSE(f.Init(dir / L"x", L"entry", nullptr));
    EXPECT_FALSE(f.Init(dir / L"x", L"", parent));
    WriteBytes(dir / L"ten.bin", {'B', 'M', 1, 2, 3, 4, 9, 0, 0, 0});
    ASSERT_TRUE(f.Init(dir / L"ten.bin", L"", nullptr));
    EXPECT_FALSE(f.Init(dir / L"ten.bin", L"", nullptr));
    const uint8_t* h = f.HeaderAddress();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h[6], 9);
    EXPECT_EQ(h[10], 0);
    EXPECT_EQ(h[2047], 0);
    EXPECT_FALSE(f.IsBitmapFile());  // byte 6 is not zero
    EXPECT_EQ(f.FileName(), L"ten.bin");
    EXPECT_EQ(f.TempFolder(), L"");  // no entries, no folder

    SPIFile missing;
    ASSERT_TRUE(missing.Init(dir / L"none", L"", nullptr));
    EXPECT_EQ(missing.HeaderAddress(), nullptr);
    EXPECT_FALSE(missing.IsBitmapFile());

    SPIFile entry;
    ASSERT_TRUE(entry.Init(L"plain", L"a\\b\\c.png", parent));
    EXPECT_EQ(entry.FileName(), L"c.png");
    EXPECT_FALSE(entry.AddEntry(L"", 5));
}

TEST(PluginFunctions, CallsOnlyUsableCodeAndJoinsPaths) {
    auto notCode = reinterpret_cast<GetPluginInfoFn>(const_cast<wchar_t*>(&kPluginPattern[0]));
    char buf[8];
    EXPECT_EQ(CallFunction(GetPluginInfoFn{nullptr}, -1, 0, buf, 7), -1);
    EXPECT_EQ(CallFunction(notCode, -7, 0, buf, 7), -7);
    EXPECT_EQ(JoinPath(L"", L"n"), L"n");
    EXPECT_EQ(JoinPath(L"f", L""), L"f");
    EXPECT_EQ(JoinPath(L"f\\", L"n"), L"f\\n");
    EXPECT_EQ(JoinPath(L"f", L"n"), L"f\\n");
    EXPECT_EQ(TrimNull(std::wstring(L"ab\0cd", 5)), L"ab");
    EXPECT_EQ(SafeEntryFileName(L"dir\\sub\\pic.jpg"), L"pic.jpg");
    EXPECT_EQ(SafeEntryFileName(L"a/../../x.jpg"), L"x.jpg");
    EXPECT_EQ(SafeEntryFileName(L"..\\.."), L"");
    EXPECT_EQ(SafeEntryFileName(L"C:evil"), L"");
    EXPECT_EQ(SafeEntryFileName(L"dir\\"), L"");
    EXPECT_EQ(ProgressCallback(1, 2, 12345), 0);  // not a module: go on
}
