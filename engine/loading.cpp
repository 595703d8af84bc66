#include "engine/loading.h"

#include <vector>

#include "app/mdlTamsel.h"
#include "app/ordinary_files.h"
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

// The order in which the shell lists names: digits by their value.
int ShellOrder(const std::wstring& a, const std::wstring& b) {
    using Compare = int(WINAPI*)(PCWSTR, PCWSTR);
    static const Compare logical = forms::SystemProc<Compare>(L"shlwapi.dll", "StrCmpLogicalW");
    if (logical) return logical(a.c_str(), b.c_str());
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) - CSTR_EQUAL;
}

// As the file system compares names: without regard to case.
bool SameNameOnDisk(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool gStepping = false;

}  // namespace

bool DropPictureLoad(const std::wstring& fileName, forms::PictureBox& picView, forms::Label* lblProgress,
                     forms::Form& form, bool blnTitleFrame) {
    frmBackground.Arrive(Arriving::NewPicture);
    if (!LoadFirstReadable({fileName}, lblProgress)) return false;
    ShowLoaded(picView, lblProgress, form, blnTitleFrame);
    return true;
}

void OpenPictureLoad(forms::PictureBox& picView, forms::Label* lblProgress, forms::Form& form, bool blnTitleFrame) {
    frmBackground.Arrive(Arriving::NewPicture);  // its dialog included
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
        // Named as the folder lists it: a short (8.3) name in its long form.
        std::wstring current = CurrentFileName;
        if (const DWORD n = GetLongPathNameW(current.c_str(), nullptr, 0)) {
            std::wstring whole(n, L'\0');
            const DWORD got = GetLongPathNameW(current.c_str(), whole.data(), n);
            if (got && got < n) current = whole.substr(0, got);
        }
        const size_t slash = current.find_last_of(L"\\/");
        std::vector<std::wstring> tries;
        if (slash != std::wstring::npos) {
            const std::wstring folder = current.substr(0, slash);
            const auto sorted =
                PictureNames(OrdinaryFiles(folder + L"\\*"), SplitPatterns(frmBackground.PicturePatterns()), ShellOrder);
            for (const std::wstring& name :
                 StepCandidates(sorted, current.substr(slash + 1), step, ShellOrder, SameNameOnDisk))
                tries.push_back(folder + L"\\" + name);
        }
        // A new picture to try: the old one's rendering is of no use. At the
        // folder's end nothing changes and the rendering goes on.
        if (!tries.empty()) frmBackground.Arrive(Arriving::NewPicture);
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
