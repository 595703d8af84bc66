#include "engine/open_filter.h"

#include <algorithm>

#include "app/numeric.h"
#include "engine/folder_steps.h"

namespace tamsel {

namespace {

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return s;
}

// ".ext" with a name the filter text can carry; anything else is no extension.
bool UsableExtension(const std::wstring& e) {
    if (e.size() < 2 || e[0] != L'.') return false;
    return std::none_of(e.begin() + 1, e.end(),
                        [](wchar_t c) { return c <= L' ' || c == L'.' || c == L';' || c == L'|' || c == L'*' || c == L'?'; });
}

}  // namespace

bool PlatformReads(const std::wstring& name) {
    const size_t dot = name.find_last_of(L".\\/");
    if (dot == std::wstring::npos || name[dot] != L'.') return false;
    const std::wstring e = Lower(name.substr(dot));
    return e == L".bmp" || e == L".jpg" || e == L".jpeg" || e == L".gif";
}

std::wstring AllPicturePatterns(const std::wstring& allPicturesFilter, const std::vector<std::wstring>& extensions) {
    std::wstring patterns = allPicturesFilter + L";*.jpg;*.jpeg;*.gif";
    std::vector<std::wstring> listed;
    for (const std::wstring& p : SplitPatterns(patterns)) listed.push_back(Lower(p));
    for (const std::wstring& e : extensions) {
        if (!UsableExtension(e)) continue;
        const std::wstring pattern = L"*" + Lower(e);
        if (std::find(listed.begin(), listed.end(), pattern) != listed.end()) continue;
        listed.push_back(pattern);
        patterns += L";" + pattern;
    }
    return patterns;
}

std::vector<std::wstring> PictureTypes(const std::wstring& patterns, const std::vector<std::wstring>& extensions) {
    std::vector<std::wstring> types;
    auto add = [&](const std::wstring& e) {
        if (UsableExtension(e) && std::find(types.begin(), types.end(), Lower(e)) == types.end())
            types.push_back(Lower(e));
    };
    for (const std::wstring& p : SplitPatterns(patterns))
        if (p.size() > 2 && p[0] == L'*') add(p.substr(1));
    for (const std::wstring& e : extensions) add(e);
    return types;
}

std::wstring ArchivePatternsOf(const std::wstring& allArchivesFilter) {
    std::wstring patterns;
    bool zip = false;
    for (const std::wstring& p : SplitPatterns(allArchivesFilter)) {
        if (p.find(L'|') != std::wstring::npos) continue;  // would break the filter text
        zip = zip || Lower(p) == L"*.zip";
        patterns += (patterns.empty() ? L"" : L";") + p;
    }
    return zip ? patterns : patterns + (patterns.empty() ? L"" : L";") + L"*.zip";
}

std::wstring BuildOpenFilter(const std::wstring& allPicturesFilter, const std::vector<std::wstring>& extensions,
                             const std::wstring& allArchivesFilter) {
    const std::wstring archives = ArchivePatternsOf(allArchivesFilter);
    return L"全てのファイル (*.*)|*.*|全ての画像ファイル|" + AllPicturePatterns(allPicturesFilter, extensions) + L";" +
           archives + L"|ビットマップファイル (*.BMP)|*.bmp" + L"|JPEGファイル (*.JPG, *.JPEG)|*.jpg;*.jpeg" +
           L"|書庫ファイル|" + archives;
}

std::wstring LoadProgressCaption(int32_t value, int32_t max) {
    std::wstring text = L"Load ...";
    if (max <= 0) return text;
    auto product = CheckedMul32(value, 100);
    if (!product) return text;
    return text + std::to_wstring(*product / max) + L"%";
}

}  // namespace tamsel
