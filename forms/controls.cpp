#include "forms/controls.h"

#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <map>

#include "forms/dialog_controls.h"
#include "forms/form.h"
#include "forms/screen.h"
#include "forms/system_library.h"

namespace forms {

HWND Control::ParentWindow(Form& form) const {
    return Container && Container->hWnd() ? Container->hWnd() : form.hWnd();
}

void Control::CreateWindowFor(Form& parent, const wchar_t* className, DWORD style, const std::wstring& text) {
    parent_ = &parent;
    hwnd_ = CreateWindowExW(0, className, text.c_str(), WS_CHILD | WS_CLIPSIBLINGS | (visible_ ? WS_VISIBLE : 0) | style,
                            TwipsToPixelsX(left_), TwipsToPixelsY(top_), TwipsToPixelsX(width_),
                            TwipsToPixelsY(height_), ParentWindow(parent), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (hwnd_) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(UIFont()), FALSE);
    parent.AddControl(this);
}

void Control::SetVisible(bool v) {
    visible_ = v;
    // Layouts run again and again with what they set before; each change of a
    // shown window costs a round trip to the window system.
    if (!hwnd_ || ((GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0) == v) return;
    ShowWindow(hwnd_, v ? SW_SHOW : SW_HIDE);
}

void Control::Move(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    const int oldWidth = width_, oldHeight = height_;
    if (width >= 0) width_ = PixelsToTwipsX(TwipsToPixelsX(width));
    if (height >= 0) height_ = PixelsToTwipsY(TwipsToPixelsY(height));
    ApplyGeometry();
    if (width_ != oldWidth || height_ != oldHeight) Resized();
}

void Control::ApplyGeometry() {
    if (!hwnd_) return;
    const RECT want{TwipsToPixelsX(left_), TwipsToPixelsY(top_), TwipsToPixelsX(left_) + TwipsToPixelsX(width_),
                    TwipsToPixelsY(top_) + TwipsToPixelsY(height_)};
    RECT now{};
    GetWindowRect(hwnd_, &now);
    MapWindowPoints(nullptr, GetParent(hwnd_), reinterpret_cast<POINT*>(&now), 2);
    if (EqualRect(&now, &want)) return;
    SetWindowPos(hwnd_, nullptr, want.left, want.top, want.right - want.left, want.bottom - want.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::DpiChanged() {
    if (!hwnd_) return;
    const auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    if (HFONT now = font ? FontAtCurrentDpi(font) : nullptr; now && now != font)
        SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(now), TRUE);
    ApplyGeometry();
}

// ---- PictureBox

namespace {
constexpr wchar_t kPictureBoxClass[] = L"TamselPictureBox";
}

void PictureBox::Create(Form& parent, int left, int top, int width, int height) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = 0;  // a double click arrives as a second press
        wc.lpfnWndProc = &PictureBox::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kPictureBoxClass;
        RegisterClassExW(&wc);
        registered = true;
    }
    left_ = left;
    top_ = top;
    width_ = PixelsToTwipsX(TwipsToPixelsX(width));
    height_ = PixelsToTwipsY(TwipsToPixelsY(height));
    CreateWindowFor(parent, kPictureBoxClass, WS_CLIPCHILDREN);
    if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // Dialog navigation goes into the controls a box holds.
    if (hwnd_) SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    // What DragAcceptFiles does, without loading shell32 at start.
    if (hwnd_ && OnFilesDropped)
        SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) | WS_EX_ACCEPTFILES);
    if (AutoRedraw) EnsureSurface(ScaleWidth(), ScaleHeight());
}

int PictureBox::ScaleWidth() const { return TwipsToPixelsX(width_); }
int PictureBox::ScaleHeight() const { return TwipsToPixelsY(height_); }

bool PictureBox::EnsureSurface(int w, int h) {
    w = w > 0 ? w : 1;
    h = h > 0 ? h : 1;
    if (surface_ && surfaceW_ == w && surfaceH_ == h) return true;
    HBITMAP bmp = CreateDib24(w, h);
    if (!bmp) return false;
    if (!surfaceDC_) surfaceDC_ = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(surfaceDC_, bmp);
    if (surface_) {
        DeleteObject(surface_);
    } else {
        surfaceOld_ = old;
    }
    surface_ = bmp;
    surfaceW_ = w;
    surfaceH_ = h;
    return true;
}

void PictureBox::FreeSurface() {
    if (surfaceDC_) {
        SelectObject(surfaceDC_, surfaceOld_);
        DeleteDC(surfaceDC_);
    }
    if (surface_) DeleteObject(surface_);
    surfaceDC_ = nullptr;
    surface_ = nullptr;
    surfaceOld_ = nullptr;
    surfaceW_ = surfaceH_ = 0;
}

void PictureBox::DrawPictureOnSurface() const {
    stale_ = false;
    if (!surfaceDC_) return;
    RECT r{0, 0, surfaceW_, surfaceH_};
    HBRUSH b = CreateSolidBrush(BackColor);
    FillRect(surfaceDC_, &r, b);
    DeleteObject(b);
    if (!picture_.Empty()) picture_.Render(surfaceDC_, 0, 0, picture_.WidthPixels(), picture_.HeightPixels());
}

bool PictureBox::SetPicture(const Picture& p) {
    int w = ScaleWidth(), h = ScaleHeight();
    if (AutoSize && !p.Empty()) {
        w = p.WidthPixels();
        h = p.HeightPixels();
    }
    if (AutoRedraw && !EnsureSurface(w, h)) return false;
    picture_ = p;
    bool resized = false;
    if (AutoSize && !p.Empty()) {
        resized = width_ != PixelsToTwipsX(w) || height_ != PixelsToTwipsY(h);
        width_ = PixelsToTwipsX(w);
        height_ = PixelsToTwipsY(h);
        ApplyGeometry();
    }
    stale_ = true;
    Refresh();
    if (resized && OnResize) OnResize();
    return true;
}

void PictureBox::Resized() {
    if (AutoRedraw && EnsureSurface(ScaleWidth(), ScaleHeight())) stale_ = true;
    if (OnResize) OnResize();
}

void PictureBox::DpiChanged() {
    if (hwnd_ && (AutoRedraw || !picture_.Empty())) {
        RECT r;
        GetClientRect(hwnd_, &r);
        width_ = PixelsToTwipsX(r.right);
        height_ = PixelsToTwipsY(r.bottom);
    }
    Control::DpiChanged();
    Refresh();
}

void PictureBox::AddLine(Line* line) {
    lines_.push_back(line);
    Refresh();
}

void PictureBox::SetMouseIcon(HCURSOR cursor) {
    MouseIcon = cursor;
    // The pointer changes at once when it is over the box.
    POINT pt;
    if (hwnd_ && GetCursorPos(&pt) && WindowFromPoint(pt) == hwnd_ && Screen::MousePointer() == 0)
        SetCursor(cursor ? cursor : LoadCursorW(nullptr, IDC_ARROW));
}

void PictureBox::StretchTo(HDC dc, int x, int y, int w, int h, int srcW, int srcH) const {
    HDC source = nullptr;
    HGDIOBJ old = nullptr;
    if (stale_ && !picture_.Empty() && picture_.Type() == PICTYPE_BITMAP && picture_.WidthPixels() == surfaceW_ &&
        picture_.HeightPixels() == surfaceH_) {
        source = CreateCompatibleDC(nullptr);
        old = source ? SelectObject(source, static_cast<HBITMAP>(picture_.Handle())) : nullptr;
        if (!old && source) {  // selected elsewhere: the surface after all
            DeleteDC(source);
            source = nullptr;
        }
    }
    HDC from = source ? source : hDC();
    if (w == srcW && h == srcH) {
        // In bands: between bitmaps of different formats the platform converts
        // through a temporary copy of everything it is given at once.
        const int band = std::max(1, (4 << 20) / std::max(1, w * 4));
        for (int top = 0; top < h; top += band) BitBlt(dc, x, y + top, w, std::min(band, h - top), from, 0, top, SRCCOPY);
    } else
        StretchBlt(dc, x, y, w, h, from, 0, 0, srcW, srcH, SRCCOPY);
    if (source) {
        SelectObject(source, old);
        DeleteDC(source);
    }
}

bool PictureBox::PaintBitmap(HDC dc, const RECT& area) const {
    // A large picture in a small window: only the part to be painted is
    // copied, where rendering would go over the whole picture.
    if (picture_.Type() != PICTYPE_BITMAP) return false;
    RECT part{0, 0, picture_.WidthPixels(), picture_.HeightPixels()};
    if (!IntersectRect(&part, &part, &area)) return true;
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = source ? SelectObject(source, static_cast<HBITMAP>(picture_.Handle())) : nullptr;
    if (old) {
        BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, source, part.left, part.top,
               SRCCOPY);
        SelectObject(source, old);
    }
    if (source) DeleteDC(source);
    return old != nullptr;
}

Picture PictureBox::Image() const {
    if (!surfaceDC_ || ScaleWidth() <= 0 || ScaleHeight() <= 0) return {};
    void* bits = nullptr;
    HBITMAP copy = CreateDib24(surfaceW_, surfaceH_, &bits);
    if (!copy) return {};
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, copy);
    BitBlt(dc, 0, 0, surfaceW_, surfaceH_, hDC(), 0, 0, SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
    return Picture::FromBitmap(copy);
}

void PictureBox::Cls() {
    stale_ = true;
    Refresh();
}

void PictureBox::Refresh() {
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void PictureBox::Release() {
    lines_.clear();
    picture_ = Picture();
    FreeSurface();
    hwnd_ = nullptr;
    visible_ = true;
}

PictureBox* PictureBox::FromWindow(HWND h) {
    wchar_t name[64] = {};
    if (!h || !GetClassNameW(h, name, 64) || std::wcscmp(name, kPictureBoxClass) != 0) return nullptr;
    return reinterpret_cast<PictureBox*>(GetWindowLongPtrW(h, GWLP_USERDATA));
}

LRESULT CALLBACK PictureBox::Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<PictureBox*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (msg == WM_ERASEBKGND) return 1;
    if (msg == WM_DROPFILES) {
        auto drop = reinterpret_cast<HDROP>(wp);
        static const auto query = SystemProc<decltype(&DragQueryFileW)>(L"shell32.dll", "DragQueryFileW");
        static const auto finish = SystemProc<decltype(&DragFinish)>(L"shell32.dll", "DragFinish");
        std::vector<std::wstring> names;
        const UINT count = query ? query(drop, 0xFFFFFFFF, nullptr, 0) : 0;
        for (UINT i = 0; i < count; ++i) {
            std::wstring name(query(drop, i, nullptr, 0) + 1, L'\0');
            name.resize(query(drop, i, name.data(), static_cast<UINT>(name.size())));
            names.push_back(name);
        }
        if (finish) finish(drop);
        if (self && self->OnFilesDropped) self->OnFilesDropped(names);
        return 0;
    }
    if (msg == WM_SETCURSOR && LOWORD(lp) == HTCLIENT) {
        if (Screen::MousePointer() != 0) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        if (self && self->MouseIcon) {
            SetCursor(self->MouseIcon);
            return TRUE;
        }
    }
    // Up to the form, as the vertical wheel goes by itself (not every system's default handling passes the tilt on).
    if (msg == WM_MOUSEHWHEEL && GetParent(h)) return SendMessageW(GetParent(h), msg, wp, lp);
    if (msg == WM_CTLCOLORSTATIC) {
        if (HBRUSH b = Label::Colours(reinterpret_cast<HWND>(lp), reinterpret_cast<HDC>(wp)))
            return reinterpret_cast<LRESULT>(b);
    }
    if (msg == WM_COMMAND && lp) {
        if (auto* c = NotifyingControl::FromWindow(reinterpret_cast<HWND>(lp))) c->Notify(HIWORD(wp));
        return 0;
    }
    if ((msg == WM_HSCROLL || msg == WM_VSCROLL) && lp) {
        if (ScrollBar* bar = ScrollBar::FromWindow(reinterpret_cast<HWND>(lp))) bar->Scroll(LOWORD(wp));
        return 0;
    }
    if (self && msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONUP && msg != WM_MOUSEWHEEL) {
        const int x = PixelsToTwipsX(static_cast<short>(LOWORD(lp)));
        const int y = PixelsToTwipsY(static_cast<short>(HIWORD(lp)));
        const int shift = ((wp & MK_SHIFT) ? 1 : 0) | ((wp & MK_CONTROL) ? 2 : 0) | (GetKeyState(VK_MENU) < 0 ? 4 : 0);
        int held = ((wp & MK_LBUTTON) ? 1 : 0) | ((wp & MK_RBUTTON) ? 2 : 0) | ((wp & MK_MBUTTON) ? 4 : 0);
        switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK: {
            const int button = (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK)   ? 1
                               : (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK) ? 2
                                                                                     : 4;
            SetCapture(h);
            if (self->OnMouseDown) self->OnMouseDown(button, shift, x, y);
            return 0;
        }
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: {
            const int button = msg == WM_LBUTTONUP ? 1 : msg == WM_RBUTTONUP ? 2 : 4;
            if (held == 0 && GetCapture() == h) ReleaseCapture();
            if (self->OnMouseUp) self->OnMouseUp(button, shift, x, y);
            return 0;
        }
        case WM_MOUSEMOVE:
            if (self->OnMouseMove) self->OnMouseMove(held, shift, x, y);
            return 0;
        default:
            break;
        }
    }
    if (msg == WM_PAINT && self) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        RECT client;
        GetClientRect(h, &client);
        HBRUSH b = CreateSolidBrush(self->BackColor);
        if (self->surfaceDC_) {
            BitBlt(dc, 0, 0, self->surfaceW_, self->surfaceH_, self->hDC(), 0, 0, SRCCOPY);
            ExcludeClipRect(dc, 0, 0, self->surfaceW_, self->surfaceH_);
        } else if (!self->picture_.Empty()) {
            int w = self->picture_.WidthPixels(), ht = self->picture_.HeightPixels();
            if (!self->PaintBitmap(dc, ps.rcPaint)) self->picture_.Render(dc, 0, 0, w, ht);
            ExcludeClipRect(dc, 0, 0, w, ht);
        }
        FillRect(dc, &client, b);
        DeleteObject(b);
        SelectClipRgn(dc, nullptr);
        for (const Line* line : self->lines_)
            if (line->Visible()) line->Draw(dc);
        EndPaint(h, &ps);
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

// ---- Line

void Line::Create(PictureBox& container, int x1, int y1, int x2, int y2, COLORREF color) {
    container_ = &container;
    x1_ = x1, y1_ = y1, x2_ = x2, y2_ = y2;
    color_ = color;
    container.AddLine(this);
}

void Line::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    if (container_) container_->Refresh();
}

void Line::Draw(HDC dc) const {
    HPEN pen = CreatePen(PS_SOLID, 1, color_);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, TwipsToPixelsX(x1_), TwipsToPixelsY(y1_), nullptr);
    LineTo(dc, TwipsToPixelsX(x2_), TwipsToPixelsY(y2_));
    SelectObject(dc, old);
    DeleteObject(pen);
}

// ---- ScrollBar

namespace {
constexpr wchar_t kControlProp[] = L"forms.ScrollBar";
}

void ScrollBar::Create(Form& parent, bool horizontal, int left, int top, int width, int height) {
    horizontal_ = horizontal;
    left_ = left;
    top_ = top;
    width_ = PixelsToTwipsX(TwipsToPixelsX(width));
    height_ = PixelsToTwipsY(TwipsToPixelsY(height));
    CreateWindowFor(parent, L"SCROLLBAR", horizontal ? SBS_HORZ : SBS_VERT);
    if (hwnd_) SetPropW(hwnd_, kControlProp, this);
    Apply();
}

ScrollBar* ScrollBar::FromWindow(HWND h) { return static_cast<ScrollBar*>(GetPropW(h, kControlProp)); }

void ScrollBar::Release() {
    if (hwnd_ && IsWindow(hwnd_)) RemovePropW(hwnd_, kControlProp);
    hwnd_ = nullptr;
    visible_ = true;
    min_ = 0, max_ = 32767, value_ = 0, large_ = 1, small_ = 1;
}

void ScrollBar::Apply() {
    if (!hwnd_) return;
    // The thumb shows one large step of the range.
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0, 0, 0, 0, 0};
    const int page = large_ > 0 ? large_ : 1;
    si.nMin = min_;
    si.nMax = max_ + page - 1;
    si.nPage = static_cast<UINT>(page);
    si.nPos = value_;
    SCROLLINFO now{sizeof now, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
    if (GetScrollInfo(hwnd_, SB_CTL, &now) && now.nMin == si.nMin && now.nMax == si.nMax && now.nPage == si.nPage &&
        now.nPos == si.nPos)
        return;
    SetScrollInfo(hwnd_, SB_CTL, &si, TRUE);
}

void ScrollBar::SetMin(int v) {
    min_ = v;
    Apply();
    if (value_ < min_) SetValue(min_);
}

void ScrollBar::SetMax(int v) {
    max_ = v;
    Apply();
    if (value_ > max_) SetValue(max_);
}

void ScrollBar::SetValue(int v) {
    v = std::max(min_, std::min(v, max_));
    if (v == value_) return;
    value_ = v;
    Apply();
    if (OnChange) OnChange();
}

void ScrollBar::SetLargeChange(int v) {
    large_ = std::max(1, v);
    Apply();
}

void ScrollBar::SetSmallChange(int v) { small_ = std::max(1, v); }

void ScrollBar::Scroll(int code) {
    switch (code) {
    case SB_LINEUP: SetValue(value_ - small_); break;
    case SB_LINEDOWN: SetValue(value_ + small_); break;
    case SB_PAGEUP: SetValue(value_ - large_); break;
    case SB_PAGEDOWN: SetValue(value_ + large_); break;
    case SB_TOP: SetValue(min_); break;
    case SB_BOTTOM: SetValue(max_); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO si{sizeof si, SIF_TRACKPOS, 0, 0, 0, 0, 0};
        if (GetScrollInfo(hwnd_, SB_CTL, &si)) SetValue(si.nTrackPos);
        break;
    }
    default: break;
    }
}

// ---- Label

void Label::Create(Form& parent, int left, int top, int width, int height, const std::wstring& caption) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    caption_ = caption;
    // One line; an ampersand marks an access key that moves the focus to the next control.
    CreateWindowFor(parent, L"STATIC", SS_LEFTNOWORDWRAP, caption);
    if (hwnd_) SetPropW(hwnd_, L"forms.Label", this);
    if (hwnd_ && Font) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
    FitToCaption();
}

void Label::SetCaption(const std::wstring& text) {
    caption_ = text;
    if (hwnd_) {
        SetWindowTextW(hwnd_, text.c_str());
        FitToCaption();
        UpdateWindow(hwnd_);
    }
}

HBRUSH Label::Colours(HWND label, HDC dc) {
    auto* self = static_cast<Label*>(GetPropW(label, L"forms.Label"));
    if (!self || self->BackColor == CLR_INVALID) return nullptr;
    static std::map<COLORREF, HBRUSH> brushes;
    HBRUSH& b = brushes[self->BackColor];
    if (!b) b = CreateSolidBrush(self->BackColor);
    SetBkColor(dc, self->BackColor);
    if (self->ForeColor != CLR_INVALID) SetTextColor(dc, self->ForeColor);
    return b;
}

void Label::SetEnabled(bool v) {
    enabled_ = v;
    if (hwnd_) EnableWindow(hwnd_, v);
}

void Label::DpiChanged() {
    if (Font) Font = FontAtCurrentDpi(Font);
    Control::DpiChanged();
    FitToCaption();
}

void Label::FitToCaption() {
    if (!hwnd_) return;
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, Font ? Font : UIFont());
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &r, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    if (AutoSize) {
        width_ = PixelsToTwipsX(r.right);
        height_ = PixelsToTwipsY(r.bottom);
    } else {
        // A designed size grows where the font on this system (or the rounding
        // at this DPI) needs more room: a caption is never cut.
        if (r.right > TwipsToPixelsX(width_)) width_ = PixelsToTwipsX(r.right);
        if (r.bottom > TwipsToPixelsY(height_)) height_ = PixelsToTwipsY(r.bottom);
    }
    ApplyGeometry();
}

}  // namespace forms
