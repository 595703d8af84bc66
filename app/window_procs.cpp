// Procedures every viewer window shares.
#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"

namespace tamsel {

void SetViewPicture(forms::PictureBox& box) {
    if (CurrentViewSize == 100) {
        box.SetPicture(frmBackground.picLoad.GetPicture());
    } else {
        box.SetPicture(frmBackground.picBlt.Image());
    }
}

}  // namespace tamsel
