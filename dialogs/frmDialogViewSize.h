#pragma once
// Any view size from 1 to 1000 %: OK stores it in CurrentViewSize, Cancel
// leaves it alone.
#include "dialogs/dialog_form.h"
#include "forms/controls.h"
#include "forms/dialog_controls.h"

namespace tamsel {

class FrmDialogViewSize : public DialogForm {
public:
    forms::Label Label1;
    forms::TextBox txtSize;
    forms::CommandButton cmdCancel;
    forms::CommandButton cmdOK;

    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void InitializeComponent() override;
    void Form_Load() override;

private:
    void txtSize_Change();
};

extern FrmDialogViewSize frmDialogViewSize;

}  // namespace tamsel
