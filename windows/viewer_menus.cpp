#include "windows/viewer_menus.h"

#include <windows.h>

#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"

namespace tamsel {

void RefreshPresetItems(forms::Menu (&items)[7], forms::Menu& separator) {
    bool any = false;
    for (int i = 0; i < 7; ++i) {
        const ViewSizeEntry& entry = Settings.ViewSizes[i];
        items[i].SetCaption(std::to_wstring(entry.Percent) + L"%");
        items[i].SetVisible(entry.Enabled != kFalse);
        any = any || entry.Enabled != kFalse;
    }
    separator.SetVisible(any);
}

void SwitchViewerWindow(forms::Form& leaving, bool& switchingForm, forms::Form& next) {
    frmBackground.Arrive(Arriving::ReadsPicture);  // the other window shows the rendering's result
    CheckWindowPoint(leaving);
    switchingForm = true;
    leaving.Unload();
    next.Show();
}

bool StepForKey(int keyCode, int shift, Step& step) {
    if (shift != 0) return false;
    switch (keyCode) {
    case VK_NEXT:
    case VK_SPACE: step = Step::Next; return true;
    case VK_PRIOR:
    case VK_BACK: step = Step::Previous; return true;
    case VK_HOME: step = Step::First; return true;
    case VK_END: step = Step::Last; return true;
    default: return false;
    }
}

}  // namespace tamsel
