#include <windows.h>
#include <ole2.h>

#include "app/mdlTamsel.h"
#include "app/startup_rules.h"
#include "forms/form.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    if (FAILED(OleInitialize(nullptr))) return 1;
    tamsel::Main(tamsel::CommandTail(GetCommandLineW()));
    forms::RunMessageLoop();
    OleUninitialize();
    return 0;
}
