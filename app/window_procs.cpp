// Procedures every viewer window shares: the picture it shows, topmost and
// layered states, and the anchor point that keeps it in place.
#include <windows.h>

#include "app/mdlTamsel.h"
#include "app/window_placement.h"
#include "engine/frmBackground.h"
#include "forms/screen.h"

namespace tamsel {
namespace {
Rect32 RectOf(const forms::Form& f) { return {f.Left(), f.Top(), f.Width(), f.Height()}; }
}  // namespace

void SetViewPicture(forms::PictureBox& box) {
    if (CurrentViewSize == 100) {
        box.SetPicture(frmBackground.picLoad.GetPicture());
    } else {
        box.SetPicture(frmBackground.picBlt.Image());
    }
}

void WindowTopMost(forms::Form& form) {
    SetWindowPos(form.hWnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

void WindowNoTopMost(forms::Form& form) {
    SetWindowPos(form.hWnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

bool SetLayeredWindow(forms::Form& form, int alpha) {
    if (alpha < 0 || alpha > 255 || !form.hWnd()) return false;
    const LONG style = GetWindowLongA(form.hWnd(), GWL_EXSTYLE);
    SetWindowLongA(form.hWnd(), GWL_EXSTYLE, style | WS_EX_LAYERED);
    return SetLayeredWindowAttributes(form.hWnd(), 0, static_cast<BYTE>(alpha), LWA_ALPHA) != FALSE;
}

void StoreWindowPoint(forms::Form& form) {
    if (auto p = AnchorOf(RectOf(form), Settings.WindowPointIndex)) {
        WindowPointX = p->x;
        WindowPointY = p->y;
    }
}

void CheckWindowPoint(forms::Form& form) {
    const Rect32 r = RectOf(form);
    if (r.left != LastWindowLeft || r.top != LastWindowTop || r.width != LastWindowWidth ||
        r.height != LastWindowHeight)
        StoreWindowPoint(form);
}

void PlaceWindowAtPoint(forms::Form& form) {
    if (form.WindowState() != forms::vbNormal) return;
    const Rect32 r = RectOf(form);
    LastWindowLeft = r.left;
    LastWindowTop = r.top;
    if (!Settings.WindowPoint) return;
    const Point32 p = PlaceAtAnchor(r, Settings.WindowPointIndex, {WindowPointX, WindowPointY},
                                    forms::Screen::Width(), forms::Screen::Height());
    LastWindowLeft = p.x;
    LastWindowTop = p.y;
    form.Move(p.x, p.y);
}

}  // namespace tamsel
