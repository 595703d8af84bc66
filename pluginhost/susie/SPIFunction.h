#pragma once
// Free routines of the plug-in host: calling plug-in entry points, the
// progress callback, bitmaps to owning OLE pictures, bitmap files through the
// platform, temporary folders and two string routines.
#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>

#include "pluginhost/susie/plugin_formats.h"

namespace quillmount {

using Microsoft::WRL::ComPtr;

// The plug-in convention of this build: *.spi with 32-bit values in the
// 32-bit build, *.sph with pointer-sized offsets, handles and user data in the 64-bit one.
#ifdef _WIN64
constexpr Abi kAbi = Abi::Sph64;
constexpr wchar_t kPluginPattern[] = L"*.sph";
#else
constexpr Abi kAbi = Abi::Spi32;
constexpr wchar_t kPluginPattern[] = L"*.spi";
#endif

using SusieLong = intptr_t;
using ProgressCallbackFn = int(WINAPI*)(int numerator, int denominator, SusieLong data);
using GetPluginInfoFn = int(WINAPI*)(int index, char* buffer, int length);
using IsSupportedFn = int(WINAPI*)(const char* fileName, void* header);
using GetPictureInfoFn = int(WINAPI*)(const char* source, SusieLong offset, unsigned flag, void* info);
using GetPictureFn = int(WINAPI*)(const char* source, SusieLong offset, unsigned flag, HLOCAL* header,
                                  HLOCAL* pixels, ProgressCallbackFn progress, SusieLong data);
using GetArchiveInfoFn = int(WINAPI*)(const char* source, SusieLong offset, unsigned flag, HLOCAL* list);
using GetFileInfoFn = int(WINAPI*)(const char* source, SusieLong offset, const char* entry, unsigned flag,
                                   void* info);
using GetFileFn = int(WINAPI*)(const char* source, SusieLong position, char* destination, unsigned flag,
                               ProgressCallbackFn progress, SusieLong data);

// An address inside a loaded module's executable code.
bool IsUsableCode(const void* address);

// Calls the entry point, or answers `fallback` when its address is no usable code.
template <typename F, typename... Args>
int CallFunction(F entry, int fallback, Args... args) {
    if (!entry || !IsUsableCode(reinterpret_cast<const void*>(entry))) return fallback;
    return entry(args...);
}

// Plug-ins call it with the module identity they were given: 1 asks them to abort.
int WINAPI ProgressCallback(int numerator, int denominator, SusieLong data);

std::wstring TrimNull(const std::wstring& text);
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
// Text for a plug-in: the ANSI code page, NUL-terminated.
std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& text);

// A new empty folder named like a temporary file with prefix "VPV", ending in "\".
std::wstring MakeTempFolder();

// A locked local memory block and its size; an unlockable handle is an empty block.
class LockedBlock {
public:
    explicit LockedBlock(HLOCAL h);
    ~LockedBlock();
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;
    const uint8_t* data() const { return p_; }
    size_t size() const { return size_; }

private:
    HLOCAL h_;
    const uint8_t* p_ = nullptr;
    size_t size_ = 0;
};

// A DIB section of the checked layout made from the header block (its colour
// table included); its bits are fresh memory, or lie at `offset` of `section`.
HBITMAP CreateCheckedDib(const uint8_t* header, const DibLayout& layout, void** bits, HANDLE section = nullptr,
                         DWORD offset = 0);

// An OLE picture that owns the bitmap; null (and the bitmap still the caller's) on failure.
ComPtr<IPictureDisp> BitmapToPicture(HBITMAP bitmap);

// The plug-in's bitmap as a picture, every read bounded by the blocks' own sizes.
// S_OK with a picture; S_FALSE for a bitmap the host does not take;
// DISP_E_OVERFLOW for sizes beyond 32 bits (an error of the whole load).
HRESULT DibToPicture(HLOCAL header, HLOCAL pixels, ComPtr<IPictureDisp>& picture);

// The platform's bitmap loader: a picture and its size and depth, or null.
ComPtr<IPictureDisp> LoadBitmapFile(const std::wstring& path, int32_t& width, int32_t& height, int32_t& bits);

}  // namespace quillmount
