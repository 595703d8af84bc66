#include "engine/view_size.h"

#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"

namespace tamsel {
namespace {

void FitFrame(forms::Form& form, bool blnTitleFrame) {
    if (!blnTitleFrame || !Settings.AutoAttach) return;
    // A window without the method is simply not fitted.
    if (auto* fitting = dynamic_cast<FrameFitting*>(&form)) fitting->AttachFrameSize();
}

}  // namespace

void ApplyViewSize(forms::PictureBox& picView, forms::Label* lblProgress, forms::Form& form, bool blnTitleFrame) {
    frmBackground.NewView();  // a run this one interrupts does not overwrite it
    picView.Cls();
    if (CurrentViewSize == 100) {
        picView.SetPicture(frmBackground.picLoad.GetPicture());
        FitFrame(form, blnTitleFrame);
        PlaceWindowAtPoint(form);
        return;
    }
    frmBackground.FirstResizePicture();
    picView.SetPicture(frmBackground.picBlt.Image());
    if (picView.hWnd()) UpdateWindow(picView.hWnd());  // the fast result on the screen before anything slow
    FitFrame(form, blnTitleFrame);
    PlaceWindowAtPoint(form);
    if (!Settings.PictureBlt) return;
    if (lblProgress) {
        lblProgress->SetCaption(L"Resize ...");
        lblProgress->SetVisible(true);
    }
    // The high-quality result replaces the fast one when it is ready, and the label hides.
    frmBackground.StartRender(&picView, lblProgress);
}

}  // namespace tamsel
