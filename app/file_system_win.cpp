// File-system services on Win32: wide-character calls throughout, so names
// outside the ANSI code page work end to end.
#include <windows.h>

#include <vector>

#include "app/file_system.h"

namespace tamsel {
namespace {

class Win32FileSystem final : public FileSystem {
public:
    bool FileExists(const std::wstring& path) override {
        // Wildcards and quotes never name one file.
        if (path.empty() || path.find_first_of(L"*?\"<>|") != std::wstring::npos) return false;
        DWORD a = GetFileAttributesW(path.c_str());
        return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
    }

    std::optional<std::wstring> GetFilePath(const std::wstring& path) override {
        if (!FileExists(path)) return std::nullopt;
        DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
        if (n == 0) return std::nullopt;
        std::vector<wchar_t> buf(n + 1);
        DWORD got = GetFullPathNameW(path.c_str(), n + 1, buf.data(), nullptr);
        if (got == 0 || got > n) return std::nullopt;
        return std::wstring(buf.data(), got);
    }

    std::optional<std::wstring> Dir(const std::wstring& pattern) override {
        if (pattern.empty()) return std::nullopt;
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW(pattern.c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) {
            DWORD e = GetLastError();
            if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_NO_MORE_FILES) return L"";
            return std::nullopt;
        }
        FindClose(h);
        return std::wstring(fd.cFileName);
    }
};

}  // namespace

FileSystem& PlatformFileSystem() {
    static Win32FileSystem fs;
    return fs;
}

}  // namespace tamsel
