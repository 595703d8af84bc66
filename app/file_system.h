#pragma once
// The few questions the viewer asks the file system about paths.
#include <optional>
#include <string>
#include <vector>

namespace tamsel {

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // True only for an existing file: false for folders, missing files and texts that are no path.
    virtual bool FileExists(const std::wstring& path) = 0;
    // Absolute path of an existing file; nullopt (the call fails) for anything else.
    virtual std::optional<std::wstring> GetFilePath(const std::wstring& path) = 0;
    // Stored (long, cased) name of the first entry matching the pattern, hidden,
    // system and folder entries included; "" when none matches; nullopt when the lookup fails.
    virtual std::optional<std::wstring> Dir(const std::wstring& pattern) = 0;
};

// The text after the last path separator; "" for an empty path.
std::wstring GetFileName(const std::wstring& path);

// Of a dropped file list: the last name that is an existing file, else "".
std::wstring LastExistingFile(FileSystem& fs, const std::vector<std::wstring>& names);

// The file system of the running platform.
FileSystem& PlatformFileSystem();

}  // namespace tamsel
