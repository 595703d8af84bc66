// save_with_viewer IN OUT: opens IN in the picture engine and saves it at its
// own size through the save command, the dialog answered with OUT. Lets a
// reader outside Windows check the BMP the viewer writes. Exit 0 when saved.
#include <windows.h>
#include <ole2.h>

#include <cstdio>

#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"
#include "engine/save_copy_paste.h"
#include "forms/dialogs.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: save_with_viewer IN OUT\n");
        return 2;
    }
    OleInitialize(nullptr);
    int failures = 0;
    forms::SetMsgBoxHook([&failures](const std::wstring&, int, const std::wstring&) {
        ++failures;
        return IDOK;
    });
    forms::SetFileDialogHook([out = std::wstring(argv[2])](const forms::CommonDialog&, bool) {
        return std::optional<std::wstring>(out);
    });
    tamsel::frmBackground.Load();
    if (!tamsel::frmBackground.PictureLoadRun(argv[1], false)) return 1;
    tamsel::CurrentFileName = argv[1];
    tamsel::SavePictureAs(true);
    tamsel::frmBackground.Unload();
    OleUninitialize();
    return failures == 0 && GetFileAttributesW(argv[2]) != INVALID_FILE_ATTRIBUTES ? 0 : 1;
}
