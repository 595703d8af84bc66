#include "forms/controls.h"

#include <shellapi.h>

#include "forms/form.h"
#include "forms/screen.h"

namespace forms {

void Control::CreateWindowFor(Form& parent, const wchar_t* className, DWORD style, const std::wstring& text) {
    parent_ = &parent;
    hwnd_ = CreateWindowExW(0, className, text.c_str(), WS_CHILD | WS_CLIPSIBLINGS | (visible_ ? WS_VISIBLE : 0) | style,
                            TwipsToPixelsX(left_), TwipsToPixelsY(top_), TwipsToPixelsX(width_),
                            TwipsToPixelsY(height_), parent.hWnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (hwnd_) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(UIFont()), FALSE);
    parent.AddControl(this);
}

void Control::SetVisible(bool v) {
    visible_ = v;
    if (hwnd_) ShowWindow(hwnd_, v ? SW_SHOW : SW_HIDE);
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
    if (hwnd_)
        SetWindowPos(hwnd_, nullptr, TwipsToPixelsX(left_), TwipsToPixelsY(top_), TwipsToPixelsX(width_),
                     TwipsToPixelsY(height_), SWP_NOZORDER | SWP_NOACTIVATE);
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
        wc.style = CS_DBLCLKS;
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
    CreateWindowFor(parent, kPictureBoxClass, 0);
    if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (hwnd_ && OnFilesDropped) DragAcceptFiles(hwnd_, TRUE);
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

void PictureBox::DrawPictureOnSurface() {
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
    if (AutoSize && !p.Empty()) {
        width_ = PixelsToTwipsX(w);
        height_ = PixelsToTwipsY(h);
        ApplyGeometry();
    }
    DrawPictureOnSurface();
    Refresh();
    return true;
}

void PictureBox::Resized() {
    if (AutoRedraw && EnsureSurface(ScaleWidth(), ScaleHeight())) DrawPictureOnSurface();
}

Picture PictureBox::Image() const {
    if (!surfaceDC_ || ScaleWidth() <= 0 || ScaleHeight() <= 0) return {};
    void* bits = nullptr;
    HBITMAP copy = CreateDib24(surfaceW_, surfaceH_, &bits);
    if (!copy) return {};
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, copy);
    BitBlt(dc, 0, 0, surfaceW_, surfaceH_, surfaceDC_, 0, 0, SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
    return Picture::FromBitmap(copy);
}

void PictureBox::Cls() {
    DrawPictureOnSurface();
    Refresh();
}

void PictureBox::Refresh() {
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void PictureBox::Release() {
    picture_ = Picture();
    FreeSurface();
    hwnd_ = nullptr;
}

LRESULT CALLBACK PictureBox::Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<PictureBox*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (msg == WM_ERASEBKGND) return 1;
    if (msg == WM_DROPFILES) {
        auto drop = reinterpret_cast<HDROP>(wp);
        std::vector<std::wstring> names;
        const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
            name.resize(DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
            names.push_back(name);
        }
        DragFinish(drop);
        if (self && self->OnFilesDropped) self->OnFilesDropped(names);
        return 0;
    }
    if (msg == WM_SETCURSOR && Screen::MousePointer() != 0) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
    }
    if (msg == WM_PAINT && self) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        RECT client;
        GetClientRect(h, &client);
        HBRUSH b = CreateSolidBrush(self->BackColor);
        if (self->surfaceDC_) {
            BitBlt(dc, 0, 0, self->surfaceW_, self->surfaceH_, self->surfaceDC_, 0, 0, SRCCOPY);
            ExcludeClipRect(dc, 0, 0, self->surfaceW_, self->surfaceH_);
        } else if (!self->picture_.Empty()) {
            int w = self->picture_.WidthPixels(), ht = self->picture_.HeightPixels();
            self->picture_.Render(dc, 0, 0, w, ht);
            ExcludeClipRect(dc, 0, 0, w, ht);
        }
        FillRect(dc, &client, b);
        DeleteObject(b);
        EndPaint(h, &ps);
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

// ---- Label

void Label::Create(Form& parent, int left, int top, int width, int height, const std::wstring& caption) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    caption_ = caption;
    CreateWindowFor(parent, L"STATIC", SS_LEFT | SS_NOPREFIX, caption);
}

void Label::SetCaption(const std::wstring& text) {
    caption_ = text;
    if (hwnd_) {
        SetWindowTextW(hwnd_, text.c_str());
        UpdateWindow(hwnd_);
    }
}

}  // namespace forms
