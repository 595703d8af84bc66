#include "dialogs/frmDialogViewSize.h"

#include "app/mdlTamsel.h"
#include "dialogs/dialog_rules.h"

namespace tamsel {

FrmDialogViewSize frmDialogViewSize;

void FrmDialogViewSize::InitializeComponent() {
    SetCaption(L"任意の表示サイズ");
    SetClientSize(5640, 1080);
    // Created in the tab order.
    Label1.Create(*this, 120, 120, 4095, 255, L"表示サイズを 1～1000 の値（％）で入力してください");
    txtSize.OnChange = [this] { txtSize_Change(); };
    txtSize.Create(*this, 120, 600, 1935, 270);
    cmdCancel.Cancel = true;
    cmdCancel.OnClick = [this] { cmdCancel_Click(); };
    cmdCancel.Create(*this, 4440, 600, 1095, 375, L"キャンセル");
    cmdOK.Default = true;
    cmdOK.OnClick = [this] { cmdOK_Click(); };
    cmdOK.Create(*this, 4440, 120, 1095, 375, L"OK");
}

void FrmDialogViewSize::Form_Load() {
    CenterOnScreen();
    txtSize.SetText(std::to_wstring(CurrentViewSize));
    txtSize.Select(0, static_cast<int>(txtSize.Text().size()));
}

void FrmDialogViewSize::txtSize_Change() {
    if (auto corrected = CorrectedSizeText(txtSize.Text(), Int16Of(txtSize.Text()))) txtSize.SetText(*corrected);
}

void FrmDialogViewSize::cmdOK_Click() {
    const auto value = Int16Of(txtSize.Text());
    if (!value) {
        txtSize.SetText(std::to_wstring(CurrentViewSize));
        forms::Beep();
    } else if (*value < 1) {
        txtSize.SetText(L"1");
        forms::Beep();
    } else if (*value > 1000) {
        txtSize.SetText(L"1000");
        forms::Beep();
    } else {
        CurrentViewSize = *value;
        Unload();
    }
}

void FrmDialogViewSize::cmdCancel_Click() { Unload(); }

}  // namespace tamsel
