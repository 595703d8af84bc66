#include "forms/menu.h"

#include "forms/form.h"

#include <algorithm>

namespace forms {
namespace {
UINT gNextId = 40000;
std::vector<MenuBar*> gBars;
PopupHook gPopupHook = nullptr;
}  // namespace

void SetPopupHook(PopupHook hook) { gPopupHook = hook; }

void Menu::Init(const std::wstring& caption, int ctrlKey) {
    caption_ = caption;
    ctrlKey_ = ctrlKey;
}

void Menu::Add(Menu& item) {
    if (item.parent_ == this) return;
    item.parent_ = this;
    items_.push_back(&item);
}

void Menu::Clear() {
    for (Menu* item : items_) item->parent_ = nullptr;
    items_.clear();
}

void Menu::InsertAfter(Menu& anchor, Menu& item) {
    if (item.parent_ == this) return;
    auto at = std::find(items_.begin(), items_.end(), &anchor);
    item.parent_ = this;
    items_.insert(at == items_.end() ? at : at + 1, &item);
    // A new item needs its command number: the whole bar is built again.
    Menu* top = this;
    while (top->parent_) top = top->parent_;
    if (top->bar_) top->bar_->Rebuild();
}

void Menu::SetCaption(const std::wstring& text) {
    caption_ = text;
    Changed();
}
void Menu::SetChecked(bool v) {
    checked_ = v;
    Changed();
}
void Menu::SetEnabled(bool v) {
    enabled_ = v;
    Changed();
}
void Menu::SetVisible(bool v) {
    visible_ = v;
    Changed();
}

std::wstring Menu::DisplayText() const {
    if (!ctrlKey_) return caption_;
    return caption_ + L"\tCtrl+" + static_cast<wchar_t>(ctrlKey_);
}

void Menu::Changed() {
    if (parent_) {
        if (parent_->popup_) {
            Menu* top = parent_;
            while (top->parent_) top = top->parent_;
            if (top->bar_) top->bar_->Fill(*parent_);
        }
    } else if (bar_) {
        bar_->Rebuild();
    }
}

void MenuBar::Register(Menu& m) {
    if (!m.id_) m.id_ = gNextId++;
    if (!m.items_.empty() && !m.popup_) m.popup_ = CreatePopupMenu();
    for (Menu* item : m.items_) Register(*item);
}

void MenuBar::Add(Form& form, Menu& top) {
    form_ = &form;
    for (Menu* t : tops_)
        if (t == &top) return;
    top.bar_ = this;
    tops_.push_back(&top);
    if (std::find(gBars.begin(), gBars.end(), this) == gBars.end()) gBars.push_back(this);
    Rebuild();
}

void MenuBar::Release() {
    // Destroying the window destroyed the menus attached to it; a bar not
    // attached is destroyed here.
    std::function<void(Menu&)> forget = [&](Menu& m) {
        m.popup_ = nullptr;
        for (Menu* item : m.items_) forget(*item);
    };
    for (Menu* t : tops_) forget(*t);
    if (bar_ && IsMenu(bar_)) DestroyMenu(bar_);
    bar_ = nullptr;
    tops_.clear();
    gBars.erase(std::remove(gBars.begin(), gBars.end(), this), gBars.end());
}

bool MenuBar::OpeningAnywhere(HMENU popup) {
    for (MenuBar* bar : gBars)
        if (bar->Opening(popup)) return true;
    return false;
}

void MenuBar::Popup(Menu& top, HWND owner, int x, int y) {
    if (!top.popup_) return;
    if (top.OnClick) top.OnClick();
    Fill(top);
    UINT id = 0;
    if (gPopupHook) {
        id = gPopupHook(top.popup_);
    } else {
        // The owner must be in front for the menu to close when the user clicks elsewhere.
        SetForegroundWindow(owner);
        id = static_cast<UINT>(TrackPopupMenu(top.popup_, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, 0,
                                              owner, nullptr));
        PostMessageW(owner, WM_NULL, 0, 0);
    }
    if (id) Command(id);
}

void MenuBar::Fill(Menu& menu) {
    if (!menu.popup_) return;
    while (GetMenuItemCount(menu.popup_) > 0) RemoveMenu(menu.popup_, 0, MF_BYPOSITION);
    for (Menu* item : menu.items_) {
        if (!item->visible_) continue;
        if (item->caption_ == L"-") {
            AppendMenuW(menu.popup_, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = MF_STRING | (item->checked_ ? MF_CHECKED : 0) | (item->enabled_ ? 0 : MF_GRAYED);
        UINT_PTR id = item->id_;
        if (item->popup_) {
            flags |= MF_POPUP;
            id = reinterpret_cast<UINT_PTR>(item->popup_);
            Fill(*item);
        }
        AppendMenuW(menu.popup_, flags, id, item->DisplayText().c_str());
    }
}

void MenuBar::Rebuild() {
    if (!form_ || !form_->hWnd()) return;
    if (batches_) {
        stale_ = true;
        return;
    }
    stale_ = false;
    for (Menu* t : tops_) Register(*t);
    HMENU bar = CreateMenu();
    for (Menu* t : tops_) {
        if (!t->visible_) continue;
        Fill(*t);
        const UINT flags = MF_STRING | (t->enabled_ ? 0 : MF_GRAYED) | (t->popup_ ? MF_POPUP : 0);
        const UINT_PTR id = t->popup_ ? reinterpret_cast<UINT_PTR>(t->popup_) : t->id_;
        AppendMenuW(bar, flags, id, t->DisplayText().c_str());
    }
    // The old bar goes without its drop-downs, which the new one holds.
    HMENU old = bar_;
    bar_ = bar;
    SetMenu(form_->hWnd(), bar);
    DrawMenuBar(form_->hWnd());
    if (old) {
        while (GetMenuItemCount(old) > 0) RemoveMenu(old, 0, MF_BYPOSITION);
        DestroyMenu(old);
    }
}

Menu* MenuBar::Find(UINT id, Menu& from) {
    if (from.id_ == id) return &from;
    for (Menu* item : from.items_)
        if (Menu* m = Find(id, *item)) return m;
    return nullptr;
}

Menu* MenuBar::FindPopup(HMENU popup, Menu& from) {
    if (from.popup_ == popup) return &from;
    for (Menu* item : from.items_)
        if (Menu* m = FindPopup(popup, *item)) return m;
    return nullptr;
}

Menu* MenuBar::FindShortcut(int key, Menu& from) {
    if (!from.visible_) return nullptr;
    if (from.ctrlKey_ == key) return &from;
    for (Menu* item : from.items_)
        if (Menu* m = FindShortcut(key, *item)) return m;
    return nullptr;
}

bool MenuBar::Opening(HMENU popup) {
    for (Menu* t : tops_) {
        if (Menu* m = FindPopup(popup, *t)) {
            if (m->OnClick) m->OnClick();
            Fill(*m);
            return true;
        }
    }
    return false;
}

bool MenuBar::Command(UINT id) {
    for (Menu* t : tops_) {
        if (Menu* m = Find(id, *t)) {
            if (m->enabled_ && m->OnClick) m->OnClick();
            return true;
        }
    }
    return false;
}

bool MenuBar::Shortcut(int key) {
    for (Menu* t : tops_) {
        Menu* m = FindShortcut(key, *t);
        if (!m) continue;
        // The menus above run their opening handlers first, as when they drop down.
        std::vector<Menu*> above;
        for (Menu* p = m->parent_; p; p = p->parent_) above.insert(above.begin(), p);
        for (Menu* p : above)
            if (p->OnClick) p->OnClick();
        for (Menu* p : above)
            if (!p->enabled_) return true;
        if (m->enabled_ && m->OnClick) m->OnClick();
        return true;
    }
    return false;
}

}  // namespace forms
