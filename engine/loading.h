#pragma once
// The viewer windows' ways into the loading pipeline, and what follows a
// successful load: the caption and the view size.
#include <string>

#include "forms/controls.h"
#include "forms/form.h"

namespace tamsel {

// Loads a named file without any failure message; True when it loaded.
bool DropPictureLoad(const std::wstring& fileName, forms::PictureBox& picView, forms::Label* lblProgress,
                     forms::Form& form, bool blnTitleFrame);

// Open dialog, load, then update the window when the current file changed.
void OpenPictureLoad(forms::PictureBox& picView, forms::Label* lblProgress, forms::Form& form, bool blnTitleFrame);


// The caption for the current picture and view size.
std::wstring MakeCaption();


}  // namespace tamsel
