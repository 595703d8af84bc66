#pragma once
// The borderless window's popup menu and the commands behind it; a form that
// is never shown.
#include "forms/form.h"
#include "forms/menu.h"
#include "windows/viewer_menus.h"

namespace tamsel {

class FrmPopupMenu : public forms::Form {
public:
    forms::Menu Pmenu;
    forms::Menu menu_Open, menu_Next, menu_Previous, menu_Bar, menu_ViewSize, menu_DefaultSize, menu_bar7;
    forms::Menu menu_SizeView[7];
    forms::Menu menu_Bar8, menu_InputSize;
    forms::Menu menu_Edit, menu_Copy, menu_Paste, menu_Bar6, menu_TileCopy, menu_SaveAs;
    forms::Menu menu_Bar2, menu_TitleFrame, menu_LayeredWindow, menu_Mini, menu_Bar3, menu_Quit;
    TurnMenu menu_Turn;

    void menuSizeViewRefresh();
    void MenuLayered() { menu_LayeredWindow_Click(); }
    void MenuByOpen() { menu_Open_Click(); }
    void MenuBySaveAs() { menu_SaveAs_Click(); }
    void MenuByCopy() { menu_Copy_Click(); }
    void MenuByPaste() { menu_Paste_Click(); }
    void MenuByTitleFrame() { menu_TitleFrame_Click(); }
    void MenuByDefaultSize() { menu_DefaultSize_Click(); }
    void MenuByInputSize() { menu_InputSize_Click(); }
    void MenuByTurn(Turn turn);

    // Shows Pmenu at a screen position (pixels) for the borderless window.
    void ShowPopup(int x, int y);

protected:
    void InitializeComponent() override;
    void Form_Load() override;
    DWORD WindowStyle() const override { return WS_POPUP; }
    DWORD WindowExStyle() const override { return WS_EX_TOOLWINDOW; }

private:
    void menu_Edit_Click();
    void menu_Open_Click();
    void menu_DefaultSize_Click();
    void menu_SizeView_Click(int index);
    void menu_InputSize_Click();
    void menu_Copy_Click();
    void menu_Paste_Click();
    void menu_TileCopy_Click();
    void menu_SaveAs_Click();
    void menu_TitleFrame_Click();
    void menu_LayeredWindow_Click();
    void menu_Mini_Click();
    void menu_Quit_Click();
    void RefreshMiniCaption();
};

extern FrmPopupMenu frmPopupMenu;

}  // namespace tamsel
