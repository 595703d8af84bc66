// The control library's entry points: class factory, unloading and
// self-registration (for the machine when it may, otherwise for the user).
#include <windows.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "app/module_file.h"
#include "pluginhost/control/SusiePlugin.h"
#include "pluginhost/control/registration.h"

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
    const std::wstring path = tamsel::ModuleFileName(gModule);
    return RegisterControl(path, CanRegisterForMachine());
}

STDAPI DllUnregisterServer() { return UnregisterControl(); }

// regsvr32 /n /i:user Quillmount.dll (and /u): for the current user only,
// whatever the machine would allow; what an installer for one user needs.
STDAPI DllInstall(BOOL install, PCWSTR commandLine) {
    if (!commandLine) return E_INVALIDARG;
    if (_wcsicmp(commandLine, L"user") != 0) return E_INVALIDARG;
    return install ? RegisterControl(tamsel::ModuleFileName(gModule), false) : UnregisterControlForUser();
}
