#include "windows/frmMini.h"

#include "windows/frmNoTitleFrame.h"

namespace tamsel {

FrmMini frmMini;

void FrmMini::InitializeComponent() {
    blnRun = false;
    SetCaption(L"Form1");
}

void FrmMini::Form_Resize() {
    // The resizes while the borderless window minimizes come before blnRun is set.
    if (WindowState() == forms::vbMinimized || !blnRun) return;
    blnRun = false;
    frmNoTitleFrame.Show();
    Hide();
}

void FrmMini::Form_Unload(int& cancel) {
    (void)cancel;
    if (!blnRun) return;
    blnRun = false;
    frmNoTitleFrame.Unload();
}

}  // namespace tamsel
