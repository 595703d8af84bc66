#include "windows/frmNormal.h"

#include <cmath>

#include "app/file_system.h"
#include "app/mdlTamsel.h"
#include "engine/loading.h"
#include "engine/save_copy_paste.h"
#include "forms/screen.h"
#include "resources/resource.h"

namespace tamsel {

FrmNormal frmNormal;

namespace {
// An empty viewer shows a 320 x 240 pixel area.
constexpr int kEmptyWidthPx = 320;
constexpr int kEmptyHeightPx = 240;
constexpr int kBarSize = 255;  // twips: the bars' thickness and the grip's side
// The grip's nine lines run from (d, 210) to (210, d): three lit, six shaded.
constexpr int kGripLineEnd = 210;
constexpr int kGripLineOffset[9] = {45, 105, 165, 60, 75, 120, 135, 180, 195};

int Round(double v) { return static_cast<int>(std::lround(v)); }
}  // namespace

void FrmNormal::InitializeComponent() {
    KeyPreview = true;
    dragCursor_ = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_DRAGHAND));
    const COLORREF face = GetSysColor(COLOR_BTNFACE);

    picContainer.BackColor = face;
    picContainer.OnResize = [this] { picContainer_Resize(); };
    picContainer.Create(*this, 0, 0, ScaleWidth(), ScaleHeight());

    picView.Container = &picContainer;
    picView.AutoSize = true;
    picView.OnFilesDropped = [this](const std::vector<std::wstring>& names) { picView_OLEDragDrop(names); };
    picView.OnMouseDown = [this](int button, int, int, int) { picView_MouseDown(button); };
    picView.OnMouseMove = [this](int, int, int, int) { picView_MouseMove(); };
    picView.OnMouseUp = [this](int, int, int, int) { picView_MouseUp(); };
    picView.OnResize = [this] { picContainer_Resize(); };
    picView.Create(*this, 0, 0, forms::PixelsToTwipsX(kEmptyWidthPx), forms::PixelsToTwipsY(kEmptyHeightPx));

    // Over the picture's edges, in front of it.
    HScroll.Container = &picContainer;
    HScroll.SetVisible(false);
    HScroll.OnChange = [this] { HScroll_Change(); };
    HScroll.Create(*this, true, 0, 0, 2400, kBarSize);
    VScroll.Container = &picContainer;
    VScroll.SetVisible(false);
    VScroll.OnChange = [this] { VScroll_Change(); };
    VScroll.Create(*this, false, 0, 0, kBarSize, 2400);

    picDummy.Container = &picContainer;
    picDummy.BackColor = face;
    picDummy.SetVisible(false);
    picDummy.OnMouseDown = [this](int, int, int, int) { picDummy_MouseDown(); };
    picDummy.OnMouseMove = [this](int, int, int, int) { picDummy_MouseMove(); };
    picDummy.OnMouseUp = [this](int, int, int, int) { picDummy_MouseUp(); };
    picDummy.Create(*this, 0, 0, kBarSize, kBarSize);
    for (int i = 0; i < 9; ++i) {
        const COLORREF color = GetSysColor(i < 3 ? COLOR_3DHIGHLIGHT : COLOR_BTNSHADOW);
        LineDummy[i].Create(picDummy, kGripLineOffset[i], kGripLineEnd, kGripLineEnd, kGripLineOffset[i], color);
    }

    lblProgress.Container = &picContainer;
    lblProgress.SetVisible(false);
    lblProgress.Create(*this, 0, 0, 2400, 270, L"Load ...");

    for (forms::Control* c : std::initializer_list<forms::Control*>{&HScroll, &VScroll, &picDummy, &lblProgress})
        if (c->hWnd()) SetWindowPos(c->hWnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void FrmNormal::Form_Load() {
    SwitchingForm = false;
    if (!CurrentFileName.empty()) {
        SetViewPicture(picView);
    } else {
        picView.Move(0, 0, forms::PixelsToTwipsX(kEmptyWidthPx), forms::PixelsToTwipsY(kEmptyHeightPx));
    }
    SetCaption(MakeCaption());
    if (Settings.AutoAttach) AttachFrameSize();
    PlaceOnLoad();
    Show();
    picContainer_Resize();
    WindowTopMost(*this);
    Settings.LastForm = 0;
}

void FrmNormal::PlaceOnLoad() {
    if (WindowPointX < -10 && WindowPointY < -10) {
        // The first viewer window of the run: centred, and its anchor taken from there.
        Move((forms::Screen::Width() - Width()) / 2, (forms::Screen::Height() - Height()) / 2);
        WindowPointX = 0;
        WindowPointY = 0;
        StoreWindowPoint(*this);
    } else if (Settings.WindowPoint) {
        if (LastWindowWidth != 0 && LastWindowHeight != 0) Move(Left(), Top(), LastWindowWidth, LastWindowHeight);
        PlaceWindowAtPoint(*this);
    } else if (LastWindowWidth != 0 && LastWindowHeight != 0) {
        Move(LastWindowLeft, LastWindowTop, LastWindowWidth, LastWindowHeight);
    } else {
        Move(LastWindowLeft, LastWindowTop);
        AttachFrameSize();
    }
}

void FrmNormal::Form_Resize() {
    if (picContainer.hWnd()) picContainer.Move(0, 0, ScaleWidth(), ScaleHeight());
}

void FrmNormal::picContainer_Resize() {
    if (!picContainer.hWnd() || !HScroll.hWnd() || !VScroll.hWnd()) return;
    const int innerW = picContainer.Width(), innerH = picContainer.Height();
    const BarChoice bars =
        ChooseBars(innerW, innerH, picView.Width(), picView.Height(), HScroll.Height(), VScroll.Width());
    HScroll.SetVisible(bars.horizontal);
    VScroll.SetVisible(bars.vertical);

    // A size that cannot be set leaves the bar where it was.
    const int vHeight = innerH - (HScroll.Visible() ? HScroll.Height() : 0);
    if (vHeight >= 0) VScroll.Move(innerW - VScroll.Width(), 0, VScroll.Width(), vHeight);
    const int hWidth = innerW - (VScroll.Visible() ? VScroll.Width() : 0);
    if (hWidth >= 0) HScroll.Move(0, innerH - HScroll.Height(), hWidth);

    if (HScroll.Visible() && VScroll.Visible()) {
        picDummy.Move(innerW - picDummy.Width(), innerH - picDummy.Height());
        picDummy.SetVisible(true);
        const bool normal = WindowState() == forms::vbNormal;
        picDummy.SetMouseIcon(normal ? LoadCursorW(nullptr, IDC_SIZENWSE) : nullptr);
        for (auto& line : LineDummy) line.SetVisible(normal);
    } else {
        picDummy.SetVisible(false);
    }
    picView.SetMouseIcon(HScroll.Visible() || VScroll.Visible() ? dragCursor_ : nullptr);

    auto apply = [](forms::ScrollBar& bar, BarRange& range, int viewSize, int area) {
        range = SizeBar(range, viewSize, area);
        bar.SetMin(0);
        bar.SetLargeChange(range.largeChange);
        bar.SetSmallChange(range.smallChange);
        bar.SetMax(range.max);
    };
    apply(HScroll, hRange_, picView.Width(), bars.width);
    apply(VScroll, vRange_, picView.Height(), bars.height);
}

void FrmNormal::HScroll_Change() {
    if (Dragging) return;
    picView.Move(OffsetForValue(hRange_, HScroll.Value()), picView.Top());
}

void FrmNormal::VScroll_Change() {
    if (Dragging) return;
    picView.Move(picView.Left(), OffsetForValue(vRange_, VScroll.Value()));
}

void FrmNormal::picView_MouseDown(int button) {
    if (button != 1 || Dragging) return;
    Dragging = true;
    forms::Screen::CursorPosition(DragOrigin.x, DragOrigin.y);
    DragStartLeft = picView.Left();
    DragStartTop = picView.Top();
}

void FrmNormal::picView_MouseMove() {
    if (!Dragging) return;
    POINT p;
    forms::Screen::CursorPosition(p.x, p.y);
    const double newLeft = DragStartLeft - forms::Screen::TwipsPerPixelX() * static_cast<double>(DragOrigin.x - p.x);
    const double newTop = DragStartTop - forms::Screen::TwipsPerPixelY() * static_cast<double>(DragOrigin.y - p.y);
    if (HScroll.Visible()) {
        const DragStop stop = ClampDrag(hRange_, newLeft);
        picView.Move(Round(stop.offset), picView.Top());
        HScroll.SetValue(stop.value);
    }
    if (VScroll.Visible()) {
        const DragStop stop = ClampDrag(vRange_, newTop);
        picView.Move(picView.Left(), Round(stop.offset));
        VScroll.SetValue(stop.value);
    }
}

void FrmNormal::picView_MouseUp() { Dragging = false; }

void FrmNormal::picDummy_MouseDown() {
    if (WindowState() != forms::vbNormal || GripResizing) return;
    GripResizing = true;
    forms::Screen::CursorPosition(DragOrigin.x, DragOrigin.y);
    DragStartLeft = picDummy.Left();
    DragStartTop = picDummy.Top();
}

void FrmNormal::picDummy_MouseMove() {
    if (!GripResizing) return;
    POINT p;
    forms::Screen::CursorPosition(p.x, p.y);
    double newLeft = DragStartLeft - forms::Screen::TwipsPerPixelX() * static_cast<double>(DragOrigin.x - p.x);
    const double newTop = DragStartTop - forms::Screen::TwipsPerPixelY() * static_cast<double>(DragOrigin.y - p.y);
    if (newLeft < kGripMinimumLeft) newLeft = kGripMinimumLeft;
    picDummy.Move(Round(newLeft), Round(newTop));
    Move(Left(), Top(), Width() - ScaleWidth() + picDummy.Left() + picDummy.Width(),
         Height() - ScaleHeight() + picDummy.Top() + picDummy.Height());
}

void FrmNormal::picDummy_MouseUp() { GripResizing = false; }

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
