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
    HWND hWnd() const { return hwnd_; }
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Sizes are kept in whole pixels, as the platform converts them.
    void Move(int left, int top, int width = -1, int height = -1);
    // The form unloads: the window is gone, whatever the control holds is released.
    virtual void Release() { hwnd_ = nullptr; }

protected:
    virtual void Resized() {}
    void CreateWindowFor(Form& parent, const wchar_t* className, DWORD style, const std::wstring& text = L"");
    void ApplyGeometry();
    HWND hwnd_ = nullptr;
    Form* parent_ = nullptr;
    bool visible_ = true;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;  // twips
};

// A picture area. With AutoRedraw its drawing lives in a persistent 24-bit
// surface (a DIB section selected into a memory DC), so hDC holds the picture
// even while the form is hidden. Scale mode is pixels; no border; white background.
class PictureBox : public Control {
public:
    bool AutoSize = false;
    bool AutoRedraw = false;
    // Files dropped from the shell, in the order given (set before Create).
    std::function<void(const std::vector<std::wstring>&)> OnFilesDropped;
    COLORREF BackColor = RGB(255, 255, 255);

    void Create(Form& parent, int left, int top, int width, int height);

    const Picture& GetPicture() const { return picture_; }
    // False when no surface can hold the picture (too large for memory): the
    // box then keeps what it had.
    bool SetPicture(const Picture& p);
    // A bitmap snapshot of the persistent surface.
    Picture Image() const;
    HDC hDC() const { return surfaceDC_; }
    void Cls();
    void Refresh();
    // Inner size in pixels.
    int ScaleWidth() const;
    int ScaleHeight() const;
    void Release() override;

    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

protected:
    void Resized() override;

private:
    bool EnsureSurface(int w, int h);
    void DrawPictureOnSurface();
    void FreeSurface();
    Picture picture_;
    HDC surfaceDC_ = nullptr;
    HBITMAP surface_ = nullptr;
    HGDIOBJ surfaceOld_ = nullptr;
    int surfaceW_ = 0, surfaceH_ = 0;
};

class Label : public Control {
public:
    void Create(Form& parent, int left, int top, int width, int height, const std::wstring& caption = L"");
    std::wstring Caption() const { return caption_; }
    void SetCaption(const std::wstring& text);

private:
    std::wstring caption_;
};

}  // namespace forms
