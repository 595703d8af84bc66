#pragma once
// What both viewer windows' menus show the same way.
#include "engine/folder_steps.h"
#include "forms/menu.h"

namespace tamsel {

// The seven preset items from ViewSizes: "N%" and shown when enabled; the
// separator after them only when one is shown.
void RefreshPresetItems(forms::Menu (&items)[7], forms::Menu& separator);

// Paste is offered for a bitmap, a metafile or a device-independent bitmap on the clipboard.
bool ClipboardOffersPicture();

// The keys that step through the folder, without modifiers: PageDown and
// Space next, PageUp and BackSpace previous, Home first, End last.
bool StepForKey(int keyCode, int shift, Step& step);

}  // namespace tamsel
