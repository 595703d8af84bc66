#pragma once
// What the program's dialogs share: a fixed frame, dialog keys, the size
// texts' conversion.
#include <cstdint>
#include <optional>
#include <string>

#include "forms/form.h"

namespace tamsel {

class DialogForm : public forms::Form {
public:
    DialogForm() { DialogKeys = true; }

protected:
    // A fixed dialog frame (else a fixed single border).
    bool DialogFrame = true;
    DWORD WindowStyle() const override { return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN; }
    DWORD WindowExStyle() const override {
        return WS_EX_CONTROLPARENT | (DialogFrame ? WS_EX_DLGMODALFRAME : 0);
    }
};

// The platform's locale-aware text to 16-bit integer conversion; nothing when it fails.
std::optional<int16_t> Int16Of(const std::wstring& text);

}  // namespace tamsel
