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

bool ClipboardHasPicture() {
    if (!ClipboardGetFormat(CF_BITMAP) && !ClipboardGetFormat(CF_METAFILEPICT) && !ClipboardGetFormat(CF_DIB))
        return false;
    forms::Picture picture;
    // A clipboard that cannot be read now (held by another program) holds no picture for us.
    if (FAILED(ClipboardGetData(picture)) || !frmBackground.picLoad.SetPicture(picture)) return false;
    if (Settings.ViewDefaultSize) CurrentViewSize = 100;
    CurrentFileName = kClipboardMarker;
    return true;
}

std::wstring MakeCaption() { return MakeCaption(PlatformFileSystem(), CurrentFileName, CurrentViewSize); }

}  // namespace tamsel
