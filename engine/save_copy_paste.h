#pragma once
// Saving the picture as BMP, copying it to the clipboard and pasting one from
// it. Saving and copying ask for the size when the view is scaled.
#include "forms/controls.h"
#include "forms/form.h"

namespace tamsel {

void SaveAsWithSizeCheck();
// The save dialog, then the natural-size (True) or displayed-size picture as BMP.
void SavePictureAs(bool blnNaturalSize);
void CopyWithSizeCheck();
void CopyPicture(bool blnNaturalSize);
// The clipboard's picture becomes the current picture, shown in the viewer.
void PastePicture(forms::PictureBox& picView, forms::Label* lblProgress, forms::Form& form, bool blnTitleFrame);
// Takes the clipboard's picture into the engine without showing it; True when
// a picture was taken.
bool ClipboardHasPicture();

}  // namespace tamsel
