#pragma once
// The framed viewer window: the picture at its view size in a window with a
// caption naming it.
#include "engine/view_size.h"
#include "forms/controls.h"
#include "forms/form.h"

#include <string>
#include <vector>

namespace tamsel {

class FrmNormal : public forms::Form, public FrameFitting {
public:
    forms::PictureBox picView;
    forms::Label lblProgress;
    // Set by a window that closes only to make way for the other viewer window.
    bool SwitchingForm = false;

    // Fits the window's frame around the picture, within the screen.
    void AttachFrameSize() override;
    void menu_SaveAs_Click();
    void menu_Copy_Click();
    void menu_Paste_Click();
    // Of the dropped files, the last that exists is opened; none clears the view.
    void picView_OLEDragDrop(const std::vector<std::wstring>& names);

protected:
    void InitializeComponent() override;
    void Form_Load() override;
    void Form_Unload(int& cancel) override;
    void Form_KeyDown(int& keyCode, int shift) override;
};

extern FrmNormal frmNormal;

}  // namespace tamsel
