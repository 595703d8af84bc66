#include "dialogs/dialog_rules.h"

namespace tamsel {

std::optional<std::wstring> CorrectedSizeText(const std::wstring& text, std::optional<int16_t> value) {
    if (!value) return text.empty() ? std::nullopt : std::optional<std::wstring>(L"");
    if (*value < 1) return L"1";
    if (*value > 1000) return L"1000";
    return std::nullopt;
}

bool TileFits(int32_t h, int32_t v, int32_t width, int32_t height) {
    if (h < 1 || v < 1 || width < 1 || height < 1) return false;
    const int64_t w = int64_t{h} * width, ht = int64_t{v} * height;
    if (w > kTileMaxSide || ht > kTileMaxSide) return false;
    const int64_t stride = (w * 3 + 3) / 4 * 4;
    return stride * ht <= kTileMaxBytes;
}

std::wstring VersionLine(int major, int minor, int revision) {
    return L"Version. " + std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." + std::to_wstring(revision);
}

}  // namespace tamsel
