#pragma once
// The borderless viewer window: exactly the picture, topmost, moved by
// dragging it; commands through the popup menu and Ctrl keys.
#include <string>
#include <vector>

#include "engine/folder_steps.h"
#include "forms/controls.h"
#include "forms/form.h"

namespace tamsel {

class FrmNoTitleFrame : public forms::Form {
public:
    forms::PictureBox picView;
    forms::Label lblProgress;
    // Set by a window that closes only to make way for the framed window.
    bool SwitchingForm = false;

    void TitleFrameView();
    void StepPicture(Step step);
    void MiniNormal();

    void picView_MouseDown(int button);
    // Of the dropped files, the last that exists is opened; none clears the view.
    void picView_OLEDragDrop(const std::vector<std::wstring>& names);

protected:
    void InitializeComponent() override;
    void Form_Load() override;
    void Form_Unload(int& cancel) override;
    void Form_KeyDown(int& keyCode, int shift) override;
    void Form_MouseWheel(int delta, int shift, bool horizontal) override;
    void Form_DpiChanged() override { picView_Resize(); }  // exactly the picture, at any DPI
    DWORD WindowStyle() const override { return WS_POPUP | WS_CLIPCHILDREN; }
    // A tool window has no taskbar button; the mini window stands in when minimized.
    DWORD WindowExStyle() const override { return WS_EX_TOOLWINDOW; }

private:
    void picView_Resize();
    void ShowPopupAtCursor();
    int wheelPending_ = 0;
};

extern FrmNoTitleFrame frmNoTitleFrame;

}  // namespace tamsel
