#include "engine/turning.h"

#include <windows.h>

#include <vector>

namespace tamsel {

int FileOrientation(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 1;
    std::vector<uint8_t> bytes(kOrientationFirstRead);
    DWORD got = 0;
    if (!ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) got = 0;
    bytes.resize(got);
    // A JPEG whose Exif segment runs on past the first read: the rest of it.
    const size_t wanted = OrientationBytesWanted(bytes.data(), bytes.size());
    if (got == kOrientationFirstRead && wanted > bytes.size()) {
        bytes.resize(wanted);
        DWORD more = 0;
        if (!ReadFile(f, bytes.data() + got, static_cast<DWORD>(wanted - got), &more, nullptr)) more = 0;
        bytes.resize(got + more);
    }
    CloseHandle(f);
    return ExifOrientation(bytes.data(), bytes.size());
}

bool TurnPicture(forms::PictureBox& box, int orientation) {
    if (box.GetPicture().Empty() || orientation < 1 || orientation > 8) return false;
    if (orientation == 1) return true;
    // The box's surface holds the picture as shown: a 24-bit DIB section.
    HDC dc = box.hDC();
    DIBSECTION ds{};
    HGDIOBJ surface = dc ? GetCurrentObject(dc, OBJ_BITMAP) : nullptr;
    if (!surface || GetObjectW(surface, sizeof ds, &ds) != sizeof ds || !ds.dsBm.bmBits || ds.dsBm.bmBitsPixel != 24)
        return false;
    const int w = box.ScaleWidth(), h = box.ScaleHeight();
    if (w <= 0 || h <= 0 || w > ds.dsBm.bmWidth || h > ds.dsBm.bmHeight) return false;
    const ptrdiff_t stride = ds.dsBm.bmWidthBytes;
    const auto* bits = static_cast<const uint8_t*>(ds.dsBm.bmBits);
    // Rows bottom first unless the header says otherwise: the top row and the step to the next.
    const bool bottomUp = ds.dsBmih.biHeight > 0;
    const uint8_t* top = bottomUp ? bits + (ds.dsBm.bmHeight - 1) * stride : bits;
    const ptrdiff_t down = bottomUp ? -stride : stride;

    const bool swap = SwapsSides(orientation);
    const int outW = swap ? h : w, outH = swap ? w : h;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), outW, -outH, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* out = nullptr;
    HBITMAP turned = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &out, nullptr, 0);
    if (!turned) return false;
    GdiFlush();
    const ptrdiff_t outStride = ((static_cast<ptrdiff_t>(outW) * 3 + 3) & ~ptrdiff_t{3});
    TurnPixels(top, w, h, down, 3, static_cast<uint8_t*>(out), outStride, orientation);
    const forms::Picture picture = forms::Picture::FromBitmap(turned);  // owns the bitmap, or deleted it
    return !picture.Empty() && box.SetPicture(picture);
}

}  // namespace tamsel
