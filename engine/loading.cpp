#include "engine/loading.h"

#include <vector>

#include "app/mdlTamsel.h"
#include "engine/caption.h"
#include "engine/frmBackground.h"
#include "engine/picture_services.h"
#include "engine/view_size.h"
#include "forms/dialog_controls.h"
#include "forms/system_library.h"

namespace tamsel {

namespace {

// The first of the files that a decoder reads into the engine, with the
// "Load ..." label meanwhile; False when none.
bool LoadFirstReadable(const std::vector<std::wstring>& fileNames, forms::Label* lblProgress) {
    if (lblProgress) {
        lblProgress->SetCaption(L"Load ...");
        lblProgress->SetVisible(true);
    }
    bool ok = false;
    for (const std::wstring& name : fileNames) {
        try {
            ok = frmBackground.PictureLoadRun(name, false);
        } catch (...) {
            ok = false;
        }
        if (ok) break;
    }
    if (lblProgress) lblProgress->SetVisible(false);
    return ok;
}

// The picture just loaded, shown as an opened file is.
void ShowLoaded(forms::PictureBox& picView, forms::Label* lblProgress, forms::Form& form, bool blnTitleFrame) {
    if (blnTitleFrame) form.SetCaption(MakeCaption());
    if (Settings.ViewDefaultSize) CurrentViewSize = 100;
    ApplyViewSize(picView, lblProgress, form, blnTitleFrame);
}

// The names of the folder's files (not its folders), as the file system lists them.
std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

// The order in which the shell lists names: digits by their value.
int ShellOrder(const std::wstring& a, const std::wstring& b) {
    using Compare = int(WINAPI*)(PCWSTR, PCWSTR);
    static const Compare logical = forms::SystemProc<Compare>(L"shlwapi.dll", "StrCmpLogicalW");
    if (logical) return logical(a.c_str(), b.c_str());
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) - CSTR_EQUAL;
}

bool gStepping = false;

}  // namespace

bool DropPictureLoad(const std::wstring& fileName, forms::PictureBox& picView, forms::Label* lblProgress,
                     forms::Form& form, bool blnTitleFrame) {
    if (!LoadFirstReadable({fileName}, lblProgress)) return false;
    ShowLoaded(picView, lblProgress, form, blnTitleFrame);
    return true;
}

void OpenPictureLoad(forms::PictureBox& picView, forms::Label* lblProgress, forms::Form& form, bool blnTitleFrame) {
    const std::wstring before = CurrentFileName;
    if (lblProgress) {
        lblProgress->SetCaption(L"Load ...");
        lblProgress->SetVisible(true);
    }
    frmBackground.PictureLoad(lblProgress);
    if (lblProgress) lblProgress->SetVisible(false);
    if (blnTitleFrame) form.SetCaption(MakeCaption());
    if (CurrentFileName != before) {
        if (Settings.ViewDefaultSize) CurrentViewSize = 100;
        ApplyViewSize(picView, lblProgress, form, blnTitleFrame);
    }
}

bool HasCurrentFile() { return !CurrentFileName.empty() && CurrentFileName != kClipboardMarker; }

bool StepPictureLoad(Step step, forms::PictureBox& picView, forms::Label* lblProgress, forms::Form& form,
                     bool blnTitleFrame) {
    // A held key repeats while a slow plug-in loads: those repeats would step
    // from the file being left, so they are dropped. A step during the
    // rendering that follows a load is a step from the new picture, as usual.
    if (!HasCurrentFile() || gStepping) return false;
    bool loaded = false;
    {
        gStepping = true;
        struct Done {
            ~Done() { gStepping = false; }
        } done;
        const std::wstring current = CurrentFileName;
        const size_t slash = current.find_last_of(L"\\/");
        std::vector<std::wstring> tries;
        if (slash != std::wstring::npos) {
            const std::wstring folder = current.substr(0, slash);
            const auto sorted =
                PictureNames(FilesIn(folder), SplitPatterns(frmBackground.PicturePatterns()), ShellOrder);
            for (const std::wstring& name : StepCandidates(sorted, current.substr(slash + 1), step, ShellOrder))
                tries.push_back(folder + L"\\" + name);
        }
        loaded = !tries.empty() && LoadFirstReadable(tries, lblProgress);
    }
    if (!loaded) {
        forms::Beep();
        return false;
    }
    ShowLoaded(picView, lblProgress, form, blnTitleFrame);
    return true;
}

std::wstring MakeCaption() { return MakeCaption(PlatformFileSystem(), CurrentFileName, CurrentViewSize); }

}  // namespace tamsel
