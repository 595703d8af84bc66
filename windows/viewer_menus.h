#pragma once
// What both viewer windows show and do the same way.
#include "engine/folder_steps.h"
#include "forms/form.h"
#include "forms/menu.h"

namespace tamsel {

// An empty viewer shows a 320 x 240 pixel area.
constexpr int kEmptyWidthPx = 320;
constexpr int kEmptyHeightPx = 240;

// From one viewer window to the other: the anchor point checked, the leaving
// window unloaded with its flag set (so it records its rectangle for the next
// instead of saving settings), the other shown.
void SwitchViewerWindow(forms::Form& leaving, bool& switchingForm, forms::Form& next);

// The seven preset items from ViewSizes: "N%" and shown when enabled; the
// separator after them only when one is shown.
void RefreshPresetItems(forms::Menu (&items)[7], forms::Menu& separator);

// The keys that step through the folder, without modifiers: PageDown and
// Space next, PageUp and BackSpace previous, Home first, End last.
bool StepForKey(int keyCode, int shift, Step& step);

}  // namespace tamsel
