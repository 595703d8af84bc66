#include "engine/loading.h"

#include "app/mdlTamsel.h"
#include "engine/caption.h"
#include "engine/frmBackground.h"
#include "engine/picture_services.h"
#include "windows/frmNormal.h"

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

void ApplyViewSize(forms::PictureBox& picView, forms::Label* lblProgress, forms::Form& form, bool blnTitleFrame) {
    // The fast result at once, fitted; then the high-quality one in its place.
    frmBackground.FirstResizePicture();
    SetViewPicture(picView);
    if (blnTitleFrame && Settings.AutoAttach) {
        if (auto* framed = dynamic_cast<FrmNormal*>(&form)) framed->AttachFrameSize();
    }
    if (Settings.PictureBlt && CurrentViewSize != 100) {
        if (lblProgress) lblProgress->SetVisible(true);
        frmBackground.ResizePicture(lblProgress);
        if (lblProgress) lblProgress->SetVisible(false);
        SetViewPicture(picView);
    }
}

}  // namespace tamsel
