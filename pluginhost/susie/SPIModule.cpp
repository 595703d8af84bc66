#include "pluginhost/susie/SPIModule.h"

#include <algorithm>
#include <set>

#include "pluginhost/susie/SPIFile.h"
#include "pluginhost/susie/utf16.h"

namespace quillmount {
namespace {

std::set<const SPIModule*>& LiveModules() {
    static std::set<const SPIModule*> live;
    return live;
}

template <typename F>
F Resolve(HMODULE m, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

// Loads the library for one operation unless it is loaded already; frees it after.
class OperationScope {
public:
    explicit OperationScope(SPIModule& m) : m_(m), wasLoaded_(m.IsLoadedForScope()) {}
    ~OperationScope() {
        if (!wasLoaded_) m_.FreeFunctions();
    }
    bool Ready() { return wasLoaded_ || m_.LoadFunctions(); }

private:
    SPIModule& m_;
    bool wasLoaded_;
};

}  // namespace

SPIModule::SPIModule() { LiveModules().insert(this); }

SPIModule::~SPIModule() {
    FreeFunctions();
    LiveModules().erase(this);
}

SPIModule* SPIModule::FromIdentity(SusieLong identity) {
    auto* m = reinterpret_cast<const SPIModule*>(identity);
    return LiveModules().count(m) ? const_cast<SPIModule*>(m) : nullptr;
}

bool SPIModule::LoadInfo(const std::wstring& path) {
    if (!modulePath_.empty()) return false;
    HMODULE m = LoadLibraryW(path.c_str());
    if (!m) return false;
    auto getPluginInfo = Resolve<GetPluginInfoFn>(m, "GetPluginInfo");
    std::vector<std::string> info;
    if (getPluginInfo) {
        for (int i = 0; i < 256; ++i) {
            std::vector<char> buffer(1024, 0);
            if (CallFunction(getPluginInfo, -1, i, buffer.data(), 1023) <= 0) break;
            info.push_back(TextWithin(buffer.data(), buffer.size()));
        }
    }
    FreeLibrary(m);
    auto description = Describe(info);
    if (!getPluginInfo || !description) return false;
    apiVersion_ = FromAnsi(description->apiVersion);
    pluginName_ = FromAnsi(description->name);
    for (auto& f : description->filters) filters_.push_back(FromAnsi(f));
    for (auto& d : description->descriptions) descriptions_.push_back(FromAnsi(d));
    isPicture_ = description->isPicture;
    isArchive_ = description->isArchive;
    modulePath_ = path;
    return true;
}

bool SPIModule::Adopt(const std::wstring& path, const host::Description& description) {
    if (!modulePath_.empty() || path.empty() || description.isPicture == description.isArchive) return false;
    apiVersion_ = Wide(description.apiVersion);
    pluginName_ = Wide(description.name);
    for (auto& f : description.filters) filters_.push_back(Wide(f));
    for (auto& d : description.descriptions) descriptions_.push_back(Wide(d));
    isPicture_ = description.isPicture;
    isArchive_ = description.isArchive;
    modulePath_ = path;
    return true;
}

host::Description SPIModule::Description() const {
    host::Description d;
    d.apiVersion = Utf16(apiVersion_);
    d.name = Utf16(pluginName_);
    for (auto& f : filters_) d.filters.push_back(Utf16(f));
    for (auto& x : descriptions_) d.descriptions.push_back(Utf16(x));
    d.isPicture = isPicture_;
    d.isArchive = isArchive_;
    return d;
}

bool SPIModule::LoadFunctions() {
    if (modulePath_.empty()) return false;
    if (module_) return true;
    module_ = LoadLibraryW(modulePath_.c_str());
    if (!module_) return false;
    isSupported_ = Resolve<IsSupportedFn>(module_, "IsSupported");
    bool ok = isSupported_ != nullptr;
    if (ok && isPicture_) {
        getPictureInfo_ = Resolve<GetPictureInfoFn>(module_, "GetPictureInfo");
        getPicture_ = Resolve<GetPictureFn>(module_, "GetPicture");
        ok = getPictureInfo_ && getPicture_;
    }
    if (ok && isArchive_) {
        getArchiveInfo_ = Resolve<GetArchiveInfoFn>(module_, "GetArchiveInfo");
        getFileInfo_ = Resolve<GetFileInfoFn>(module_, "GetFileInfo");
        getFile_ = Resolve<GetFileFn>(module_, "GetFile");
        ok = getArchiveInfo_ && getFileInfo_ && getFile_;
    }
    if (!ok) FreeFunctions();
    return ok;
}

void SPIModule::FreeFunctions() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
    isSupported_ = nullptr;
    getPictureInfo_ = nullptr;
    getPicture_ = nullptr;
    getArchiveInfo_ = nullptr;
    getFileInfo_ = nullptr;
    getFile_ = nullptr;
}

bool SPIModule::IsLoadedForScope() const { return module_ != nullptr; }

bool SPIModule::CheckSupported(SPIFile* file) {
    if (!file) return false;
    const uint8_t* header = file->HeaderAddress();
    if (!header) return false;
    OperationScope scope(*this);
    if (!scope.Ready()) return false;
    const std::string name = ToAnsi(file->FilePath());
    return CallFunction(isSupported_, 0, name.c_str(), const_cast<uint8_t*>(header)) != 0;
}

RawPicture::~RawPicture() {
    if (header) LocalFree(header);
    if (pixels) LocalFree(pixels);
}

HRESULT SPIModule::DecodeRaw(SPIFile* file, RawPicture& raw) {
    if (!file || !isPicture_) return S_FALSE;
    OperationScope scope(*this);
    if (!scope.Ready()) return S_FALSE;
    const std::string name = ToAnsi(file->FilePath());
    std::vector<uint8_t> record(PictureInfoSize(kAbi), 0);
    if (CallFunction(getPictureInfo_, -1, name.c_str(), SusieLong{0}, 0u, record.data()) != 0) return S_FALSE;
    raw.info = ReadPictureInfo(record.data(), kAbi);
    if (CallFunction(getPicture_, -1, name.c_str(), SusieLong{0}, 0u, &raw.header, &raw.pixels, &ProgressCallback,
                     Identity()) != 0)
        return S_FALSE;
    // The text only when the handle is one the system knows.
    const auto textHandle = reinterpret_cast<HLOCAL>(static_cast<uintptr_t>(raw.info.textHandle));
    if (textHandle && LocalSize(textHandle)) {
        const SIZE_T n = LocalSize(textHandle);
        if (const void* p = LocalLock(textHandle)) {
            raw.text = FromAnsi(TextWithin(p, n));
            LocalUnlock(textHandle);
        }
        LocalFree(textHandle);
    }
    return S_OK;
}

HRESULT SPIModule::DecodePicture(SPIFile* file) {
    if (!file || !isPicture_) return S_FALSE;
    if (file->HasPicture()) return S_OK;
    RawPicture raw;
    if (DecodeRaw(file, raw) != S_OK) return S_FALSE;
    ComPtr<IPictureDisp> picture;
    const HRESULT hr = DibToPicture(raw.header, raw.pixels, picture);
    if (hr != S_OK) return hr;
    if (!file->SetPicture(picture, raw.info.width, raw.info.height, raw.info.colorDepth, raw.text)) return S_FALSE;
    file->SetPluginKey(modulePath_);
    return S_OK;
}

bool SPIModule::LoadArchive(SPIFile* file) {
    if (!file || !isArchive_) return false;
    if (file->HasEntries()) return true;
    OperationScope scope(*this);
    if (!scope.Ready()) return false;
    const std::string name = ToAnsi(file->FilePath());
    HLOCAL list = nullptr;
    if (CallFunction(getArchiveInfo_, -1, name.c_str(), SusieLong{0}, 0u, &list) != 0) return false;
    if (list) {
        const SIZE_T size = LocalSize(list);
        if (const auto* p = size ? static_cast<const uint8_t*>(LocalLock(list)) : nullptr) {
            for (const ArchiveEntryInfo& e : ReadArchiveList(p, size, kAbi))
                file->AddEntry(JoinPath(FromAnsi(e.path), FromAnsi(e.fileName)), e.fileSize);
            LocalUnlock(list);
        }
        LocalFree(list);
    }
    file->SetPluginKey(modulePath_);
    return file->HasEntries();
}

std::wstring SafeEntryFileName(const std::wstring& entryName) {
    const size_t sep = entryName.find_last_of(L"\\/");
    std::wstring last = sep == std::wstring::npos ? entryName : entryName.substr(sep + 1);
    if (last.empty() || last == L"." || last == L".." || last.find(L':') != std::wstring::npos) return L"";
    return last;
}

bool SPIModule::ExtractTo(const std::wstring& archivePath, const std::wstring& entryName, const std::wstring& folder) {
    if (!isArchive_ || entryName.empty() || SafeEntryFileName(entryName).empty()) return false;
    OperationScope scope(*this);
    if (!scope.Ready()) return false;
    const std::string archive = ToAnsi(archivePath);
    const std::string entry = ToAnsi(entryName);
    std::string destination = ToAnsi(folder);
    destination.push_back('\0');
    std::vector<uint8_t> record(ArchiveEntrySize(kAbi), 0);
    if (CallFunction(getFileInfo_, -1, archive.c_str(), SusieLong{0}, entry.c_str(), 0u, record.data()) != 0)
        return false;
    const ArchiveEntryInfo info = ReadArchiveEntry(record.data(), kAbi);
    return CallFunction(getFile_, -1, archive.c_str(), static_cast<SusieLong>(info.position), destination.data(), 0u,
                        &ProgressCallback, Identity()) == 0;
}

std::shared_ptr<SPIFile> SPIModule::ExtractFile(const std::shared_ptr<SPIFile>& file, const std::wstring& entryName,
                                                const std::wstring& into) {
    if (!file || !isArchive_ || entryName.empty()) return nullptr;
    const std::wstring fileName = SafeEntryFileName(entryName);
    if (fileName.empty()) return nullptr;
    const std::wstring folder = into.empty() ? file->TempFolder() : (into.back() == L'\\' ? into : into + L"\\");
    if (!ExtractTo(file->FilePath(), entryName, folder)) return nullptr;
    auto extracted = std::make_shared<SPIFile>();
    if (!extracted->Init(JoinPath(folder, fileName), entryName, file)) return nullptr;
    return extracted;
}

int SPIModule::RaiseProgress(int current, int total) {
    bool cancel = false;
    if (OnDecoding) OnDecoding(current, total, cancel);
    return cancel ? 1 : 0;
}

}  // namespace quillmount
