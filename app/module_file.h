#pragma once
// The full path of a loaded module, however long: a program folder may lie
// beyond 260 characters, and a cut path would name another file.
#include <windows.h>

#include <string>

namespace tamsel {

inline std::wstring ModuleFileName(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return L"";
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() > 65536) return L"";  // longer than any path the system makes
        path.resize(path.size() * 2);
    }
}

// The short (8.3) form of an existing path, for calls that keep names in
// 260-character buffers; empty where the volume keeps no short names.
inline std::wstring ShortPathOf(const std::wstring& path) {
    std::wstring shortName(path.size() + 1, L'\0');
    const DWORD n = GetShortPathNameW(path.c_str(), shortName.data(), static_cast<DWORD>(shortName.size()));
    return n && n < shortName.size() ? shortName.substr(0, n) : std::wstring();
}

}  // namespace tamsel
