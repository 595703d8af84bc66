#include "windows/frmPopupMenu.h"

#include "app/mdlTamsel.h"
#include "dialogs/frmDialogTile.h"
#include "dialogs/frmDialogViewSize.h"
#include "engine/loading.h"
#include "engine/save_copy_paste.h"
#include "engine/view_size.h"
#include "windows/frmMini.h"
#include "windows/frmNoTitleFrame.h"
#include "engine/picture_services.h"
#include "windows/viewer_menus.h"

namespace tamsel {

FrmPopupMenu frmPopupMenu;

namespace {
FrmNoTitleFrame& B() { return frmNoTitleFrame; }
}  // namespace

void FrmPopupMenu::InitializeComponent() {
    Pmenu.Init(L"ポップアップメニュー");
    menu_Open.Init(L"画像ファイルを開く(&O)...", 'O');
    // N is the minimize item's access key here.
    menu_Next.Init(L"次の画像(&X)\tPageDown");
    menu_Previous.Init(L"前の画像(&B)\tPageUp");
    menu_Bar.Init(L"-");
    menu_ViewSize.Init(L"表示サイズ(&S)");
    menu_DefaultSize.Init(L"等倍(&D)", 'D');
    menu_bar7.Init(L"-");
    menu_SizeView[0].Init(L"100%");
    menu_Bar8.Init(L"-");
    menu_InputSize.Init(L"任意のサイズ(&I)...", 'Z');
    menu_Edit.Init(L"編集(&E)");
    menu_Copy.Init(L"コピー(&C)", 'C');
    menu_Paste.Init(L"貼り付け(&P)", 'V');
    menu_Bar6.Init(L"-");
    menu_TileCopy.Init(L"タイルに並べてコピー(&T)...");
    menu_SaveAs.Init(L"名前を付けてファイルの保存(&A)...", 'S');
    menu_Bar2.Init(L"-");
    menu_TitleFrame.Init(L"タイトルと枠を表示(&T)", 'T');
    menu_LayeredWindow.Init(L"半透明表示(&L)", 'L');
    menu_Mini.Init(L"最小化(&N)", 'M');
    menu_Bar3.Init(L"-");
    menu_Quit.Init(L"終了(&Q)");
    menu_Turn.Build([this](Turn turn) { MenuByTurn(turn); });

    Pmenu.Clear();
    menu_ViewSize.Clear();
    for (forms::Menu* m : {&menu_DefaultSize, &menu_bar7, &menu_SizeView[0], &menu_Bar8, &menu_InputSize})
        menu_ViewSize.Add(*m);
    for (forms::Menu* m : {&menu_Copy, &menu_Paste, &menu_Bar6, &menu_TileCopy, &menu_SaveAs}) menu_Edit.Add(*m);
    for (forms::Menu* m : {&menu_Open, &menu_Next, &menu_Previous, &menu_Bar, &menu_ViewSize, &menu_Turn.menu, &menu_Edit, &menu_Bar2,
                           &menu_TitleFrame, &menu_LayeredWindow, &menu_Mini, &menu_Bar3, &menu_Quit})
        Pmenu.Add(*m);

    Pmenu.OnClick = [this] { menuSizeViewRefresh(); };
    menu_Edit.OnClick = [this] { menu_Edit_Click(); };
    menu_Open.OnClick = [this] { menu_Open_Click(); };
    menu_Next.OnClick = [] { B().StepPicture(Step::Next); };
    menu_Previous.OnClick = [] { B().StepPicture(Step::Previous); };
    menu_DefaultSize.OnClick = [this] { menu_DefaultSize_Click(); };
    menu_SizeView[0].OnClick = [this] { menu_SizeView_Click(0); };
    menu_InputSize.OnClick = [this] { menu_InputSize_Click(); };
    menu_Copy.OnClick = [this] { menu_Copy_Click(); };
    menu_Paste.OnClick = [this] { menu_Paste_Click(); };
    menu_TileCopy.OnClick = [this] { menu_TileCopy_Click(); };
    menu_SaveAs.OnClick = [this] { menu_SaveAs_Click(); };
    menu_TitleFrame.OnClick = [this] { menu_TitleFrame_Click(); };
    menu_LayeredWindow.OnClick = [this] { menu_LayeredWindow_Click(); };
    menu_Mini.OnClick = [this] { menu_Mini_Click(); };
    menu_Quit.OnClick = [this] { menu_Quit_Click(); };
    AddMenu(Pmenu);
}

void FrmPopupMenu::Form_Load() {
    // The six items after the designed one, as copies of it.
    for (int i = 1; i < 7; ++i) {
        menu_SizeView[i].Init(menu_SizeView[0].Caption());
        menu_SizeView[i].OnClick = [this, i] { menu_SizeView_Click(i); };
        menu_ViewSize.InsertAfter(menu_SizeView[i - 1], menu_SizeView[i]);
    }
}

void FrmPopupMenu::ShowPopup(int x, int y) {
    if (!IsLoaded()) Load();
    Menus().Popup(Pmenu, B().hWnd(), x, y);
}

void FrmPopupMenu::menuSizeViewRefresh() {
    RefreshPresetItems(menu_SizeView, menu_Bar8);
    menu_Next.SetEnabled(HasCurrentFile());
    menu_Previous.SetEnabled(HasCurrentFile());
}

void FrmPopupMenu::menu_Edit_Click() {
    const bool picture = !CurrentFileName.empty();
    menu_SaveAs.SetEnabled(picture);
    menu_Copy.SetEnabled(picture);
    menu_TileCopy.SetEnabled(picture);
    menu_Paste.SetEnabled(ClipboardOffersPicture());
}

void FrmPopupMenu::RefreshMiniCaption() { frmMini.SetCaption(MakeCaption()); }

void FrmPopupMenu::menu_Open_Click() {
    CheckWindowPoint(B());
    WindowNoTopMost(B());
    OpenPictureLoad(B().picView, &B().lblProgress, B(), false);
    RefreshMiniCaption();
    WindowTopMost(B());
}

void FrmPopupMenu::MenuByTurn(Turn turn) {
    CheckWindowPoint(B());
    if (TurnShownPicture(turn, B().picView, &B().lblProgress, B(), false)) RefreshMiniCaption();
}

void FrmPopupMenu::menu_DefaultSize_Click() {
    CheckWindowPoint(B());
    CurrentViewSize = 100;
    ApplyViewSize(B().picView, &B().lblProgress, B(), false);
    RefreshMiniCaption();
}

void FrmPopupMenu::menu_SizeView_Click(int index) {
    CheckWindowPoint(B());
    CurrentViewSize = Settings.ViewSizes[index].Percent;
    ApplyViewSize(B().picView, &B().lblProgress, B(), false);
    RefreshMiniCaption();
}

void FrmPopupMenu::menu_InputSize_Click() {
    CheckWindowPoint(B());
    WindowNoTopMost(B());
    const int16_t before = CurrentViewSize;
    frmDialogViewSize.Show(forms::vbModal);
    if (CurrentViewSize != before) ApplyViewSize(B().picView, &B().lblProgress, B(), false);
    WindowTopMost(B());
    RefreshMiniCaption();
}

void FrmPopupMenu::menu_Copy_Click() {
    WindowNoTopMost(B());
    CopyWithSizeCheck();
    WindowTopMost(B());
}

void FrmPopupMenu::menu_Paste_Click() {
    CheckWindowPoint(B());
    PastePicture(B().picView, &B().lblProgress, B(), false);
    RefreshMiniCaption();
}

void FrmPopupMenu::menu_TileCopy_Click() {
    WindowNoTopMost(B());
    frmDialogTile.Show(forms::vbModal);
    WindowTopMost(B());
}

void FrmPopupMenu::menu_SaveAs_Click() {
    WindowNoTopMost(B());
    SaveAsWithSizeCheck();
    WindowTopMost(B());
}

void FrmPopupMenu::menu_TitleFrame_Click() { B().TitleFrameView(); }
void FrmPopupMenu::menu_LayeredWindow_Click() { SetLayeredWindow(B(), 128); }
void FrmPopupMenu::menu_Mini_Click() { B().MiniNormal(); }
void FrmPopupMenu::menu_Quit_Click() { B().Unload(); }

}  // namespace tamsel
