#include "engine/picture_services.h"

#include <olectl.h>

#include <cstring>
#include <vector>

#include "engine/bmp_file.h"

namespace tamsel {

using forms::Picture;

// ---- decoder

namespace {

// Decodes the bytes in `mem`, which it takes over.
HRESULT LoadPictureFromGlobal(HGLOBAL mem, size_t size, Picture& out) {
    HRESULT hr = S_OK;
    IStream* stream = nullptr;
    if (FAILED(hr = CreateStreamOnHGlobal(mem, TRUE, &stream))) {
        GlobalFree(mem);
        return hr;
    }
    IPicture* pic = nullptr;
    hr = OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture, reinterpret_cast<void**>(&pic));
    stream->Release();
    if (FAILED(hr) || !pic) return FAILED(hr) ? hr : CTL_E_INVALIDPICTURE;
    Picture result(pic, false);
    if (result.Empty()) return CTL_E_INVALIDPICTURE;
    out = result;
    return S_OK;
}


}  // namespace

HRESULT LoadPicture(const std::wstring& path, Picture& out) {
    if (path.empty()) {
        out = Picture();
        return S_OK;
    }
    // Shared for deleting too: a save over this file, or its removal, never fails because it is being read
    // (the picture read ahead of a step may be).
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
    LARGE_INTEGER size{};
    HRESULT hr = S_OK;
    HGLOBAL mem = nullptr;
    // The decoder takes a 32-bit length; an empty file is no picture.
    if (!GetFileSizeEx(f, &size) || size.QuadPart <= 0 || size.QuadPart >= 0x7FFFFFFF) {
        hr = CTL_E_INVALIDPICTURE;
    } else if (!(mem = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size.QuadPart)))) {
        hr = E_OUTOFMEMORY;
    } else {
        void* p = GlobalLock(mem);
        DWORD read = 0;
        BOOL ok = ReadFile(f, p, static_cast<DWORD>(size.QuadPart), &read, nullptr);
        GlobalUnlock(mem);
        if (!ok || read != size.QuadPart) hr = CTL_E_INVALIDPICTURE;
    }
    CloseHandle(f);
    if (FAILED(hr)) {
        if (mem) GlobalFree(mem);
        return hr;
    }
    return LoadPictureFromGlobal(mem, static_cast<size_t>(size.QuadPart), out);
}

HRESULT LoadPictureFromMemory(const uint8_t* data, size_t size, Picture& out) {
    if (!data || size == 0 || size >= 0x7FFFFFFF) return CTL_E_INVALIDPICTURE;
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!mem) return E_OUTOFMEMORY;
    std::memcpy(GlobalLock(mem), data, size);
    GlobalUnlock(mem);
    return LoadPictureFromGlobal(mem, size, out);
}

// ---- writer

namespace {

bool ReadDib(HBITMAP bmp, DibImage& img) {
    BITMAP bm{};
    if (!GetObjectW(bmp, sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight == 0) return false;
    img.width = bm.bmWidth;
    img.height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    img.bitCount = bm.bmBitsPixel <= 1 ? 1 : bm.bmBitsPixel <= 4 ? 4 : bm.bmBitsPixel <= 8 ? 8 : 24;
    uint64_t stride = DibStride(img.width, img.bitCount);
    uint64_t bytes = stride * static_cast<uint64_t>(img.height);
    if (stride == 0 || bytes > 0xFFFFFFFFull) return false;
    try {
        img.rows.assign(static_cast<size_t>(bytes), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colours[256];
    } bi{};
    bi.h.biSize = sizeof bi.h;
    bi.h.biWidth = img.width;
    bi.h.biHeight = img.height;  // bottom-up, as the file stores it
    bi.h.biPlanes = 1;
    bi.h.biBitCount = img.bitCount;
    bi.h.biCompression = BI_RGB;
    HDC dc = GetDC(nullptr);
    int lines = GetDIBits(dc, bmp, 0, static_cast<UINT>(img.height), img.rows.data(),
                          reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    if (lines != img.height) return false;
    img.palette.clear();
    if (img.bitCount != 24) {
        UINT n = bi.h.biClrUsed ? bi.h.biClrUsed : (1u << img.bitCount);
        if (n > (1u << img.bitCount)) n = 1u << img.bitCount;
        for (UINT i = 0; i < n; ++i) {
            const RGBQUAD& q = bi.colours[i];
            img.palette.push_back((uint32_t{q.rgbRed} << 16) | (uint32_t{q.rgbGreen} << 8) | q.rgbBlue);
        }
    }
    return true;
}

std::wstring FolderOf(const std::wstring& path) {
    DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (!n) return L"";
    std::vector<wchar_t> buf(n + 1);
    wchar_t* filePart = nullptr;
    if (!GetFullPathNameW(path.c_str(), n + 1, buf.data(), &filePart) || !filePart) return L"";
    *filePart = L'\0';
    return std::wstring(buf.data());
}

HRESULT WriteFileReplacing(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    std::wstring folder = FolderOf(path);
    if (folder.empty()) return E_INVALIDARG;
    // A name of our own beside the target: the platform's temporary names stop at 260 characters.
    std::wstring temp;
    HANDLE f = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_FILE_EXISTS;
    for (unsigned attempt = 0; f == INVALID_HANDLE_VALUE && error == ERROR_FILE_EXISTS && attempt < 1000; ++attempt) {
        wchar_t suffix[32];
        wsprintfW(suffix, L"ts2%04X%03u.tmp", GetCurrentProcessId() & 0xFFFF, attempt);
        temp = folder + suffix;
        f = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) error = GetLastError();
    }
    if (f == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(error ? error : ERROR_PATH_NOT_FOUND);
    HRESULT hr = S_OK;
    size_t done = 0;
    while (SUCCEEDED(hr) && done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24)), wrote = 0;
        if (!WriteFile(f, bytes.data() + done, chunk, &wrote, nullptr) || wrote != chunk)
            hr = HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_WRITE_FAULT);
        done += wrote;
    }
    if (SUCCEEDED(hr) && !FlushFileBuffers(f)) hr = HRESULT_FROM_WIN32(GetLastError());
    CloseHandle(f);
    // A read-only target stays as it is (not every file system refuses the replace itself).
    DWORD targetAttributes = GetFileAttributesW(path.c_str());
    if (SUCCEEDED(hr) && targetAttributes != INVALID_FILE_ATTRIBUTES &&
        (targetAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        hr = E_ACCESSDENIED;
    if (SUCCEEDED(hr) && !MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        hr = HRESULT_FROM_WIN32(GetLastError());
    if (FAILED(hr)) DeleteFileW(temp.c_str());
    return hr;
}

}  // namespace

HRESULT SavePicture(const Picture& picture, const std::wstring& path) {
    if (picture.Empty()) return CTL_E_INVALIDPICTURE;
    DibImage img;
    bool ok;
    if (picture.Type() == PICTYPE_BITMAP) {
        ok = ReadDib(static_cast<HBITMAP>(picture.Handle()), img);
    } else {
        HBITMAP drawn = forms::RenderToBitmap(picture);
        ok = drawn && ReadDib(drawn, img);
        if (drawn) DeleteObject(drawn);
    }
    if (!ok) return E_OUTOFMEMORY;
    std::vector<uint8_t> bytes = EncodeBmpFile(img);
    if (bytes.empty()) return E_OUTOFMEMORY;
    return WriteFileReplacing(path, bytes);
}

// ---- clipboard

namespace {

HWND ClipboardOwner() {
    static HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    return owner;
}

// Another program may hold the clipboard open for a moment: try briefly, never hang.
bool OpenClipboardBriefly() {
    for (int i = 0; i < 20; ++i) {
        if (OpenClipboard(ClipboardOwner())) return true;
        Sleep(10);
    }
    return false;
}

HBITMAP CopyToDib24(HBITMAP source) {
    BITMAP bm{};
    if (!GetObjectW(source, sizeof bm, &bm)) return nullptr;
    int h = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    HBITMAP copy = forms::CreateDib24(bm.bmWidth, h);
    if (!copy) return nullptr;
    HDC src = CreateCompatibleDC(nullptr), dst = CreateCompatibleDC(nullptr);
    HGDIOBJ o1 = SelectObject(src, source), o2 = SelectObject(dst, copy);
    BitBlt(dst, 0, 0, bm.bmWidth, h, src, 0, 0, SRCCOPY);
    SelectObject(src, o1);
    SelectObject(dst, o2);
    DeleteDC(src);
    DeleteDC(dst);
    return copy;
}

// A packed DIB from another program: every size is checked against the block.
HBITMAP BitmapFromPackedDib(const BYTE* p, SIZE_T n) {
    if (n < sizeof(BITMAPINFOHEADER)) return nullptr;
    BITMAPINFOHEADER h;
    std::memcpy(&h, p, sizeof h);
    if (h.biSize < sizeof h || h.biSize > n || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN ||
        h.biPlanes != 1)
        return nullptr;
    if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) return nullptr;
    uint16_t bits = h.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return nullptr;
    uint64_t colours = h.biClrUsed ? h.biClrUsed : (bits <= 8 ? (1u << bits) : 0);
    if (colours > 256 && bits <= 8) return nullptr;
    uint64_t masks = (h.biCompression == BI_BITFIELDS && h.biSize == sizeof h) ? 12 : 0;
    uint64_t height = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
    uint64_t stride = ((static_cast<uint64_t>(h.biWidth) * bits + 31) / 32) * 4;
    uint64_t offset = h.biSize + masks + colours * 4;
    if (offset + stride * height > n || height > 0x7FFFFFFF) return nullptr;
    HBITMAP bmp = forms::CreateDib24(h.biWidth, static_cast<int>(height));
    if (!bmp) return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    SetDIBitsToDevice(dc, 0, 0, h.biWidth, static_cast<DWORD>(height), 0, 0, 0, static_cast<UINT>(height), p + offset,
                      reinterpret_cast<const BITMAPINFO*>(p), DIB_RGB_COLORS);
    SelectObject(dc, old);
    DeleteDC(dc);
    return bmp;
}

HBITMAP BitmapFromMetafilePict(HANDLE data) {
    auto* mfp = static_cast<METAFILEPICT*>(GlobalLock(data));
    if (!mfp) return nullptr;
    HBITMAP result = nullptr;
    HMETAFILE copy = CopyMetaFileW(mfp->hMF, nullptr);
    if (copy) {
        PICTDESC desc{};
        desc.cbSizeofstruct = sizeof desc;
        desc.picType = PICTYPE_METAFILE;
        desc.wmf.hmeta = copy;
        desc.wmf.xExt = mfp->xExt > 0 ? mfp->xExt : 2540;
        desc.wmf.yExt = mfp->yExt > 0 ? mfp->yExt : 2540;
        IPicture* p = nullptr;
        if (SUCCEEDED(OleCreatePictureIndirect(&desc, IID_IPicture, TRUE, reinterpret_cast<void**>(&p))) && p) {
            result = forms::RenderToBitmap(Picture(p, false));
        } else {
            DeleteMetaFile(copy);
        }
    }
    GlobalUnlock(data);
    return result;
}

HGLOBAL PackedDib24(HBITMAP bmp) {
    BITMAP bm{};
    if (!GetObjectW(bmp, sizeof bm, &bm)) return nullptr;
    int h = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    uint64_t stride = DibStride(bm.bmWidth, 24);
    uint64_t bytes = sizeof(BITMAPINFOHEADER) + stride * h;
    if (!stride || bytes > 0x7FFFFFFF) return nullptr;
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(bytes));
    if (!g) return nullptr;
    auto* p = static_cast<BYTE*>(GlobalLock(g));
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    bi.bmiHeader.biSizeImage = static_cast<DWORD>(stride * h);
    std::memcpy(p, &bi.bmiHeader, sizeof bi.bmiHeader);
    HDC dc = GetDC(nullptr);
    int lines = GetDIBits(dc, bmp, 0, h, p + sizeof bi.bmiHeader, &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    GlobalUnlock(g);
    if (lines != h) {
        GlobalFree(g);
        return nullptr;
    }
    return g;
}

}  // namespace

bool ClipboardGetFormat(UINT format) { return IsClipboardFormatAvailable(format) != FALSE; }

bool ClipboardOffersPicture() {
    return ClipboardGetFormat(CF_BITMAP) || ClipboardGetFormat(CF_METAFILEPICT) || ClipboardGetFormat(CF_DIB);
}

HRESULT ClipboardGetData(Picture& out) {
    if (!OpenClipboardBriefly()) return CLIPBRD_E_CANT_OPEN;
    HBITMAP bmp = nullptr;
    if (IsClipboardFormatAvailable(CF_BITMAP)) {
        if (HANDLE h = GetClipboardData(CF_BITMAP)) bmp = CopyToDib24(static_cast<HBITMAP>(h));
    }
    if (!bmp && IsClipboardFormatAvailable(CF_METAFILEPICT)) {
        if (HANDLE h = GetClipboardData(CF_METAFILEPICT)) bmp = BitmapFromMetafilePict(h);
    }
    if (!bmp && IsClipboardFormatAvailable(CF_DIB)) {
        if (HANDLE h = GetClipboardData(CF_DIB)) {
            if (auto* p = static_cast<const BYTE*>(GlobalLock(h))) {
                bmp = BitmapFromPackedDib(p, GlobalSize(h));
                GlobalUnlock(h);
            }
        }
    }
    CloseClipboard();
    if (!bmp) return DV_E_FORMATETC;
    Picture p = Picture::FromBitmap(bmp);
    if (p.Empty()) return E_OUTOFMEMORY;
    out = p;
    return S_OK;
}

HRESULT ClipboardClear() {
    if (!OpenClipboardBriefly()) return CLIPBRD_E_CANT_OPEN;
    BOOL ok = EmptyClipboard();
    CloseClipboard();
    return ok ? S_OK : CLIPBRD_E_CANT_EMPTY;
}

HRESULT ClipboardSetData(const Picture& picture) {
    if (picture.Empty()) return CTL_E_INVALIDPICTURE;
    HBITMAP drawn = picture.Type() == PICTYPE_BITMAP ? nullptr : forms::RenderToBitmap(picture);
    HBITMAP source = drawn ? drawn : static_cast<HBITMAP>(picture.Handle());
    HBITMAP ddb = nullptr;
    HGLOBAL dib = PackedDib24(source);
    BITMAP bm{};
    if (GetObjectW(source, sizeof bm, &bm)) {
        int h = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
        HDC screen = GetDC(nullptr);
        ddb = CreateCompatibleBitmap(screen, bm.bmWidth, h);
        ReleaseDC(nullptr, screen);
        if (ddb) {
            HDC src = CreateCompatibleDC(nullptr), dst = CreateCompatibleDC(nullptr);
            HGDIOBJ o1 = SelectObject(src, source), o2 = SelectObject(dst, ddb);
            BitBlt(dst, 0, 0, bm.bmWidth, h, src, 0, 0, SRCCOPY);
            SelectObject(src, o1);
            SelectObject(dst, o2);
            DeleteDC(src);
            DeleteDC(dst);
        }
    }
    if (drawn) DeleteObject(drawn);
    HRESULT hr = E_OUTOFMEMORY;
    if (ddb && dib && OpenClipboardBriefly()) {
        // Only the clipboard's owner may add formats; the callers have just cleared it.
        if (GetClipboardOwner() != ClipboardOwner()) EmptyClipboard();
        // The clipboard owns what it accepts.
        if (SetClipboardData(CF_BITMAP, ddb)) ddb = nullptr;
        if (SetClipboardData(CF_DIB, dib)) dib = nullptr;
        hr = (!ddb && !dib) ? S_OK : CLIPBRD_E_CANT_SET;
        CloseClipboard();
    } else if (ddb && dib) {
        hr = CLIPBRD_E_CANT_OPEN;
    }
    if (ddb) DeleteObject(ddb);
    if (dib) GlobalFree(dib);
    return hr;
}

}  // namespace tamsel
