#pragma once
// Tile copy: H x V copies of the current picture at its own size, as one
// bitmap on the cleared clipboard.
#include "dialogs/dialog_form.h"
#include "forms/controls.h"
#include "forms/dialog_controls.h"

namespace tamsel {

class FrmDialogTile : public DialogForm {
public:
    forms::Label Label4;
    forms::TextBox txtH;
    forms::Label Label5;
    forms::TextBox txtV;
    forms::CommandButton cmdOK;
    forms::CommandButton cmdCancel;
    forms::Label Label1;
    forms::PictureBox picDef;   // the source picture
    forms::PictureBox picMake;  // the tiles

    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void InitializeComponent() override;
    void Form_Load() override;
};

extern FrmDialogTile frmDialogTile;

}  // namespace tamsel
