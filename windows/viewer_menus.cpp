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

void TurnMenu::Build(const std::function<void(Turn)>& onTurn) {
    menu.Init(L"回転(&R)");
    right.Init(L"右に 90 度回転(&R)\tR");
    left.Init(L"左に 90 度回転(&L)\tL");
    bar.Init(L"-");
    flipHorizontal.Init(L"左右反転(&H)\tH");
    flipVertical.Init(L"上下反転(&V)\tV");
    menu.Clear();
    for (forms::Menu* m : {&right, &left, &bar, &flipHorizontal, &flipVertical}) menu.Add(*m);
    right.OnClick = [onTurn] { onTurn(Turn::Right); };
    left.OnClick = [onTurn] { onTurn(Turn::Left); };
    flipHorizontal.OnClick = [onTurn] { onTurn(Turn::FlipHorizontal); };
    flipVertical.OnClick = [onTurn] { onTurn(Turn::FlipVertical); };
    menu.OnClick = [this] { Refresh(); };
}

void TurnMenu::Refresh() {
    const bool picture = !CurrentFileName.empty();
    for (forms::Menu* m : {&right, &left, &flipHorizontal, &flipVertical}) m->SetEnabled(picture);
}

bool TurnForKey(int keyCode, int shift, Turn& turn) {
    if (shift != 0) return false;
    switch (keyCode) {
    case 'R': turn = Turn::Right; return true;
    case 'L': turn = Turn::Left; return true;
    case 'H': turn = Turn::FlipHorizontal; return true;
    case 'V': turn = Turn::FlipVertical; return true;
    default: return false;
    }
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
