#include "dialogs/dialog_form.h"

#include "app/settings_store.h"

namespace tamsel {

std::optional<int16_t> Int16Of(const std::wstring& text) {
    int16_t v = 0;
    if (!VariantConversions().ToInt16(text, v)) return std::nullopt;
    return v;
}

}  // namespace tamsel
