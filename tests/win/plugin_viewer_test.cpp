// The viewer with Susie plug-ins installed: the control found by ProgID or
// beside the program, plug-in formats in the open dialog and in loading, and
// "Load ..." progress while a plug-in decodes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"
#include "engine/loading.h"
#include "engine/picture_services.h"
#include "forms/dialog_controls.h"
#include "test_support.h"
#include "windows/frmNormal.h"

using namespace tamsel;
using namespace testing_support;

namespace {


std::vector<std::wstring> gCaptions;
WNDPROC gLabelProc = nullptr;
LRESULT CALLBACK RecordingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETTEXT) gCaptions.push_back(reinterpret_cast<const wchar_t*>(lp));
    return CallWindowProcW(gLabelProc, h, msg, wp, lp);
}

class PluginViewerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(RunProcess(L"regsvr32.exe /s \"" + ProgramFolder() + L"\\Quillmount.dll\""), 0u);
    }
    void SetUp() override {
        ResetProgramState();
        InstallTestPlugin(L"pnm", plugins.path());
        SetPluginFolder(plugins.path());
        std::string s = "P6 2 200 255\n";
        s.append(1200, '\x40');
        WriteBytes(files / L"tall.ppm", std::vector<uint8_t>(s.begin(), s.end()));
    }
    void TearDown() override {
        ResetProgramState();
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Obrinth");
    }
    TempDir plugins, files;
};

}  // namespace

TEST_F(PluginViewerTest, PluginFormatsAreOfferedAndOpen) {
    frmBackground.Load();
    ASSERT_TRUE(frmBackground.SusiePlugin.HasControl());
    frmBackground.SettleOpenDialog();
    // The plug-ins' patterns first, then the platform's; the imaging component's formats after them.
    const std::wstring& filter = frmBackground.CommonDialog.Filter;
    EXPECT_EQ(filter.rfind(L"全てのファイル (*.*)|*.*|全ての画像ファイル|*.bmp;*.ppm;*.pgm;*.jpg;*.jpeg;*.gif;*.", 0), 0u);
    EXPECT_NE(filter.find(L";*.tif"), std::wstring::npos);
    EXPECT_NE(filter.find(L"|ビットマップファイル (*.BMP)|*.bmp|JPEGファイル (*.JPG, *.JPEG)|*.jpg;*.jpeg|書庫ファイル|"),
              std::wstring::npos);
    EXPECT_TRUE(filter.ends_with(L"*.zip")) << filter;
    MsgBoxRecorder boxes;
    ASSERT_TRUE(frmBackground.PictureLoadRun(files / L"tall.ppm", true));
    EXPECT_EQ(CurrentFileName, files / L"tall.ppm");
    EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), 2);
    EXPECT_EQ(frmBackground.picLoad.ScaleHeight(), 200);
    EXPECT_EQ(GetPixel(frmBackground.picLoad.hDC(), 1, 199), RGB(0x40, 0x40, 0x40));
    EXPECT_TRUE(boxes.calls.empty());
    // What no plug-in reads still fails with the message.
    WriteBytes(files / L"notes.txt", {'t', 'x', 't'});
    EXPECT_FALSE(frmBackground.PictureLoadRun(files / L"notes.txt", true));
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].prompt, L"画像ファイルを開くことが出来ませんでした！");
}

TEST_F(PluginViewerTest, TheOpenDialogShowsLoadPercentagesWhileAPluginDecodes) {
    frmBackground.Load();
    frmNormal.Show();
    MsgBoxRecorder boxes;
    gLabelProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(frmNormal.lblProgress.hWnd(), GWLP_WNDPROC,
                                                             reinterpret_cast<LONG_PTR>(&RecordingProc)));
    gCaptions.clear();
    {
        FileDialogAnswer answer(files / L"tall.ppm");
        OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
    }
    SetWindowLongPtrW(frmNormal.lblProgress.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gLabelProc));
    ASSERT_GE(gCaptions.size(), 50u);  // a report every other row of 200
    EXPECT_EQ(gCaptions.front(), L"Load ...");
    EXPECT_EQ(gCaptions[1], L"Load ...0%");
    EXPECT_NE(std::find(gCaptions.begin(), gCaptions.end(), L"Load ...50%"), gCaptions.end());
    EXPECT_EQ(gCaptions.back(), L"Load ...100%");
    EXPECT_EQ(frmNormal.Caption(), L"tall.ppm - Tamsel2");
    EXPECT_EQ(frmNormal.picView.ScaleHeight(), 200);
    EXPECT_TRUE(boxes.calls.empty());
}

TEST_F(PluginViewerTest, ClosingTheWindowDuringADecodeEndsCleanly) {
    frmBackground.Load();
    frmNormal.Show();
    // The close waits in the queue during the load, which gives way to it;
    // then the program's loop closes the window, with no word about the file.
    PostMessageW(frmNormal.hWnd(), WM_CLOSE, 0, 0);
    {
        MsgBoxRecorder boxes;
        FileDialogAnswer answer(files / L"tall.ppm");
        OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
        EXPECT_TRUE(frmNormal.IsLoaded());  // nothing ran inside the load
        EXPECT_NE(CurrentFileName, files / L"tall.ppm");
        EXPECT_TRUE(boxes.calls.empty());
    }
    forms::DoEvents();
    EXPECT_FALSE(frmNormal.IsLoaded());
    EXPECT_FALSE(frmBackground.IsLoaded());
    EXPECT_EQ(forms::LoadedFormCount(), 0);
    EXPECT_TRUE(StoredValue(L"Run", L"LstFm").has_value());  // the settings were written on the way out
    ClearStoredSettings();
}

TEST_F(PluginViewerTest, WithoutRegistrationTheControlComesFromTheLibraryBesideTheProgram) {
    ASSERT_EQ(RunProcess(L"regsvr32.exe /s /u \"" + ProgramFolder() + L"\\Quillmount.dll\""), 0u);
    CLSID clsid;
    EXPECT_NE(CLSIDFromProgID(L"Quillmount.SusiePlugin", &clsid), S_OK);
    frmBackground.Load();
    EXPECT_TRUE(frmBackground.SusiePlugin.HasControl());
    EXPECT_TRUE(frmBackground.PictureLoadRun(files / L"tall.ppm", false));
    frmBackground.Unload();

    // Closed during a decode: the library the control came from stays while
    // its code is still on the way back.
    frmBackground.Load();
    frmNormal.Show();
    PostMessageW(frmNormal.hWnd(), WM_CLOSE, 0, 0);
    {
        FileDialogAnswer answer(files / L"tall.ppm");
        OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
    }
    forms::DoEvents();
    EXPECT_FALSE(frmBackground.IsLoaded());
    EXPECT_FALSE(frmBackground.SusiePlugin.HasControl());
    ClearStoredSettings();
    ASSERT_EQ(RunProcess(L"regsvr32.exe /s \"" + ProgramFolder() + L"\\Quillmount.dll\""), 0u);
}

// A plug-in that crashes, and one that hangs until the user presses Escape:
// the viewer tells the user as for any file it cannot read, keeps the
// picture it showed, and the next file opens through a fresh host.
TEST_F(PluginViewerTest, APluginThatCrashesOrHangsCostsOnlyItsLoad) {
    WriteBytes(files / L"bad.crsh", {'C', 'R', 'S', 'H'});
    frmBackground.Load();
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.jpg"), true));
    frmNormal.Show();
    const COLORREF shown = GetPixel(frmBackground.picLoad.hDC(), 2, 2);
    for (const wchar_t* plugin : {L"crash_decode", L"crash_supported", L"crash_after_progress", L"stack_overflow",
                                  L"exits", L"endless"}) {
        const bool hangs = std::wstring(plugin) == L"endless";
        SCOPED_TRACE(testing::Message() << "plug-in " << plugin);
        TempDir folder;
        InstallTestPlugin(plugin, folder.path());
        InstallTestPlugin(L"pnm", folder.path());
        SetPluginFolder(folder.path());
        frmBackground.SusiePlugin.Start();
        MsgBoxRecorder boxes;
        if (hangs) PostMessageW(frmNormal.hWnd(), WM_KEYDOWN, VK_ESCAPE, 0);  // the user gives up
        {
            FileDialogAnswer answer(files / L"bad.crsh");
            OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
        }
        ASSERT_EQ(boxes.calls.size(), 1u);
        EXPECT_EQ(boxes.calls[0].prompt, L"画像ファイルを開くことが出来ませんでした！");
        EXPECT_EQ(CurrentFileName, DataPath(L"sample.jpg"));
        EXPECT_EQ(GetPixel(frmBackground.picLoad.hDC(), 2, 2), shown);
        EXPECT_EQ(frmNormal.Caption(), L"sample.jpg - Tamsel2");

        FileDialogAnswer answer(files / L"tall.ppm");
        OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
        EXPECT_EQ(CurrentFileName, files / L"tall.ppm");
        EXPECT_EQ(frmNormal.picView.ScaleHeight(), 200);
        ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.jpg"), true));
    }
}

// The viewer opens through a plug-in of the other bitness (a 32-bit *.spi
// in the 64-bit viewer) as through its own: percentages, picture, caption.
TEST_F(PluginViewerTest, APluginOfTheOtherBitnessOpensPicturesWithProgress) {
    TempDir other;
    if (!InstallOtherKindPlugin(L"pnm", other.path()))
        GTEST_SKIP() << "no plug-ins of the other bitness beside this build (the machine runs no 32-bit programs)";
    SetPluginFolder(other.path());
    frmBackground.Load();
    frmNormal.Show();
    gLabelProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(frmNormal.lblProgress.hWnd(), GWLP_WNDPROC,
                                                             reinterpret_cast<LONG_PTR>(&RecordingProc)));
    gCaptions.clear();
    {
        FileDialogAnswer answer(files / L"tall.ppm");
        OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
        EXPECT_NE(answer.filter.find(L"*.ppm;*.pgm"), std::wstring::npos) << answer.filter;
    }
    SetWindowLongPtrW(frmNormal.lblProgress.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gLabelProc));
    ASSERT_GE(gCaptions.size(), 50u);
    EXPECT_EQ(gCaptions[1], L"Load ...0%");
    EXPECT_EQ(gCaptions.back(), L"Load ...100%");
    EXPECT_EQ(frmNormal.Caption(), L"tall.ppm - Tamsel2");
    EXPECT_EQ(GetPixel(frmBackground.picLoad.hDC(), 1, 199), RGB(0x40, 0x40, 0x40));
}

// BMP, JPEG and GIF are the platform decoder's even when a plug-in claims
// every file: the plug-in is not asked, and no percentage is shown.
TEST_F(PluginViewerTest, ThePlatformsFormatsNeverReachAPluginThatClaimsEverything) {
    InstallTestPlugin(L"claims_all", plugins.path());
    frmBackground.Load();
    frmNormal.Show();
    gLabelProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(frmNormal.lblProgress.hWnd(), GWLP_WNDPROC,
                                                             reinterpret_cast<LONG_PTR>(&RecordingProc)));
    for (const wchar_t* name : {L"sample.bmp", L"sample.jpg", L"sample.gif"}) {
        SCOPED_TRACE(name[7] == L'b' ? "bmp" : name[7] == L'j' ? "jpg" : "gif");
        gCaptions.clear();
        {
            FileDialogAnswer answer(DataPath(name));
            OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
        }
        EXPECT_EQ(gCaptions, std::vector<std::wstring>{L"Load ..."});
        EXPECT_EQ(CurrentFileName, DataPath(name));
        forms::Picture platform;
        ASSERT_EQ(LoadPicture(DataPath(name), platform), S_OK);
        EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), platform.WidthPixels());
        EXPECT_EQ(PixelOf(frmBackground.picLoad.GetPicture(), 1, 1), PixelOf(platform, 1, 1));
    }
    // What the platform does not read goes to the plug-in, with percentages.
    WriteBytes(files / L"any.xyz", {'a', 'n', 'y'});
    gCaptions.clear();
    {
        FileDialogAnswer answer(files / L"any.xyz");
        OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
    }
    EXPECT_EQ(gCaptions, (std::vector<std::wstring>{L"Load ...", L"Load ...0%", L"Load ...50%", L"Load ...100%"}));
    EXPECT_EQ(PixelOf(frmBackground.picLoad.GetPicture(), 1, 1), 0xFF00FFu);
    // So does a format the platform's imaging component would read: it comes last.
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"tiff\\rgb-lzw.tif"), false));
    EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), 2);
    EXPECT_EQ(PixelOf(frmBackground.picLoad.GetPicture(), 1, 1), 0xFF00FFu);
    SetWindowLongPtrW(frmNormal.lblProgress.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gLabelProc));
}

namespace {
// Ends this process's plug-in hosts after `ms`: a load that never gives up
// fails its test instead of hanging it.
struct HostWatchdog {
    explicit HostWatchdog(DWORD ms) : ms_(ms) { thread_ = CreateThread(nullptr, 0, &Run, this, 0, nullptr); }
    ~HostWatchdog() {
        SetEvent(stop_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(stop_);
    }
    static DWORD WINAPI Run(void* self) {
        auto* w = static_cast<HostWatchdog*>(self);
        if (WaitForSingleObject(w->stop_, w->ms_) == WAIT_OBJECT_0) return 0;
        RunProcess(L"taskkill.exe /f /im QuillmountHost64.exe");
        RunProcess(L"taskkill.exe /f /im QuillmountHost32.exe");
        return 0;
    }
    DWORD ms_;
    HANDLE stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread_;
};
}  // namespace

// Commands that arrive while a slow plug-in loads: none runs inside the load.
// A new picture (a dropped file) or closing makes the load give way, without
// a word about the file left; a new view, reading the picture and the rest
// wait and then act on the loaded picture, with their modifier keys. Fails
// where the load's progress handler ran every command inside it.
TEST_F(PluginViewerTest, CommandsDuringALoadWaitForItOrMakeItGiveWay) {
    TempDir slow;
    InstallTestPlugin(L"slow_pnm", slow.path());
    SetPluginFolder(slow.path());
    frmBackground.Load();
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.jpg"), true));
    frmNormal.Show();
    Settings.ViewDefaultSize = kFalse;  // a new picture keeps the view size
    const auto keys = [] { return frmNormal.picView.hWnd(); };  // the window is made anew after closing
    const struct {
        const char* what;
        std::function<void()> arrive;
        bool ctrl, givesWay;
        std::function<void()> after;
    } cases[] = {
        {"a dropped file",
         [&] { PostMessageW(keys(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropFileList({DataPath(L"sample.gif")})), 0); },
         false, true, [] { EXPECT_EQ(CurrentFileName, DataPath(L"sample.gif")); }},
        {"closing", [] { PostMessageW(frmNormal.hWnd(), WM_CLOSE, 0, 0); }, false, true,
         [] { EXPECT_FALSE(frmNormal.IsLoaded()); }},
        {"100 % (Ctrl+D)", [&] { PostMessageW(keys(), WM_KEYDOWN, 'D', 0); }, true, false,
         [] { EXPECT_EQ(CurrentViewSize, 100); }},
        {"copy (Ctrl+C)", [&] { PostMessageW(keys(), WM_KEYDOWN, 'C', 0); }, true, false, [] {
             forms::Picture copied;
             ASSERT_EQ(ClipboardGetData(copied), S_OK);
             // The loaded picture, at 100 %: no question asked.
             EXPECT_EQ(copied.HeightPixels(), 200);
             EXPECT_EQ(PixelOf(copied, 1, 199), 0x404040u);
         }},
        {"minimizing (Ctrl+M), which touches no picture", [&] { PostMessageW(keys(), WM_KEYDOWN, 'M', 0); }, true,
         false, [] { EXPECT_TRUE(IsIconic(frmNormal.hWnd())); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!frmNormal.IsLoaded()) {
            frmBackground.Load();
            frmNormal.Show();
        }
        EmptyTheClipboard();
        CurrentViewSize = c.ctrl && std::string(c.what).find("100") != std::string::npos ? 150 : 100;
        const int16_t view = CurrentViewSize;
        MsgBoxRecorder boxes;
        c.arrive();
        BYTE state[256] = {};
        if (c.ctrl) state[VK_CONTROL] = 0x80;
        SetKeyboardState(state);  // the keys as pressed
        const ULONGLONG start = GetTickCount64();
        {
            FileDialogAnswer answer(files / L"tall.ppm");
            OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
        }
        BYTE none[256] = {};
        SetKeyboardState(none);
        const ULONGLONG took = GetTickCount64() - start;
        // Nothing ran inside the load.
        EXPECT_TRUE(frmNormal.IsLoaded());
        EXPECT_FALSE(IsIconic(frmNormal.hWnd()));
        EXPECT_EQ(CurrentViewSize, view);
        EXPECT_FALSE(ClipboardOffersPicture());
        EXPECT_EQ(CurrentFileName == files / L"tall.ppm", !c.givesWay);
        if (!c.givesWay) {
            EXPECT_EQ(frmNormal.Caption(), L"tall.ppm - Tamsel2" + std::wstring(view == 100 ? L"" : L" (150%)"));
            EXPECT_EQ(frmBackground.picLoad.ScaleHeight(), 200);
        }
        EXPECT_TRUE(c.givesWay ? took < 2000 : took >= 3000) << took << " ms";  // 100 reports 40 ms apart
        EXPECT_TRUE(boxes.calls.empty());
        PumpUntilRendered();
        forms::DoEvents();  // the program's loop: the command runs now
        c.after();
    }
    ClearStoredSettings();
}

// Escape behind other keys reaches a hung plug-in: the load is given up (the
// user told as for any file it cannot read), the other keys run afterwards.
TEST_F(PluginViewerTest, EscapeBehindOtherKeysGivesUpAHungPlugin) {
    TempDir hung;
    InstallTestPlugin(L"endless", hung.path());
    SetPluginFolder(hung.path());
    WriteBytes(files / L"bad.crsh", {'C', 'R', 'S', 'H'});
    frmBackground.Load();
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.jpg"), true));
    frmNormal.Show();
    const HWND keys = frmNormal.picView.hWnd();
    PostMessageW(keys, WM_KEYDOWN, VK_RIGHT, 0);
    PostMessageW(keys, WM_KEYUP, VK_RIGHT, 0);
    PostMessageW(keys, WM_KEYDOWN, VK_ESCAPE, 0);
    MsgBoxRecorder boxes;
    const ULONGLONG start = GetTickCount64();
    {
        HostWatchdog watchdog(15000);
        FileDialogAnswer answer(files / L"bad.crsh");
        OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
    }
    EXPECT_LT(GetTickCount64() - start, 5000u);
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].prompt, L"画像ファイルを開くことが出来ませんでした！");
    EXPECT_EQ(CurrentFileName, DataPath(L"sample.jpg"));
    MSG m;
    EXPECT_TRUE(PeekMessageW(&m, keys, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) && m.wParam == VK_RIGHT);  // still to come
}

namespace {
int gBeeps = 0;
void CountBeep() { ++gBeeps; }
}  // namespace

// PageDown held while a slow plug-in loads: the step in flight gives way to
// the next key, which steps on from the picture the first was going to, so
// each key moves one picture and nothing beeps. Fails where the giving-way
// load was taken for an unreadable file and the next one was tried instead.
TEST_F(PluginViewerTest, KeysHeldDuringSlowStepsMoveOnePictureEach) {
    TempDir slow, folder;
    InstallTestPlugin(L"slow_pnm", slow.path());
    SetPluginFolder(slow.path());
    std::string ppm = "P6 2 20 255\n";
    ppm.append(120, '\x40');
    for (const wchar_t* name : {L"a.ppm", L"b.ppm", L"c.ppm", L"d.ppm", L"e.ppm"})
        WriteBytes(folder / name, std::vector<uint8_t>(ppm.begin(), ppm.end()));
    gBeeps = 0;
    forms::SetBeepHook(&CountBeep);
    frmBackground.Load();
    ASSERT_TRUE(frmBackground.PictureLoadRun(folder / L"a.ppm", false));
    frmNormal.Show();
    PostMessageW(frmNormal.picView.hWnd(), WM_KEYDOWN, VK_NEXT, 0);
    PostMessageW(frmNormal.picView.hWnd(), WM_KEYDOWN, VK_NEXT, 0);
    frmNormal.StepPicture(Step::Next);  // a to b, while two more keys wait
    forms::DoEvents();
    EXPECT_EQ(CurrentFileName, folder / L"d.ppm");
    EXPECT_EQ(frmNormal.Caption(), L"d.ppm - Tamsel2");
    EXPECT_EQ(gBeeps, 0);
    forms::SetBeepHook(nullptr);
}

// A host that lies about what it read costs its one load, with the usual
// message; the next load, in a host telling the truth, opens the picture.
TEST_F(PluginViewerTest, AHostThatLiesCostsItsLoadOnly) {
    frmBackground.Load();
    frmNormal.Show();
    {
        FileDialogAnswer answer(files / L"tall.ppm");  // described once, by the real host, and kept
        OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
        ASSERT_EQ(CurrentFileName, files / L"tall.ppm");
    }
    ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.jpg"), true));
#ifdef _WIN64
    const std::wstring program = ProgramFolder() + L"\\QuillmountHost64.exe";
#else
    const std::wstring program = ProgramFolder() + L"\\QuillmountHost32.exe";
#endif
    const std::wstring real = program + L".real";
    struct Swap {
        std::wstring program, real;
        ~Swap() {
            DeleteFileW(program.c_str());
            MoveFileW(real.c_str(), program.c_str());
            SetEnvironmentVariableW(L"TAMSEL_LIE", nullptr);
        }
    } swap{program, real};
    ASSERT_TRUE(MoveFileW(program.c_str(), real.c_str()));
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\lying_host.exe").c_str(), program.c_str(), FALSE));
    SetEnvironmentVariableW(L"TAMSEL_LIE", L"count");  // a listing of 2^31 entries
    frmBackground.SusiePlugin.Start();
    {
        MsgBoxRecorder boxes;
        FileDialogAnswer answer(files / L"tall.ppm");
        OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
        ASSERT_EQ(boxes.calls.size(), 1u);
        EXPECT_EQ(boxes.calls[0].prompt, L"画像ファイルを開くことが出来ませんでした！");
        EXPECT_EQ(CurrentFileName, DataPath(L"sample.jpg"));
    }
    DeleteFileW(program.c_str());
    ASSERT_TRUE(MoveFileW(real.c_str(), program.c_str()));
    FileDialogAnswer answer(files / L"tall.ppm");
    OpenPictureLoad(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
    EXPECT_EQ(CurrentFileName, files / L"tall.ppm");
    EXPECT_EQ(frmNormal.picView.ScaleHeight(), 200);
}

// Pictures only a plug-in reads are read ahead in its host while the viewer
// is idle: the step onto one asks no plug-in again. A read-ahead the user
// does not step onto stops at its plug-in's next report, before the user's
// load begins: another file opened, a new view, or the option off (none begun).
TEST_F(PluginViewerTest, PluginPicturesAreReadAheadAndGiveWayAtTheNextReport) {
    TempDir slow, folder;
    InstallTestPlugin(L"slow_pnm", slow.path());
    const std::wstring log = folder / L"plugin.log";
    EnvVar logged(L"TAMSEL_PLUGIN_LOG", log);
    auto ppm = [](int h, char grey) {
        std::string s = "P6 2 " + std::to_string(h) + " 255\n";
        s.append(size_t(6) * h, grey);
        return std::vector<uint8_t>(s.begin(), s.end());
    };
    auto said = [&] {
        const std::vector<uint8_t> b = ReadBytes(log);
        return std::string(b.begin(), b.end());
    };
    // Said in the log: whole decodes, and read-aheads stopped on the way.
    auto count = [&](const char* what) {
        const std::string text = said();
        size_t n = 0;
        for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; ++at) ++n;
        return n;
    };
    auto until = [](const std::function<bool()>& done) {
        for (int i = 0; i < 500 && !done(); ++i) {
            Sleep(10);
            forms::DoEvents();
        }
        return done();
    };
    // A plug-in that hangs in its decode, and reports nothing.
    TempDir hung;
    InstallTestPlugin(L"slow_pnm", hung.path());
    InstallTestPlugin(L"endless", hung.path());
    enum class Then { Step, OpenOther, NewView, OptionOff, Hung, Imaging };
    for (const Then then : {Then::Step, Then::OpenOther, Then::NewView, Then::OptionOff, Then::Hung, Then::Imaging}) {
        SCOPED_TRACE(static_cast<int>(then));
        ResetProgramState();
        SetPluginFolder(then == Then::Hung ? hung.path() : slow.path());
        DeleteFileW(log.c_str());
        Settings.ReadAhead = then == Then::OptionOff ? kFalse : kTrue;
        // b is quick (10 reports); c would take eight seconds.
        WriteBytes(folder / L"a.ppm", ppm(4, '\x20'));
        WriteBytes(folder / L"b.ppm", ppm(then == Then::Step ? 20 : 400, '\x60'));
        // Hung: b is what the hanging plug-in claims. Imaging: b is what no plug-in reads.
        if (then == Then::Hung) WriteBytes(folder / L"b.ppm", {'C', 'R', 'S', 'H', 0, 0, 0, 0});
        const std::wstring b = folder / (then == Then::Imaging ? L"b.tif" : L"b.ppm");
        if (then == Then::Imaging) {
            DeleteFileW((folder / L"b.ppm").c_str());
            WriteBytes(b, ReadBytes(DataPath(L"tiff\\rgb-lzw.tif")));
        }
        frmBackground.Load();
        frmNormal.Show();
        const uint32_t begun = frmBackground.PluginAheadsStarted();
        ASSERT_TRUE(DropPictureLoad(folder / L"a.ppm", frmNormal.picView, nullptr, frmNormal, true));
        if (then == Then::OptionOff) {
            EXPECT_EQ(frmBackground.PluginAheadsStarted(), begun);
            EXPECT_TRUE(frmBackground.PluginAhead().empty());
            frmNormal.Unload();
            continue;
        }
        EXPECT_EQ(frmBackground.PluginAhead(), b);
        switch (then) {
        case Then::Step:
            ASSERT_TRUE(until([&] { return count("decoded") == 2; }));  // a, then b ahead
            ASSERT_TRUE(StepPictureLoad(Step::Next, frmNormal.picView, nullptr, frmNormal, true));
            EXPECT_EQ(CurrentFileName, folder / L"b.ppm");
            EXPECT_EQ(frmBackground.picLoad.ScaleHeight(), 20);
            EXPECT_EQ(PixelOf(frmBackground.picLoad.GetPicture(), 1, 19), 0x606060u);
            EXPECT_EQ(count("decoded"), 2u);  // the step asked no plug-in
            break;
        case Then::OpenOther:
            Sleep(200);  // b well under way
            ASSERT_TRUE(DropPictureLoad(folder / L"a.ppm", frmNormal.picView, nullptr, frmNormal, true));
            {
                // b stopped part way, and only then was a decoded again.
                const std::string text = said();
                const size_t aborted = text.find("aborted "), again = text.find("decoded", text.find("decoded") + 1);
                ASSERT_NE(aborted, std::string::npos) << text;
                EXPECT_LT(std::stoi(text.substr(aborted + 8)), 400) << text;
                EXPECT_LT(aborted, again) << text;
            }
            break;
        case Then::NewView:
            Sleep(200);
            frmBackground.Arrive(Arriving::NewView);
            EXPECT_TRUE(frmBackground.PluginAhead().empty());
            EXPECT_EQ(count("aborted"), 1u);
            break;
        case Then::Hung: {
            // The other file's load begins once the host is given up, a moment after the stop.
            Sleep(300);
            const ULONGLONG asked = GetTickCount64();
            ASSERT_TRUE(DropPictureLoad(folder / L"a.ppm", frmNormal.picView, nullptr, frmNormal, true));
            EXPECT_LT(GetTickCount64() - asked, 5000u);  // not the hung plug-in's forever
            EXPECT_EQ(count("decoded"), 2u);
            break;
        }
        case Then::Imaging: {
            // No plug-in read it: the imaging component reads it ahead, as the load would next.
            ASSERT_TRUE(until([&] {
                return frmBackground.Ahead().Path() == b && frmBackground.Ahead().Job()->Ended();
            }));
            const uint32_t taken = ReadAhead::Taken();
            ASSERT_TRUE(StepPictureLoad(Step::Next, frmNormal.picView, nullptr, frmNormal, true));
            EXPECT_EQ(ReadAhead::Taken(), taken + 1);
            int w = 0, h = 0, coldW = 0, coldH = 0;
            const std::vector<uint8_t> ahead = PackedPixels(frmBackground.picLoad.GetPicture(), w, h);
            ASSERT_TRUE(frmBackground.PictureLoadRun(b, false));
            EXPECT_EQ(PackedPixels(frmBackground.picLoad.GetPicture(), coldW, coldH), ahead);
            EXPECT_GT(w, 0);
            break;
        }
        case Then::OptionOff: break;
        }
        frmNormal.Unload();
        frmBackground.Unload();
    }
}
