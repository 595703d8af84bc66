#include "pixelbuffer/rastel.h"

#include <windows.h>

#include <cstring>

namespace {

// Seven pointer-sized words, in this order.
struct BufferSlot {
    HBITMAP bitmap;
    HGDIOBJ previous;  // selected in the DC before; restored on release
    HDC dc;            // the handle; null marks a free entry
    uint8_t* bits;
    intptr_t rowLength;  // width x 3
    intptr_t stride;     // row length rounded up to 4
    intptr_t height;
};
static_assert(sizeof(BufferSlot) == 7 * sizeof(void*));

constexpr int kSlots = 32;
BufferSlot gTable[kSlots];

BufferSlot* Find(intptr_t handle) {
    if (handle == 0) return nullptr;
    for (BufferSlot& s : gTable)
        if (reinterpret_cast<intptr_t>(s.dc) == handle) return &s;
    return nullptr;
}

// An entry without a bitmap copies nothing: its sizes are zero.
void ForgetBitmap(BufferSlot& s) {
    s.bits = nullptr;
    s.rowLength = s.stride = s.height = 0;
}

void ReleaseBitmap(BufferSlot& s) {
    if (s.bitmap) {
        SelectObject(s.dc, s.previous);
        DeleteObject(s.bitmap);
    }
    s.bitmap = nullptr;
    s.previous = nullptr;
    ForgetBitmap(s);
}

bool MakeBitmap(BufferSlot& s, intptr_t width, intptr_t height) {
    if (width < 0 || height < 0 || width > 0x7FFFFFFF / 3 || height > 0x7FFFFFFF) return false;
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = static_cast<LONG>(width);
    h.biHeight = -static_cast<LONG>(height);  // top row first
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biCompression = BI_RGB;
    const uint64_t imageSize = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 3;
    h.biSizeImage = imageSize <= 0xFFFFFFFFu ? static_cast<DWORD>(imageSize) : 0;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(s.dc, reinterpret_cast<BITMAPINFO*>(&h), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp || !bits) {
        if (bmp) DeleteObject(bmp);
        return false;
    }
    s.bitmap = bmp;
    s.bits = static_cast<uint8_t*>(bits);
    s.rowLength = width * 3;
    s.stride = (s.rowLength + 3) & ~intptr_t{3};
    s.height = height;
    s.previous = SelectObject(s.dc, bmp);
    return true;
}

}  // namespace

extern "C" {

intptr_t RASTEL_CALL RastelCreate(intptr_t width, intptr_t height) {
    for (BufferSlot& s : gTable) {
        if (s.dc) continue;
        s.dc = CreateCompatibleDC(nullptr);
        if (!s.dc) return 0;
        if (!MakeBitmap(s, width, height)) {
            // The entry goes back: nothing of a failed create stays behind.
            DeleteDC(s.dc);
            s = BufferSlot{};
            return 0;
        }
        return reinterpret_cast<intptr_t>(s.dc);
    }
    return 0;
}

intptr_t RASTEL_CALL RastelDelete(intptr_t handle) {
    BufferSlot* s = Find(handle);
    if (!s) return 0;
    ReleaseBitmap(*s);
    DeleteDC(s->dc);
    *s = BufferSlot{};
    return 1;
}

intptr_t RASTEL_CALL RastelChangeSize(intptr_t handle, intptr_t width, intptr_t height) {
    BufferSlot* s = Find(handle);
    if (!s) return 0;
    ReleaseBitmap(*s);
    return MakeBitmap(*s, width, height) ? 1 : 0;
}

intptr_t RASTEL_CALL RastelGetData(intptr_t handle, void* destination) {
    BufferSlot* s = Find(handle);
    if (!s) return 0;
    auto* out = static_cast<uint8_t*>(destination);
    for (intptr_t row = 0; row < s->height; ++row)
        std::memcpy(out + row * s->rowLength, s->bits + row * s->stride, static_cast<size_t>(s->rowLength));
    return 1;
}

intptr_t RASTEL_CALL RastelSetData(intptr_t handle, const void* source) {
    BufferSlot* s = Find(handle);
    if (!s) return 0;
    auto* in = static_cast<const uint8_t*>(source);
    for (intptr_t row = 0; row < s->height; ++row)
        std::memcpy(s->bits + row * s->stride, in + row * s->rowLength, static_cast<size_t>(s->rowLength));
    return 1;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        std::memset(gTable, 0, sizeof gTable);
    } else if (reason == DLL_PROCESS_DETACH) {
        for (BufferSlot& s : gTable) {
            if (!s.dc) continue;
            ReleaseBitmap(s);
            DeleteDC(s.dc);
            s = BufferSlot{};
        }
    }
    return TRUE;
}
