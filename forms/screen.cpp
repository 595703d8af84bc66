#include "forms/screen.h"

#include <windows.h>

namespace forms {
namespace {
int Dpi(int index) {
    HDC dc = GetDC(nullptr);
    int dpi = GetDeviceCaps(dc, index);
    ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}
}  // namespace

namespace {
int gMousePointer = 0;
int gDpi = 0;  // 0: the system's
}  // namespace

int Screen::MousePointer() { return gMousePointer; }

void Screen::SetMousePointer(int pointer) {
    gMousePointer = pointer;
    SetCursor(LoadCursorW(nullptr, pointer == 11 ? IDC_WAIT : IDC_ARROW));
}

namespace {
CursorHook gCursorHook = nullptr;
}

void SetCursorHook(CursorHook hook) { gCursorHook = hook; }

void Screen::CursorPosition(long& x, long& y) {
    if (gCursorHook) return gCursorHook(x, y);
    POINT p{};
    GetCursorPos(&p);
    x = p.x;
    y = p.y;
}

int Screen::DpiX() { return gDpi ? gDpi : Dpi(LOGPIXELSX); }
int Screen::DpiY() { return gDpi ? gDpi : Dpi(LOGPIXELSY); }
void Screen::SetDpi(int dpi) { gDpi = dpi > 0 ? dpi : 0; }
int Screen::TwipsPerPixelX() { return 1440 / DpiX(); }
int Screen::TwipsPerPixelY() { return 1440 / DpiY(); }
int Screen::Width() { return GetSystemMetrics(SM_CXSCREEN) * TwipsPerPixelX(); }
int Screen::Height() { return GetSystemMetrics(SM_CYSCREEN) * TwipsPerPixelY(); }

}  // namespace forms
