#include "forms/dialog_controls.h"

#include <map>
#include <tuple>

#include "forms/form.h"
#include "forms/screen.h"

namespace forms {
namespace {
constexpr wchar_t kNotifyProp[] = L"forms.Control";
int gNextControlId = 1000;
BeepHook gBeepHook = nullptr;

// Mouse moves reach the control through a subclass of its window.
LRESULT CALLBACK MouseProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = NotifyingControl::FromWindow(h);
    auto old = reinterpret_cast<WNDPROC>(GetPropW(h, L"forms.OldProc"));
    if (msg == WM_MOUSEMOVE && self && self->OnMouseMove) self->OnMouseMove();
    if (dynamic_cast<Frame*>(self)) {
        if (msg == WM_NCHITTEST) return HTCLIENT;  // not the form's background
        if (msg == WM_ERASEBKGND) {
            // A group box draws only its line and caption.
            RECT r;
            GetClientRect(h, &r);
            FillRect(reinterpret_cast<HDC>(wp), &r, GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        RemovePropW(h, L"forms.OldProc");
    }
    return CallWindowProcW(old, h, msg, wp, lp);
}
}  // namespace

NotifyingControl* NotifyingControl::FromWindow(HWND h) {
    return h ? static_cast<NotifyingControl*>(GetPropW(h, kNotifyProp)) : nullptr;
}

void NotifyingControl::CreateNotifying(Form& parent, const wchar_t* className, DWORD style,
                                       const std::wstring& text) {
    CreateWindowFor(parent, className, style | (enabled_ ? 0 : WS_DISABLED), text);
    if (!hwnd_) return;
    SetWindowLongPtrW(hwnd_, GWLP_ID, gNextControlId++);
    SetPropW(hwnd_, kNotifyProp, this);
    SetPropW(hwnd_, L"forms.OldProc",
             reinterpret_cast<HANDLE>(SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MouseProc))));
}

void NotifyingControl::Release() {
    if (hwnd_ && IsWindow(hwnd_)) RemovePropW(hwnd_, kNotifyProp);
    Control::Release();
    enabled_ = true;
}

void NotifyingControl::SetEnabled(bool v) {
    enabled_ = v;
    if (hwnd_) EnableWindow(hwnd_, v);
}

void NotifyingControl::SetFocus() {
    if (hwnd_) ::SetFocus(hwnd_);
}

void Frame::Create(Form& parent, int left, int top, int width, int height, const std::wstring& caption) {
    left_ = left, top_ = top, width_ = width, height_ = height;
    CreateNotifying(parent, L"BUTTON", BS_GROUPBOX | WS_CLIPCHILDREN, caption);
    if (hwnd_) SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
}

void CheckBox::Create(Form& parent, int left, int top, int width, int height, const std::wstring& caption) {
    left_ = left, top_ = top, width_ = width, height_ = height;
    CreateNotifying(parent, L"BUTTON", BS_3STATE | WS_TABSTOP, caption);
    SetValue(value_);
}

void CheckBox::SetValue(int v) {
    const bool changed = v != value_;
    value_ = v;
    if (hwnd_) SendMessageW(hwnd_, BM_SETCHECK, v == 1 ? BST_CHECKED : v == 2 ? BST_INDETERMINATE : BST_UNCHECKED, 0);
    if (changed && OnClick) OnClick();
}

void CheckBox::Notify(int code) {
    // A click ticks or clears; the greyed state is the program's to set.
    if (code == BN_CLICKED) SetValue(value_ == 1 ? 0 : 1);
}

void OptionButton::Create(Form& parent, int left, int top, int width, int height, const std::wstring& caption) {
    left_ = left, top_ = top, width_ = width, height_ = height;
    CreateNotifying(parent, L"BUTTON", BS_RADIOBUTTON | WS_TABSTOP, caption);
    if (hwnd_) SendMessageW(hwnd_, BM_SETCHECK, value_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void OptionButton::SetValue(bool v) {
    const bool changed = v != value_;
    value_ = v;
    if (hwnd_) SendMessageW(hwnd_, BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
    if (v && hwnd_) {
        // The others of the set are the option buttons of the same parent window.
        for (HWND s = GetWindow(GetParent(hwnd_), GW_CHILD); s; s = GetWindow(s, GW_HWNDNEXT)) {
            auto* other = dynamic_cast<OptionButton*>(FromWindow(s));
            if (other && other != this && other->value_) {
                other->value_ = false;
                SendMessageW(s, BM_SETCHECK, BST_UNCHECKED, 0);
            }
        }
    }
    if (changed && v && OnClick) OnClick();
}

void OptionButton::Notify(int code) {
    if (code == BN_CLICKED) SetValue(true);
}

void TextBox::Create(Form& parent, int left, int top, int width, int height, const std::wstring& text) {
    left_ = left, top_ = top, width_ = width, height_ = height;
    text_ = text;
    CreateNotifying(parent, L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | WS_BORDER, text);
}

std::wstring TextBox::Text() const { return text_; }

void TextBox::SetText(const std::wstring& text) {
    if (text == text_) return;
    text_ = text;
    if (hwnd_) {
        SetWindowTextW(hwnd_, text.c_str());  // the change arrives as EN_CHANGE
    } else if (OnChange) {
        OnChange();
    }
}

void TextBox::Select(int start, int length) {
    if (hwnd_) SendMessageW(hwnd_, EM_SETSEL, start, start + length);
}

void TextBox::Notify(int code) {
    if (code == EN_CHANGE) {
        const int n = GetWindowTextLengthW(hwnd_);
        std::wstring s(n + 1, L'\0');
        s.resize(GetWindowTextW(hwnd_, s.data(), n + 1));
        text_ = s;
        if (OnChange) OnChange();
    } else if (code == EN_SETFOCUS && OnGotFocus) {
        OnGotFocus();
    }
}

void CommandButton::Create(Form& parent, int left, int top, int width, int height, const std::wstring& caption) {
    left_ = left, top_ = top, width_ = width, height_ = height;
    CreateNotifying(parent, L"BUTTON", (Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP, caption);
}

void CommandButton::Notify(int code) {
    if (code == BN_CLICKED) Click();
}

void Beep() {
    if (gBeepHook) return gBeepHook();
    MessageBeep(MB_OK);
}

void SetBeepHook(BeepHook hook) { gBeepHook = hook; }

namespace {
struct FontKey {
    std::wstring face;
    int points, dpi;
    bool operator<(const FontKey& o) const { return std::tie(face, points, dpi) < std::tie(o.face, o.points, o.dpi); }
};
std::map<FontKey, HFONT>& Fonts() {
    static std::map<FontKey, HFONT> fonts;
    return fonts;
}
}  // namespace

HFONT FontOf(const std::wstring& face, int points) {
    const int dpi = Screen::DpiY();
    auto& f = Fonts()[{face, points, dpi}];
    if (!f) {
        LOGFONTW lf{};
        lf.lfHeight = -MulDiv(points, dpi, 72);
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = SHIFTJIS_CHARSET;
        lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
        f = CreateFontIndirectW(&lf);
    }
    return f;
}

HFONT FontAtCurrentDpi(HFONT font) {
    for (const auto& [key, made] : Fonts())
        if (made == font) return FontOf(key.face, key.points);
    return font;
}

}  // namespace forms
