#pragma once
// The controls of the program's dialogs: frames, check boxes with a greyed
// state, option buttons, text boxes and command buttons. Keyboard handling
// (Tab, Enter for the default button, Esc for the cancel button, access
// keys) is the platform's dialog navigation, run by the form's message loop.
#include <windows.h>

#include <functional>
#include <string>

#include "forms/controls.h"

namespace forms {

// A control that receives its own notifications (WM_COMMAND from its parent).
class NotifyingControl : public Control {
public:
    virtual void Notify(int code) { (void)code; }
    static NotifyingControl* FromWindow(HWND h);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    void SetFocus();
    // The mouse moved over the control (twips in the control).
    std::function<void()> OnMouseMove;
    void Release() override;

protected:
    void CreateNotifying(Form& parent, const wchar_t* className, DWORD style, const std::wstring& text);
    bool enabled_ = true;
};

// A captioned group box that holds other controls.
class Frame : public NotifyingControl {
public:
    void Create(Form& parent, int left, int top, int width, int height, const std::wstring& caption);
};

// Values 0 unchecked, 1 checked, 2 greyed. Click runs when the value changes,
// by the user or by the program.
class CheckBox : public NotifyingControl {
public:
    std::function<void()> OnClick;
    void Create(Form& parent, int left, int top, int width, int height, const std::wstring& caption);
    int Value() const { return value_; }
    void SetValue(int v);
    void Notify(int code) override;
    void Release() override {
        NotifyingControl::Release();
        value_ = 0;
    }

private:
    int value_ = 0;
};

// One of a set: choosing it clears the others of the same container.
class OptionButton : public NotifyingControl {
public:
    std::function<void()> OnClick;
    void Create(Form& parent, int left, int top, int width, int height, const std::wstring& caption);
    bool Value() const { return value_; }
    void SetValue(bool v);
    void Notify(int code) override;
    void Release() override {
        NotifyingControl::Release();
        value_ = false;
    }

private:
    bool value_ = false;
};

class TextBox : public NotifyingControl {
public:
    std::function<void()> OnChange;
    std::function<void()> OnGotFocus;
    void Create(Form& parent, int left, int top, int width, int height, const std::wstring& text = L"");
    std::wstring Text() const;
    void SetText(const std::wstring& text);
    void Select(int start, int length);
    void Notify(int code) override;

private:
    std::wstring text_;
};

class CommandButton : public NotifyingControl {
public:
    std::function<void()> OnClick;
    // Enter presses the default button, Esc the cancel button.
    bool Default = false;
    bool Cancel = false;
    void Create(Form& parent, int left, int top, int width, int height, const std::wstring& caption);
    void Notify(int code) override;
    void Click() {
        if (OnClick) OnClick();
    }
};

// The platform's default beep; tests count it instead.
void Beep();
using BeepHook = void (*)();
void SetBeepHook(BeepHook hook);

// A font of the given face and size in points at the current DPI, shared by
// every control that asks (one handle per face, size and DPI).
HFONT FontOf(const std::wstring& face, int points);
// A font FontOf made, again at the current DPI; any other font as it is.
HFONT FontAtCurrentDpi(HFONT font);

}  // namespace forms
