// The options record's home: loaded once by Main, written once at exit.
#include <windows.h>

#include <vector>

#include "app/mdlTamsel.h"
#include "app/settings_store.h"
#include "engine/frmBackground.h"
#include "version.h"

namespace tamsel {

SettingsRecord Settings;
RunValues SharedValues;

std::wstring ProgramFolder() {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n < buf.size()) {
            std::wstring path(buf.data(), n);
            size_t sep = path.find_last_of(L'\\');
            if (sep == std::wstring::npos) return L"";
            // A drive root keeps its separator ("C:\"), as the platform reports it.
            return sep == 2 ? path.substr(0, 3) : path.substr(0, sep);
        }
        buf.resize(buf.size() * 2);
    }
}

void SaveSettings() {
    frmBackground.Unload();
    RegistrySettingsStore store;
    WriteSettings(store, Settings);
}

}  // namespace tamsel
