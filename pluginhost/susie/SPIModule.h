#pragma once
// One Susie plug-in file: its self-description, read once, and single
// operations with it. The library is loaded for one operation at a time.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pluginhost/susie/SPIFunction.h"
#include "pluginhost/host/host_protocol.h"

namespace quillmount {

class SPIFile;

// A plug-in's bitmap as it handed it over, and what its picture information
// said; the plug-in's blocks are freed when it goes.
struct RawPicture {
    RawPicture() = default;
    ~RawPicture();
    RawPicture(const RawPicture&) = delete;
    RawPicture& operator=(const RawPicture&) = delete;
    HLOCAL header = nullptr;
    HLOCAL pixels = nullptr;
    PictureInfo info;
    std::wstring text;
};

class SPIModule {
public:
    SPIModule();
    ~SPIModule();
    SPIModule(const SPIModule&) = delete;
    SPIModule& operator=(const SPIModule&) = delete;

    bool LoadInfo(const std::wstring& path);
    // The self-description read elsewhere (by a host process, or in an
    // earlier run): the plug-in is loaded only when an operation needs it.
    bool Adopt(const std::wstring& path, const host::Description& description);
    // This module's self-description as a host process reports it.
    host::Description Description() const;
    bool LoadFunctions();
    void FreeFunctions();
    bool CheckSupported(SPIFile* file);
    // S_OK decoded; S_FALSE not decoded; an error (overflow) ends the whole load.
    HRESULT DecodePicture(SPIFile* file);
    // The plug-in's own bitmap of the file: S_OK with the blocks, S_FALSE when it made none.
    HRESULT DecodeRaw(SPIFile* file, RawPicture& raw);
    bool LoadArchive(SPIFile* file);
    std::shared_ptr<SPIFile> ExtractFile(const std::shared_ptr<SPIFile>& file, const std::wstring& entryName,
                                         const std::wstring& into = L"");
    // Writes one entry of an archive into a folder (ending in "\"); whether the plug-in said it did.
    bool ExtractTo(const std::wstring& archive, const std::wstring& entryName, const std::wstring& folder);

    const std::wstring& ModulePath() const { return modulePath_; }
    bool IsPicture() const { return isPicture_; }
    bool IsArchive() const { return isArchive_; }
    std::vector<std::wstring> Filters() const { return filters_; }
    std::vector<std::wstring> Descriptions() const { return descriptions_; }
    const std::wstring& ApiVersion() const { return apiVersion_; }
    const std::wstring& PluginName() const { return pluginName_; }

    bool IsLoadedForScope() const;
    int RaiseProgress(int current, int total);
    // (current, total, cancel by reference)
    std::function<void(int32_t, int32_t, bool&)> OnDecoding;

    // The module a plug-in handed back as its callback data, when it is a live one.
    static SPIModule* FromIdentity(SusieLong identity);

private:
    SusieLong Identity() const { return reinterpret_cast<SusieLong>(this); }

    std::wstring modulePath_, apiVersion_, pluginName_;
    std::vector<std::wstring> filters_, descriptions_;
    bool isPicture_ = false, isArchive_ = false;
    HMODULE module_ = nullptr;
    IsSupportedFn isSupported_ = nullptr;
    GetPictureInfoFn getPictureInfo_ = nullptr;
    GetPictureFn getPicture_ = nullptr;
    GetArchiveInfoFn getArchiveInfo_ = nullptr;
    GetFileInfoFn getFileInfo_ = nullptr;
    GetFileFn getFile_ = nullptr;
};

// The last component of an archive entry's name, when it is safe to write
// into the temporary folder; "" for "..", ".", names with ":" and the empty name.
std::wstring SafeEntryFileName(const std::wstring& entryName);

}  // namespace quillmount
