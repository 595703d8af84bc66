#pragma once
// What both viewer windows show and do the same way.
#include <functional>

#include "engine/folder_steps.h"
#include "engine/orientation.h"
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

// The turn submenu of both windows: "回転" with right, left, and the two
// flips; a key of its own each (R, L, H, V without modifiers).
struct TurnMenu {
    forms::Menu menu, right, left, bar, flipHorizontal, flipVertical;
    void Build(const std::function<void(Turn)>& onTurn);
    // Greyed with no picture.
    void Refresh();
};
bool TurnForKey(int keyCode, int shift, Turn& turn);

// The keys that step through the folder, without modifiers: PageDown and
// Space next, PageUp and BackSpace previous, Home first, End last.
bool StepForKey(int keyCode, int shift, Step& step);

}  // namespace tamsel
