#include "windows/frmNormal.h"

#include "app/file_system.h"
#include "app/mdlTamsel.h"
#include "engine/loading.h"
#include "engine/save_copy_paste.h"
#include "forms/screen.h"

namespace tamsel {

FrmNormal frmNormal;

namespace {
// An empty viewer shows a 320 x 240 pixel area.
constexpr int kEmptyWidthPx = 320;
constexpr int kEmptyHeightPx = 240;
}  // namespace

void FrmNormal::Form_KeyDown(int& keyCode, int shift) {
    // Escape stops a running high-quality scaling at its next report, whatever the modifiers.
    if (keyCode == VK_ESCAPE) ResizeCancel = kTrue;
    if (shift != forms::vbCtrlMask) return;  // exactly Ctrl
    switch (keyCode) {
    case 'A': menu_SaveAs_Click(); break;
    case 'C': menu_Copy_Click(); break;
    case 'M': SetWindowState(forms::vbMinimized); break;
    case 'V': menu_Paste_Click(); break;
    default: break;
    }
}

// Dialogs and questions are not hidden behind the topmost window.
void FrmNormal::menu_SaveAs_Click() {
    WindowNoTopMost(*this);
    SaveAsWithSizeCheck();
    WindowTopMost(*this);
}

void FrmNormal::menu_Copy_Click() {
    WindowNoTopMost(*this);
    CopyWithSizeCheck();
    WindowTopMost(*this);
}

void FrmNormal::menu_Paste_Click() {
    CheckWindowPoint(*this);
    PastePicture(picView, &lblProgress, *this, true);
    SetCaption(MakeCaption());
}

void FrmNormal::picView_OLEDragDrop(const std::vector<std::wstring>& names) {
    CheckWindowPoint(*this);
    const std::wstring chosen = LastExistingFile(PlatformFileSystem(), names);
    bool loaded = false;
    try {
        loaded = DropPictureLoad(chosen, picView, &lblProgress, *this, true);
    } catch (...) {
        loaded = false;
    }
    if (loaded) SetCaption(MakeCaption());
}

void FrmNormal::InitializeComponent() {
    KeyPreview = true;
    picView.AutoSize = true;
    picView.OnFilesDropped = [this](const std::vector<std::wstring>& names) { picView_OLEDragDrop(names); };
    picView.Create(*this, 0, 0, forms::PixelsToTwipsX(kEmptyWidthPx), forms::PixelsToTwipsY(kEmptyHeightPx));
    lblProgress.SetVisible(false);
    lblProgress.Create(*this, 0, 0, 2400, 270);
}

void FrmNormal::Form_Load() {
    Settings.LastForm = 0;
    SwitchingForm = false;
    if (!CurrentFileName.empty()) SetViewPicture(picView);
    SetCaption(MakeCaption());
    AttachFrameSize();
    // First viewer window of the run: centred on the screen.
    if (WindowPointX < -10) Move((forms::Screen::Width() - Width()) / 2, (forms::Screen::Height() - Height()) / 2);
}

void FrmNormal::AttachFrameSize() {
    if (!hWnd() || WindowState() != forms::vbNormal) return;
    // Twice, with fresh sizes: the first move can change the client area (a wrapping menu bar).
    for (int pass = 0; pass < 2; ++pass)
        Move(Left(), Top(), Width() - ScaleWidth() + picView.Width(), Height() - ScaleHeight() + picView.Height());
}

void FrmNormal::Form_Unload(int& cancel) {
    (void)cancel;
    if (SwitchingForm) {
        LastWindowLeft = Left();
        LastWindowTop = Top();
        LastWindowWidth = Width();
        LastWindowHeight = Height();
        return;
    }
    SaveSettings();
}

}  // namespace tamsel
