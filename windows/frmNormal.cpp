#include "windows/frmNormal.h"

#include <cmath>

#include "app/file_system.h"
#include "app/mdlTamsel.h"
#include "dialogs/frmDialogTile.h"
#include "dialogs/frmDialogViewSize.h"
#include "dialogs/frmOptions.h"
#include "dialogs/frmVersion.h"
#include "engine/loading.h"
#include "engine/view_size.h"
#include "windows/frmNoTitleFrame.h"
#include "engine/frmBackground.h"
#include "engine/picture_services.h"
#include "windows/viewer_menus.h"
#include "engine/save_copy_paste.h"
#include "forms/screen.h"
#include "resources/resource.h"

namespace tamsel {

FrmNormal frmNormal;

namespace {
constexpr int kBarSize = 255;  // twips: the bars' thickness and the grip's side
// The grip's nine lines run from (d, 210) to (210, d): three lit, six shaded.
constexpr int kGripLineEnd = 210;
constexpr int kGripLineOffset[9] = {45, 105, 165, 60, 75, 120, 135, 180, 195};

int Round(double v) { return static_cast<int>(std::lround(v)); }

std::string AnsiOf(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(n > 0 ? n - 1 : 0);
    return out;
}
}  // namespace

void FrmNormal::InitializeComponent() {
    KeyPreview = true;
    dragCursor_ = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_DRAGHAND));
    const COLORREF face = GetSysColor(COLOR_BTNFACE);

    picContainer.BackColor = face;
    picContainer.OnResize = [this] { picContainer_Resize(); };
    picContainer.Create(*this, 0, 0, ScaleWidth(), ScaleHeight());

    picView.Container = &picContainer;
    picView.BackColor = face;  // an empty area should not look like a white picture
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

    {
        forms::MenuBar::Batch batch(Menus());
        BuildMenus();
    }

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
    {
        forms::MenuBar::Batch batch(Menus());  // one rebuild of the bar for all of it
        // The six presets after the designed one.
        for (int i = 1; i < 7; ++i) {
            menu_SizeView[i].Init(menu_SizeView[0].Caption());
            menu_SizeView[i].OnClick = [this, i] { menu_SizeView_Click(static_cast<int16_t>(i)); };
            menu_ViewSize.InsertAfter(menu_SizeView[i - 1], menu_SizeView[i]);
        }
        menu_Edit.SetVisible(Settings.MenuVisibleEdit != kFalse);
        menu_Help.SetVisible(Settings.MenuVisibleHelp != kFalse);
        menu_MenuVisible_Click();
        menu_Copy.SetCaption(menu_Copy.Caption() + L"\tCtrl+C");
        menu_Paste.SetCaption(menu_Paste.Caption() + L"\tCtrl+V");
    }
    PlaceOnLoad();
    if (layoutPending_) LayOutBars();
    Show();
    picContainer_Resize();
    WindowTopMost(*this);
    Settings.LastForm = 0;
}

void FrmNormal::BuildMenus() {
    menu_File.Init(L"ファイル(&F)");
    menu_Open.Init(L"画像ファイルを開く(&O)...", 'O');
    menu_Next.Init(L"次の画像(&N)\tPageDown");
    menu_Previous.Init(L"前の画像(&B)\tPageUp");
    menu_Bar.Init(L"-");
    menu_SaveAs.Init(L"名前を付けてファイルを保存(&A)...", 'S');
    menu_Bar2.Init(L"-");
    menu_Quit.Init(L"Tamsel2 を終了する(&Q)");
    for (forms::Menu* m : {&menu_Open, &menu_Next, &menu_Previous, &menu_Bar, &menu_SaveAs, &menu_Bar2, &menu_Quit})
        menu_File.Add(*m);

    menu_Edit.Init(L"編集(&E)");
    menu_Copy.Init(L"コピー(&C)");
    menu_Paste.Init(L"貼り付け(&P)");
    menu_Bar10.Init(L"-");
    menu_TileCopy.Init(L"タイルに並べてコピー(&T)...");
    for (forms::Menu* m : {&menu_Copy, &menu_Paste, &menu_Bar10, &menu_TileCopy}) menu_Edit.Add(*m);

    menu_View.Init(L"表示(&V)");
    menu_NoTitleFrame.Init(L"タイトルと枠の非表示(&N)", 'T');
    menu_FreamRefresh.Init(L"枠を画像にあわせる(&F)", 'F');
    menu_Bar3.Init(L"-");
    menu_ViewSize.Init(L"表示サイズ(&S)");
    menu_DefaultSize.Init(L"等倍(&D)", 'D');
    menu_Bar6.Init(L"-");
    menu_SizeView[0].Init(L"100%");
    menu_Bar5.Init(L"-");
    menu_InputSize.Init(L"任意のサイズ(&I)...", 'Z');
    menu_Bar7.Init(L"-");
    menu_MenuVisible.Init(L"メニュー(&M)");
    menu_VisibleEdit.Init(L"編集(&E)");
    menu_VisibleEdit.SetChecked(true);
    menu_VisibleHelp.Init(L"ヘルプ(&H)");
    menu_VisibleHelp.SetChecked(true);
    menu_ViewSize.Clear();
    for (forms::Menu* m : {&menu_DefaultSize, &menu_Bar6, &menu_SizeView[0], &menu_Bar5, &menu_InputSize})
        menu_ViewSize.Add(*m);
    for (forms::Menu* m : {&menu_VisibleEdit, &menu_VisibleHelp}) menu_MenuVisible.Add(*m);
    menu_Bar8.Init(L"-");
    menu_Option.Init(L"オプション(&O)...");
    menu_Turn.Build([this](Turn turn) { TurnPicture(turn); });
    for (forms::Menu* m : {&menu_NoTitleFrame, &menu_FreamRefresh, &menu_Bar3, &menu_ViewSize, &menu_Turn.menu,
                           &menu_Bar7, &menu_MenuVisible, &menu_Bar8, &menu_Option})
        menu_View.Add(*m);

    menu_Help.Init(L"ヘルプ(&H)");
    menu_HelpContents.Init(L"Tamsel2 のヘルプ(&C)");
    menu_Bar9.Init(L"-");
    menu_Version.Init(L"バージョン情報(&A)...");
    for (forms::Menu* m : {&menu_HelpContents, &menu_Bar9, &menu_Version}) menu_Help.Add(*m);

    menu_File.OnClick = [this] { menu_File_Click(); };
    menu_Open.OnClick = [this] { menu_Open_Click(); };
    menu_Next.OnClick = [this] { StepPicture(Step::Next); };
    menu_Previous.OnClick = [this] { StepPicture(Step::Previous); };
    menu_SaveAs.OnClick = [this] { menu_SaveAs_Click(); };
    menu_Quit.OnClick = [this] { menu_Quit_Click(); };
    menu_Edit.OnClick = [this] { menu_Edit_Click(); };
    menu_Copy.OnClick = [this] { menu_Copy_Click(); };
    menu_Paste.OnClick = [this] { menu_Paste_Click(); };
    menu_View.OnClick = [this] { menu_View_Click(); };
    menu_FreamRefresh.OnClick = [this] { menu_FreamRefresh_Click(); };
    menu_NoTitleFrame.OnClick = [this] { menu_NoTitleFrame_Click(); };
    menu_DefaultSize.OnClick = [this] { menu_DefaultSize_Click(); };
    menu_SizeView[0].OnClick = [this] { menu_SizeView_Click(0); };
    menu_MenuVisible.OnClick = [this] { menu_MenuVisible_Click(); };
    menu_VisibleEdit.OnClick = [this] { menu_VisibleEdit_Click(); };
    menu_VisibleHelp.OnClick = [this] { menu_VisibleHelp_Click(); };
    menu_HelpContents.OnClick = [this] { menu_HelpContents_Click(); };
    menu_TileCopy.OnClick = [this] { menu_TileCopy_Click(); };
    menu_InputSize.OnClick = [this] { menu_InputSize_Click(); };
    menu_Option.OnClick = [this] { menu_Option_Click(); };
    menu_Version.OnClick = [this] { menu_Version_Click(); };

    for (forms::Menu* m : {&menu_File, &menu_Edit, &menu_View, &menu_Help}) AddMenu(*m);
}

void FrmNormal::menu_File_Click() {
    menu_SaveAs.SetEnabled(!CurrentFileName.empty());
    menu_Next.SetEnabled(HasCurrentFile());
    menu_Previous.SetEnabled(HasCurrentFile());
}

void FrmNormal::menu_Edit_Click() {
    menu_Copy.SetEnabled(!CurrentFileName.empty());
    menu_TileCopy.SetEnabled(!CurrentFileName.empty());
    menu_Paste.SetEnabled(ClipboardOffersPicture());
}

void FrmNormal::menu_View_Click() { RefreshPresetItems(menu_SizeView, menu_Bar5); }

void FrmNormal::menu_MenuVisible_Click() {
    menu_VisibleEdit.SetChecked(menu_Edit.Visible());
    menu_VisibleHelp.SetChecked(menu_Help.Visible());
}

void FrmNormal::menu_Open_Click() {
    CheckWindowPoint(*this);
    WindowNoTopMost(*this);
    OpenPictureLoad(picView, &lblProgress, *this, true);
    SetCaption(MakeCaption());
    WindowTopMost(*this);
}

void FrmNormal::StepPicture(Step step) {
    CheckWindowPoint(*this);
    if (StepPictureLoad(step, picView, &lblProgress, *this, true)) SetCaption(MakeCaption());
}

void FrmNormal::menu_Quit_Click() {
    SwitchingForm = false;
    Unload();
}

void FrmNormal::menu_FreamRefresh_Click() { AttachFrameSize(); }

void FrmNormal::menu_NoTitleFrame_Click() { SwitchViewerWindow(*this, SwitchingForm, frmNoTitleFrame); }

void FrmNormal::ApplyViewSizeHere() {
    ApplyViewSize(picView, &lblProgress, *this, true);
    SetCaption(MakeCaption());
}

void FrmNormal::TurnPicture(Turn turn) {
    CheckWindowPoint(*this);
    TurnShownPicture(turn, picView, &lblProgress, *this, true);
}

void FrmNormal::menu_DefaultSize_Click() {
    CheckWindowPoint(*this);
    CurrentViewSize = 100;
    ApplyViewSizeHere();
}

void FrmNormal::menu_SizeView_Click(int16_t index) {
    CheckWindowPoint(*this);
    CurrentViewSize = Settings.ViewSizes[index].Percent;
    ApplyViewSizeHere();
}

void FrmNormal::menu_VisibleEdit_Click() {
    menu_VisibleEdit.SetChecked(!menu_VisibleEdit.Checked());
    menu_Edit.SetVisible(menu_VisibleEdit.Checked());
    Settings.MenuVisibleEdit = menu_Edit.Visible() ? kTrue : kFalse;
}

void FrmNormal::menu_VisibleHelp_Click() {
    menu_VisibleHelp.SetChecked(!menu_VisibleHelp.Checked());
    menu_Help.SetVisible(menu_VisibleHelp.Checked());
    Settings.MenuVisibleHelp = menu_Help.Visible() ? kTrue : kFalse;
}

void FrmNormal::menu_HelpContents_Click() {
    // The help viewer is loaded when first asked for; it reports a missing file itself.
    using HtmlHelpProc = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
    static HMODULE viewer = LoadLibraryW(L"hhctrl.ocx");
    auto help = viewer ? reinterpret_cast<HtmlHelpProc>(GetProcAddress(viewer, "HtmlHelpA")) : nullptr;
    if (!help) return;
    const std::string file = AnsiOf(ProgramFolder() + L"\\Tamsel2.chm");
    help(GetDesktopWindow(), file.c_str(), 1, 0);
}

void FrmNormal::menu_TileCopy_Click() {
    WindowNoTopMost(*this);
    frmDialogTile.Show(forms::vbModal);
    WindowTopMost(*this);
}

void FrmNormal::menu_InputSize_Click() {
    CheckWindowPoint(*this);
    WindowNoTopMost(*this);
    const int16_t before = CurrentViewSize;
    frmDialogViewSize.Show(forms::vbModal);
    if (CurrentViewSize != before) ApplyViewSize(picView, &lblProgress, *this, true);
    WindowTopMost(*this);
    SetCaption(MakeCaption());
}

void FrmNormal::menu_Option_Click() {
    WindowNoTopMost(*this);
    frmOptions.Show(forms::vbModal);
    StoreWindowPoint(*this);  // the anchor corner may have changed
    WindowTopMost(*this);
}

void FrmNormal::menu_Version_Click() {
    WindowNoTopMost(*this);
    frmVersion.Show(forms::vbModal);
    WindowTopMost(*this);
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
    // While the window is loaded hidden, picture and frame change its size
    // several times, and every bar moved costs a round trip to the window
    // system: the bars are laid out once, just before it shows.
    if (!IsWindowVisible(hWnd())) {
        layoutPending_ = true;
        return;
    }
    LayOutBars();
}

void FrmNormal::LayOutBars() {
    layoutPending_ = false;
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

void FrmNormal::Form_DpiChanged() {
    // The picture keeps its pixels; the bars and the grip take their designed
    // thickness again (sizes are whole pixels, so the old DPI's rounding stays
    // in the twips they hold), and the ranges and the picture's place follow.
    HScroll.Move(HScroll.Left(), HScroll.Top(), HScroll.Width(), kBarSize);
    VScroll.Move(VScroll.Left(), VScroll.Top(), kBarSize, VScroll.Height());
    picDummy.Move(picDummy.Left(), picDummy.Top(), kBarSize, kBarSize);
    if (picContainer.hWnd()) picContainer.Move(0, 0, ScaleWidth(), ScaleHeight());
    picContainer_Resize();
    HScroll_Change();
    VScroll_Change();
}

void FrmNormal::HScroll_Change() {
    if (Dragging) return;
    picView.Move(OffsetForValue(hRange_, HScroll.Value()), picView.Top());
}

void FrmNormal::VScroll_Change() {
    if (Dragging) return;
    picView.Move(picView.Left(), OffsetForValue(vRange_, VScroll.Value()));
}

void FrmNormal::BeginDrag(const forms::Control& dragged) {
    forms::Screen::CursorPosition(DragOrigin.x, DragOrigin.y);
    DragStartLeft = dragged.Left();
    DragStartTop = dragged.Top();
}

void FrmNormal::DraggedTo(double& newLeft, double& newTop) const {
    POINT p;
    forms::Screen::CursorPosition(p.x, p.y);
    newLeft = DragStartLeft - forms::Screen::TwipsPerPixelX() * static_cast<double>(DragOrigin.x - p.x);
    newTop = DragStartTop - forms::Screen::TwipsPerPixelY() * static_cast<double>(DragOrigin.y - p.y);
}

void FrmNormal::picView_MouseDown(int button) {
    if (button != 1 || Dragging) return;
    Dragging = true;
    BeginDrag(picView);
}

void FrmNormal::picView_MouseMove() {
    if (!Dragging) return;
    double newLeft = 0, newTop = 0;
    DraggedTo(newLeft, newTop);
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
    BeginDrag(picDummy);
}

void FrmNormal::picDummy_MouseMove() {
    if (!GripResizing) return;
    double newLeft = 0, newTop = 0;
    DraggedTo(newLeft, newTop);
    if (newLeft < kGripMinimumLeft) newLeft = kGripMinimumLeft;
    picDummy.Move(Round(newLeft), Round(newTop));
    Move(Left(), Top(), Width() - ScaleWidth() + picDummy.Left() + picDummy.Width(),
         Height() - ScaleHeight() + picDummy.Top() + picDummy.Height());
}

void FrmNormal::picDummy_MouseUp() { GripResizing = false; }

void FrmNormal::Form_KeyDown(int& keyCode, int shift) {
    // Escape stops a running high-quality scaling at its next report, whatever the modifiers.
    if (keyCode == VK_ESCAPE) {
        ResizeCancel = kTrue;
        frmBackground.Arrive(Arriving::Escape);  // a rendering stops; the fast result stays
    }
    if (Step step; StepForKey(keyCode, shift, step)) {
        keyCode = 0;  // not also a page of a focused bar
        StepPicture(step);
        return;
    }
    if (Turn turn; TurnForKey(keyCode, shift, turn)) return TurnPicture(turn);
    if (shift != forms::vbCtrlMask) return;  // exactly Ctrl
    switch (keyCode) {
    case 'A': menu_SaveAs_Click(); break;
    case 'C': menu_Copy_Click(); break;
    case 'M': SetWindowState(forms::vbMinimized); break;
    case 'V': menu_Paste_Click(); break;
    default: break;
    }
}

void FrmNormal::Form_MouseWheel(int delta, int shift, bool horizontal) {
    // Shift turns the wheel sideways; the tilt wheel is sideways already.
    if (shift & ~forms::vbShiftMask) return;
    const bool across = horizontal || shift == forms::vbShiftMask;
    int32_t notches = WheelNotches(horizontal ? tiltPending_ : wheelPending_, delta);
    if (horizontal) notches = -notches;  // tilted right shows more of the right
    forms::ScrollBar& bar = across ? HScroll : VScroll;
    if (notches == 0 || !bar.Visible() || Dragging) return;
    bar.SetValue(WheelValue(bar.Value(), notches, bar.SmallChange(), bar.Min(), bar.Max()));
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
