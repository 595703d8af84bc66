#pragma once
// The framed viewer window: the picture in a scrolling area with both bars
// and a size grip, dragged to scroll, fitted by its frame on request.
#include "engine/folder_steps.h"
#include "engine/view_size.h"
#include "forms/controls.h"
#include "forms/form.h"
#include "windows/scroll_area.h"
#include "windows/viewer_menus.h"

#include <string>
#include <vector>

namespace tamsel {

class FrmNormal : public forms::Form, public FrameFitting {
public:
    forms::PictureBox picContainer;
    forms::ScrollBar HScroll;
    forms::ScrollBar VScroll;
    forms::PictureBox picDummy;  // the size grip
    forms::Line LineDummy[9];
    forms::PictureBox picView;
    forms::Label lblProgress;
    forms::Menu menu_File, menu_Open, menu_Next, menu_Previous, menu_Bar, menu_SaveAs, menu_Bar2, menu_Quit;
    forms::Menu menu_Edit, menu_Copy, menu_Paste, menu_Bar10, menu_TileCopy;
    forms::Menu menu_View, menu_NoTitleFrame, menu_FreamRefresh, menu_Bar3, menu_ViewSize, menu_DefaultSize, menu_Bar6;
    forms::Menu menu_SizeView[7];
    forms::Menu menu_Bar5, menu_InputSize, menu_Bar7, menu_MenuVisible, menu_VisibleEdit, menu_VisibleHelp;
    forms::Menu menu_Bar8, menu_Option;
    TurnMenu menu_Turn;
    forms::Menu menu_Help, menu_HelpContents, menu_Bar9, menu_Version;
    // Set by a window that closes only to make way for the other viewer window.
    bool SwitchingForm = false;

    // Fits the window's frame around the picture.
    void AttachFrameSize() override;
    void menu_SaveAs_Click();
    void menu_Copy_Click();
    void menu_Paste_Click();
    void menu_File_Click();
    void menu_Edit_Click();
    void menu_View_Click();
    void menu_MenuVisible_Click();
    void menu_Open_Click();
    void StepPicture(Step step);
    void TurnPicture(Turn turn);
    void menu_Quit_Click();
    void menu_FreamRefresh_Click();
    void menu_NoTitleFrame_Click();
    void menu_DefaultSize_Click();
    void menu_SizeView_Click(int16_t index);
    void menu_VisibleEdit_Click();
    void menu_VisibleHelp_Click();
    void menu_HelpContents_Click();
    void menu_TileCopy_Click();
    void menu_InputSize_Click();
    void menu_Option_Click();
    void menu_Version_Click();
    // Of the dropped files, the last that exists is opened; none clears the view.
    void picView_OLEDragDrop(const std::vector<std::wstring>& names);
    // Places the bars and the grip for the picture's size and the window's.
    void picContainer_Resize();

    // The bars' ranges in twips (a bar unit may stand for several).
    const BarRange& HorizontalRange() const { return hRange_; }
    const BarRange& VerticalRange() const { return vRange_; }
    HCURSOR DragCursor() const { return dragCursor_; }

    // Mouse handlers, with the cursor position read from the platform.
    void picView_MouseDown(int button);
    void picView_MouseMove();
    void picView_MouseUp();
    void picDummy_MouseDown();
    void picDummy_MouseMove();
    void picDummy_MouseUp();

protected:
    void InitializeComponent() override;
    void Form_Load() override;
    void Form_Unload(int& cancel) override;
    void Form_Resize() override;
    void Form_KeyDown(int& keyCode, int shift) override;
    void Form_MouseWheel(int delta, int shift, bool horizontal) override;
    void Form_DpiChanged() override;

private:
    void HScroll_Change();
    void VScroll_Change();
    void PlaceOnLoad();
    // A drag of the picture or the grip: where it began, and where the cursor has taken it.
    void BeginDrag(const forms::Control& dragged);
    void DraggedTo(double& newLeft, double& newTop) const;
    void BuildMenus();
    void ApplyViewSizeHere();
    void LayOutBars();
    DWORD WindowStyle() const override { return WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN; }

    bool Dragging = false;
    POINT DragOrigin{};
    double DragStartLeft = 0, DragStartTop = 0;
    bool GripResizing = false;
    BarRange hRange_, vRange_;
    HCURSOR dragCursor_ = nullptr;
    int32_t wheelPending_ = 0, tiltPending_ = 0;  // parts of a notch, per wheel
    bool layoutPending_ = false;  // resized while hidden: laid out before it shows
};

extern FrmNormal frmNormal;

}  // namespace tamsel
