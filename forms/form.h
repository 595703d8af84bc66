#pragma once
// Forms: top-level windows with a load/unload life, geometry in twips and
// overridable event handlers named as the program names them.
#include <windows.h>

#include <string>
#include <vector>

#include "forms/menu.h"

namespace forms {

class Control;

enum WindowStates { vbNormal = 0, vbMinimized = 1, vbMaximized = 2 };
enum ShowModes { vbModeless = 0, vbModal = 1 };
// Shift argument of key events.
enum ShiftMasks { vbShiftMask = 1, vbCtrlMask = 2, vbAltMask = 4 };

class Form {
public:
    Form();
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // Creates the window (hidden) and its controls, then runs Form_Load; once per load.
    void Load();
    bool IsLoaded() const { return hwnd_ != nullptr; }
    // Loads when needed; a modal show returns when the form is hidden or unloaded.
    void Show(int modal = vbModeless);
    void Hide();
    // Form_Unload may cancel; otherwise the window and its controls go.
    // Returns false when cancelled.
    bool Unload();

    HWND hWnd() const { return hwnd_; }
    std::wstring Caption() const;
    void SetCaption(const std::wstring& text);
    bool Visible() const;

    // Outer rectangle, twips.
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void Move(int left, int top, int width = -1, int height = -1);
    // Client area, twips.
    int ScaleWidth() const;
    int ScaleHeight() const;
    int WindowState() const;
    void SetWindowState(int state);

    bool KeyPreview = false;
    // Tab, Enter, Esc and access keys move between the controls, as in a dialog.
    bool DialogKeys = false;
    // The client area's size in twips; the frame grows around it.
    void SetClientSize(int width, int height);
    void CenterOnScreen();

    void AddControl(Control* c) { controls_.push_back(c); }
    // A top-level menu of the window's menu bar (after the window exists).
    void AddMenu(Menu& top) { menus_.Add(*this, top); }
    MenuBar& Menus() { return menus_; }
    // Key events routed by the message pump (key preview), then to the focused control.
    bool PreviewKey(const MSG& msg);

protected:
    virtual void InitializeComponent() {}
    virtual void Form_Load() {}
    virtual void Form_Unload(int& cancel) { (void)cancel; }
    virtual void Form_Resize() {}
    virtual void Form_KeyDown(int& keyCode, int shift) { (void)keyCode; (void)shift; }
    virtual void Form_MouseMove() {}
    // After the program's windows were laid out for a new DPI.
    virtual void Form_DpiChanged() {}
    // The wheel turned over the form or the control with the focus: `delta`
    // in the platform's units (120 a notch, positive away from the user or,
    // for the tilt wheel, to the right).
    virtual void Form_MouseWheel(int delta, int shift, bool horizontal) {
        (void)delta;
        (void)shift;
        (void)horizontal;
    }
    virtual DWORD WindowStyle() const { return WS_OVERLAPPEDWINDOW; }
    virtual DWORD WindowExStyle() const { return 0; }
    virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd_, msg, wp, lp); }

private:
    static LRESULT CALLBACK StaticProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    RECT WindowRect() const;
    // The window moved to a monitor of another DPI: it takes the system's
    // rectangle, and every form of the program is laid out again for it.
    void MovedToDpi(int dpi, const RECT& suggested);
    void LayOutForDpi();
    static BOOL CALLBACK LayOutWindowForDpi(HWND h, LPARAM);
    HWND hwnd_ = nullptr;
    std::vector<Control*> controls_;
    MenuBar menus_;
};

// How many forms are loaded; the program ends when none is.
int LoadedFormCount();
// Runs the event loop until no form is loaded.
void RunMessageLoop();
// Processes the pending window events and returns.
void DoEvents();

// Long work on this thread that holds every command until it returns: while
// one is open, HoldKeys moves the queued keyboard input into a list of its
// own (each message shown to `consume` first, with its modifier keys:
// 1 Shift, 2 Ctrl, 4 Alt; true takes it away), and the message loop and
// DoEvents dispatch that list, in order and with the modifiers as they were,
// once the work has returned and before anything newer.
class HoldingInput {
public:
    HoldingInput();
    ~HoldingInput();
    HoldingInput(const HoldingInput&) = delete;
    HoldingInput& operator=(const HoldingInput&) = delete;
};
void HoldKeys(bool (*consume)(const MSG& msg, int shift, void* context), void* context);
// While such work runs the windows still move: a left press on a caption,
// or on a picture box whose press moves its window, and the drag after it
// are followed here, and nothing else the mouse does runs. A drag still held
// when the work returns goes on as the platform's own move.
void FollowWindowDrags();
void ReplayHeldKeys();
// Routes one message (key preview, dialog keys) and dispatches it.
void DispatchOne(MSG& msg);

// The program's UI font (Japanese), shared by every control.
HFONT UIFont();

}  // namespace forms
