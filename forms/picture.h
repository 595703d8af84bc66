#pragma once
// A picture object: a reference to a platform OLE picture that owns its
// bitmap (or metafile or icon); the last reference released frees it.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

namespace forms {

class Picture {
public:
    Picture() = default;
    Picture(IPicture* p, bool addRef);  // takes one reference (or adds one)
    Picture(const Picture& o);
    Picture(Picture&& o) noexcept;
    Picture& operator=(Picture o) noexcept;
    ~Picture();

    // A bitmap picture that owns `bitmap` from now on; empty when it cannot be made
    // (the bitmap is then deleted).
    static Picture FromBitmap(HBITMAP bitmap);
    // A picture stored in the module's resources as RCDATA (a JPEG, GIF or BMP file).
    static Picture FromResource(int id);

    bool Empty() const;  // no object, or an object of type none
    short Type() const;  // PICTYPE_*; PICTYPE_NONE when empty
    HANDLE Handle() const;
    int WidthPixels() const;
    int HeightPixels() const;
    // Draws the whole picture into the rectangle (pixels) of a device context.
    void Render(HDC dc, int x, int y, int width, int height) const;
    IPicture* get() const { return p_; }

private:
    IPicture* p_ = nullptr;
};

// A 24-bit top-down DIB section; nullptr when it cannot be created.
HBITMAP CreateDib24(int width, int height, void** bits = nullptr);

// The picture drawn at its own size into a new 24-bit bitmap.
HBITMAP RenderToBitmap(const Picture& picture);

}  // namespace forms
