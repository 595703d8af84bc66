#include "pluginhost/control/registration.h"

#include <olectl.h>

#include "app/module_file.h"
#include "pluginhost/control/SusiePlugin.h"

namespace quillmount {
namespace {

const wchar_t kProgId[] = L"Quillmount.SusiePlugin";

std::wstring GuidText(REFGUID g) {
    wchar_t buf[64] = {};
    StringFromGUID2(g, buf, 64);
    return buf;
}

bool SetValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY h;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG r = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    return r == ERROR_SUCCESS;
}

}  // namespace

bool CanRegisterForMachine() {
    HKEY probe;
    const std::wstring key = L"CLSID\\" + GuidText(CLSID_SusiePlugin);
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &probe, nullptr) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(probe);
    return true;
}

HRESULT LoadTypeLibAt(const std::wstring& path, ITypeLib** lib) {
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib);
    if (FAILED(hr) && path.size() >= MAX_PATH) {
        // Type-library loaders that keep names in 260-character buffers take the short form.
        const std::wstring shortName = tamsel::ShortPathOf(path);
        if (!shortName.empty()) hr = LoadTypeLibEx(shortName.c_str(), REGKIND_NONE, lib);
    }
    return hr;
}

HRESULT RegisterControl(const std::wstring& path, bool forMachine) {
    HKEY root = HKEY_CLASSES_ROOT;
    if (!forMachine && RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_WRITE | KEY_READ,
                                       nullptr, &root, nullptr) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    const std::wstring clsid = L"CLSID\\" + GuidText(CLSID_SusiePlugin);
    const bool ok = SetValue(root, clsid, nullptr, L"SusiePlugin") &&
                    SetValue(root, clsid + L"\\InprocServer32", nullptr, path) &&
                    SetValue(root, clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
                    SetValue(root, clsid + L"\\ProgID", nullptr, kProgId) &&
                    SetValue(root, clsid + L"\\TypeLib", nullptr, GuidText(LIBID_Quillmount)) &&
                    SetValue(root, clsid + L"\\Version", nullptr, L"1.0") &&
                    SetValue(root, clsid + L"\\Control", nullptr, L"") &&
                    SetValue(root, kProgId, nullptr, L"SusiePlugin") &&
                    SetValue(root, std::wstring(kProgId) + L"\\CLSID", nullptr, GuidText(CLSID_SusiePlugin));
    if (!forMachine) RegCloseKey(root);
    if (!ok) return SELFREG_E_CLASS;
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibAt(path, &lib);
    if (SUCCEEDED(hr)) {
        if (forMachine) {
            hr = RegisterTypeLib(lib, const_cast<OLECHAR*>(path.c_str()), nullptr);
        } else {
            // Per-user registration of the type library, where the system has it.
            using ForUser = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
            auto forUser = reinterpret_cast<ForUser>(
                reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"oleaut32.dll"), "RegisterTypeLibForUser")));
            hr = forUser ? forUser(lib, const_cast<OLECHAR*>(path.c_str()), nullptr) : S_OK;
        }
        lib->Release();
    }
    return SUCCEEDED(hr) ? S_OK : SELFREG_E_TYPELIB;
}

HRESULT UnregisterControlForUser() {
    const std::wstring clsid = L"CLSID\\" + GuidText(CLSID_SusiePlugin);
    HKEY user;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, KEY_ALL_ACCESS, &user) == ERROR_SUCCESS) {
        RegDeleteTreeW(user, clsid.c_str());
        RegDeleteTreeW(user, kProgId);
        RegCloseKey(user);
    }
    using ForUser = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
    auto forUser = reinterpret_cast<ForUser>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"oleaut32.dll"), "UnRegisterTypeLibForUser")));
#ifdef _WIN64
    if (forUser) forUser(LIBID_Quillmount, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
#else
    if (forUser) forUser(LIBID_Quillmount, 1, 0, LOCALE_NEUTRAL, SYS_WIN32);
#endif
    return S_OK;
}

HRESULT UnregisterControl() {
    const std::wstring clsid = L"CLSID\\" + GuidText(CLSID_SusiePlugin);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, clsid.c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    HKEY user;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, KEY_ALL_ACCESS, &user) == ERROR_SUCCESS) {
        RegDeleteTreeW(user, clsid.c_str());
        RegDeleteTreeW(user, kProgId);
        RegCloseKey(user);
    }
#ifdef _WIN64
    UnRegisterTypeLib(LIBID_Quillmount, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
#else
    UnRegisterTypeLib(LIBID_Quillmount, 1, 0, LOCALE_NEUTRAL, SYS_WIN32);
#endif
    return S_OK;
}

}  // namespace quillmount
