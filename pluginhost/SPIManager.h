#pragma once
// The installed Susie plug-ins: found in the folder the Susie convention
// records in the registry, kept in trial order, and asked in turn to decode
// a file; the platform's bitmap loader goes first.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillmount {

class SPIFile;
class SPIModule;

class SPIManager {
public:
    // Scans the plug-in folder.
    SPIManager();
    ~SPIManager();
    SPIManager(const SPIManager&) = delete;
    SPIManager& operator=(const SPIManager&) = delete;

    std::wstring PictureFilter() const { return filter_; }
    // S_OK: the attempt ran to its end (a picture or not: ask the file);
    // S_FALSE: refused (busy, no file) or cancelled; an error ends the load.
    HRESULT LoadFile(SPIFile* file);
    std::shared_ptr<SPIFile> ExtractEntry(const std::shared_ptr<SPIFile>& file, const std::wstring& entryName);

    // (current, total, cancel by reference), once per progress report of the module at work.
    std::function<void(int32_t, int32_t, bool&)> OnDecoding;

    // For tests: the plug-in folder and the trial order.
    const std::wstring& Path() const { return path_; }
    std::vector<std::wstring> ModuleOrder() const;

private:
    void Relay(int32_t current, int32_t total, bool& refCancel);

    std::vector<std::unique_ptr<SPIModule>> modules_;  // trial order; the key is ModulePath
    std::wstring path_;
    bool cancel_ = false;
    bool busy_ = false;
    std::wstring filter_;
    SPIModule* module_ = nullptr;
};

}  // namespace quillmount
