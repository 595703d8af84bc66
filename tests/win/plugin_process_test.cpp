// Plug-ins in host processes of their own: where they run, what a plug-in
// that crashes or hangs costs (its one load, nothing else), and plug-ins of
// the other bitness through the other host.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "pluginhost/susie/SPIFile.h"
#include "pluginhost/susie/SPIFunction.h"
#include "pluginhost/susie/SPIManager.h"
#include "test_support.h"

using namespace quillmount;
using namespace testing_support;

namespace {

std::wstring ImageOf(DWORD pid) {
    HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!p) return L"";
    wchar_t path[MAX_PATH * 2] = {};
    DWORD n = MAX_PATH * 2;
    if (!QueryFullProcessImageNameW(p, 0, path, &n)) n = 0;
    CloseHandle(p);
    const std::wstring image(path, n);
    return image.substr(image.find_last_of(L'\\') + 1);
}

bool Alive(DWORD pid) {
    HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!p) return false;
    const bool alive = WaitForSingleObject(p, 0) == WAIT_TIMEOUT;
    CloseHandle(p);
    return alive;
}


// A w x h colour PPM whose pixel (x, y) is (x, y, 7).
std::vector<uint8_t> Ppm(int w, int h) {
    std::string s = "P6 " + std::to_string(w) + " " + std::to_string(h) + " 255\n";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s += {static_cast<char>(x), static_cast<char>(y), 7};
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::shared_ptr<SPIFile> FileFor(const std::wstring& path) {
    auto f = std::make_shared<SPIFile>();
    EXPECT_TRUE(f->Init(path, L"", nullptr));
    return f;
}

#ifdef _WIN64
const wchar_t kOwnHost[] = L"QuillmountHost64.exe", kOtherHost[] = L"QuillmountHost32.exe";
const wchar_t kOwn[] = L".sph", kOther[] = L".spi";
#else
const wchar_t kOwnHost[] = L"QuillmountHost32.exe", kOtherHost[] = L"QuillmountHost64.exe";
const wchar_t kOwn[] = L".spi", kOther[] = L".sph";
#endif

class PluginProcessTest : public ::testing::Test {
protected:
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Obrinth"); }
    TempDir plugins, files;
};


}  // namespace

TEST_F(PluginProcessTest, PluginsRunInAHostProcessOfTheirOwnBitness) {
    InstallTestPlugin(L"pnm", plugins.path());
    SetPluginFolder(plugins.path());
    WriteBytes(files / L"a.ppm", Ppm(5, 4));
    SPIManager m;
    const std::wstring module = plugins / (L"pnm" + std::wstring(kOwn));
    const DWORD host = m.HostOf(module);
    ASSERT_NE(host, 0u);
    EXPECT_NE(host, GetCurrentProcessId());
    EXPECT_EQ(ImageOf(host), kOwnHost);
    auto f = FileFor(files / L"a.ppm");
    ASSERT_EQ(m.LoadFile(f.get()), S_OK);
    ASSERT_TRUE(f->HasPicture());
    EXPECT_EQ(f->PictureWidth(), 5);
    EXPECT_EQ(f->PluginKey(), module);
    // The picture is one of this process: a bitmap it can draw.
    ComPtr<IPicture> pic;
    ASSERT_EQ(f->Picture().As(&pic), S_OK);
    EXPECT_EQ(PixelOf(forms::Picture(pic.Get(), true), 4, 3), 0x040307u);

    // A host lives as long as its manager (described from the first run's
    // record, the second starts its host for its first load).
    DWORD other = 0;
    {
        SPIManager second;
        EXPECT_EQ(second.HostOf(module), 0u);
        auto again = FileFor(files / L"a.ppm");
        ASSERT_EQ(second.LoadFile(again.get()), S_OK);
        other = second.HostOf(module);
        EXPECT_NE(other, host);
        EXPECT_TRUE(Alive(other));
    }
    EXPECT_TRUE(GoneWithin(other, 3000));  // asked to go, never waited for
    EXPECT_TRUE(Alive(host));
}

// Each way a plug-in can go wrong: the load fails as for a file nobody reads,
// the host it broke is gone, and the next load runs in a fresh host.
TEST_F(PluginProcessTest, AMisbehavingPluginFailsItsOwnLoadOnly) {
    const wchar_t* kinds[] = {L"crash_supported", L"crash_decode", L"crash_after_progress",
                              L"stack_overflow",  L"exits",        L"endless"};
    WriteBytes(files / L"bad.crsh", {'C', 'R', 'S', 'H', 0, 0, 0, 0});
    WriteBytes(files / L"good.ppm", Ppm(3, 2));
    for (const wchar_t* kind : kinds) {
        SCOPED_TRACE(testing::Message() << "plug-in " << ToAnsi(kind));
        TempDir folder;
        InstallTestPlugin(kind, folder.path());
        InstallTestPlugin(L"pnm", folder.path());
        SetPluginFolder(folder.path());
        SPIManager m;
        const DWORD first = m.HostOf(folder / (std::wstring(kind) + kOwn));
        ASSERT_NE(first, 0u);
        auto bad = FileFor(files / L"bad.crsh");
        {
            // Only the plug-in that hangs needs the user's Escape.
            EscapeLater escape(std::wstring(kind) == L"endless" ? 500 : 60000);
            EXPECT_EQ(m.LoadFile(bad.get()), S_OK);
        }
        EXPECT_FALSE(bad->HasPicture());
        EXPECT_TRUE(GoneWithin(first, 3000));

        auto good = FileFor(files / L"good.ppm");
        ASSERT_EQ(m.LoadFile(good.get()), S_OK);
        EXPECT_TRUE(good->HasPicture());
        const DWORD second = m.HostOf(folder / (L"pnm" + std::wstring(kOwn)));
        EXPECT_NE(second, first);
        EXPECT_TRUE(Alive(second));
    }
}

TEST_F(PluginProcessTest, APluginTheHostCannotEvenDescribeTakesNoPart) {
    // A self-description that faults: the host starts again and describes the rest.
    InstallTestPlugin(L"crash_info", plugins.path());
    InstallTestPlugin(L"pnm", plugins.path());
    InstallTestPlugin(L"tar", plugins.path());
    SetPluginFolder(plugins.path());
    SPIManager m;
    const auto order = m.ModuleOrder();
    ASSERT_EQ(order.size(), 2u);
    for (auto& path : order) EXPECT_EQ(path.find(L"crash_info"), std::wstring::npos);
    WriteBytes(files / L"a.ppm", Ppm(3, 2));
    auto f = FileFor(files / L"a.ppm");
    EXPECT_EQ(m.LoadFile(f.get()), S_OK);
    EXPECT_TRUE(f->HasPicture());
}

TEST_F(PluginProcessTest, PluginsOfTheOtherBitnessRunInTheOtherHost) {
    if (!InstallOtherKindPlugin(L"pnm", plugins.path()))
        GTEST_SKIP() << "no plug-ins of the other bitness beside this build (the machine runs no 32-bit programs)";
    SetPluginFolder(plugins.path());
    WriteBytes(files / L"tall.ppm", Ppm(2, 120));
    SPIManager m;
    const std::wstring module = plugins / (L"pnm" + std::wstring(kOther));
    ASSERT_EQ(m.ModuleOrder(), std::vector<std::wstring>{module});
    EXPECT_EQ(ImageOf(m.HostOf(module)), kOtherHost);
    EXPECT_EQ(m.PictureFilter(), L"*.ppm;*.pgm");

    // Progress reaches this process, report by report.
    std::vector<int32_t> reports;
    m.OnDecoding = [&](int32_t current, int32_t total, bool&) {
        reports.push_back(current);
        EXPECT_EQ(total, 120);
    };
    auto f = FileFor(files / L"tall.ppm");
    ASSERT_EQ(m.LoadFile(f.get()), S_OK);
    ASSERT_TRUE(f->HasPicture());
    EXPECT_EQ(f->PictureHeight(), 120);
    ComPtr<IPicture> pic;
    ASSERT_EQ(f->Picture().As(&pic), S_OK);
    EXPECT_EQ(PixelOf(forms::Picture(pic.Get(), true), 1, 119), 0x017707u);
    ASSERT_EQ(reports.size(), 61u);  // every other row, and the last
    EXPECT_EQ(reports.back(), 120);

    // A cancel asked for in the first report stops the decode.
    reports.clear();
    m.OnDecoding = [&](int32_t current, int32_t, bool& cancel) {
        reports.push_back(current);
        cancel = true;
    };
    auto again = FileFor(files / L"tall.ppm");
    EXPECT_EQ(m.LoadFile(again.get()), S_FALSE);
    EXPECT_FALSE(again->HasPicture());
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(PluginProcessTest, BothKindsShareTheFilterOwnKindFirstAndOneNameCountsOnce) {
    if (!InstallOtherKindPlugin(L"dibshape", plugins.path()) || !InstallOtherKindPlugin(L"pnm", plugins.path()))
        GTEST_SKIP() << "no plug-ins of the other bitness beside this build (the machine runs no 32-bit programs)";
    InstallTestPlugin(L"pnm", plugins.path());
    InstallTestPlugin(L"no_star_filter", plugins.path());
    SetPluginFolder(plugins.path());
    SPIManager m;
    const auto order = m.ModuleOrder();
    ASSERT_EQ(order.size(), 3u);  // pnm of the other kind is not used beside the own pnm
    // Own kind first, each kind in the folder's order.
    EXPECT_TRUE(order[0].ends_with(kOwn));
    EXPECT_TRUE(order[1].ends_with(kOwn));
    EXPECT_EQ(order[2], plugins / (L"dibshape" + std::wstring(kOther)));
    // Each first filter with "*" made ";*", and the first character of the whole gone, as always.
    const bool pnmFirst = order[0].ends_with(L"pnm" + std::wstring(kOwn));
    EXPECT_EQ(m.PictureFilter(), pnmFirst ? L"*.ppm;*.pgmabc;*.tstdib" : L"bc;*.ppm;*.pgm;*.tstdib");
}
