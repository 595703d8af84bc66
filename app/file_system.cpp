#include "app/file_system.h"

namespace tamsel {

std::wstring GetFileName(const std::wstring& path) {
    size_t sep = path.find_last_of(L"\\/");
    return sep == std::wstring::npos ? path : path.substr(sep + 1);
}

std::wstring LastExistingFile(FileSystem& fs, const std::vector<std::wstring>& names) {
    std::wstring chosen;
    for (const std::wstring& n : names)
        if (fs.FileExists(n)) chosen = n;
    return chosen;
}

}  // namespace tamsel
