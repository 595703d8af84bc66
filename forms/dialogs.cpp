#include "forms/dialogs.h"

#include <windows.h>
#include <commdlg.h>

#include <vector>

#include "forms/filter.h"
#include "forms/system_library.h"

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
        using FileDialogFn = BOOL(WINAPI*)(OPENFILENAMEW*);
        static const auto getOpen = SystemProc<FileDialogFn>(L"comdlg32.dll", "GetOpenFileNameW");
        static const auto getSave = SystemProc<FileDialogFn>(L"comdlg32.dll", "GetSaveFileNameW");
        static const auto lastError = SystemProc<DWORD(WINAPI*)()>(L"comdlg32.dll", "CommDlgExtendedError");
        if (!getOpen || !getSave || !lastError) return DialogResult::Failed;
        BOOL ok = save ? getSave(&ofn) : getOpen(&ofn);
        if (ok) {
            chosen = std::wstring(buffer.data());
            FilterIndex = static_cast<int>(ofn.nFilterIndex);
        } else if (lastError() != 0) {
            return DialogResult::Failed;
        }
    }
    if (!chosen) return CancelError ? DialogResult::Cancelled : DialogResult::Ok;
    FileName = *chosen;
    return DialogResult::Ok;
}

}  // namespace forms
