#pragma once
// The registry behind the settings record: the per-application location the
// platform's settings functions use, so options stored by earlier releases are kept.
#include "app/settings_record.h"

namespace tamsel {

class RegistrySettingsStore : public SettingsStore {
public:
    std::wstring GetSetting(const std::wstring& app, const std::wstring& section, const std::wstring& key,
                            const std::wstring& defaultValue) override;
    void SaveSetting(const std::wstring& app, const std::wstring& section, const std::wstring& key,
                     const std::wstring& value) override;
    static std::wstring KeyPath(const std::wstring& app, const std::wstring& section);
};

// The platform's variant conversions, as the stored texts were written for them.
const TextConversions& VariantConversions();

}  // namespace tamsel
