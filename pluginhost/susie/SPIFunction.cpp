#include "pluginhost/susie/SPIFunction.h"

#include <olectl.h>

#include <cstring>
#include <vector>

#include "pluginhost/susie/SPIModule.h"

namespace quillmount {

bool IsUsableCode(const void* address) {
    if (!address) return false;
    MEMORY_BASIC_INFORMATION mbi{};
    if (!VirtualQuery(address, &mbi, sizeof mbi)) return false;
    const DWORD executable = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return mbi.State == MEM_COMMIT && mbi.Type == MEM_IMAGE && (mbi.Protect & executable) &&
           !(mbi.Protect & (PAGE_GUARD | PAGE_NOACCESS));
}

int WINAPI ProgressCallback(int numerator, int denominator, SusieLong data) {
    SPIModule* module = SPIModule::FromIdentity(data);
    return module ? module->RaiseProgress(numerator, denominator) : 0;
}

std::wstring TrimNull(const std::wstring& text) {
    const size_t nul = text.find(L'\0');
    return nul == std::wstring::npos ? text : text.substr(0, nul);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    if (name.empty()) return folder;
    if (folder.back() == L'\\') return folder + name;
    return folder + L"\\" + name;
}

std::string ToAnsi(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring FromAnsi(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return TrimNull(out);
}

std::wstring MakeTempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    wchar_t name[MAX_PATH + 1] = {};
    GetTempFileNameW(temp, L"VPV", 0, name);
    std::wstring folder = TrimNull(name);
    DeleteFileW(folder.c_str());
    CreateDirectoryW(folder.c_str(), nullptr);
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return folder;
}

ComPtr<IPictureDisp> BitmapToPicture(HBITMAP bitmap) {
    ComPtr<IPictureDisp> picture;
    if (!bitmap) return picture;
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof desc;
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap;
    if (FAILED(OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, reinterpret_cast<void**>(picture.GetAddressOf()))))
        picture.Reset();
    return picture;
}

LockedBlock::LockedBlock(HLOCAL h) : h_(h) {
    if (h_ && (size_ = LocalSize(h_)) > 0) p_ = static_cast<const uint8_t*>(LocalLock(h_));
    if (!p_) size_ = 0;
}

LockedBlock::~LockedBlock() {
    if (p_) LocalUnlock(h_);
}

HBITMAP CreateCheckedDib(const uint8_t* header, const DibLayout& layout, void** bits, HANDLE section, DWORD offset) {
    // Our own copy of the header and colour table: nothing of the other side's memory is used in place.
    std::vector<uint8_t> info(header, header + layout.headerSize + 4 * size_t{layout.colors});
    void* dibBits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &dibBits,
                                   section, offset);
    if (!bmp || !dibBits) {
        if (bmp) DeleteObject(bmp);
        return nullptr;
    }
    if (layout.colors > 0 && layout.bitCount <= 8) {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bmp);
        SetDIBColorTable(dc, 0, layout.colors, reinterpret_cast<const RGBQUAD*>(info.data() + layout.headerSize));
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    *bits = dibBits;
    return bmp;
}

HRESULT DibToPicture(HLOCAL header, HLOCAL pixels, ComPtr<IPictureDisp>& picture) {
    picture.Reset();
    LockedBlock head(header), bits(pixels);
    DibLayout layout;
    switch (CheckDib(head.data(), head.size(), bits.size(), layout)) {
    case DibCheck::Overflow:
        return DISP_E_OVERFLOW;
    case DibCheck::NoPicture:
        return S_FALSE;
    case DibCheck::Ok:
        break;
    }
    void* dibBits = nullptr;
    HBITMAP bmp = CreateCheckedDib(head.data(), layout, &dibBits);
    if (!bmp) return S_FALSE;
    std::memcpy(dibBits, bits.data(), layout.pixelBytes);  // rows in the order the header gives
    picture = BitmapToPicture(bmp);
    if (!picture) {
        DeleteObject(bmp);
        return S_FALSE;
    }
    return S_OK;
}

ComPtr<IPictureDisp> LoadBitmapFile(const std::wstring& path, int32_t& width, int32_t& height, int32_t& bits) {
    if (path.empty()) return nullptr;
    HBITMAP bmp = static_cast<HBITMAP>(
        LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!bmp) return nullptr;
    BITMAP bm{};
    GetObjectW(bmp, sizeof bm, &bm);
    width = bm.bmWidth;
    height = bm.bmHeight;
    bits = bm.bmBitsPixel;
    ComPtr<IPictureDisp> picture = BitmapToPicture(bmp);
    if (!picture) DeleteObject(bmp);
    return picture;
}

}  // namespace quillmount
