#include "forms/dialogs.h"

#include <windows.h>
#include <commdlg.h>

#include <vector>

#include "forms/filter.h"

namespace forms {
namespace {
MsgBoxHook gMsgBoxHook;
FileDialogHook gFileDialogHook;
}  // namespace

void SetMsgBoxHook(MsgBoxHook hook) { gMsgBoxHook = std::move(hook); }
void SetFileDialogHook(FileDialogHook hook) { gFileDialogHook = std::move(hook); }

int MsgBox(const std::wstring& prompt, int style, const std::wstring& title) {
    if (gMsgBoxHook) return gMsgBoxHook(prompt, style, title);
    return MessageBoxW(GetActiveWindow(), prompt.c_str(), title.c_str(), static_cast<UINT>(style));
}

DialogResult CommonDialog::ShowOpen() { return Show(false); }
DialogResult CommonDialog::ShowSave() { return Show(true); }

DialogResult CommonDialog::Show(bool save) {
    std::optional<std::wstring> chosen;
    if (gFileDialogHook) {
        chosen = gFileDialogHook(*this, save);
    } else {
        std::wstring filter = FilterToSystem(Filter);
        std::vector<wchar_t> buffer(32768, L'\0');
        FileName.copy(buffer.data(), buffer.size() - 1);
        OPENFILENAMEW ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = GetActiveWindow();
        ofn.lpstrFilter = Filter.empty() ? nullptr : filter.c_str();
        ofn.nFilterIndex = static_cast<DWORD>(FilterIndex);
        ofn.lpstrFile = buffer.data();
        ofn.nMaxFile = static_cast<DWORD>(buffer.size());
        ofn.lpstrTitle = DialogTitle.empty() ? nullptr : DialogTitle.c_str();
        ofn.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
        ofn.Flags = Flags | OFN_EXPLORER;
        BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
        if (ok) {
            chosen = std::wstring(buffer.data());
            FilterIndex = static_cast<int>(ofn.nFilterIndex);
        } else if (CommDlgExtendedError() != 0) {
            return DialogResult::Failed;
        }
    }
    if (!chosen) return CancelError ? DialogResult::Cancelled : DialogResult::Ok;
    FileName = *chosen;
    return DialogResult::Ok;
}

}  // namespace forms
