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

}  // namespace tamsel
