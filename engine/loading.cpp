#include "engine/loading.h"

#include "app/mdlTamsel.h"
#include "engine/caption.h"
#include "engine/frmBackground.h"
#include "engine/picture_services.h"
#include "engine/view_size.h"

namespace tamsel {

bool DropPictureLoad(const std::wstring& fileName, forms::PictureBox& picView, forms::Label* lblProgress,
                     forms::Form& form, bool blnTitleFrame) {
    if (lblProgress) {
        lblProgress->SetCaption(L"Load ...");
        lblProgress->SetVisible(true);
    }
    bool ok = false;
    try {
        ok = frmBackground.PictureLoadRun(fileName, false);
    } catch (...) {
        ok = false;
    }
    if (lblProgress) lblProgress->SetVisible(false);
    if (!ok) return false;
    if (blnTitleFrame) form.SetCaption(MakeCaption());
    if (Settings.ViewDefaultSize) CurrentViewSize = 100;
    ApplyViewSize(picView, lblProgress, form, blnTitleFrame);
    return true;
}

void OpenPictureLoad(forms::PictureBox& picView, forms::Label* lblProgress, forms::Form& form, bool blnTitleFrame) {
    const std::wstring before = CurrentFileName;
    if (lblProgress) {
        lblProgress->SetCaption(L"Load ...");
        lblProgress->SetVisible(true);
    }
    frmBackground.PictureLoad(lblProgress);
    if (lblProgress) lblProgress->SetVisible(false);
    if (blnTitleFrame) form.SetCaption(MakeCaption());
    if (CurrentFileName != before) {
        if (Settings.ViewDefaultSize) CurrentViewSize = 100;
        ApplyViewSize(picView, lblProgress, form, blnTitleFrame);
    }
}


std::wstring MakeCaption() { return MakeCaption(PlatformFileSystem(), CurrentFileName, CurrentViewSize); }

}  // namespace tamsel
