// The control library's entry points: class factory, unloading and
// self-registration (for the machine when it may, otherwise for the user).
#include <windows.h>
#include <olectl.h>

#include <string>

#include "pluginhost/SusiePlugin.h"

using namespace quillmount;

namespace {

class ClassFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is static: it counts as a lock while referenced.
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&gServerLocks) > 0 ? 2 : 1; }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&gServerLocks) > 0 ? 2 : 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return SusiePluginControl::Create(riid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&gServerLocks);
        else
            InterlockedDecrement(&gServerLocks);
        return S_OK;
    }
};

ClassFactory gFactory;

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

// HKEY_CLASSES_ROOT when this user may write it, else the user's own classes.
HKEY ClassesRoot(HKEY& opened) {
    opened = nullptr;
    HKEY probe;
    const std::wstring key = L"CLSID\\" + GuidText(CLSID_SusiePlugin);
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &probe, nullptr) ==
        ERROR_SUCCESS) {
        RegCloseKey(probe);
        return HKEY_CLASSES_ROOT;
    }
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_WRITE | KEY_READ, nullptr, &opened,
                        nullptr) != ERROR_SUCCESS)
        return nullptr;
    return opened;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_SusiePlugin) return CLASS_E_CLASSNOTAVAILABLE;
    return gFactory.QueryInterface(riid, out);
}

STDAPI DllCanUnloadNow() { return gLiveObjects == 0 && gServerLocks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH + 1] = {};
    GetModuleFileNameW(gModule, path, MAX_PATH);
    HKEY opened;
    HKEY root = ClassesRoot(opened);
    if (!root) return SELFREG_E_CLASS;
    const std::wstring clsid = L"CLSID\\" + GuidText(CLSID_SusiePlugin);
    bool ok = SetValue(root, clsid, nullptr, L"SusiePlugin") &&
              SetValue(root, clsid + L"\\InprocServer32", nullptr, path) &&
              SetValue(root, clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
              SetValue(root, clsid + L"\\ProgID", nullptr, kProgId) &&
              SetValue(root, clsid + L"\\TypeLib", nullptr, GuidText(LIBID_Quillmount)) &&
              SetValue(root, clsid + L"\\Version", nullptr, L"1.0") && SetValue(root, clsid + L"\\Control", nullptr, L"") &&
              SetValue(root, std::wstring(kProgId), nullptr, L"SusiePlugin") &&
              SetValue(root, std::wstring(kProgId) + L"\\CLSID", nullptr, GuidText(CLSID_SusiePlugin));
    const bool machine = root == HKEY_CLASSES_ROOT;
    if (opened) RegCloseKey(opened);
    if (!ok) return SELFREG_E_CLASS;
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadOwnTypeLib(&lib);
    if (SUCCEEDED(hr)) {
        if (machine) {
            hr = RegisterTypeLib(lib, path, nullptr);
        } else {
            // Per-user registration of the type library, where the system has it.
            using ForUser = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
            auto forUser = reinterpret_cast<ForUser>(
                reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"oleaut32.dll"), "RegisterTypeLibForUser")));
            hr = forUser ? forUser(lib, path, nullptr) : RegisterTypeLib(lib, path, nullptr);
        }
        lib->Release();
    }
    return SUCCEEDED(hr) ? S_OK : SELFREG_E_TYPELIB;
}

STDAPI DllUnregisterServer() {
    const std::wstring clsid = L"CLSID\\" + GuidText(CLSID_SusiePlugin);
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER}) {
        HKEY classes = root;
        HKEY opened = nullptr;
        if (root == HKEY_CURRENT_USER) {
            if (RegOpenKeyExW(root, L"Software\\Classes", 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS) continue;
            classes = opened;
        }
        RegDeleteTreeW(classes, clsid.c_str());
        RegDeleteTreeW(classes, kProgId);
        if (opened) RegCloseKey(opened);
    }
#ifdef _WIN64
    UnRegisterTypeLib(LIBID_Quillmount, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
#else
    UnRegisterTypeLib(LIBID_Quillmount, 1, 0, LOCALE_NEUTRAL, SYS_WIN32);
#endif
    return S_OK;
}
