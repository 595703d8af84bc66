#pragma once
// "Open with" for the viewer, for one user: the viewer offered for each
// picture type it reads, never made the default. The installer asks the
// viewer itself (`Tamsel2.exe /openwith`, `/openwith:remove`), which knows
// its own path and every type it reads, plug-ins' included.
#include <windows.h>

#include <string>
#include <vector>

namespace tamsel {

// The viewer as an application that opens `extensions` (".jpg"), and offered
// for each of them; what the user chose as each type's program stays.
HRESULT RegisterOpenWith(const std::wstring& viewerPath, const std::vector<std::wstring>& extensions);
// Exactly what RegisterOpenWith wrote, by the list it kept with the application.
HRESULT UnregisterOpenWith();

// The switch the installer passes, or nothing for an ordinary command line
// (no file name holds a slash, so a switch is never a picture's name).
enum class OpenWithSwitch { None, Register, Remove };
OpenWithSwitch OpenWithSwitchOf(const std::wstring& commandLine);

}  // namespace tamsel
