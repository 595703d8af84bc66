#include "forms/form.h"

#include <windowsx.h>

#include <cstring>
#include <utility>
#include <vector>

#include "forms/controls.h"
#include "forms/dialog_controls.h"
#include "forms/screen.h"

namespace forms {
namespace {

constexpr wchar_t kFormClass[] = L"TamselForm";
int gLoadedForms = 0;

void RegisterFormClass() {
    static bool done = false;
    if (done) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcW;  // replaced per window by StaticProc
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kFormClass;
    RegisterClassExW(&wc);
    done = true;
}

Form* FormOf(HWND h) { return h ? reinterpret_cast<Form*>(GetWindowLongPtrW(h, GWLP_USERDATA)) : nullptr; }

int ShiftState() {
    int s = 0;
    if (GetKeyState(VK_SHIFT) < 0) s |= vbShiftMask;
    if (GetKeyState(VK_CONTROL) < 0) s |= vbCtrlMask;
    if (GetKeyState(VK_MENU) < 0) s |= vbAltMask;
    return s;
}

// A modal form disables every other visible form of the thread while it is shown.
struct DisabledOthers {
    HWND self;
    std::vector<HWND> disabled;
};

BOOL CALLBACK DisableOther(HWND h, LPARAM lp) {
    auto* o = reinterpret_cast<DisabledOthers*>(lp);
    if (h != o->self && FormOf(h) && IsWindowVisible(h) && IsWindowEnabled(h)) {
        EnableWindow(h, FALSE);
        o->disabled.push_back(h);
    }
    return TRUE;
}

}  // namespace

Form::Form() = default;

Form::~Form() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
        --gLoadedForms;
    }
}

void Form::Load() {
    if (hwnd_) return;
    RegisterFormClass();
    HWND h = CreateWindowExW(WindowExStyle(), kFormClass, L"", WindowStyle(), CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!h) return;
    hwnd_ = h;
    SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Form::StaticProc));
    ++gLoadedForms;
    controls_.clear();
    InitializeComponent();
    Form_Load();
}

void Form::Show(int modal) {
    Load();
    if (!hwnd_) return;
    if (modal == vbModal) {
        // Owned by the window it was opened from, so it stays out of the taskbar.
        HWND active = GetActiveWindow();
        if (active && active != hwnd_ && FormOf(active))
            SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(active));
    }
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    if (DialogKeys) {
        // The first control in the tab order that takes the focus.
        if (HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE)) SetFocus(first);
    }
    if (modal != vbModal) return;

    // Every other visible form waits until this one is done.
    DisabledOthers others{hwnd_, {}};
    EnumThreadWindows(GetCurrentThreadId(), &DisableOther, reinterpret_cast<LPARAM>(&others));
    MSG msg;
    while (hwnd_ && IsWindowVisible(hwnd_)) {
        BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r <= 0) {
            if (r == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        DispatchOne(msg);
    }
    for (HWND h : others.disabled)
        if (IsWindow(h)) EnableWindow(h, TRUE);
}

void Form::MovedToDpi(int dpi, const RECT& suggested) {
    const bool changed = dpi > 0 && dpi != Screen::DpiY();
    if (changed) Screen::SetDpi(dpi);
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (!changed) return;
    // One DPI for the whole program: its dialogs open over the window that moved.
    EnumThreadWindows(GetCurrentThreadId(), &Form::LayOutWindowForDpi, 0);
}

BOOL CALLBACK Form::LayOutWindowForDpi(HWND h, LPARAM) {
    if (Form* f = FormOf(h)) f->LayOutForDpi();
    return TRUE;
}

void Form::LayOutForDpi() {
    for (Control* c : controls_) c->DpiChanged();
    Form_DpiChanged();
}

void Form::SetClientSize(int width, int height) {
    if (!hwnd_) return;
    RECT r{0, 0, TwipsToPixelsX(width), TwipsToPixelsY(height)};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), GetMenu(hwnd_) != nullptr,
                       static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::CenterOnScreen() { Move((Screen::Width() - Width()) / 2, (Screen::Height() - Height()) / 2); }

void Form::Hide() {
    if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

bool Form::Unload() {
    if (!hwnd_) return true;
    int cancel = 0;
    Form_Unload(cancel);
    if (cancel) return false;
    if (!hwnd_) return true;  // the handler unloaded us itself
    for (Control* c : controls_) c->Release();
    controls_.clear();
    HWND h = hwnd_;
    hwnd_ = nullptr;
    SetWindowLongPtrW(h, GWLP_USERDATA, 0);
    DestroyWindow(h);
    menus_.Release();
    --gLoadedForms;
    PostMessageW(nullptr, WM_NULL, 0, 0);  // wake the loop so it sees the count
    return true;
}

std::wstring Form::Caption() const {
    if (!hwnd_) return L"";
    int n = GetWindowTextLengthW(hwnd_);
    std::wstring s(n + 1, L'\0');
    s.resize(GetWindowTextW(hwnd_, s.data(), n + 1));
    return s;
}

void Form::SetCaption(const std::wstring& text) {
    if (hwnd_) SetWindowTextW(hwnd_, text.c_str());
}

bool Form::Visible() const { return hwnd_ && IsWindowVisible(hwnd_); }

RECT Form::WindowRect() const {
    RECT r{};
    if (!hwnd_) return r;
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    // The normal rectangle also while minimised, as the form reports it.
    if (IsIconic(hwnd_) && GetWindowPlacement(hwnd_, &wp)) return wp.rcNormalPosition;
    GetWindowRect(hwnd_, &r);
    return r;
}

int Form::Left() const { return PixelsToTwipsX(WindowRect().left); }
int Form::Top() const { return PixelsToTwipsY(WindowRect().top); }
int Form::Width() const {
    RECT r = WindowRect();
    return PixelsToTwipsX(r.right - r.left);
}
int Form::Height() const {
    RECT r = WindowRect();
    return PixelsToTwipsY(r.bottom - r.top);
}

void Form::Move(int left, int top, int width, int height) {
    if (!hwnd_) return;
    RECT r = WindowRect();
    int w = width < 0 ? r.right - r.left : TwipsToPixelsX(width);
    int h = height < 0 ? r.bottom - r.top : TwipsToPixelsY(height);
    const int x = TwipsToPixelsX(left), y = TwipsToPixelsY(top);
    if (!IsIconic(hwnd_) && x == r.left && y == r.top && w == r.right - r.left && h == r.bottom - r.top) return;
    SetWindowPos(hwnd_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

int Form::ScaleWidth() const {
    RECT r{};
    if (hwnd_) GetClientRect(hwnd_, &r);
    return PixelsToTwipsX(r.right);
}
int Form::ScaleHeight() const {
    RECT r{};
    if (hwnd_) GetClientRect(hwnd_, &r);
    return PixelsToTwipsY(r.bottom);
}

int Form::WindowState() const {
    if (!hwnd_) return vbNormal;
    if (IsIconic(hwnd_)) return vbMinimized;
    if (IsZoomed(hwnd_)) return vbMaximized;
    return vbNormal;
}

void Form::SetWindowState(int state) {
    if (!hwnd_) return;
    int cmd = state == vbMinimized ? SW_MINIMIZE : state == vbMaximized ? SW_MAXIMIZE : SW_RESTORE;
    ShowWindow(hwnd_, IsWindowVisible(hwnd_) ? cmd : (state == vbNormal ? SW_HIDE : cmd));
}

bool Form::PreviewKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    int key = static_cast<int>(msg.wParam);
    const int shift = ShiftState();
    if (KeyPreview || msg.hwnd == hwnd_) {
        Form_KeyDown(key, shift);
        if (key == 0) return true;  // the handler took the key
    }
    return msg.message == WM_KEYDOWN && shift == vbCtrlMask && menus_.Shortcut(key);
}

LRESULT Form::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CLOSE:
        Unload();
        return 0;
    case WM_SIZE:
        Form_Resize();
        return 0;
    case WM_INITMENUPOPUP:
        if (menus_.Opening(reinterpret_cast<HMENU>(wp)) || MenuBar::OpeningAnywhere(reinterpret_cast<HMENU>(wp)))
            return 0;
        return DefaultProc(msg, wp, lp);
    case WM_COMMAND:
        if (HIWORD(wp) == 0 && lp == 0 && menus_.Command(LOWORD(wp))) return 0;
        if (auto* c = NotifyingControl::FromWindow(reinterpret_cast<HWND>(lp))) {
            c->Notify(HIWORD(wp));
            return 0;
        }
        // Esc (IDCANCEL) or Enter without a default button (IDOK), from the dialog keys.
        if (LOWORD(wp) == IDCANCEL || LOWORD(wp) == IDOK) {
            for (Control* c : controls_)
                if (auto* b = dynamic_cast<CommandButton*>(c);
                    b && (LOWORD(wp) == IDCANCEL ? b->Cancel : b->Default) && b->Enabled()) {
                    b->Click();
                    return 0;
                }
        }
        return DefaultProc(msg, wp, lp);
    case WM_CTLCOLORSTATIC:
        if (HBRUSH b = Label::Colours(reinterpret_cast<HWND>(lp), reinterpret_cast<HDC>(wp)))
            return reinterpret_cast<LRESULT>(b);
        return DefaultProc(msg, wp, lp);
    case WM_NEXTDLGCTL: {
        // Dialog navigation (Tab, access keys): the named control, or the next or previous one.
        HWND target = LOWORD(lp) ? reinterpret_cast<HWND>(wp) : GetNextDlgTabItem(hwnd_, GetFocus(), wp != 0);
        if (target) {
            SetFocus(target);
            if (SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(target, EM_SETSEL, 0, -1);
        }
        return 0;
    }
    case DM_GETDEFID:
        for (Control* c : controls_)
            if (auto* b = dynamic_cast<CommandButton*>(c); b && b->Default && b->hWnd())
                return MAKELRESULT(GetDlgCtrlID(b->hWnd()), DC_HASDEFID);
        return 0;
    case WM_MOUSEMOVE:
        Form_MouseMove();
        return 0;
    case WM_DPICHANGED:
        if (lp) MovedToDpi(HIWORD(wp), *reinterpret_cast<const RECT*>(lp));
        return 0;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL: {
        const WORD keys = GET_KEYSTATE_WPARAM(wp);
        const int shift = ((keys & MK_SHIFT) ? vbShiftMask : 0) | ((keys & MK_CONTROL) ? vbCtrlMask : 0) |
                          ((GetKeyState(VK_MENU) < 0) ? vbAltMask : 0);
        Form_MouseWheel(GET_WHEEL_DELTA_WPARAM(wp), shift, msg == WM_MOUSEHWHEEL);
        return 0;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (ScrollBar* bar = lp ? ScrollBar::FromWindow(reinterpret_cast<HWND>(lp)) : nullptr) {
            bar->Scroll(LOWORD(wp));
            return 0;
        }
        return DefaultProc(msg, wp, lp);
    case WM_SETCURSOR:
        if (Screen::MousePointer() != 0 && LOWORD(lp) == HTCLIENT) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        return DefaultProc(msg, wp, lp);
    default:
        return DefaultProc(msg, wp, lp);
    }
}

LRESULT CALLBACK Form::StaticProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Form* f = FormOf(h);
    if (!f) return DefWindowProcW(h, msg, wp, lp);
    return f->WndProc(msg, wp, lp);
}

int LoadedFormCount() { return gLoadedForms; }

void DispatchOne(MSG& msg) {
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (Form* f = FormOf(root); f && f->PreviewKey(msg)) return;
    }
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && msg.hwnd) {
        HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        if (Form* f = FormOf(root); f && f->DialogKeys && IsDialogMessageW(root, &msg)) return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

namespace {
struct HeldKey {
    MSG msg;
    int shift;
};
std::vector<HeldKey> gHeldKeys;
int gHolding = 0;
}  // namespace

namespace {
// The window a drag moves while work holds commands, where the press was
// (screen) and where the window stood then.
struct {
    HWND window = nullptr;
    POINT grab{}, origin{};
} gDrag;

void EndDrag(bool workDone) {
    const HWND window = std::exchange(gDrag.window, nullptr);
    if (!window) return;
    if (GetCapture() == window) ReleaseCapture();
    // The button still down: the platform's move takes over from here.
    if (workDone && GetAsyncKeyState(GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON) < 0)
        PostMessageW(window, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
}
}  // namespace

HoldingInput::HoldingInput() { ++gHolding; }
HoldingInput::~HoldingInput() {
    if (--gHolding == 0) EndDrag(true);
}

void FollowWindowDrags() {
    MSG m;
    if (!gDrag.window) {
        POINT grab{};
        if (PeekMessageW(&m, nullptr, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_NOREMOVE) && m.wParam == HTCAPTION) {
            grab = {GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)};  // the screen's
        } else if (PeekMessageW(&m, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE)) {
            const PictureBox* box = PictureBox::FromWindow(m.hwnd);
            if (!box || !box->PressMovesWindow) return;
            grab = {GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)};
            ClientToScreen(m.hwnd, &grab);
        } else {
            return;
        }
        PeekMessageW(&m, m.hwnd, m.message, m.message, PM_REMOVE);
        RECT at;
        const HWND window = GetAncestor(m.hwnd, GA_ROOT);
        if (!window || !GetWindowRect(window, &at)) return;
        gDrag.window = window;
        gDrag.grab = grab;
        gDrag.origin = {at.left, at.top};
        SetCapture(window);
    }
    while (gDrag.window && PeekMessageW(&m, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
        if (m.message != WM_MOUSEMOVE && m.message != WM_LBUTTONUP) continue;
        POINT p{GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)};
        ClientToScreen(m.hwnd, &p);
        SetWindowPos(gDrag.window, nullptr, gDrag.origin.x + p.x - gDrag.grab.x, gDrag.origin.y + p.y - gDrag.grab.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (m.message == WM_LBUTTONUP) EndDrag(false);
    }
}


void HoldKeys(bool (*consume)(const MSG& msg, int shift, void* context), void* context) {
    MSG m;
    while (PeekMessageW(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
        // Taking a key from the queue brings the key state up to it.
        const int shift = (GetKeyState(VK_SHIFT) < 0 ? 1 : 0) | (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
                          (GetKeyState(VK_MENU) < 0 ? 4 : 0);
        if (!consume || !consume(m, shift, context)) gHeldKeys.push_back({m, shift});
    }
}

void ReplayHeldKeys() {
    while (gHolding == 0 && !gHeldKeys.empty()) {
        HeldKey k = gHeldKeys.front();
        gHeldKeys.erase(gHeldKeys.begin());
        BYTE state[256] = {}, saved[256] = {};
        GetKeyboardState(saved);
        std::memcpy(state, saved, sizeof state);
        auto set = [&](int vk, bool down) { state[vk] = down ? 0x80 : 0; };
        set(VK_SHIFT, k.shift & 1), set(VK_CONTROL, k.shift & 2), set(VK_MENU, k.shift & 4);
        SetKeyboardState(state);
        DispatchOne(k.msg);
        SetKeyboardState(saved);
    }
}

void RunMessageLoop() {
    MSG msg;
    while (LoadedFormCount() > 0) {
        ReplayHeldKeys();
        BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r <= 0) break;
        DispatchOne(msg);
    }
}

void DoEvents() {
    // Keys held by a load that ran meanwhile are run too, as the message loop runs them.
    do {
        ReplayHeldKeys();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            DispatchOne(msg);
        }
    } while (gHolding == 0 && !gHeldKeys.empty());
}

HFONT UIFont() { return FontOf(L"MS UI Gothic", 9); }

}  // namespace forms
