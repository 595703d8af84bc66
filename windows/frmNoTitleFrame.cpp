#include "windows/frmNoTitleFrame.h"

#include "app/file_system.h"
#include "app/mdlTamsel.h"
#include "engine/loading.h"
#include "forms/screen.h"
#include "windows/frmMini.h"
#include "windows/frmNormal.h"
#include "windows/frmPopupMenu.h"
#include "windows/scroll_area.h"
#include "windows/viewer_menus.h"

namespace tamsel {

FrmNoTitleFrame frmNoTitleFrame;

void FrmNoTitleFrame::InitializeComponent() {
    KeyPreview = true;
    picView.AutoSize = true;
    picView.BackColor = GetSysColor(COLOR_APPWORKSPACE);
    picView.OnFilesDropped = [this](const std::vector<std::wstring>& names) { picView_OLEDragDrop(names); };
    picView.OnMouseDown = [this](int button, int, int, int) { picView_MouseDown(button); };
    picView.PressMovesWindow = true;  // during a load too
    picView.OnResize = [this] { picView_Resize(); };
    picView.Create(*this, 0, 0, forms::PixelsToTwipsX(kEmptyWidthPx), forms::PixelsToTwipsY(kEmptyHeightPx));
    lblProgress.Container = &picView;
    lblProgress.AutoSize = true;
    lblProgress.BackColor = GetSysColor(COLOR_ACTIVECAPTION);
    lblProgress.ForeColor = GetSysColor(COLOR_CAPTIONTEXT);
    lblProgress.SetVisible(false);
    lblProgress.Create(*this, 120, 120, 600, 180, L"Load ...");
}

void FrmNoTitleFrame::Form_Load() {
    SwitchingForm = false;
    if (!CurrentFileName.empty()) {
        SetViewPicture(picView);
    } else {
        picView.Move(0, 0, forms::PixelsToTwipsX(kEmptyWidthPx), forms::PixelsToTwipsY(kEmptyHeightPx));
        lblProgress.SetCaption(L"Tamsel 2");
        lblProgress.SetVisible(true);
    }
    picView_Resize();
    frmPopupMenu.Load();
    frmMini.Load();
    if (WindowPointX < -50 && WindowPointY < -50) {
        // The first viewer window of the run: centred, and its anchor taken from there.
        Move((forms::Screen::Width() - Width()) / 2, (forms::Screen::Height() - Height()) / 2);
        WindowPointX = 0;
        WindowPointY = 0;
        StoreWindowPoint(*this);
    } else if (Settings.WindowPoint) {
        PlaceWindowAtPoint(*this);
    } else {
        Move(LastWindowLeft, LastWindowTop);
    }
    Show();
    WindowTopMost(*this);
    frmMini.SetCaption(MakeCaption());
    Settings.LastForm = 1;
}

void FrmNoTitleFrame::picView_Resize() {
    if (hWnd()) Move(Left(), Top(), picView.Width(), picView.Height());
}

void FrmNoTitleFrame::Form_KeyDown(int& keyCode, int shift) {
    if (keyCode == VK_APPS) return ShowPopupAtCursor();  // any modifiers
    if (keyCode == VK_F4 && shift == forms::vbAltMask) {
        keyCode = 0;
        Unload();
        return;
    }
    if (Step step; StepForKey(keyCode, shift, step)) {
        keyCode = 0;
        StepPicture(step);
        return;
    }
    if (Turn turn; TurnForKey(keyCode, shift, turn)) return frmPopupMenu.MenuByTurn(turn);
    if (shift != forms::vbCtrlMask) return;  // exactly Ctrl
    switch (keyCode) {
    case 'O': frmPopupMenu.MenuByOpen(); break;
    case 'A':
    case 'S': frmPopupMenu.MenuBySaveAs(); break;
    case 'L': frmPopupMenu.MenuLayered(); break;
    case 'C': frmPopupMenu.MenuByCopy(); break;
    case 'T': frmPopupMenu.MenuByTitleFrame(); break;
    case 'V': frmPopupMenu.MenuByPaste(); break;
    case 'M': MiniNormal(); break;
    case 'D': frmPopupMenu.MenuByDefaultSize(); break;
    case 'Z': frmPopupMenu.MenuByInputSize(); break;
    default: break;
    }
}

void FrmNoTitleFrame::StepPicture(Step step) {
    CheckWindowPoint(*this);
    if (StepPictureLoad(step, picView, &lblProgress, *this, false)) frmMini.SetCaption(MakeCaption());
}

void FrmNoTitleFrame::Form_MouseWheel(int delta, int shift, bool horizontal) {
    // No bars to scroll: the wheel steps through the folder, a picture a notch.
    if (horizontal || shift != 0) return;
    const int32_t notches = WheelNotches(wheelPending_, delta);
    if (notches != 0) StepPicture(notches < 0 ? Step::Next : Step::Previous);
}

void FrmNoTitleFrame::picView_MouseDown(int button) {
    if (button == 1) {
        // A press on a title bar as far as the platform is concerned: it moves the window until release.
        ReleaseCapture();
        SendMessageA(hWnd(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    } else if (button == 2) {
        ShowPopupAtCursor();
    }
}

void FrmNoTitleFrame::ShowPopupAtCursor() {
    if (!frmPopupMenu.IsLoaded()) frmPopupMenu.Load();
    frmPopupMenu.menu_LayeredWindow.SetVisible(Settings.Translucence != kFalse);
    long x = 0, y = 0;
    forms::Screen::CursorPosition(x, y);
    frmPopupMenu.ShowPopup(static_cast<int>(x), static_cast<int>(y));
}

void FrmNoTitleFrame::picView_OLEDragDrop(const std::vector<std::wstring>& names) {
    CheckWindowPoint(*this);
    const std::wstring chosen = LastExistingFile(PlatformFileSystem(), names);
    bool loaded = false;
    try {
        loaded = DropPictureLoad(chosen, picView, &lblProgress, *this, false);
    } catch (...) {
        loaded = false;
    }
    if (loaded) frmMini.SetCaption(MakeCaption());
}

void FrmNoTitleFrame::TitleFrameView() { SwitchViewerWindow(*this, SwitchingForm, frmNormal); }

void FrmNoTitleFrame::MiniNormal() {
    Hide();
    frmMini.Move(Left(), Top(), Width(), Height());
    frmMini.Show();
    frmMini.SetWindowState(forms::vbMinimized);
    frmMini.SetRun(true);
}

void FrmNoTitleFrame::Form_Unload(int& cancel) {
    (void)cancel;
    frmPopupMenu.Unload();
    frmMini.Unload();
    if (SwitchingForm) {
        LastWindowLeft = Left();
        LastWindowTop = Top();
        return;
    }
    SaveSettings();
}

}  // namespace tamsel
