#include "engine/turning.h"

#include <windows.h>

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

namespace tamsel {

FileFacts FileFactsOf(const std::wstring& path) {
    FileFacts facts;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (f == INVALID_HANDLE_VALUE) return facts;
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
    facts.orientation = ExifOrientation(bytes.data(), bytes.size());
    if (!JpegSize(bytes.data(), bytes.size(), facts.width, facts.height)) facts.width = facts.height = 0;
    return facts;
}

TurnMemory::~TurnMemory() {
    if (thread_) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    if (bitmap_) DeleteObject(bitmap_);
}

DWORD WINAPI TurnMemory::Make(void* self) {
    auto* m = static_cast<TurnMemory*>(self);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), m->width_, -m->height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bmp) {
        // A write to every page, so that none is first touched by the turn.
        auto* p = static_cast<volatile uint8_t*>(bits);
        const size_t bytes = size_t(m->width_) * m->height_ * 4;
        for (size_t at = 0; at < bytes; at += 4096) p[at] = 0;
    }
    m->bitmap_ = bmp;
    m->bits_ = bits;
    return 0;
}

void TurnMemory::Prepare(int width, int height) {
    if (thread_ || width <= 0 || height <= 0) return;
    width_ = width, height_ = height;
    thread_ = CreateThread(nullptr, 64 * 1024, &Make, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
}

HBITMAP TurnMemory::Take(int width, int height, void** bits) {
    if (!thread_) return nullptr;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
    if (!bitmap_ || width != width_ || height != height_) return nullptr;
    *bits = bits_;
    return std::exchange(bitmap_, nullptr);
}

bool TurnPicture(forms::PictureBox& box, int orientation, TurnMemory* ready) {
    if (box.GetPicture().Empty() || orientation < 1 || orientation > 8) return false;
    if (orientation == 1) return true;
    const int w = box.ScaleWidth(), h = box.ScaleHeight();
    const bool swap = SwapsSides(orientation);
    const int outW = swap ? h : w, outH = swap ? w : h;
    // The turned picture: 32-bit rows top first, as the platform's own bitmaps are.
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), outW, -outH, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* out = nullptr;
    HBITMAP turned = ready ? ready->Take(outW, outH, &out) : nullptr;
    if (!turned) turned = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &out, nullptr, 0);
    if (!turned) return false;
    // Rows of the picture (the top one and the step to the next one down),
    // starting at row `top`, into their place in the turned picture: rows of
    // it, or columns for a quarter turn, counted from the far side when the
    // turn runs upward.
    const bool fromFar = orientation == 3 || orientation == 4 || orientation == 6 || orientation == 7;
    auto turnRows = [&](const uint8_t* first, ptrdiff_t down, int top, int n) {
        const ptrdiff_t at = fromFar ? h - top - n : top;
        uint8_t* dst = static_cast<uint8_t*>(out) + (swap ? at * 4 : at * ptrdiff_t{outW} * 4);
        TurnPixels(first, w, n, down, 4, dst, ptrdiff_t{outW} * 4, orientation);
    };
    const forms::Picture& shown = box.GetPicture();
    HDC dc = CreateCompatibleDC(nullptr);
    bool ok = dc != nullptr;
    if (ok && shown.Type() == PICTYPE_BITMAP && shown.WidthPixels() == w && shown.HeightPixels() == h) {
        // A bitmap is read from its bits a band of rows at a time (memory
        // touched for the first time is dear: only the turned picture is new),
        // bottom-up, where scan lines are counted from the bottom without doubt.
        const int band = std::max(1, std::min(h, (1 << 20) / (w * 4)));
        const ptrdiff_t stride = ptrdiff_t{w} * 4;
        std::vector<uint8_t> rows;
        try {
            rows.resize(static_cast<size_t>(stride) * band);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        BITMAPINFO in{};
        in.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        for (int top = 0; ok && top < h; top += band) {
            const int n = std::min(band, h - top);
            ok = GetDIBits(dc, static_cast<HBITMAP>(shown.Handle()), static_cast<UINT>(h - top - n),
                           static_cast<UINT>(n), rows.data(), &in, DIB_RGB_COLORS) == n;
            if (ok) turnRows(rows.data() + (n - 1) * stride, -stride, top, n);
        }
    } else if (ok) {
        // Anything else is drawn whole, as the box shows it.
        BITMAPINFO in{};
        in.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP whole = CreateDIBSection(nullptr, &in, DIB_RGB_COLORS, &bits, nullptr, 0);
        ok = whole != nullptr;
        if (ok) {
            HGDIOBJ old = SelectObject(dc, whole);
            box.StretchTo(dc, 0, 0, w, h, w, h);
            GdiFlush();
            SelectObject(dc, old);
            turnRows(static_cast<const uint8_t*>(bits), ptrdiff_t{w} * 4, 0, h);
            DeleteObject(whole);
        }
    }
    if (dc) DeleteDC(dc);
    if (!ok) {
        DeleteObject(turned);
        return false;
    }
    const forms::Picture picture = forms::Picture::FromBitmap(turned);  // owns the bitmap, or deleted it
    return !picture.Empty() && box.SetPicture(picture);
}

}  // namespace tamsel
