// The options record's home: loaded once by Main, written once at exit.
#include <windows.h>

#include <vector>

#include "app/mdlTamsel.h"
#include "app/module_file.h"
#include "app/settings_store.h"
#include "engine/frmBackground.h"
#include "version.h"

namespace tamsel {

SettingsRecord Settings;
RunValues SharedValues;

std::wstring ProgramFolder() {
    const std::wstring path = ModuleFileName(nullptr);
    const size_t sep = path.find_last_of(L'\\');
    if (sep == std::wstring::npos) return L"";
    // A drive root keeps its separator ("C:\"), as the platform reports it.
    return sep == 2 ? path.substr(0, 3) : path.substr(0, sep);
}

void SaveSettings() {
    frmBackground.Unload();
    RegistrySettingsStore store;
    WriteSettings(store, Settings);
}

}  // namespace tamsel
