#pragma once
// The about box: logo, name, version from the program's version resource, copyright.
#include "dialogs/dialog_form.h"
#include "forms/controls.h"
#include "forms/dialog_controls.h"

namespace tamsel {

class FrmVersion : public DialogForm {
public:
    forms::PictureBox Image1;
    forms::Label lblName;
    forms::Label lblVersion;
    forms::Label lblCopyright;
    forms::CommandButton cmdClose;

    void cmdClose_Click();

protected:
    void InitializeComponent() override;
    void Form_Load() override;
};

extern FrmVersion frmVersion;

// Major, minor and revision of the running program's version resource; zeros without one.
void ProgramVersion(int& major, int& minor, int& revision);

}  // namespace tamsel
