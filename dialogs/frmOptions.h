#pragma once
// The options: preset view sizes, how the viewer starts and opens pictures,
// the window's anchor point and the extras. Written to Settings only by
// Apply and OK.
#include <array>

#include "app/settings_record.h"
#include "dialogs/dialog_form.h"
#include "forms/controls.h"
#include "forms/dialog_controls.h"

namespace tamsel {

class FrmOptions : public DialogForm {
public:
    FrmOptions();

    forms::Frame Frame1, Frame2, Frame3, frameAnother;
    forms::PictureBox Picture1, Picture2, Picture3, Picture4;
    forms::OptionButton optRunState[3];
    forms::CheckBox chkAutoAttach, chkViewDefalutSize, chkWindowPoint, chkExifOrientation, chkReadAhead;
    forms::Label lblWindowPoint;
    forms::OptionButton optPoint[5];
    forms::CheckBox chkSize[7];
    forms::TextBox txtSize[7];
    forms::Label lblMsg;
    forms::CheckBox chkAnother;
    forms::CommandButton cmdOK, cmdCancel, cmdApp;
    forms::CheckBox chkDefaultPicture;
    forms::TextBox txtDefaultPictureName;
    forms::CommandButton cmdDefPic;
    forms::CheckBox chkPictureBlt, chkTranslucence;

    // What the last Apply of the run stored; never filled from Settings.
    std::array<ViewSizeEntry, 7> WorkViewSizes{};

    void cmdApp_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdDefPic_Click();

protected:
    void InitializeComponent() override;
    void Form_Load() override;
    void Form_MouseMove() override;

private:
    void chkAnother_Click();
    void chkSize_Click(int index);
    void chkWindowPoint_Click();
    void chkDefaultPicture_Click();
    void txtSize_Change(int index);
};

extern FrmOptions frmOptions;

}  // namespace tamsel
