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
    const int w = box.ScaleWidth(), h = box.ScaleHeight();
    const bool swap = SwapsSides(orientation);
    const int outW = swap ? h : w, outH = swap ? w : h;
    // The picture as shown, in rows of a layout this code chose (top first),
    // and the turned one beside it.
    void* in = nullptr;
    void* out = nullptr;
    HBITMAP source = forms::CreateDib24(w, h, &in);
    HBITMAP turned = source ? forms::CreateDib24(outW, outH, &out) : nullptr;
    HDC dc = turned ? CreateCompatibleDC(nullptr) : nullptr;
    if (!dc) {
        if (turned) DeleteObject(turned);
        if (source) DeleteObject(source);
        return false;
    }
    HGDIOBJ old = SelectObject(dc, source);
    box.StretchTo(dc, 0, 0, w, h, w, h);
    GdiFlush();
    SelectObject(dc, old);
    DeleteDC(dc);
    auto stride = [](int width) { return (static_cast<ptrdiff_t>(width) * 3 + 3) & ~ptrdiff_t{3}; };
    TurnPixels(static_cast<const uint8_t*>(in), w, h, stride(w), 3, static_cast<uint8_t*>(out), stride(outW),
               orientation);
    DeleteObject(source);
    const forms::Picture picture = forms::Picture::FromBitmap(turned);  // owns the bitmap, or deleted it
    return !picture.Empty() && box.SetPicture(picture);
}

}  // namespace tamsel
