#include "pluginhost/SPIManager.h"

#include <algorithm>

#include "pluginhost/SPIFile.h"
#include "pluginhost/SPIFunction.h"
#include "pluginhost/SPIModule.h"

namespace quillmount {

SPIManager::SPIManager() {
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Obrinth\\Susie\\Plug-in", 0, KEY_QUERY_VALUE, &key);
    if (!key) return;
    DWORD bytes = 0;
    RegQueryValueExW(key, L"Path", nullptr, nullptr, nullptr, &bytes);
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD got = bytes;
    if (bytes) RegQueryValueExW(key, L"Path", nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &got);
    RegCloseKey(key);
    path_ = TrimNull(value);
    if (path_.empty() || path_.back() != L'\\') path_ += L'\\';

    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((path_ + kPluginPattern).c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L".." ||
                (fd.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY)))
                continue;
            auto module = std::make_unique<SPIModule>();
            if (module->LoadInfo(path_ + name)) modules_.push_back(std::move(module));
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }

    std::vector<std::string> firstFilters;
    for (auto& m : modules_)
        if (m->IsPicture() && !m->Filters().empty()) firstFilters.push_back(ToAnsi(m->Filters()[0]));
    filter_ = FromAnsi(CombinedFilter(firstFilters));
}

SPIManager::~SPIManager() = default;

std::vector<std::wstring> SPIManager::ModuleOrder() const {
    std::vector<std::wstring> order;
    for (auto& m : modules_) order.push_back(m->ModulePath());
    return order;
}

void SPIManager::Relay(int32_t current, int32_t total, bool& refCancel) {
    if (OnDecoding) OnDecoding(current, total, cancel_);
    refCancel = cancel_;
}

HRESULT SPIManager::LoadFile(SPIFile* file) {
    if (busy_ || !file) return S_FALSE;
    busy_ = true;
    cancel_ = false;
    struct Done {
        SPIManager& m;
        ~Done() {
            m.module_ = nullptr;
            m.busy_ = false;
        }
    } done{*this};

    if (file->IsBitmapFile() && file->LoadBitmap()) return S_OK;

    SPIModule* winner = nullptr;
    for (auto& m : modules_) {
        if (m->CheckSupported(file)) {
            module_ = m.get();
            m->OnDecoding = [this](int32_t c, int32_t t, bool& r) { Relay(c, t, r); };
            bool ok;
            if (m->IsPicture()) {
                const HRESULT hr = m->DecodePicture(file);
                m->OnDecoding = nullptr;
                if (FAILED(hr)) return hr;  // an overflow ends the whole load
                ok = hr == S_OK;
            } else {
                ok = m->LoadArchive(file);
                m->OnDecoding = nullptr;
            }
            if (ok) {
                winner = m.get();
                break;
            }
            module_ = nullptr;
        }
        if (cancel_) break;
    }
    module_ = nullptr;
    if (winner) {
        // The most recently successful plug-in is tried first next time.
        auto it = std::find_if(modules_.begin(), modules_.end(), [&](auto& m) { return m.get() == winner; });
        std::rotate(modules_.begin(), it, it + 1);
    }
    return cancel_ ? S_FALSE : S_OK;
}

std::shared_ptr<SPIFile> SPIManager::ExtractEntry(const std::shared_ptr<SPIFile>& file, const std::wstring& entryName) {
    if (busy_ || !file || entryName.empty() || !file->HasEntries()) return nullptr;
    busy_ = true;
    cancel_ = false;
    std::shared_ptr<SPIFile> result;
    auto it = std::find_if(modules_.begin(), modules_.end(),
                           [&](auto& m) { return m->ModulePath() == file->PluginKey(); });
    module_ = it == modules_.end() ? nullptr : it->get();
    if (module_) {
        module_->OnDecoding = [this](int32_t c, int32_t t, bool& r) { Relay(c, t, r); };
        result = module_->ExtractFile(file, entryName);
        module_->OnDecoding = nullptr;
    }
    busy_ = false;
    return result;
}

}  // namespace quillmount
