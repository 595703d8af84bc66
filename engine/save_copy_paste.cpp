#include "engine/save_copy_paste.h"

#include "app/mdlTamsel.h"
#include "engine/frmBackground.h"
#include "engine/picture_services.h"
#include "engine/view_size.h"
#include "forms/dialogs.h"

namespace tamsel {
namespace {

constexpr int kYesNoCancelInformation = 67;

// The one place that reads the picture shown: a rendering in flight finishes first.
forms::Picture ChosenPicture(bool blnNaturalSize) {
    frmBackground.Arrive(Arriving::ReadsPicture);
    return blnNaturalSize ? frmBackground.picLoad.GetPicture() : frmBackground.picBlt.Image();
}

// At 100 % the picture's own size without asking; otherwise Yes is the size shown.
void WithSizeCheck(const wchar_t* prompt, const wchar_t* title, void (*action)(bool)) {
    int answer = 0;
    if (CurrentViewSize != 100) answer = forms::MsgBox(prompt, kYesNoCancelInformation, title);
    if (answer == IDNO || CurrentViewSize == 100) {
        action(true);
    } else if (answer == IDYES) {
        action(false);
    }
}

}  // namespace

void SaveAsWithSizeCheck() {
    WithSizeCheck(L"現在表示されている表示サイズで保存しますか？", L"保存サイズの確認", &SavePictureAs);
}

void CopyWithSizeCheck() {
    WithSizeCheck(L"現在表示されている表示サイズでコピーしますか？", L"コピーサイズの確認", &CopyPicture);
}

void SavePictureAs(bool blnNaturalSize) {
    forms::CommonDialog& d = frmBackground.cdlgSaveAs;
    d.Filter = L"ビットマップファイル (*.BMP)|*.bmp";
    d.CancelError = true;
    d.Flags = 2;  // ask before overwriting
    d.DefaultExt.clear();  // the name is used exactly as given
    // An archive entry has no file to save beside: its own name is offered, as a bitmap's.
    if (const ArchivePictures* archive = frmBackground.ShownArchive()) {
        std::wstring name = archive->names[archive->shown];
        name = name.substr(name.find_last_of(L'\\') + 1);
        d.FileName = name.substr(0, name.find_last_of(L'.')) + L".bmp";
    }
    if (d.ShowSave() != forms::DialogResult::Ok) return;
    // The old file stays untouched when writing fails; the user is told.
    if (FAILED(SavePicture(ChosenPicture(blnNaturalSize), d.FileName)))
        forms::MsgBox(L"画像ファイルを保存することが出来ませんでした！", 48, L"保存エラー");
}

void CopyPicture(bool blnNaturalSize) {
    ClipboardClear();
    ClipboardSetData(ChosenPicture(blnNaturalSize));
}

void PastePicture(forms::PictureBox& picView, forms::Label* lblProgress, forms::Form& form, bool blnTitleFrame) {
    if (!ClipboardOffersPicture()) return;
    frmBackground.Arrive(Arriving::NewPicture);
    forms::Picture picture;
    if (FAILED(ClipboardGetData(picture)) || !frmBackground.picLoad.SetPicture(picture)) return;
    frmBackground.NewView();
    // The name goes with the picture at once, before anything is shown.
    CurrentFileName = kClipboardMarker;
    if (Settings.ViewDefaultSize) CurrentViewSize = 100;
    ApplyViewSize(picView, lblProgress, form, blnTitleFrame);
}

bool ClipboardHasPicture() {
    if (!ClipboardOffersPicture()) return false;
    forms::Picture picture;
    // A clipboard that cannot be read now (held by another program) holds no picture for us.
    if (FAILED(ClipboardGetData(picture)) || !frmBackground.picLoad.SetPicture(picture)) return false;
    frmBackground.NewView();
    if (Settings.ViewDefaultSize) CurrentViewSize = 100;
    CurrentFileName = kClipboardMarker;
    return true;
}

}  // namespace tamsel
