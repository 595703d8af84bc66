// Start-up: options, the engine, the first picture, the first viewer window.
#include "app/file_system.h"
#include "app/mdlTamsel.h"
#include "app/module_file.h"
#include "app/open_with.h"
#include "app/settings_store.h"
#include "app/startup_rules.h"
#include "engine/frmBackground.h"
#include "engine/loading.h"
#include "engine/open_filter.h"
#include "engine/save_copy_paste.h"
#include "version.h"
#include "windows/frmNoTitleFrame.h"
#include "windows/frmNormal.h"

namespace tamsel {
namespace {

// Errors raised while loading are not fatal at start-up: the viewer opens empty.
bool LoadIgnoringErrors(const std::wstring& name, bool blnErrMsgbox) {
    try {
        return frmBackground.PictureLoadRun(name, blnErrMsgbox);
    } catch (...) {
        return false;
    }
}

}  // namespace

void Main(const std::wstring& commandLine) {
    RegistrySettingsStore store;
    LoadSettings(store, VariantConversions(), ProgramFolder(), TAMSEL_VERSION_MINOR, Settings, SharedValues);

    frmBackground.Load();

    // Made on every start: a clipboard picture is taken into the engine whatever the command line says.
    const bool clipboardPicture = ClipboardHasPicture();

    FileSystem& fs = PlatformFileSystem();
    if (!(AsksForClipboard(commandLine) && clipboardPicture)) {
        // A quoted path is opened only when the text as given names no file: a
        // file whose name really holds the quotes keeps its meaning.
        std::wstring named = commandLine;
        if (!fs.FileExists(named)) named = QuotedPath(commandLine);
        if (!named.empty() && fs.FileExists(named)) {
            CurrentFileName = fs.GetFilePath(named).value_or(named);
            if (!LoadIgnoringErrors(CurrentFileName, true)) CurrentFileName.clear();
        } else if (fs.FileExists(Settings.DefaultPictureName) && Settings.DefaultPicture) {
            CurrentFileName = Settings.DefaultPictureName;
            if (!LoadIgnoringErrors(CurrentFileName, false)) CurrentFileName.clear();
        } else {
            CurrentFileName.clear();
        }
    }

    switch (FirstWindowFor(Settings.RunState, Settings.LastForm)) {
    case FirstWindow::Framed:
        frmNormal.Show();
        frmNormal.AttachFrameSize();
        break;
    case FirstWindow::Borderless:
        frmNoTitleFrame.Show();
        break;
    }
    // The picture opened at start is an open too: its neighbour is read ahead, once the window has painted.
    frmBackground.ReadAheadWhenIdle();
}

int RunOpenWith(OpenWithSwitch what) {
    if (what == OpenWithSwitch::Remove) return FAILED(UnregisterOpenWith()) ? 1 : 0;
    // The types of the open dialog's "all pictures" entry, plug-ins' and archives included, as installed now.
    frmBackground.Load();
    const std::vector<std::wstring> types =
        PictureTypes(frmBackground.PicturePatterns() + L";" + frmBackground.ArchivePatterns(), {});
    frmBackground.Unload();
    return FAILED(RegisterOpenWith(ModuleFileName(nullptr), types)) ? 1 : 0;
}

}  // namespace tamsel
