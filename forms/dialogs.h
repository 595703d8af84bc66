#pragma once
// Message boxes and the common open/save dialogs, each with a hook through
// which tests answer in place of a user.
#include <functional>
#include <optional>
#include <string>

namespace forms {

// MessageBoxW with the owner being the active window; returns the button (IDOK, IDYES, ...).
int MsgBox(const std::wstring& prompt, int style, const std::wstring& title);

using MsgBoxHook = std::function<int(const std::wstring& prompt, int style, const std::wstring& title)>;
void SetMsgBoxHook(MsgBoxHook hook);  // empty: the real box

enum class DialogResult { Ok, Cancelled, Failed };

// The common file dialog. Filter is "description|patterns|...".
class CommonDialog {
public:
    std::wstring Filter;
    int FilterIndex = 0;
    unsigned Flags = 0;
    bool CancelError = false;
    std::wstring FileName;
    std::wstring DefaultExt;
    std::wstring DialogTitle;

    // Cancelled only with CancelError (the cancel is an error then); without it
    // a cancel is Ok with FileName unchanged.
    DialogResult ShowOpen();
    DialogResult ShowSave();

private:
    DialogResult Show(bool save);
};

// Answers a dialog with a file name, or nullopt for a cancel.
using FileDialogHook = std::function<std::optional<std::wstring>(const CommonDialog& dialog, bool save)>;
void SetFileDialogHook(FileDialogHook hook);

}  // namespace forms
