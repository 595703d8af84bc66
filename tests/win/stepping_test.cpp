// Stepping through the current file's folder with the keys, the menu items
// and the borderless window's wheel, over a folder that changes in between;
// and the framed window's wheel moving its bars.
#include <gtest/gtest.h>

#include <set>

#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"
#include "engine/loading.h"
#include "engine/picture_services.h"
#include "engine/view_size.h"
#include "forms/dialog_controls.h"
#include "forms/menu.h"
#include "test_support.h"
#include "windows/frmMini.h"
#include "windows/frmNoTitleFrame.h"
#include "windows/frmNormal.h"
#include "windows/frmPopupMenu.h"

using namespace tamsel;
using namespace testing_support;

namespace {

int gBeeps = 0;
void CountBeep() { ++gBeeps; }

void Key(HWND target, int vk, std::initializer_list<int> held = {}) { PressKey(target, vk, held); }

// The wheel as the platform reports it to the window with the focus.
void Wheel(HWND target, int delta, WORD keys = 0, UINT message = WM_MOUSEWHEEL) {
    SendMessageW(target, message, MAKEWPARAM(keys, static_cast<WORD>(static_cast<short>(delta))), 0);
}

HMENU OpenFileMenu() {
    HMENU popup = GetSubMenu(GetMenu(frmNormal.hWnd()), 0);
    SendMessageW(frmNormal.hWnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    return popup;
}

HMENU gPopup = nullptr;
UINT gChoice = 0;
UINT RecordPopup(HMENU menu) {
    gPopup = menu;
    return std::exchange(gChoice, 0u);
}
void Popup() { Key(frmNoTitleFrame.picView.hWnd(), VK_APPS); }

// The access keys of a menu's items: none may serve two items.
void ExpectOwnAccessKeys(HMENU menu) {
    std::set<wchar_t> keys;
    for (const std::wstring& text : MenuItemTexts(menu)) {
        const size_t amp = text.find(L'&');
        if (amp == std::wstring::npos || amp + 1 >= text.size()) continue;
        EXPECT_TRUE(keys.insert(towupper(text[amp + 1])).second) << "twice: " << static_cast<char>(text[amp + 1]);
    }
}

class SteppingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        gBeeps = 0;
        forms::SetBeepHook(&CountBeep);
        frmBackground.Load();
    }
    void TearDown() override {
        forms::SetBeepHook(nullptr);
        ResetProgramState();
        ClearStoredSettings();
    }
    void Put(const std::wstring& name, const std::wstring& data) {
        ASSERT_TRUE(CopyFileW(DataPath(data).c_str(), (dir / name).c_str(), FALSE));
    }
    // Loads a file of the folder as an open would, in the framed window.
    void StartWith(const std::wstring& name) {
        ASSERT_TRUE(frmBackground.PictureLoadRun(dir / name, false));
        frmNormal.Show();
    }
    std::wstring Current() const { return CurrentFileName.substr(dir.path().size() + 1); }
    TempDir dir;
};

}  // namespace

TEST_F(SteppingTest, KeysStepInTheShellsOrderOverWhatTheFolderHoldsNow) {
    Put(L"pic1.jpg", L"sample.jpg");
    Put(L"pic2.bmp", L"sample.bmp");
    Put(L"Pic3.GIF", L"sample.gif");
    Put(L"pic10.bmp", L"palette.bmp");
    Put(L"zz.tif", L"tiff\\rgb-lzw.tif");   // read by the imaging component
    Put(L"notes.txt", L"sample.bmp");       // a picture, but not named as one
    WriteBytes(dir / L"broken.gif", {'G', 'I', 'F', '8', '9', 'a', 0, 1, 2});
    ASSERT_TRUE(CreateDirectoryW((dir / L"folder.bmp").c_str(), nullptr));
    StartWith(L"pic1.jpg");
    const HWND keys = frmNormal.picView.hWnd();
    Settings.ViewDefaultSize = kTrue;
    CurrentViewSize = 50;

    Key(keys, VK_NEXT);  // digits by their value: 2 before 10
    EXPECT_EQ(Current(), L"pic2.bmp");
    EXPECT_EQ(frmNormal.Caption(), L"pic2.bmp - Tamsel2");  // as an open leaves it, at 100 %
    EXPECT_EQ(CurrentViewSize, 100);
    EXPECT_EQ(frmNormal.picView.ScaleWidth(), frmBackground.picLoad.ScaleWidth());
    Key(keys, VK_SPACE);
    EXPECT_EQ(Current(), L"Pic3.GIF");

    // The folder is read at each step: a file added counts, a file deleted is gone.
    ASSERT_TRUE(DeleteFileW((dir / L"pic10.bmp").c_str()));
    Put(L"pic4.bmp", L"palette.bmp");
    Key(keys, VK_NEXT);
    EXPECT_EQ(Current(), L"pic4.bmp");
    Key(keys, VK_NEXT);  // past the text file and the folder
    EXPECT_EQ(Current(), L"zz.tif");
    EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), 37);
    EXPECT_EQ(gBeeps, 0);

    Key(keys, VK_NEXT);  // the end: a beep, nothing else
    EXPECT_EQ(gBeeps, 1);
    EXPECT_EQ(Current(), L"zz.tif");
    for (int held : {VK_CONTROL, VK_SHIFT, VK_MENU}) Key(keys, VK_HOME, {held});
    EXPECT_EQ(Current(), L"zz.tif");

    Key(keys, VK_HOME);  // the first picture does not decode: the next one is shown, without a word
    EXPECT_EQ(Current(), L"pic1.jpg");
    Key(keys, VK_PRIOR);
    EXPECT_EQ(gBeeps, 2);
    EXPECT_EQ(Current(), L"pic1.jpg");
    Key(keys, VK_HOME);  // already the first
    EXPECT_EQ(gBeeps, 3);
    Key(keys, VK_END);
    EXPECT_EQ(Current(), L"zz.tif");
    Key(keys, VK_BACK);
    EXPECT_EQ(Current(), L"pic4.bmp");

    // The current file deleted: its place in the order still counts.
    ASSERT_TRUE(DeleteFileW((dir / L"pic4.bmp").c_str()));
    Key(keys, VK_PRIOR);
    EXPECT_EQ(Current(), L"Pic3.GIF");

    // A pasted picture has no folder: no step, no beep.
    PutBitmapOnClipboard(30, 20, 0x336699);
    Key(keys, 'V', {VK_CONTROL});
    ASSERT_EQ(CurrentFileName, L"ClipboardPicture");
    Key(keys, VK_NEXT);
    EXPECT_EQ(CurrentFileName, L"ClipboardPicture");
    EXPECT_EQ(gBeeps, 3);
    EmptyTheClipboard();
}

TEST_F(SteppingTest, TheItemsAreThereOnlyWithAFileAndKeepTheirMenusAccessKeysDistinct) {
    Put(L"a.jpg", L"sample.jpg");
    Put(L"b.bmp", L"sample.bmp");
    frmNormal.Show();
    HMENU file = OpenFileMenu();
    ASSERT_EQ(MenuItemTexts(file)[1], L"次の画像(&N)\tPageDown");
    ASSERT_EQ(MenuItemTexts(file)[2], L"前の画像(&B)\tPageUp");
    EXPECT_FALSE(MenuItemEnabled(file, 1));
    EXPECT_FALSE(MenuItemEnabled(file, 2));
    ExpectOwnAccessKeys(file);
    ExpectOwnAccessKeys(GetMenu(frmNormal.hWnd()));
    frmNormal.Unload();

    StartWith(L"a.jpg");
    file = OpenFileMenu();
    EXPECT_TRUE(MenuItemEnabled(file, 1));
    EXPECT_TRUE(MenuItemEnabled(file, 2));
    SendMessageW(frmNormal.hWnd(), WM_COMMAND, GetMenuItemID(file, 1), 0);
    EXPECT_EQ(Current(), L"b.bmp");
    SendMessageW(frmNormal.hWnd(), WM_COMMAND, GetMenuItemID(OpenFileMenu(), 2), 0);
    EXPECT_EQ(Current(), L"a.jpg");

    // The borderless window's popup: the same two items, with a key of their own there.
    forms::SetPopupHook(&RecordPopup);
    frmNormal.menu_NoTitleFrame_Click();
    ASSERT_TRUE(frmNoTitleFrame.Visible());
    Popup();
    ASSERT_NE(gPopup, nullptr);
    EXPECT_EQ(MenuItemTexts(gPopup)[1], L"次の画像(&X)\tPageDown");
    EXPECT_EQ(MenuItemTexts(gPopup)[2], L"前の画像(&B)\tPageUp");
    EXPECT_TRUE(MenuItemEnabled(gPopup, 1));
    ExpectOwnAccessKeys(gPopup);
    Settings.Translucence = kTrue;  // with the translucency item too
    Popup();
    ExpectOwnAccessKeys(gPopup);
    gChoice = GetMenuItemID(gPopup, 1);
    Popup();
    EXPECT_EQ(Current(), L"b.bmp");
    EXPECT_EQ(frmMini.Caption(), L"b.bmp - Tamsel2");
    gChoice = GetMenuItemID(gPopup, 2);
    Popup();
    EXPECT_EQ(Current(), L"a.jpg");

    PutBitmapOnClipboard(30, 20, 0x336699);
    Key(frmNoTitleFrame.picView.hWnd(), 'V', {VK_CONTROL});
    Popup();
    EXPECT_FALSE(MenuItemEnabled(gPopup, 1));
    EXPECT_FALSE(MenuItemEnabled(gPopup, 2));
    EmptyTheClipboard();
}

TEST_F(SteppingTest, TheWheelScrollsTheFramedWindowAndStepsTheBorderlessOne) {
    Put(L"a.jpg", L"sample.jpg");
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\ts2image.JPG").c_str(), (dir / L"b.jpg").c_str(), FALSE));
    Put(L"c.gif", L"sample.gif");
    StartWith(L"b.jpg");  // 480 x 360 in a smaller window: both bars
    frmNormal.Move(0, 0, frmNormal.Width() - frmNormal.ScaleWidth() + 3000,
                   frmNormal.Height() - frmNormal.ScaleHeight() + 2250);
    forms::ScrollBar& v = frmNormal.VScroll;
    forms::ScrollBar& h = frmNormal.HScroll;
    ASSERT_TRUE(v.Visible() && h.Visible());
    const int small = v.SmallChange();
    ASSERT_GT(small, 1);

    const HWND over = frmNormal.picView.hWnd();
    Wheel(over, -120);  // towards the user: down a small change
    EXPECT_EQ(v.Value(), small);
    EXPECT_EQ(frmNormal.picView.Top(), -small);
    Wheel(over, -40);  // thirds of a notch, as fine wheels send them
    Wheel(over, -40);
    EXPECT_EQ(v.Value(), small);
    Wheel(over, -40);
    EXPECT_EQ(v.Value(), 2 * small);
    Wheel(over, 120);
    EXPECT_EQ(v.Value(), small);
    Wheel(over, 5 * 120);  // not above the top
    EXPECT_EQ(v.Value(), 0);
    EXPECT_EQ(frmNormal.picView.Top(), 0);
    Wheel(over, -100 * 120);  // nor below the bottom
    EXPECT_EQ(v.Value(), v.Max());

    Wheel(over, -120, MK_SHIFT);  // sideways with Shift
    EXPECT_EQ(h.Value(), h.SmallChange());
    EXPECT_EQ(frmNormal.picView.Left(), -h.SmallChange());
    Wheel(over, 120, 0, WM_MOUSEHWHEEL);  // the tilt wheel, to the right
    EXPECT_EQ(h.Value(), 2 * h.SmallChange());
    Wheel(over, -120, MK_CONTROL);  // with Ctrl: nothing
    EXPECT_EQ(v.Value(), v.Max());
    EXPECT_EQ(h.Value(), 2 * h.SmallChange());
    EXPECT_EQ(Current(), L"b.jpg");

    // No bars in the borderless window: a notch is a picture.
    frmNormal.menu_NoTitleFrame_Click();
    const HWND borderless = frmNoTitleFrame.picView.hWnd();
    Wheel(borderless, -120);
    EXPECT_EQ(Current(), L"c.gif");
    EXPECT_EQ(frmNoTitleFrame.ScaleWidth(), frmBackground.picLoad.Width());
    Wheel(borderless, 60);
    EXPECT_EQ(Current(), L"c.gif");
    Wheel(borderless, 60);
    EXPECT_EQ(Current(), L"b.jpg");
    Wheel(borderless, 120);
    EXPECT_EQ(Current(), L"a.jpg");
    Wheel(borderless, 120);
    EXPECT_EQ(gBeeps, 1);
    Key(borderless, VK_END);  // the keys as in the framed window
    EXPECT_EQ(Current(), L"c.gif");
}

// The command line may name the file in another case or by its short name:
// the first step still starts from that file's place and never reloads it.
TEST_F(SteppingTest, TheFirstStepFromAFileNamedInAnotherSpellingMovesOn) {
    Put(L"first.jpg", L"sample.jpg");
    Put(L"second picture of a long name.bmp", L"sample.bmp");
    Put(L"third.gif", L"sample.gif");
    wchar_t shortName[MAX_PATH] = {};
    GetShortPathNameW((dir / L"second picture of a long name.bmp").c_str(), shortName, MAX_PATH);
    ASSERT_EQ(std::wstring(shortName).find(L"second picture"), std::wstring::npos) << shortName;
    const struct { std::wstring commandLine; int key; std::wstring reached; } cases[] = {
        {dir / L"FIRST.JPG", VK_NEXT, L"second picture of a long name.bmp"},
        {shortName, VK_NEXT, L"third.gif"},
        {shortName, VK_PRIOR, L"first.jpg"},
        {dir / L"THIRD.GIF", VK_PRIOR, L"second picture of a long name.bmp"},
    };
    for (const auto& c : cases) {
        ResetProgramState();
        Main(c.commandLine);
        ASSERT_EQ(CurrentFileName.empty(), false) << c.commandLine;
        Key(frmNormal.picView.hWnd(), c.key);
        EXPECT_EQ(Current(), c.reached) << c.commandLine;
        EXPECT_EQ(gBeeps, 0);
    }
}

namespace {

int OfPicture(const std::wstring& path) {
    forms::Picture p;
    return SUCCEEDED(LoadPicture(path, p)) ? p.WidthPixels() : -1;
}

// Until the read-ahead in flight has ended (at most a few seconds).
void AwaitReadAhead() {
    for (int i = 0; i < 500 && frmBackground.Ahead().Holding() && !frmBackground.Ahead().Job()->Ended(); ++i) Sleep(10);
}

// What a step shows: the file, its pixels, the view's fast and final stages,
// the caption, the view and where the window stands.
struct Shown {
    std::wstring file, caption;
    std::vector<uint8_t> px, fast, view;
    int w = 0, h = 0, viewW = 0, viewH = 0;
    RECT window{};
    bool operator==(const Shown& o) const {
        return file == o.file && caption == o.caption && px == o.px && fast == o.fast && view == o.view && w == o.w &&
               h == o.h && viewW == o.viewW && viewH == o.viewH && EqualRect(&window, &o.window);
    }
};

std::vector<uint8_t> ViewStage() {
    int w = 0, h = 0;
    return PackedPixels(frmBackground.picBlt.Image(), w, h);
}

// The key's step, and what the view shows before its high-quality stage ends and after.
Shown StepWith(int vk) {
    MSG m{};
    m.hwnd = frmNormal.picView.hWnd();
    m.message = WM_KEYDOWN;
    m.wParam = static_cast<WPARAM>(vk);
    forms::DispatchOne(m);
    const std::vector<uint8_t> fast = ViewStage();
    PumpUntilRendered();
    Shown s;
    s.fast = fast;
    s.view = ViewStage();
    s.file = CurrentFileName;
    s.caption = frmNormal.Caption();
    s.px = PackedPixels(frmBackground.picLoad.GetPicture(), s.w, s.h);
    s.viewW = frmNormal.picView.ScaleWidth(), s.viewH = frmNormal.picView.ScaleHeight();
    GetWindowRect(frmNormal.hWnd(), &s.window);
    return s;
}

}  // namespace

// Steps onto pictures read ahead show exactly what cold steps show, both ways
// and at the ends, whichever decoder read them.
TEST_F(SteppingTest, StepsOntoPicturesReadAheadShowWhatColdStepsShow) {
    Put(L"p1.jpg", L"sample.jpg");
    Put(L"p2.bmp", L"sample.bmp");
    Put(L"p3.gif", L"sample.gif");
    Put(L"p4.tif", L"tiff\\rgb-lzw.tif");
    Put(L"p5.bmp", L"palette.bmp");
    const int keys[] = {VK_NEXT, VK_NEXT, VK_NEXT, VK_NEXT, VK_NEXT, VK_PRIOR, VK_PRIOR, VK_HOME, VK_END, VK_BACK};
    std::vector<Shown> cold;
    for (const bool ahead : {false, true}) {
        SCOPED_TRACE(ahead ? "read ahead" : "cold");
        ResetProgramState();
        frmBackground.Load();
        Settings.ReadAhead = ahead ? kTrue : kFalse;
        frmNormal.Show();
        ASSERT_TRUE(DropPictureLoad(dir / L"p1.jpg", frmNormal.picView, nullptr, frmNormal, true));  // an open: forward
        CurrentViewSize = 150;
        ApplyViewSize(frmNormal.picView, nullptr, frmNormal, true);
        const uint32_t started = ReadAhead::Started(), taken = ReadAhead::Taken();
        const auto prepared = frmBackground.PreparedUsed();
        std::vector<Shown> seen;
        for (const int key : keys) {
            PumpUntilRendered();  // the picture complete: the read-ahead starts
            AwaitReadAhead();
            seen.push_back(StepWith(key));
        }
        if (!ahead) {
            cold = seen;
            EXPECT_EQ(ReadAhead::Started(), started);  // the option off: nothing read ahead
            continue;
        }
        ASSERT_EQ(seen.size(), cold.size());
        for (size_t i = 0; i < seen.size(); ++i) EXPECT_TRUE(seen[i] == cold[i]) << i << " " << seen[i].file;
        // Every step onto the picture read ahead the way it went took it: p2 to
        // p5 (p4 by the imaging component, no plug-in being there), p3 and p4 backwards.
        EXPECT_EQ(ReadAhead::Taken() - taken, 6u);
        // Each came with its fast stage and its high-quality stage's source made on the worker.
        EXPECT_EQ(frmBackground.PreparedUsed().fast - prepared.fast, 6u);
        EXPECT_EQ(frmBackground.PreparedUsed().source - prepared.source, 6u);
        EXPECT_GT(ReadAhead::Started(), started);
        frmNormal.Unload();
    }
}

// A read-ahead that goes stale or is in the way: a file replaced since shows
// its new content, a file deleted is passed over, and a new view, a step the
// other way or another file drops the read in flight without leaving it held.
TEST_F(SteppingTest, AReadAheadGoesStaleOrGivesWay) {
    enum class Then { Replace, Delete, NewView, StepBack, Open };
    for (const Then then : {Then::Replace, Then::Delete, Then::NewView, Then::StepBack, Then::Open}) {
        SCOPED_TRACE(static_cast<int>(then));
        ResetProgramState();
        frmBackground.Load();
        Put(L"a.bmp", L"sample.bmp");
        Put(L"b.bmp", L"sample.bmp");
        Put(L"c.gif", L"sample.gif");
        const bool slow = then == Then::NewView || then == Then::StepBack || then == Then::Open;
        DecodeJob::SetDelayForTests(slow ? 2000 : 0);
        frmNormal.Show();
        ASSERT_TRUE(DropPictureLoad(dir / L"b.bmp", frmNormal.picView, nullptr, frmNormal, true));  // an open: forward
        ASSERT_EQ(frmBackground.Ahead().Path(), dir / L"c.gif");
        if (!slow) AwaitReadAhead();
        const HWND keys = frmNormal.picView.hWnd();
        switch (then) {
        case Then::Replace:
            Sleep(20);  // a later write time
            Put(L"c.gif", L"palette.bmp");
            Key(keys, VK_NEXT);
            EXPECT_EQ(Current(), L"c.gif");
            EXPECT_EQ(frmBackground.picLoad.ScaleWidth(), OfPicture(DataPath(L"palette.bmp")));
            break;
        case Then::Delete:
            ASSERT_TRUE(DeleteFileW((dir / L"c.gif").c_str()));
            Key(keys, VK_NEXT);
            EXPECT_EQ(Current(), L"b.bmp");  // nothing after it now: a beep
            EXPECT_EQ(gBeeps, 1);
            break;
        case Then::NewView:
            frmBackground.Arrive(Arriving::NewView);
            EXPECT_FALSE(frmBackground.Ahead().Holding());
            break;
        case Then::StepBack:
            DecodeJob::SetDelayForTests(0);
            Key(keys, VK_PRIOR);
            EXPECT_EQ(Current(), L"a.bmp");
            EXPECT_NE(frmBackground.Ahead().Path(), dir / L"c.gif");
            break;
        case Then::Open:
            DecodeJob::SetDelayForTests(0);
            ASSERT_TRUE(DropPictureLoad(DataPath(L"sample.gif"), frmNormal.picView, nullptr, frmNormal, true));
            EXPECT_EQ(CurrentFileName, DataPath(L"sample.gif"));
            EXPECT_NE(frmBackground.Ahead().Path(), dir / L"c.gif");
            break;
        }
        DecodeJob::SetDelayForTests(0);
        frmNormal.Unload();
        frmBackground.Unload();
        DeleteFileW((dir / L"a.bmp").c_str()), DeleteFileW((dir / L"b.bmp").c_str()), DeleteFileW((dir / L"c.gif").c_str());
    }
}
