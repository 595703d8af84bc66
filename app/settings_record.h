#pragma once
// The persisted options record and the shared values of the run, with the
// exact order in which they are read from and written to the settings store.
// Windows-free: the store and the text conversions are supplied by the caller.
#include <array>
#include <cstdint>
#include <string>

namespace tamsel {

// Booleans kept in records are 16-bit with True = -1.
using VBBool = int16_t;
constexpr VBBool kTrue = -1;
constexpr VBBool kFalse = 0;

struct ViewSizeEntry {
    int16_t Percent = 100;
    VBBool Enabled = kFalse;
};

struct SettingsRecord {
    std::array<ViewSizeEntry, 7> ViewSizes{};
    VBBool AutoAttach = kTrue;
    int16_t RunState = -1;
    VBBool MenuVisibleEdit = kTrue;
    VBBool MenuVisibleHelp = kTrue;
    VBBool WindowPoint = kFalse;
    int16_t WindowPointIndex = 2;
    VBBool ViewDefaultSize = kFalse;
    VBBool PictureBlt = kTrue;
    VBBool DefaultPicture = kTrue;
    std::wstring DefaultPictureName;
    VBBool Translucence = kFalse;
    VBBool ExifOrientation = kTrue;  // photos shown the way up their Exif orientation says
    VBBool ReadAhead = kTrue;        // the next picture decoded while the current one is looked at
    int16_t LastForm = 0;
};

// Not persisted; Main sets the initial values.
struct RunValues {
    std::wstring CurrentFileName;
    int16_t CurrentViewSize = 100;
    int32_t WindowPointX = -100;
    int32_t WindowPointY = -100;
    int32_t LastWindowLeft = 0;
    int32_t LastWindowTop = 0;
    int32_t LastWindowWidth = 0;
    int32_t LastWindowHeight = 0;
    VBBool ResizeCancel = kFalse;
};

inline constexpr wchar_t kAppName[] = L"Tamsel2";
inline constexpr wchar_t kClipboardMarker[] = L"ClipboardPicture";

// A per-user store addressed by application, section and key; every value is text.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::wstring GetSetting(const std::wstring& app, const std::wstring& section,
                                    const std::wstring& key, const std::wstring& defaultValue) = 0;
    virtual void SaveSetting(const std::wstring& app, const std::wstring& section,
                             const std::wstring& key, const std::wstring& value) = 0;
};

// The platform's text-to-Boolean and text-to-16-bit conversions; false when
// the text does not convert.
struct TextConversions {
    bool (*ToBool)(const std::wstring& text, VBBool& out);
    bool (*ToInt16)(const std::wstring& text, int16_t& out);
};

std::wstring BoolText(VBBool v);
std::wstring DefaultPictureNameFor(const std::wstring& programFolder);

// Writes the "App" keys, then reads every option in the store's order; a
// stored value that does not convert falls back to the field's default.
void LoadSettings(SettingsStore& store, const TextConversions& conv, const std::wstring& programFolder,
                  int minorVersion, SettingsRecord& settings, RunValues& run);

// Writes every key, changed or not, in the store's order.
void WriteSettings(SettingsStore& store, const SettingsRecord& settings);

}  // namespace tamsel
