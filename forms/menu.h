#pragma once
// Menus of a form: a tree of items with captions, shortcuts, ticks, enabling
// and visibility. A hidden item is left out of the platform menu, which is
// rebuilt from the tree whenever it changes or drops down.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace forms {

class Form;

class Menu {
public:
    Menu() = default;
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    // An item runs it when chosen; a menu with items, each time it drops down.
    std::function<void()> OnClick;

    // A caption of "-" makes a separator. Shortcuts are Ctrl with a key.
    void Init(const std::wstring& caption, int ctrlKey = 0);
    void Add(Menu& item);  // once; a second add of the same item does nothing
    void Clear();          // the items leave the menu
    // An item created at run time, placed after one the menu holds.
    void InsertAfter(Menu& anchor, Menu& item);

    const std::wstring& Caption() const { return caption_; }
    void SetCaption(const std::wstring& text);
    bool Checked() const { return checked_; }
    void SetChecked(bool v);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    int ShortcutKey() const { return ctrlKey_; }
    const std::vector<Menu*>& Items() const { return items_; }
    Menu* Parent() const { return parent_; }

    // The text the platform shows: the caption and the shortcut after a tab.
    std::wstring DisplayText() const;

private:
    friend class Form;
    friend class MenuBar;
    void Changed();
    std::wstring caption_;
    int ctrlKey_ = 0;
    bool checked_ = false, enabled_ = true, visible_ = true;
    std::vector<Menu*> items_;
    Menu* parent_ = nullptr;
    class MenuBar* bar_ = nullptr;  // of the top-level menu
    HMENU popup_ = nullptr;
    UINT id_ = 0;
};

// The menu bar of one window.
class MenuBar {
public:
    void Add(Form& form, Menu& top);
    // The window is gone, and with it the platform's menus.
    void Release();
    // Rebuilds the bar, or one drop-down's items.
    void Rebuild();
    void Fill(Menu& menu);
    // WM_INITMENUPOPUP and WM_COMMAND from the window.
    bool Opening(HMENU popup);
    bool Command(UINT id);
    // Ctrl with a key: the visible item with that shortcut, after its menus' opening handlers.
    bool Shortcut(int key);
    // Shows a menu of this bar as a popup at a screen position (pixels), owned
    // by another window, and runs the chosen command. Its opening handler runs first.
    void Popup(Menu& top, HWND owner, int x, int y);
    // WM_INITMENUPOPUP for a drop-down of any form's menus (a popup's submenus
    // reach the window that shows it).
    static bool OpeningAnywhere(HMENU popup);
    bool Empty() const { return tops_.empty(); }

    // Every rebuild of a shown bar changes the window's frame; while a batch
    // lives the bar is rebuilt once, when the last batch ends.
    class Batch {
    public:
        explicit Batch(MenuBar& bar) : bar_(bar) { ++bar_.batches_; }
        ~Batch() {
            if (--bar_.batches_ == 0 && bar_.stale_) bar_.Rebuild();
        }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        MenuBar& bar_;
    };

private:
    void Register(Menu& m);
    Menu* Find(UINT id, Menu& from);
    Menu* FindPopup(HMENU popup, Menu& from);
    Menu* FindShortcut(int key, Menu& from);
    Form* form_ = nullptr;
    std::vector<Menu*> tops_;
    HMENU bar_ = nullptr;
    int batches_ = 0;
    bool stale_ = false;
};

// Tests choose from a popup in place of a user: given the menu, the command id
// to run or 0.
using PopupHook = UINT (*)(HMENU menu);
void SetPopupHook(PopupHook hook);

}  // namespace forms
