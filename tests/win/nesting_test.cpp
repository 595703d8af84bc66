// Commands that arrive while a high-quality rendering is in flight, each as
// the one place that decides says: a new picture or a new view cancels the
// rendering and runs; what reads the shown picture (save, copy, switching
// windows) waits for the rendering and acts on its result, or on the fast
// one after Escape; closing cancels and closes; what touches no picture runs
// and the rendering goes on. The rendering runs off the UI thread, so a
// command arrives from the program's own event loop, never inside other work.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/mdlTamsel.h"
#include "engine/bmp_file.h"
#include "engine/frmBackground.h"
#include "engine/loading.h"
#include "engine/picture_services.h"
#include "forms/screen.h"
#include "test_support.h"
#include "windows/frmNoTitleFrame.h"
#include "windows/frmNormal.h"

using namespace tamsel;
using namespace testing_support;

namespace {
// A w x h picture file whose pixel (x, y) is a pattern of `seed`.
void WritePicture(const std::wstring& path, int w, int h, int seed) {
    DibImage img;
    img.width = w;
    img.height = h;
    const size_t stride = DibStride(w, 24);
    img.rows.assign(stride * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &img.rows[(h - 1 - y) * stride + x * 3];  // bottom-up
            p[0] = static_cast<uint8_t>(x * seed), p[1] = static_cast<uint8_t>(y + seed),
            p[2] = static_cast<uint8_t>((x ^ y) * 3);
        }
    WriteBytes(path, EncodeBmpFile(img));
}

// Runs a command once from the event loop while a rendering is in flight,
// at its first report past 20 %.
std::function<void()> gArriving;
std::vector<std::wstring> gCaptions;
HWND gArriveWindow = nullptr;
WNDPROC gLabelProc = nullptr;
LRESULT CALLBACK LabelProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETTEXT) {
        const std::wstring caption = reinterpret_cast<const wchar_t*>(lp);
        gCaptions.push_back(caption);
        if (gArriving && caption.rfind(L"Resize ... ", 0) == 0 && _wtoi(caption.c_str() + 11) > 20)
            PostMessageW(gArriveWindow, WM_APP, 0, 0);
    }
    return CallWindowProcW(gLabelProc, h, msg, wp, lp);
}
LRESULT CALLBACK ArriveProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP && gArriving) {
        auto command = std::move(gArriving);
        gArriving = nullptr;
        command();
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

// The percentages of the captions from `from` on, in order.
std::vector<int> Percents(size_t from) {
    std::vector<int> out;
    for (size_t i = from; i < gCaptions.size(); ++i)
        if (gCaptions[i].rfind(L"Resize ... ", 0) == 0 && gCaptions[i].size() > 11) out.push_back(_wtoi(gCaptions[i].c_str() + 11));
    return out;
}

class CommandsDuringARenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        WNDCLASSW wc{};
        wc.lpfnWndProc = ArriveProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ArrivingCommandWindow";
        RegisterClassW(&wc);
        gArriveWindow = CreateWindowW(L"ArrivingCommandWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        WritePicture(dir / L"a.bmp", 1600, 1200, 1);
        WritePicture(dir / L"b.bmp", 900, 700, 5);
        WritePicture(dir / L"c.bmp", 600, 400, 9);
        Settings.ViewSizes[0] = {25, kTrue};
        Settings.ViewSizes[1] = {50, kTrue};
        Settings.ViewSizes[2] = {150, kTrue};
        frmBackground.Load();
        ASSERT_TRUE(frmBackground.PictureLoadRun(dir / L"a.bmp", false));
        CurrentFileName = dir / L"a.bmp";
        frmNormal.Show();
        RenderJob::SetPaceForTests(4);  // 80 blocks of a 1280-pixel row: a third of a second
        gLabelProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(frmNormal.lblProgress.hWnd(), GWLP_WNDPROC,
                                                                 reinterpret_cast<LONG_PTR>(&LabelProc)));
        gCaptions.clear();
    }
    void TearDown() override {
        gArriving = nullptr;
        RenderJob::SetPaceForTests(0);
        if (frmNormal.lblProgress.hWnd())
            SetWindowLongPtrW(frmNormal.lblProgress.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gLabelProc));
        DestroyWindow(gArriveWindow);
        ResetProgramState();
        EmptyTheClipboard();
    }
    // `first` starts a rendering (150 % of a.bmp unless it says otherwise);
    // `arriving` comes while it is in flight; then the event loop runs until
    // no rendering is left. What the arriving command found is in `arrivedAt`.
    void During(const std::function<void()>& first, std::function<void()> arriving) {
        completedBefore = frmBackground.RendersCompleted();
        gArriving = [this, arriving] {
            arrivedAt = gCaptions.size();
            arriving();
        };
        first();
        PumpUntilRendered();
        ASSERT_FALSE(gArriving) << "the command never arrived during the rendering";
    }
    bool ShowsHighQuality(const forms::Picture& shown, int percent) {
        return IsHighQualityOf(shown, frmBackground.picLoad.GetPicture(), percent);
    }
    uint32_t Completed() const { return frmBackground.RendersCompleted() - completedBefore; }
    void At150() { frmNormal.menu_SizeView_Click(2); }
    uint32_t completedBefore = 0;
    size_t arrivedAt = 0;
    TempDir dir;
};

}  // namespace

// A new picture or a new view: the rendering in flight stops (its late
// reports are not shown) and the new one runs to its own end; only that one
// completes. Fails where the interrupted run went on to its own last column.
TEST_F(CommandsDuringARenderTest, ANewPictureOrViewCancelsTheRenderingAndRuns) {
    const struct {
        const char* what;
        std::function<void()> command;
        std::wstring file;
        int percent, lastPercent;
    } cases[] = {
        {"another preset", [] { frmNormal.menu_SizeView_Click(0); }, L"a.bmp", 25, 96},
        {"a dropped file",
         [this] {
             SendMessageW(frmNormal.picView.hWnd(), WM_DROPFILES,
                          reinterpret_cast<WPARAM>(DropFileList({dir / L"b.bmp"})), 0);
         },
         L"b.bmp", 150, 99},
        {"a step", [] { PressKey(frmNormal.picView.hWnd(), VK_NEXT); }, L"b.bmp", 150, 99},
        {"the open dialog", [this] { FileDialogAnswer answer(dir / L"c.bmp"); frmNormal.menu_Open_Click(); },
         L"c.bmp", 150, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ResetProgramState();
        SetUp();
        During([this] { At150(); }, c.command);
        EXPECT_EQ(CurrentFileName, dir / c.file);
        EXPECT_EQ(CurrentViewSize, c.percent);
        EXPECT_EQ(frmNormal.Caption(), c.file + L" - Tamsel2 (" + std::to_wstring(c.percent) + L"%)");
        EXPECT_TRUE(ShowsHighQuality(frmNormal.picView.GetPicture(), c.percent));
        EXPECT_TRUE(ShowsHighQuality(frmBackground.picBlt.Image(), c.percent));
        EXPECT_FALSE(frmNormal.lblProgress.Visible());
        EXPECT_EQ(Completed(), 1u);
        // From the arriving command on: only the new rendering's reports, from 0 % up to its own end.
        const std::vector<int> after = Percents(arrivedAt);
        ASSERT_FALSE(after.empty());
        EXPECT_EQ(after.front(), 0);
        EXPECT_TRUE(std::is_sorted(after.begin(), after.end()));
        EXPECT_EQ(after.back(), c.lastPercent);
    }
}

// Pasting and 100 % (Ctrl+D): the new picture or size at once, nothing rendered.
TEST_F(CommandsDuringARenderTest, APasteOrTheNaturalSizeCancelsTheRenderingAndShowsAtOnce) {
    PutBitmapOnClipboard(700, 500, 0x336699);
    During([this] { At150(); }, [] { frmNormal.menu_Paste_Click(); });
    EXPECT_EQ(CurrentFileName, L"ClipboardPicture");
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), 1050);
    EXPECT_EQ(PixelOf(frmNormal.picView.GetPicture(), 1000, 700), 0x336699u);
    EXPECT_EQ(Completed(), 1u);  // the paste's own rendering, not the interrupted one

    frmNormal.menu_DefaultSize_Click();
    During([this] { At150(); }, [] { PressKey(frmNormal.picView.hWnd(), 'D', {VK_CONTROL}); });
    EXPECT_EQ(CurrentViewSize, 100);
    EXPECT_EQ(frmNormal.picView.GetPicture().get(), frmBackground.picLoad.GetPicture().get());
    EXPECT_EQ(Completed(), 0u);
    EXPECT_FALSE(frmNormal.lblProgress.Visible());
}

// Copy, save and switching windows wait for the rendering and act on its
// result; with Escape before them (wherever it waits in the queue) they act
// on the fast result shown then.
// Fails where the render cleared picBlt first: a white copy, a white file.
TEST_F(CommandsDuringARenderTest, WhatReadsTheShownPictureWaitsForTheRenderingOrActsOnTheFastResultAfterEscape) {
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Escape first" : "waiting");
        ResetProgramState();
        SetUp();
        MsgBoxRecorder yes(IDYES);  // the size shown
        FileDialogAnswer answer(dir / L"shown.bmp");
        forms::Picture fast;
        During([this] { At150(); }, [&] {
            fast = frmBackground.picBlt.Image();
            if (escape) {  // behind another key
                PostMessageW(frmNormal.picView.hWnd(), WM_KEYDOWN, VK_RIGHT, 0);
                PostMessageW(frmNormal.picView.hWnd(), WM_KEYDOWN, VK_ESCAPE, 0);
            }
            frmNormal.menu_Copy_Click();
            frmNormal.menu_SaveAs_Click();
        });
        EXPECT_EQ(Completed(), escape ? 0u : 1u);
        forms::Picture copied;
        ASSERT_EQ(ClipboardGetData(copied), S_OK);
        forms::Picture saved;
        ASSERT_EQ(LoadPicture(dir / L"shown.bmp", saved), S_OK);
        for (const forms::Picture* p : {&copied, &saved}) {
            EXPECT_EQ(p->WidthPixels(), 1280);
            EXPECT_EQ(ShowsHighQuality(*p, 150), !escape);
            if (escape) EXPECT_EQ(PixelOf(*p, 700, 500), PixelOf(fast, 700, 500));
        }
    }
}

TEST_F(CommandsDuringARenderTest, SwitchingWindowsShowsTheRenderingsResultInTheOtherWindow) {
    During([this] { At150(); }, [] { PressKey(frmNormal.picView.hWnd(), 'T', {VK_CONTROL}); });
    ASSERT_TRUE(frmNoTitleFrame.IsLoaded());
    EXPECT_FALSE(frmNormal.IsLoaded());
    EXPECT_TRUE(ShowsHighQuality(frmNoTitleFrame.picView.GetPicture(), 150));
    EXPECT_EQ(Completed(), 1u);
}

// Closing cancels the rendering and closes: nothing it released is touched.
// What touches no picture runs, and the rendering goes on to its end.
TEST_F(CommandsDuringARenderTest, ClosingCancelsAndClosesAndOtherCommandsLetTheRenderingFinish) {
    During([this] { At150(); }, [] { SendMessageW(frmNormal.hWnd(), WM_CLOSE, 0, 0); });
    EXPECT_FALSE(frmNormal.IsLoaded());
    EXPECT_FALSE(frmBackground.IsLoaded());
    EXPECT_EQ(Completed(), 0u);

    ResetProgramState();
    SetUp();
    During([this] { At150(); }, [] { frmNormal.menu_FreamRefresh_Click(); });
    EXPECT_TRUE(ShowsHighQuality(frmNormal.picView.GetPicture(), 150));
    EXPECT_EQ(Completed(), 1u);
}

// Held keys: twenty steps queued while the first renders end on the last
// picture, and only the picture finally reached is rendered to its end.
TEST_F(CommandsDuringARenderTest, QueuedStepsEndOnTheLastPictureAndRenderOnlyIt) {
    for (int i = 0; i < 20; ++i) WritePicture(dir / (L"p" + std::to_wstring(10 + i) + L".bmp"), 1200, 900, i + 2);
    ASSERT_TRUE(frmBackground.PictureLoadRun(dir / L"p10.bmp", false));
    CurrentFileName = dir / L"p10.bmp";
    CurrentViewSize = 1000;
    ApplyViewSize(frmNormal.picView, &frmNormal.lblProgress, frmNormal, true);
    completedBefore = frmBackground.RendersCompleted();
    for (int i = 0; i < 20; ++i) PostMessageW(frmNormal.picView.hWnd(), WM_KEYDOWN, VK_NEXT, 0);
    PumpUntilRendered();
    EXPECT_EQ(CurrentFileName, dir / L"p29.bmp");  // the last one; the extra steps beep at the end
    EXPECT_EQ(Completed(), 1u);
    EXPECT_TRUE(ShowsHighQuality(frmNormal.picView.GetPicture(), 1000));
}

// A slow decode on the platform's side runs off the UI thread: the window
// answers a paint meanwhile (a frozen one would not), follows a drag by its
// caption (or, without one, by its picture), and a key is heard at once:
// Escape gives the load up, a step makes it give way to the step; the
// picture before stays either way.
TEST(DecodeAway, TheWindowPaintsMovesAndHearsKeysWhileThePlatformDecodes) {
    const struct {
        int key;
        bool borderless;
    } rows[] = {{VK_ESCAPE, false}, {VK_NEXT, false}, {VK_ESCAPE, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.key) + (row.borderless ? " borderless" : " framed"));
        ResetProgramState();
        frmBackground.Load();
        ASSERT_TRUE(frmBackground.PictureLoadRun(DataPath(L"sample.bmp"), false));
        const int width = frmBackground.picLoad.ScaleWidth();
        forms::Form& form = row.borderless ? static_cast<forms::Form&>(frmNoTitleFrame) : frmNormal;
        forms::PictureBox& picture = row.borderless ? frmNoTitleFrame.picView : frmNormal.picView;
        form.Show();
        // Placed by the desktop (which may nudge it) before anything moves it.
        RECT last{};
        for (int i = 0, still = 0; i < 100 && still < 10; ++i, Sleep(20)) {
            forms::DoEvents();
            RECT now{};
            GetWindowRect(form.hWnd(), &now);
            still = EqualRect(&now, &last) ? still + 1 : 0;
            last = now;
        }
        DecodeJob::SetDelayForTests(5000);
        std::atomic<bool> painted{false}, moved{false};
        std::thread user([&] {
            Sleep(300);
            const HWND view = picture.hWnd(), frame = form.hWnd();
            RedrawWindow(view, nullptr, nullptr, RDW_INVALIDATE);
            for (int i = 0; i < 200 && !painted; ++i) {
                Sleep(10);
                painted = !GetUpdateRect(view, nullptr, FALSE);
            }
            // Pressed where the window moves from, moved by (40, 30), released.
            // The pointer waits where the drag ends: the moves the platform
            // reports of its own (a window moved under it) say the same.
            RECT before{};
            GetWindowRect(frame, &before);
            POINT press{before.left + 28, before.top + 8}, client{5, 5};
            if (row.borderless) ClientToScreen(view, &(press = client));
            POINT to{press.x + 40, press.y + 30};
            SetCursorPos(to.x, to.y);
            Sleep(50);
            if (row.borderless)
                PostMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.x, client.y));
            else
                PostMessageW(frame, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(press.x, press.y));
            ScreenToClient(frame, &to);
            PostMessageW(frame, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
            for (int i = 0; i < 200 && !moved; ++i) {
                Sleep(10);
                RECT now{};
                GetWindowRect(frame, &now);
                moved = now.left == before.left + 40 && now.top == before.top + 30 && frmBackground.Decoding();
            }
            PostMessageW(frame, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
            PostMessageW(view, WM_KEYDOWN, row.key, 0);
        });
        const bool loaded = frmBackground.PictureLoadRun(DataPath(L"sample.jpg"), false);
        user.join();
        DecodeJob::SetDelayForTests(0);
        EXPECT_FALSE(loaded);
        EXPECT_TRUE(painted);
        EXPECT_TRUE(moved);
        EXPECT_EQ(GetCapture(), nullptr);  // the drag ended with its release
        EXPECT_TRUE(frmBackground.Stopped());
        EXPECT_EQ(frmBackground.GaveWay(), row.key == VK_NEXT ? DataPath(L"sample.jpg") : L"");
        EXPECT_EQ(CurrentFileName, DataPath(L"sample.bmp"));
        EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), width);
        forms::DoEvents();  // the step held meanwhile runs now
        form.Unload();
    }
    ResetProgramState();
}
