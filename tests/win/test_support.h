#pragma once
// Helpers for tests that run the real program code under Wine: real files in
// a private temporary folder, the real registry and clipboard, and hooks
// that answer message boxes and file dialogs in place of a user.
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <thread>
#include <vector>

#include "forms/dialogs.h"
#include "forms/controls.h"
#include "forms/picture.h"

namespace testing_support {

// A file of the test data folder next to the test program.
std::wstring DataPath(const std::wstring& name);
std::vector<uint8_t> ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// The program's settings key, removed: a first start.
void ClearStoredSettings();
std::optional<std::wstring> StoredValue(const std::wstring& section, const std::wstring& key);
void StoreValue(const std::wstring& section, const std::wstring& key, const std::wstring& value);

// A message box no test asked for fails the test instead of waiting for a user.
void FailOnUnexpectedMessageBoxes();

// Records every message box and answers with `answer`.
struct MsgBoxCall {
    std::wstring prompt;
    int style;
    std::wstring title;
};
class MsgBoxRecorder {
public:
    explicit MsgBoxRecorder(int answer = IDOK);
    ~MsgBoxRecorder();
    std::vector<MsgBoxCall> calls;
};

// Answers file dialogs with a name (or a cancel for nullopt), recording what they were given.
class FileDialogAnswer {
public:
    explicit FileDialogAnswer(std::optional<std::wstring> answer);
    ~FileDialogAnswer();
    int shown = 0;
    std::wstring filter;
    int filterIndex = 0;
    unsigned flags = 0;
    bool cancelError = false;
};

// Pixel colour (0xRRGGBB) of a picture drawn at its own size.
uint32_t PixelOf(const forms::Picture& picture, int x, int y);
// A picture's pixels, packed blue-green-red rows from the top, and its size.
std::vector<uint8_t> PackedPixels(const forms::Picture& picture, int& width, int& height);
// Whether `shown` is `source` at `percent` as the high-quality scaler is
// defined (its literal transcription, not the program's scaler), at shown's size.
bool IsHighQualityOf(const forms::Picture& shown, const forms::Picture& source, int percent);
// Whether `shown` is the whole of `source` stretched onto shown's size, colour on colour.
bool IsFastStretchOf(const forms::Picture& shown, const forms::Picture& source);

// Clipboard content set by the test.
void PutTextOnClipboard(const std::wstring& text);
void PutBitmapOnClipboard(int width, int height, uint32_t rgb);
void EmptyTheClipboard();

// Runs a program of the prefix and waits for it; its exit code (9999 when it did not start).
DWORD RunProcess(const std::wstring& commandLine);
// Copies one of the project's test plug-ins (built for this architecture) into a folder.
void InstallTestPlugin(const std::wstring& name, const std::wstring& folder);
// The same plug-in built for the other bitness (*.spi beside the 64-bit
// build, *.sph beside the 32-bit one), where the build placed it there;
// false when it did not.
bool InstallOtherKindPlugin(const std::wstring& name, const std::wstring& folder);
// An environment variable set for a scope (a host started meanwhile inherits it).
struct EnvVar {
    const wchar_t* name;
    EnvVar(const wchar_t* n, const std::wstring& value) : name(n) { SetEnvironmentVariableW(n, value.c_str()); }
    ~EnvVar() { SetEnvironmentVariableW(name, nullptr); }
};

// A ustar archive of the given members (name, content), as the TAR test plug-in reads it.
std::vector<uint8_t> Tar(const std::vector<std::pair<std::string, std::string>>& members);
// Records the Susie plug-in folder in the registry.
void SetPluginFolder(const std::wstring& path);

// Back to the state of a fresh process: options, shared values, forms unloaded.
void ResetProgramState();

// A file list as the shell hands it over in a drop (clipboard format 15).
HGLOBAL DropFileList(const std::vector<std::wstring>& names);
// A key pressed with the given keys held, routed as the message loop routes it.
void PressKey(HWND target, int vk, std::initializer_list<int> held = {});
// The program's own event loop until no rendering is in flight: a command's
// high-quality result is shown when this returns. PressKey ends with it.
void PumpUntilRendered();
// The high-quality rendering of the current view, as a view change starts it
// (with the label's progress), run to its end by the event loop.
void Render(forms::Label* label);
// The texts of a menu's items as shown, separators as "-".
std::vector<std::wstring> MenuItemTexts(HMENU menu);
bool MenuItemEnabled(HMENU menu, int position);

// Whether process `pid` has ended, or ends within `ms`.
bool GoneWithin(DWORD pid, DWORD ms);

// Escape pressed while this thread waits, as a user would press it; a press
// still queued when it goes is taken back.
class EscapeLater {
public:
    explicit EscapeLater(DWORD ms);
    ~EscapeLater();
    EscapeLater(const EscapeLater&) = delete;
    EscapeLater& operator=(const EscapeLater&) = delete;

private:
    HANDLE stop_;
    std::thread thread_;
};

}  // namespace testing_support
