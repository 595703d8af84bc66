#include "app/open_with.h"

namespace tamsel {

namespace {

constexpr wchar_t kClasses[] = L"Software\\Classes\\";
constexpr wchar_t kApplication[] = L"Software\\Classes\\Applications\\Tamsel2.exe";
constexpr wchar_t kProgId[] = L"Tamsel2.Picture";

LSTATUS SetText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// Removes a key that holds nothing any more: no values, no subkeys.
void RemoveIfEmpty(const std::wstring& key) {
    HKEY k;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return;
    DWORD subkeys = 0, values = 0;
    const bool empty = RegQueryInfoKeyW(k, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                        nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                       subkeys == 0 && values == 0;
    RegCloseKey(k);
    if (empty) RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
}

}  // namespace

HRESULT RegisterOpenWith(const std::wstring& viewerPath, const std::vector<std::wstring>& extensions) {
    // The whole path as the program's one argument, unquoted: the viewer takes its command line as one name.
    const std::wstring command = L"\"" + viewerPath + L"\" %1";
    const std::wstring app = kApplication, progId = std::wstring(kClasses) + kProgId;
    LSTATUS e = SetText(app, L"FriendlyAppName", L"Tamsel2");
    if (!e) e = SetText(app + L"\\shell\\open\\command", nullptr, command);
    if (!e) e = SetText(progId, nullptr, L"Tamsel2 の画像");
    if (!e) e = SetText(progId + L"\\DefaultIcon", nullptr, viewerPath + L",0");
    if (!e) e = SetText(progId + L"\\shell\\open\\command", nullptr, command);
    for (const std::wstring& ext : extensions) {
        if (e) break;
        e = SetText(app + L"\\SupportedTypes", ext.c_str(), L"");
        // Beside the type's own program, never in its place: the default value stays the user's.
        if (!e)
            e = RegSetKeyValueW(HKEY_CURRENT_USER, (kClasses + ext + L"\\OpenWithProgids").c_str(), kProgId, REG_NONE,
                                nullptr, 0);
    }
    return HRESULT_FROM_WIN32(e);
}

HRESULT UnregisterOpenWith() {
    const std::wstring app = kApplication;
    HKEY types;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, (app + L"\\SupportedTypes").c_str(), 0, KEY_READ, &types) == ERROR_SUCCESS) {
        std::vector<std::wstring> extensions;
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD n = 256;
            if (RegEnumValueW(types, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            if (name[0] == L'.') extensions.emplace_back(name, n);
        }
        RegCloseKey(types);
        for (const std::wstring& ext : extensions) {
            const std::wstring key = kClasses + ext;
            RegDeleteKeyValueW(HKEY_CURRENT_USER, (key + L"\\OpenWithProgids").c_str(), kProgId);
            RemoveIfEmpty(key + L"\\OpenWithProgids");
            RemoveIfEmpty(key);
        }
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, app.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, app.c_str());
    const std::wstring progId = std::wstring(kClasses) + kProgId;
    RegDeleteTreeW(HKEY_CURRENT_USER, progId.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, progId.c_str());
    return S_OK;
}

OpenWithSwitch OpenWithSwitchOf(const std::wstring& commandLine) {
    std::wstring word = commandLine;
    while (!word.empty() && word.back() == L' ') word.pop_back();
    if (_wcsicmp(word.c_str(), L"/openwith") == 0) return OpenWithSwitch::Register;
    if (_wcsicmp(word.c_str(), L"/openwith:remove") == 0) return OpenWithSwitch::Remove;
    return OpenWithSwitch::None;
}

}  // namespace tamsel
