#include "app/settings_store.h"

#include <windows.h>
#include <oleauto.h>

#include <vector>

namespace tamsel {

std::wstring RegistrySettingsStore::KeyPath(const std::wstring& app, const std::wstring& section) {
    return L"Software\\VB and VBA Program Settings\\" + app + L"\\" + section;
}

std::wstring RegistrySettingsStore::GetSetting(const std::wstring& app, const std::wstring& section,
                                               const std::wstring& key, const std::wstring& defaultValue) {
    HKEY h;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(app, section).c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return defaultValue;
    std::wstring result = defaultValue;
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(h, key.c_str(), nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::vector<wchar_t> buf(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD got = bytes;
        if (RegQueryValueExW(h, key.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &got) ==
            ERROR_SUCCESS)
            result = std::wstring(buf.data());  // cut at the first NUL
    }
    RegCloseKey(h);
    return result;
}

void RegistrySettingsStore::SaveSetting(const std::wstring& app, const std::wstring& section, const std::wstring& key,
                                        const std::wstring& value) {
    HKEY h;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(app, section).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(h, key.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
}

namespace {

bool BoolFromText(const std::wstring& text, VBBool& out) {
    VARIANT_BOOL b = 0;
    if (FAILED(VarBoolFromStr(const_cast<OLECHAR*>(text.c_str()), LOCALE_USER_DEFAULT, 0, &b))) return false;
    out = b ? kTrue : kFalse;
    return true;
}

bool Int16FromText(const std::wstring& text, int16_t& out) {
    SHORT s = 0;
    if (FAILED(VarI2FromStr(const_cast<OLECHAR*>(text.c_str()), LOCALE_USER_DEFAULT, 0, &s))) return false;
    out = s;
    return true;
}

}  // namespace

const TextConversions& VariantConversions() {
    static const TextConversions conv{&BoolFromText, &Int16FromText};
    return conv;
}

}  // namespace tamsel
