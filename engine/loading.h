#pragma once
// The viewer windows' ways into the loading pipeline, and what follows a
// successful load: the caption and the view size.
#include <string>

#include "engine/folder_steps.h"
#include "engine/orientation.h"
#include "forms/controls.h"
#include "forms/form.h"

namespace tamsel {

// Loads a named file without any failure message; True when it loaded.
bool DropPictureLoad(const std::wstring& fileName, forms::PictureBox& picView, forms::Label* lblProgress,
                     forms::Form& form, bool blnTitleFrame);

// Open dialog, load, then update the window when the current file changed.
void OpenPictureLoad(forms::PictureBox& picView, forms::Label* lblProgress, forms::Form& form, bool blnTitleFrame);

// Whether the picture shown came from a file (not the clipboard, not none).
bool HasCurrentFile();

// Turns or flips the picture as loaded, then shows it again at the current
// view size, fitted and placed as a new view is. False with no picture.
bool TurnShownPicture(Turn turn, forms::PictureBox& picView, forms::Label* lblProgress, forms::Form& form,
                      bool blnTitleFrame);

// The next, previous, first or last picture of the current file's folder
// (of its archive, while an archive entry is shown),
// read afresh, loaded and shown as an opened file is; files no decoder reads
// are passed over. A beep when there is none; nothing without a current file
// or while another step is loading. True when a picture loaded.
bool StepPictureLoad(Step step, forms::PictureBox& picView, forms::Label* lblProgress, forms::Form& form,
                     bool blnTitleFrame);

// After a picture is shown complete (by a load, or when its high-quality stage
// ends): the next picture the way the last step went is read ahead, when the
// option says so and the picture is a file of a folder.
void ReadAheadAfterShowing();
// The order in which the shell lists names: digits by their value.
int ShellOrder(const std::wstring& a, const std::wstring& b);
// The caption for the current picture and view size.
std::wstring MakeCaption();


}  // namespace tamsel
