// Shared pieces of the test plug-ins: the entry-point conventions, file
// reading and local memory blocks. Written from the plug-in API as the host
// describes it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "pluginhost/susie/susie_records.h"

#define SPI_EXPORT extern "C" __declspec(dllexport)

using SusieLong = intptr_t;
using ProgressFn = int(WINAPI*)(int numerator, int denominator, SusieLong data);

// Result codes of the convention.
enum { kOk = 0, kAborted = 1, kUnknownFormat = 2, kBrokenData = 4, kNoMemory = 5, kReadError = 7 };

#ifdef _WIN64
using PictureInfoRecord = quillmount::PictureInfo64;
using EntryRecord = quillmount::ArchiveEntry64;
#else
using PictureInfoRecord = quillmount::PictureInfo32;
using EntryRecord = quillmount::ArchiveEntry32;
#endif

inline bool ReadWholeFile(const char* name, std::vector<uint8_t>& out) {
    HANDLE f = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    GetFileSizeEx(f, &size);
    out.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    BOOL ok = out.empty() || ReadFile(f, out.data(), static_cast<DWORD>(out.size()), &read, nullptr);
    CloseHandle(f);
    return ok && read == out.size();
}

inline HLOCAL BlockOf(const void* data, size_t size) {
    HLOCAL h = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, size ? size : 1);
    if (h && data && size) {
        std::memcpy(LocalLock(h), data, size);
        LocalUnlock(h);
    }
    return h;
}

// Copies information string `index` of `strings` into the buffer; 0 past the end.
inline int InfoString(const char* const* strings, int count, int index, char* buffer, int length) {
    if (index < 0 || index >= count || !buffer || length <= 0) return 0;
    const int n = static_cast<int>(std::strlen(strings[index]));
    const int copy = n < length ? n : length;
    std::memcpy(buffer, strings[index], static_cast<size_t>(copy));
    if (copy < length) buffer[copy] = 0;
    return copy > 0 ? copy : 1;
}

// A line appended to the file named by TAMSEL_PLUGIN_LOG, when it is set: what
// a plug-in was handed and what it did, for tests to read from outside the
// process it runs in.
inline void LogLine(const std::string& line) {
    char path[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("TAMSEL_PLUGIN_LOG", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    HANDLE f = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
}
