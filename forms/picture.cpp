#include "forms/picture.h"

#include <cstring>
#include <utility>

#include "forms/screen.h"

namespace forms {

Picture::Picture(IPicture* p, bool addRef) : p_(p) {
    if (p_ && addRef) p_->AddRef();
}
Picture::Picture(const Picture& o) : p_(o.p_) {
    if (p_) p_->AddRef();
}
Picture::Picture(Picture&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
Picture& Picture::operator=(Picture o) noexcept {
    std::swap(p_, o.p_);
    return *this;
}
Picture::~Picture() {
    if (p_) p_->Release();
}

Picture Picture::FromBitmap(HBITMAP bitmap) {
    if (!bitmap) return {};
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof desc;
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap;
    IPicture* p = nullptr;
    if (FAILED(OleCreatePictureIndirect(&desc, IID_IPicture, TRUE, reinterpret_cast<void**>(&p))) || !p) {
        DeleteObject(bitmap);
        return {};
    }
    return Picture(p, false);
}

Picture Picture::FromResource(int id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = found ? SizeofResource(module, found) : 0;
    if (!bytes || !size) return {};
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy) return {};
    std::memcpy(GlobalLock(copy), bytes, size);
    GlobalUnlock(copy);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(copy, TRUE, &stream))) {
        GlobalFree(copy);
        return {};
    }
    IPicture* p = nullptr;
    const HRESULT hr = OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture, reinterpret_cast<void**>(&p));
    stream->Release();
    return SUCCEEDED(hr) && p ? Picture(p, false) : Picture();
}

short Picture::Type() const {
    short t = PICTYPE_NONE;
    if (p_ && FAILED(p_->get_Type(&t))) t = PICTYPE_NONE;
    return t;
}

bool Picture::Empty() const {
    short t = Type();
    return t == PICTYPE_NONE || t == PICTYPE_UNINITIALIZED;
}

HANDLE Picture::Handle() const {
    OLE_HANDLE h = 0;
    if (p_) p_->get_Handle(&h);
    return reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(h));
}

namespace {
int HimetricToPixels(OLE_XSIZE_HIMETRIC him, int dpi) { return MulDiv(him, dpi, 2540); }
}  // namespace

int Picture::WidthPixels() const {
    if (Empty()) return 0;
    if (Type() == PICTYPE_BITMAP) {
        BITMAP bm{};
        if (GetObjectW(Handle(), sizeof bm, &bm)) return bm.bmWidth;
    }
    OLE_XSIZE_HIMETRIC w = 0;
    p_->get_Width(&w);
    return HimetricToPixels(w, Screen::DpiX());
}

int Picture::HeightPixels() const {
    if (Empty()) return 0;
    if (Type() == PICTYPE_BITMAP) {
        BITMAP bm{};
        if (GetObjectW(Handle(), sizeof bm, &bm)) return bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    }
    OLE_YSIZE_HIMETRIC h = 0;
    p_->get_Height(&h);
    return HimetricToPixels(h, Screen::DpiY());
}

void Picture::Render(HDC dc, int x, int y, int width, int height) const {
    if (Empty()) return;
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    p_->get_Width(&w);
    p_->get_Height(&h);
    // Source rectangle in HIMETRIC runs bottom-up.
    p_->Render(dc, x, y, width, height, 0, h, w, -h, nullptr);
}

HBITMAP CreateDib24(int width, int height, void** bits) {
    if (width <= 0 || height <= 0) return nullptr;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* b = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &b, nullptr, 0);
    if (bits) *bits = b;
    return bmp;
}

HBITMAP RenderToBitmap(const Picture& picture) {
    int w = picture.WidthPixels(), h = picture.HeightPixels();
    HBITMAP bmp = CreateDib24(w, h);
    if (!bmp) return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT r{0, 0, w, h};
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    picture.Render(dc, 0, 0, w, h);
    SelectObject(dc, old);
    DeleteDC(dc);
    return bmp;
}

}  // namespace forms
