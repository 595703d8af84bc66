#include "windows/frmNormal.h"

#include "app/mdlTamsel.h"
#include "engine/loading.h"
#include "forms/screen.h"

namespace tamsel {

FrmNormal frmNormal;

namespace {
// An empty viewer shows a 320 x 240 pixel area.
constexpr int kEmptyWidthPx = 320;
constexpr int kEmptyHeightPx = 240;
}  // namespace

void FrmNormal::Form_KeyDown(int& keyCode, int shift) {
    (void)shift;
    // Escape stops a running high-quality scaling at its next report.
    if (keyCode == VK_ESCAPE) ResizeCancel = kTrue;
}

void FrmNormal::InitializeComponent() {
    KeyPreview = true;
    picView.AutoSize = true;
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
    if (!hWnd()) return;
    RECT r{0, 0, forms::TwipsToPixelsX(picView.Width()), forms::TwipsToPixelsY(picView.Height())};
    AdjustWindowRectEx(&r, GetWindowLongW(hWnd(), GWL_STYLE), FALSE, GetWindowLongW(hWnd(), GWL_EXSTYLE));
    int w = std::min(forms::PixelsToTwipsX(r.right - r.left), forms::Screen::Width());
    int h = std::min(forms::PixelsToTwipsY(r.bottom - r.top), forms::Screen::Height());
    Move(Left(), Top(), w, h);
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
