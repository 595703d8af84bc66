#include "engine/caption.h"

#include "app/settings_record.h"

namespace tamsel {

std::wstring FileTitleOf(FileSystem& fs, const std::wstring& path) {
    if (!fs.FileExists(path)) return L"";
    const std::wstring s = path + L"\\";
    std::wstring t;
    // Characters before the fourth are the drive, as in C:\.
    size_t pos = s.size() > 3 ? s.find(L'\\', 3) : std::wstring::npos;
    while (pos != std::wstring::npos) {
        auto d = fs.Dir(s.substr(0, pos));
        if (!d || d->empty()) return L"";
        t += L"\\" + *d;
        pos = s.find(L'\\', pos + 1);
    }
    t = s.substr(0, 2) + t;
    return fs.FileExists(t) ? t : L"";
}

std::wstring ArchiveCaption(const std::wstring& entryName, const std::wstring& archiveName, int16_t currentViewSize) {
    const size_t slash = entryName.find_last_of(L"\\/");
    std::wstring text = (slash == std::wstring::npos ? entryName : entryName.substr(slash + 1)) + L" [" +
                        GetFileName(archiveName) + L"] - " + kAppName;
    if (currentViewSize != 100) text += L" (" + std::to_wstring(currentViewSize) + L"%)";
    return text;
}

std::wstring MakeCaption(FileSystem& fs, const std::wstring& currentFileName, int16_t currentViewSize) {
    std::wstring text;
    if (currentFileName.empty()) {
        text = kAppName;
    } else if (currentFileName == kClipboardMarker) {
        text = std::wstring(L"未保存の画像 - ") + kAppName;
    } else if (auto full = fs.GetFilePath(currentFileName)) {
        text = GetFileName(FileTitleOf(fs, *full)) + L" - " + kAppName;
    } else {
        // The file is gone since it was loaded: still name what is shown.
        text = GetFileName(currentFileName) + L" - " + kAppName;
    }
    if (currentViewSize != 100) text += L" (" + std::to_wstring(currentViewSize) + L"%)";
    return text;
}

}  // namespace tamsel
