#include <windows.h>
#include <ole2.h>

#include "app/mdlTamsel.h"
#include "app/open_with.h"
#include "app/startup_rules.h"
#include "forms/form.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    if (FAILED(OleInitialize(nullptr))) return 1;
    const std::wstring tail = tamsel::CommandTail(GetCommandLineW());
    if (const auto what = tamsel::OpenWithSwitchOf(tail); what != tamsel::OpenWithSwitch::None) {
        const int code = tamsel::RunOpenWith(what);
        OleUninitialize();
        return code;
    }
    tamsel::Main(tail);
    forms::RunMessageLoop();
    OleUninitialize();
    return 0;
}
