#pragma once
// The ordinary files (not hidden, not system, not folders) that match a
// wildcard path, in the order the file system lists them: the plug-in folder
// and the folder steps read folders by the same rule.
#include <windows.h>

#include <string>
#include <vector>

namespace tamsel {

inline std::vector<std::wstring> OrdinaryFiles(const std::wstring& wildcardPath) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW(wildcardPath.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY)))
            names.emplace_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

}  // namespace tamsel
