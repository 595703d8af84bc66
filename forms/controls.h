#pragma once
// Child controls of a form: geometry in twips relative to the form's client area.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "forms/picture.h"

namespace forms {

class Form;

class Control {
public:
    virtual ~Control() = default;
    // The control whose window holds this one (set before Create); nothing: the form.
    Control* Container = nullptr;
    HWND hWnd() const { return hwnd_; }
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Sizes are kept in whole pixels, as the platform converts them.
    void Move(int left, int top, int width = -1, int height = -1);
    // The form unloads: the window is gone, whatever the control holds is
    // released, and a later load starts from the design again.
    virtual void Release() {
        hwnd_ = nullptr;
        visible_ = true;
    }
    // The DPI changed: the font again at the new DPI, the window where its twips now are.
    virtual void DpiChanged();

protected:
    virtual void Resized() {}
    // The window this control's window goes into.
    HWND ParentWindow(Form& form) const;
    void CreateWindowFor(Form& parent, const wchar_t* className, DWORD style, const std::wstring& text = L"");
    void ApplyGeometry();
    HWND hwnd_ = nullptr;
    Form* parent_ = nullptr;
    bool visible_ = true;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;  // twips
};

class PictureBox;

// A windowless line drawn by the picture box that holds it; coordinates in twips.
class Line {
public:
    void Create(PictureBox& container, int x1, int y1, int x2, int y2, COLORREF color);
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    void Draw(HDC dc) const;

private:
    PictureBox* container_ = nullptr;
    int x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
    COLORREF color_ = 0;
    bool visible_ = true;
};

// Mouse events: button (1 left, 2 right, 4 middle), shift mask, position in twips.
using MouseHandler = std::function<void(int button, int shift, int x, int y)>;

// A picture area. With AutoRedraw its drawing lives in a persistent 24-bit
// surface (a DIB section selected into a memory DC), so hDC holds the picture
// even while the form is hidden. Scale mode is pixels; no border; white background.
class PictureBox : public Control {
public:
    bool AutoSize = false;
    bool AutoRedraw = false;
    // A left press on the box moves its window (a window without a caption).
    bool PressMovesWindow = false;
    // Files dropped from the shell, in the order given (set before Create).
    std::function<void(const std::vector<std::wstring>&)> OnFilesDropped;
    COLORREF BackColor = RGB(255, 255, 255);
    // The pointer over the box; nothing: the arrow.
    HCURSOR MouseIcon = nullptr;
    // While a button is held the box keeps the mouse, as a drag needs.
    MouseHandler OnMouseDown, OnMouseMove, OnMouseUp;
    // The box's size changed (a move or an automatic size).
    std::function<void()> OnResize;

    void Create(Form& parent, int left, int top, int width, int height);
    void AddLine(Line* line);
    void SetMouseIcon(HCURSOR cursor);

    const Picture& GetPicture() const { return picture_; }
    // False when no surface can hold the picture (too large for memory): the
    // box then keeps what it had.
    bool SetPicture(const Picture& p);
    // A bitmap snapshot of the persistent surface.
    Picture Image() const;
    // The surface is drawn when first asked for after the picture or size
    // changed: a picture shown at its own size never pays for its copy.
    HDC hDC() const {
        DrawIfStale();
        return surfaceDC_;
    }
    // Copies the picture area (0, 0, srcW, srcH) onto (x, y, w, h) of `dc` as a
    // StretchBlt from hDC with SRCCOPY would. A bitmap picture that fills a
    // surface not drawn yet is read directly: the surface, as large as the
    // picture, is never made for a copy.
    void StretchTo(HDC dc, int x, int y, int w, int h, int srcW, int srcH) const;
    // Whether the persistent surface has the box's size (it keeps its old one
    // when memory for a new size is refused).
    bool SurfaceFits() const { return surface_ && surfaceW_ == ScaleWidth() && surfaceH_ == ScaleHeight(); }
    void Cls();
    void Refresh();
    // Inner size in pixels.
    int ScaleWidth() const;
    int ScaleHeight() const;
    void Release() override;
    // A box that holds pixels (a picture or its own surface) keeps their size in pixels.
    void DpiChanged() override;

    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    // The box of a window; none when the window is no picture box.
    static PictureBox* FromWindow(HWND h);

protected:
    void Resized() override;

private:
    bool EnsureSurface(int w, int h);
    void DrawPictureOnSurface() const;
    bool PaintBitmap(HDC dc, const RECT& area) const;
    void DrawIfStale() const {
        if (stale_) DrawPictureOnSurface();
    }
    void FreeSurface();
    Picture picture_;
    mutable bool stale_ = false;  // the surface does not show the picture yet
    HDC surfaceDC_ = nullptr;
    HBITMAP surface_ = nullptr;
    HGDIOBJ surfaceOld_ = nullptr;
    int surfaceW_ = 0, surfaceH_ = 0;
    std::vector<Line*> lines_;
};

// A scroll bar with the integer range of the program's bars. Change runs
// whenever Value changes, by the user or by the program.
class ScrollBar : public Control {
public:
    std::function<void()> OnChange;

    void Create(Form& parent, bool horizontal, int left, int top, int width, int height);
    int Min() const { return min_; }
    int Max() const { return max_; }
    int Value() const { return value_; }
    int LargeChange() const { return large_; }
    int SmallChange() const { return small_; }
    void SetMin(int v);
    void SetMax(int v);
    void SetValue(int v);
    void SetLargeChange(int v);
    void SetSmallChange(int v);
    // A WM_HSCROLL / WM_VSCROLL code for this bar, as its parent receives it.
    void Scroll(int code);
    static ScrollBar* FromWindow(HWND h);
    void Release() override;

private:
    void Apply();
    bool horizontal_ = true;
    int min_ = 0, max_ = 32767, value_ = 0, large_ = 1, small_ = 1;
};

// One line of text. Without AutoSize it keeps its designed size unless the
// caption needs more: it never cuts its caption.
class Label : public Control {
public:
    // The label takes the size of its caption.
    bool AutoSize = false;
    // Set before Create; nothing: the program's UI font.
    HFONT Font = nullptr;
    // Colours; CLR_INVALID: the container's.
    COLORREF BackColor = CLR_INVALID;
    COLORREF ForeColor = CLR_INVALID;
    // WM_CTLCOLORSTATIC from a label's container: the brush, or nothing for the default.
    static HBRUSH Colours(HWND label, HDC dc);
    void Create(Form& parent, int left, int top, int width, int height, const std::wstring& caption = L"");
    std::wstring Caption() const { return caption_; }
    void SetCaption(const std::wstring& text);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    void Release() override {
        Control::Release();
        enabled_ = true;
    }
    void DpiChanged() override;

private:
    void FitToCaption();
    std::wstring caption_;
    bool enabled_ = true;
};

}  // namespace forms
