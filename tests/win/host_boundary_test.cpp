// The plug-in host process as a boundary the control does not trust: hosts
// that lie or fail to start, plug-ins that hold their host while describing
// themselves, break it on a file or damage its heap, and a host's life
// bound to its control's.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/file_system.h"
#include "app/mdlTamsel.h"
#include "pluginhost/host/host_client.h"
#include "pluginhost/susie/SPIFile.h"
#include "pluginhost/susie/SPIFunction.h"
#include "pluginhost/susie/SPIManager.h"
#include "test_support.h"

using namespace quillmount;
using namespace testing_support;

namespace {

const std::wstring kOwn = kPluginPattern + 1;  // ".sph" or ".spi"

std::vector<uint8_t> Ppm(int w, int h, const std::string& comment = "") {
    std::string s = "P6\n" + (comment.empty() ? "" : "# " + comment + "\n") + std::to_string(w) + " " +
                    std::to_string(h) + "\n255\n";
    for (int i = 0; i < w * h; ++i) s += {'\x10', '\x20', '\x30'};
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::shared_ptr<SPIFile> FileFor(const std::wstring& path) {
    auto f = std::make_shared<SPIFile>();
    EXPECT_TRUE(f->Init(path, L"", nullptr));
    return f;
}

std::string ReadText(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Host processes this process (or `parent`) started, by process id.
std::vector<DWORD> HostsOf(DWORD parent = GetCurrentProcessId()) {
    std::vector<DWORD> pids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W e{sizeof e};
    for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e))
        if (e.th32ParentProcessID == parent && std::wstring(e.szExeFile).starts_with(L"QuillmountHost"))
            pids.push_back(e.th32ProcessID);
    CloseHandle(snap);
    return pids;
}


void Kill(DWORD pid) {
    if (HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, pid)) TerminateProcess(p, 1), CloseHandle(p);
}


struct QuietLimit {
    explicit QuietLimit(DWORD ms) { HostClient::SetQuietLimitForTests(ms); }
    ~QuietLimit() { HostClient::SetQuietLimitForTests(10000); }
};


double MillisecondsOf(const std::function<void()>& work) {
    const auto t0 = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

class HostBoundaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPluginFolder(plugins.path());
        ForgetDescriptions();
    }
    static void ForgetDescriptions() { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quillmount\\Described"); }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Obrinth");
        for (DWORD pid : HostsOf()) Kill(pid);
    }
    std::wstring Module(const wchar_t* name) { return plugins / (name + kOwn); }
    TempDir plugins, files;
};

}  // namespace

// Whatever a host answers, the control takes no more than the truth allows
// and lives on: each lie leaves the file without a picture (the viewer's
// usual message), and the next good load works. The same host telling the
// truth shows each lie is what the control refused.
TEST_F(HostBoundaryTest, HostsThatLieOrFailToStartAreSurvived) {
    WriteBytes(files / L"a.ppm", Ppm(3, 2));
    const std::wstring liar = tamsel::ProgramFolder() + L"\\lying_host.exe";
    const std::wstring log = files / L"starts.txt";
    EnvVar logged(L"TAMSEL_LIE_LOG", log);
    struct Case {
        const wchar_t* lie;
        bool picture;       // taken as the truth
        int starts;         // of the host program
        const wchar_t* trouble;  // why the host cannot serve, in part
    };
    const Case cases[] = {
        {L"none", true, 1, nullptr},
        {L"count", false, 1, nullptr},        // a listing of 2^31 entries
        {L"text", false, 1, nullptr},         // picture text beyond its area
        {L"beyond", false, 1, nullptr},       // pixels beyond the section
        {L"long", false, 1, nullptr},         // a reply in a section larger than any reply
        {L"file", false, 1, nullptr},         // pixels in a file's section
        {L"serial", false, 1, nullptr},       // an answer to another request
        {L"aftercancel", false, 1, nullptr},  // a picture after the cancel
        {L"die", false, 2, L"準備を終える前に終了しました"},  // tried once more
        {L"version", false, 1, L"通信の版"},  // refused at once, with the reason
        {L"bits", false, 1, L"ビット"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "lie " << ToAnsi(c.lie));
        DeleteFileW(log.c_str());
        EnvVar lie(L"TAMSEL_LIE", c.lie);
        HostClient client(liar, kAbi);
        auto f = FileFor(files / L"a.ppm");
        const auto result = client.Load(*f, {Module(L"pnm")}, [](int32_t, int32_t, bool& cancel) { cancel = true; });
        EXPECT_EQ(f->HasPicture(), c.picture);
        EXPECT_EQ(client.Unavailable(), c.trouble != nullptr);
        if (c.picture) EXPECT_TRUE(result && result->winner == 0);
        EXPECT_EQ(Count(ReadText(log), "start"), static_cast<size_t>(c.starts));
        if (c.trouble) {
            EXPECT_TRUE(client.Unavailable());
            EXPECT_NE(client.Trouble().find(c.trouble), std::wstring::npos) << ToAnsi(client.Trouble());
        }
        if (c.picture) EXPECT_EQ(f->PictureWidth(), 1);
    }
    InstallTestPlugin(L"pnm", plugins.path());
    HostClient real(HostProgramFor(kAbi), kAbi);
    auto f = FileFor(files / L"a.ppm");
    ASSERT_TRUE(real.Load(*f, {Module(L"pnm")}, nullptr));
    EXPECT_EQ(f->PictureWidth(), 3);
}

// A plug-in's message box while it describes itself waits for the user, not
// for a time limit; one that hangs there costs its own description only, and
// Escape gives that wait up. What was described is kept for the next start,
// which then loads no plug-in at all, until a file changes.
TEST_F(HostBoundaryTest, SelfDescriptionsSurviveBoxesAndHangsAndAreKeptFromRunToRun) {
    QuietLimit quiet(1000);
    InstallTestPlugin(L"box_info", plugins.path());
    InstallTestPlugin(L"pnm", plugins.path());
    InstallTestPlugin(L"tar", plugins.path());
    std::thread user([] {
        // The box is read for longer than the limit, then closed.
        for (int i = 0; i < 200; ++i, Sleep(50))
            if (HWND box = FindWindowW(L"#32770", L"Misbehaving test plug-in")) {
                Sleep(2500);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
    });
    {
        SPIManager m;
        EXPECT_EQ(m.ModuleOrder().size(), 3u);
    }
    user.join();
    for (DWORD pid : HostsOf()) EXPECT_TRUE(GoneWithin(pid, 3000));  // asked to go, and going
    {
        SPIManager again;  // all three kept: no host starts to describe them
        EXPECT_EQ(again.ModuleOrder().size(), 3u);
        EXPECT_TRUE(HostsOf().empty());
        EXPECT_EQ(again.HostOf(Module(L"pnm")), 0u);
    }
    // A changed plug-in is described anew.
    HANDLE h = CreateFileW(Module(L"tar").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME later{0x10000000, 0x02000000};
    SetFileTime(h, nullptr, nullptr, &later);
    CloseHandle(h);
    {
        SPIManager changed;
        EXPECT_FALSE(HostsOf().empty());
        EXPECT_EQ(changed.ModuleOrder().size(), 3u);
    }

    // A description that never comes: after the limit, or at Escape; the
    // others are kept whichever side of it they were asked on, and the
    // plug-in that hung is asked again next time.
    TempDir hanging;
    for (const wchar_t* name : {L"hang_info", L"pnm", L"tar", L"dibshape"}) InstallTestPlugin(name, hanging.path());
    SetPluginFolder(hanging.path());
    for (bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "given up with Escape" : "timed out");
        ForgetDescriptions();
        QuietLimit limit(escape ? 60000 : 1000);
        EscapeLater press(escape ? 1500 : 60000);
        double ms = MillisecondsOf([&] {
            SPIManager m;
            const auto order = m.ModuleOrder();
            EXPECT_EQ(order.size(), 3u);
            EXPECT_EQ(std::count(order.begin(), order.end(), hanging / (L"hang_info" + kOwn)), 0);
        });
        EXPECT_LT(ms, 8000);
    }
}

// A host is asked to go and never waited for; it ends with its control even
// where no job holds it, while a plug-in holds its only serving thread.
TEST_F(HostBoundaryTest, AHostEndsWithItsControlAndIsNeverWaitedFor) {
    InstallTestPlugin(L"hang_info", plugins.path());
    InstallTestPlugin(L"pnm", plugins.path());
    auto m = std::make_unique<SPIManager>();  // its host hangs in a description
    for (int i = 0; i < 100 && HostsOf().empty(); ++i) Sleep(20);
    ASSERT_EQ(HostsOf().size(), 1u);
    const DWORD host = HostsOf()[0];
    EXPECT_LT(MillisecondsOf([&] { m.reset(); }), 100);
    EXPECT_TRUE(GoneWithin(host, 4000));

    // A process of its own, holding a host in an endless decode without a job; then ended.
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Obrinth");
    TempDir endless;
    InstallTestPlugin(L"endless", endless.path());
    SetPluginFolder(endless.path());
    WriteBytes(files / L"bad.crsh", {'C', 'R', 'S', 'H'});
    EnvVar file(L"TAMSEL_HOLD_FILE", files / L"bad.crsh");
    EnvVar folder(L"TAMSEL_HOLD_PLUGINS", endless.path());
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) +
                           L"\" --gtest_also_run_disabled_tests --gtest_filter=HostBoundaryTest.DISABLED_HoldAHost";
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    std::vector<DWORD> held;
    for (int i = 0; i < 250 && held.empty(); ++i, Sleep(20)) held = HostsOf(pi.dwProcessId);
    ASSERT_EQ(held.size(), 1u);
    Sleep(500);  // inside the plug-in by now
    TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    EXPECT_TRUE(GoneWithin(held[0], 3000));
    Kill(held[0]);
}

TEST_F(HostBoundaryTest, DISABLED_HoldAHost) {
    HostClient::SetNoJobForTests(true);
    wchar_t path[MAX_PATH], folder[MAX_PATH];
    GetEnvironmentVariableW(L"TAMSEL_HOLD_FILE", path, MAX_PATH);
    GetEnvironmentVariableW(L"TAMSEL_HOLD_PLUGINS", folder, MAX_PATH);
    SetPluginFolder(folder);
    SPIManager m;
    auto f = FileFor(path);
    m.LoadFile(f.get());  // until this process is ended
}

// A plug-in that takes its host down on a file is out for that file only:
// the next one reads it, in a fresh host. One that fails after damaging its
// host's heap has its host replaced before the next request.
TEST_F(HostBoundaryTest, APluginThatBreaksItsHostIsOutForThatFileOnly) {
    WriteBytes(files / L"a.ppm", Ppm(4, 3));
    WriteBytes(files / L"bad.crsh", {'C', 'R', 'S', 'H', 0, 0, 0, 0});
    InstallTestPlugin(L"pnm", plugins.path());
    // The one that crashes on everything goes first in the folder's order: renamed until it does.
    std::wstring crasher;
    for (int n = 0; n < 40 && crasher.empty(); ++n) {
        const std::wstring name = plugins / (L"crash" + std::to_wstring(n) + kOwn);
        CopyFileW((tamsel::ProgramFolder() + L"\\testplugins\\crash_any" + kOwn).c_str(), name.c_str(), FALSE);
        SPIManager probe(SPIManager::Isolation::InProcess);
        if (probe.ModuleOrder().front() == name) crasher = name;
        else DeleteFileW(name.c_str());
    }
    ASSERT_FALSE(crasher.empty());
    {
        SPIManager m;
        auto f = FileFor(files / L"a.ppm");
        const DWORD first = m.HostOf(crasher);
        ASSERT_EQ(m.LoadFile(f.get()), S_OK);
        ASSERT_TRUE(f->HasPicture());
        EXPECT_EQ(f->PluginKey(), Module(L"pnm"));
        EXPECT_TRUE(GoneWithin(first, 3000));
    }
    DeleteFileW(crasher.c_str());

    InstallTestPlugin(L"spoils_heap", plugins.path());
    SPIManager m;
    const DWORD first = m.HostOf(Module(L"spoils_heap"));
    auto bad = FileFor(files / L"bad.crsh");
    EXPECT_EQ(m.LoadFile(bad.get()), S_OK);
    EXPECT_FALSE(bad->HasPicture());
    // Ended by its control before anything else ran in it, not by the damage.
    HANDLE ended = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, first);
    ASSERT_TRUE(ended);
    EXPECT_EQ(WaitForSingleObject(ended, 3000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(ended, &code);
    CloseHandle(ended);
    EXPECT_EQ(code, 1u);
    auto good = FileFor(files / L"a.ppm");
    ASSERT_EQ(m.LoadFile(good.get()), S_OK);
    EXPECT_TRUE(good->HasPicture());
    EXPECT_NE(m.HostOf(Module(L"pnm")), first);
}

// What the plug-in itself was handed and did, as it recorded it: a cancel
// reaches it at its next report (a host that ignored the cancel would decode
// to the end), a name of 260 bytes or more never reaches it, and picture
// text of any length comes back whole. The own kind runs here, for real,
// when its host program is not there.
TEST_F(HostBoundaryTest, WhatThePluginSawAndTheOwnKindWithoutItsHost) {
    InstallTestPlugin(L"slow_pnm", plugins.path());
    const std::wstring log = files / L"plugin.txt";
    EnvVar logged(L"TAMSEL_PLUGIN_LOG", log);
    WriteBytes(files / L"tall.ppm", Ppm(2, 120));
    const std::wstring longName = files / (std::wstring(250, L'n') + L".ppm");
    WriteBytes(longName, Ppm(2, 2));
    const std::string text40k(40000, 'a'), text300k(300000, 'b');
    WriteBytes(files / L"t40k.ppm", Ppm(2, 2, text40k));
    WriteBytes(files / L"t300k.ppm", Ppm(2, 2, text300k));

    const std::wstring program = HostProgramFor(kAbi), away = program + L".away";
    for (bool hostThere : {true, false}) {
        SCOPED_TRACE(hostThere ? "in a host" : "without the host program");
        struct Restore {
            std::wstring from, to;
            ~Restore() {
                if (!from.empty()) MoveFileW(from.c_str(), to.c_str());
            }
        } restore;
        if (!hostThere) {
            ASSERT_TRUE(MoveFileW(program.c_str(), away.c_str()));
            restore.from = away, restore.to = program;
        }
        SPIManager m;
        DeleteFileW(log.c_str());
        m.OnDecoding = [](int32_t, int32_t, bool& cancel) { cancel = true; };
        auto tall = FileFor(files / L"tall.ppm");
        EXPECT_EQ(m.LoadFile(tall.get()), S_FALSE);
        m.OnDecoding = nullptr;
        EXPECT_EQ(m.HostOf(Module(L"slow_pnm")) != 0, hostThere);
        const std::string said = ReadText(log);
        EXPECT_EQ(Count(said, "aborted"), 1u) << said;
        EXPECT_EQ(Count(said, "decoded"), 0u) << said;

        DeleteFileW(log.c_str());
        auto named = FileFor(longName);
        EXPECT_EQ(m.LoadFile(named.get()), S_FALSE);
        EXPECT_EQ(ReadText(log), "");

        for (const auto& [file, text] : {std::pair{L"t40k.ppm", &text40k}, std::pair{L"t300k.ppm", &text300k}}) {
            auto f = FileFor(files / file);
            ASSERT_EQ(m.LoadFile(f.get()), S_OK);
            ASSERT_TRUE(f->HasPicture());
            EXPECT_EQ(f->PictureText(), FromAnsi(*text));
        }
        EXPECT_NE(ReadText(log).find("supported " + ToAnsi(files / L"t40k.ppm")), std::string::npos);
    }
}
