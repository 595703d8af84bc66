#pragma once
// "Open with" for the viewer installed beside the control, for one user: the
// viewer offered for each picture type it reads, never made the default.
#include <windows.h>

#include <string>
#include <vector>

namespace quillmount {

// The viewer as an application that opens `extensions` (".jpg"), and offered
// for each of them; what the user chose as each type's program stays.
HRESULT RegisterOpenWith(const std::wstring& viewerPath, const std::vector<std::wstring>& extensions);
// Exactly what RegisterOpenWith wrote, by the list it kept with the application.
HRESULT UnregisterOpenWith();

}  // namespace quillmount
