#pragma once
// What the dialogs decide about what is typed, and the version line. Windows-free.
#include <cstdint>
#include <optional>
#include <string>

namespace tamsel {

// A size box after its text changed, given what the text converts to: "1"
// below 1, "1000" above 1000, empty when it is no number; nothing when the
// text stays as typed.
std::optional<std::wstring> CorrectedSizeText(const std::wstring& text, std::optional<int16_t> value);

// Whether H x V copies of a W x Ht picture make a bitmap that can be created:
// counts of 1 or more, each side at most kTileMaxSide pixels and the 24-bit
// pixel rows at most kTileMaxBytes.
constexpr int64_t kTileMaxSide = 32767;
constexpr int64_t kTileMaxBytes = int64_t{256} << 20;
bool TileFits(int32_t h, int32_t v, int32_t width, int32_t height);

// "Version. " and the three numbers, each in decimal without leading zeros.
std::wstring VersionLine(int major, int minor, int revision);

}  // namespace tamsel
