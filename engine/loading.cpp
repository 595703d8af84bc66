#include "engine/loading.h"

#include <vector>

#include "app/mdlTamsel.h"
#include "app/ordinary_files.h"
#include "engine/caption.h"
#include "engine/frmBackground.h"
#include "engine/picture_services.h"
#include "engine/turning.h"
#include "engine/view_size.h"
#include "forms/dialog_controls.h"
#include "forms/system_library.h"

namespace tamsel {

namespace {

// The first of the files that a decoder reads into the engine, with the
// "Load ..." label meanwhile; False when none, or when a load gave way to a
// newer picture the user asked for (the rest are not tried then).
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
        if (ok || !frmBackground.GaveWay().empty() || frmBackground.Stopped()) break;
    }
    if (lblProgress) lblProgress->SetVisible(false);
    return ok;
}

// The picture just loaded, shown as an opened file is.
void ShowLoaded(forms::PictureBox& picView, forms::Label* lblProgress, forms::Form& form, bool blnTitleFrame) {
    if (blnTitleFrame) form.SetCaption(MakeCaption());
    if (Settings.ViewDefaultSize) CurrentViewSize = 100;
    ApplyViewSize(picView, lblProgress, form, blnTitleFrame);
    ReadAheadAfterShowing();
}

// As the file system compares names: without regard to case.
bool SameNameOnDisk(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// What a step from `current` tries in its folder, first to last; named as the
// folder lists them (a short 8.3 name in its long form).
std::vector<std::wstring> FolderTries(std::wstring current, Step step) {
    if (const DWORD n = GetLongPathNameW(current.c_str(), nullptr, 0)) {
        std::wstring whole(n, L'\0');
        const DWORD got = GetLongPathNameW(current.c_str(), whole.data(), n);
        if (got && got < n) current = whole.substr(0, got);
    }
    std::vector<std::wstring> tries;
    const size_t slash = current.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return tries;
    const std::wstring folder = current.substr(0, slash);
    // Archives are stepped onto as pictures are: their first picture is shown.
    const auto sorted = PictureNames(OrdinaryFiles(folder + L"\\*"),
                                     SplitPatterns(frmBackground.PicturePatterns() + L";" + frmBackground.ArchivePatterns()),
                                     ShellOrder);
    for (const std::wstring& name : StepCandidates(sorted, current.substr(slash + 1), step, ShellOrder, SameNameOnDisk))
        tries.push_back(folder + L"\\" + name);
    return tries;
}

// The way the last step went: the picture read ahead lies that way (after an open: forward).
Step gAheadStep = Step::Next;

// A step whose load gave way to the next key: the next step counts from the
// file it was going to, as long as no other picture came meanwhile, so that
// held keys move one picture each however slow the plug-in.
struct {
    std::wstring current, from;
} gStepFrom;

}  // namespace

int ShellOrder(const std::wstring& a, const std::wstring& b) {
    using Compare = int(WINAPI*)(PCWSTR, PCWSTR);
    static const Compare logical = forms::SystemProc<Compare>(L"shlwapi.dll", "StrCmpLogicalW");
    if (logical) return logical(a.c_str(), b.c_str());
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) - CSTR_EQUAL;
}

bool DropPictureLoad(const std::wstring& fileName, forms::PictureBox& picView, forms::Label* lblProgress,
                     forms::Form& form, bool blnTitleFrame) {
    frmBackground.Arrive(Arriving::NewPicture);
    if (!LoadFirstReadable({fileName}, lblProgress)) return false;
    gAheadStep = Step::Next;
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
        gAheadStep = Step::Next;
        ReadAheadAfterShowing();
    }
}

void ReadAheadAfterShowing() {
    // Once the picture shown is complete: its high-quality stage has ended, or it needs none.
    if (!Settings.ReadAhead || !HasCurrentFile() || frmBackground.ShownArchive() || frmBackground.Rendering()) return;
    const std::vector<std::wstring> tries = FolderTries(CurrentFileName, gAheadStep);
    if (!tries.empty()) frmBackground.StartReadAhead(tries.front());
}

bool HasCurrentFile() { return !CurrentFileName.empty() && CurrentFileName != kClipboardMarker; }

bool TurnShownPicture(Turn turn, forms::PictureBox& picView, forms::Label* lblProgress, forms::Form& form,
                      bool blnTitleFrame) {
    frmBackground.Arrive(Arriving::NewView);  // a rendering of the picture before the turn stops
    if (CurrentFileName.empty() || !TurnPicture(frmBackground.picLoad, static_cast<int>(turn))) return false;
    ApplyViewSize(picView, lblProgress, form, blnTitleFrame);
    if (blnTitleFrame) form.SetCaption(MakeCaption());
    return true;
}

bool StepPictureLoad(Step step, forms::PictureBox& picView, forms::Label* lblProgress, forms::Form& form,
                     bool blnTitleFrame) {
    if (!HasCurrentFile()) return false;
    if (const ArchivePictures* archive = frmBackground.ShownArchive()) {
        // Inside an archive: its pictures, as a folder's.
        const std::vector<size_t> tries = StepIndices(archive->names.size(), archive->shown, step);
        if (tries.empty()) {
            forms::Beep();
            return false;
        }
        frmBackground.Arrive(Arriving::NewPicture);
        if (lblProgress) {
            lblProgress->SetCaption(L"Load ...");
            lblProgress->SetVisible(true);
        }
        bool ok = false;
        for (size_t i : tries)
            if ((ok = frmBackground.ArchiveEntryLoadRun(i)) || !frmBackground.GaveWay().empty() || frmBackground.Stopped())
                break;
        if (lblProgress) lblProgress->SetVisible(false);
        if (ok) {
            ShowLoaded(picView, lblProgress, form, blnTitleFrame);
            return true;
        }
        if (frmBackground.GaveWay().empty() && !frmBackground.Stopped()) forms::Beep();
        return false;
    }
    std::wstring current = gStepFrom.current == CurrentFileName ? gStepFrom.from : CurrentFileName;
    gStepFrom = {};
    const std::vector<std::wstring> tries = FolderTries(current, step);
    gAheadStep = step == Step::Previous || step == Step::Last ? Step::Previous : Step::Next;
    if (tries.empty()) {  // the folder's end: nothing changes, a rendering goes on
        forms::Beep();
        return false;
    }
    frmBackground.Arrive(Arriving::NewPicture);  // the old picture's rendering is of no use
    // The picture read ahead is shown without a decode.
    if (frmBackground.StepOntoReadAhead(tries.front())) {
        ShowLoaded(picView, lblProgress, form, blnTitleFrame);
        return true;
    }
    if (frmBackground.Stopped()) return false;
    if (LoadFirstReadable(tries, lblProgress)) {
        ShowLoaded(picView, lblProgress, form, blnTitleFrame);
        return true;
    }
    if (!frmBackground.GaveWay().empty()) {
        gStepFrom = {CurrentFileName, frmBackground.GaveWay()};
        return false;  // the key it gave way to steps on from there
    }
    if (!frmBackground.Stopped()) forms::Beep();  // Escape ends a step without a word
    return false;
}

std::wstring MakeCaption() {
    if (const ArchivePictures* archive = frmBackground.ShownArchive()) {
        FileSystem& fs = PlatformFileSystem();
        const std::wstring spelled = FileTitleOf(fs, fs.GetFilePath(archive->path).value_or(archive->path));
        return ArchiveCaption(archive->names[archive->shown], spelled.empty() ? archive->path : spelled, CurrentViewSize);
    }
    return MakeCaption(PlatformFileSystem(), CurrentFileName, CurrentViewSize);
}

}  // namespace tamsel
