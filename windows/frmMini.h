#pragma once
// The taskbar stand-in for the minimized borderless window: restoring it
// brings that window back, closing it closes the viewer.
#include "forms/form.h"

namespace tamsel {

class FrmMini : public forms::Form {
public:
    // True while this window stands in for the minimized borderless window.
    void SetRun(bool run) { blnRun = run; }

protected:
    void InitializeComponent() override;
    void Form_Resize() override;
    void Form_Unload(int& cancel) override;
    DWORD WindowStyle() const override { return WS_OVERLAPPEDWINDOW & ~WS_MAXIMIZEBOX; }
    DWORD WindowExStyle() const override { return WS_EX_APPWINDOW; }

private:
    bool blnRun = false;
};

extern FrmMini frmMini;

}  // namespace tamsel
