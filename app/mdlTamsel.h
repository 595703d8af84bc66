#pragma once
// The application core's shared module: the options record, the shared values
// of the run, start-up and the settings store.
#include <string>

#include "app/settings_record.h"

namespace forms {
class Form;
class PictureBox;
}

namespace tamsel {

extern SettingsRecord Settings;
extern RunValues SharedValues;

// The shared values under the names every subsystem uses.
inline std::wstring& CurrentFileName = SharedValues.CurrentFileName;
inline int16_t& CurrentViewSize = SharedValues.CurrentViewSize;
inline int32_t& WindowPointX = SharedValues.WindowPointX;
inline int32_t& WindowPointY = SharedValues.WindowPointY;
inline int32_t& LastWindowLeft = SharedValues.LastWindowLeft;
inline int32_t& LastWindowTop = SharedValues.LastWindowTop;
inline int32_t& LastWindowWidth = SharedValues.LastWindowWidth;
inline int32_t& LastWindowHeight = SharedValues.LastWindowHeight;
inline VBBool& ResizeCancel = SharedValues.ResizeCancel;

// The program's folder, without a trailing separator.
std::wstring ProgramFolder();

// Start-up with the raw command-line text after the program's name.
void Main(const std::wstring& commandLine);
// The installer's "Open with" switch: writes or removes the entries and ends (the exit code).
enum class OpenWithSwitch;
int RunOpenWith(OpenWithSwitch what);

// Unloads the engine form, then writes every option; only when the last
// viewer window closes for good.
void SaveSettings();

// Window procedures every viewer window uses.
// Shows the engine's current picture in a viewer's picture box: the loaded
// picture at 100 %, the rendered copy at any other size.
void SetViewPicture(forms::PictureBox& box);
void WindowTopMost(forms::Form& form);
void WindowNoTopMost(forms::Form& form);
// Translucent with the given opacity (0..255); false when it cannot be.
bool SetLayeredWindow(forms::Form& form, int alpha);
// The anchor point from the window by WindowPointIndex.
void StoreWindowPoint(forms::Form& form);
// Renews the anchor when the window moved or changed size since it was recorded.
void CheckWindowPoint(forms::Form& form);
// Records the window's place and, with WindowPoint on, moves it to the anchor.
void PlaceWindowAtPoint(forms::Form& form);

}  // namespace tamsel
