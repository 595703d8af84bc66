#pragma once
// Self-registration of the control: its class, ProgID and type library, for
// the machine (HKEY_CLASSES_ROOT) or for the user (HKCU\Software\Classes).
#include <windows.h>
#include <oleauto.h>

#include <string>

namespace quillmount {

// Whether this user may write the machine's classes.
bool CanRegisterForMachine();
// The type library in the library at path, however long the path.
HRESULT LoadTypeLibAt(const std::wstring& path, ITypeLib** lib);
HRESULT RegisterControl(const std::wstring& libraryPath, bool forMachine);
// Removes every key of the control from both places.
HRESULT UnregisterControl();
// Removes the user's registration only; one for the machine stays.
HRESULT UnregisterControlForUser();

}  // namespace quillmount
