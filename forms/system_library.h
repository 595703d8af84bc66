#pragma once
// Entry points of system libraries that only some commands need: the file
// dialogs, dropped file lists, version resources. Imported the ordinary way,
// each of these libraries, with everything it pulls in, is loaded at every
// start of the program: under Wine shell32 and comdlg32 alone delay the first
// window by some 40 ms. Loaded from the system folder only, on first use.
#include <windows.h>

namespace forms {

template <typename F>
F SystemProc(const wchar_t* library, const char* name) {
    HMODULE m = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Systems without the search flags (Windows 7 before its update) refuse the flag itself.
    if (!m && GetLastError() == ERROR_INVALID_PARAMETER) m = LoadLibraryW(library);
    return m ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

}  // namespace forms
