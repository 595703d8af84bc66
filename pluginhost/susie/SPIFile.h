#pragma once
// The record of one file travelling through the plug-in host: its header,
// and what a plug-in made of it (a picture, or the entries of an archive).
// An extracted archive entry holds its archive's record and deletes its copy
// on disk when it goes.
#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillmount {

class SPIFile {
public:
    SPIFile() = default;
    ~SPIFile();
    SPIFile(const SPIFile&) = delete;
    SPIFile& operator=(const SPIFile&) = delete;

    // Once, with a path; an entry name exactly when a parent is given.
    bool Init(const std::wstring& path, const std::wstring& entryName, std::shared_ptr<SPIFile> parent);

    const std::wstring& FilePath() const { return filePath_; }
    const std::wstring& EntryName() const { return entryName_; }
    const std::shared_ptr<SPIFile>& Parent() const { return parent_; }
    const std::wstring& PluginKey() const { return pluginKey_; }
    void SetPluginKey(const std::wstring& key) { pluginKey_ = key; }
    const Microsoft::WRL::ComPtr<IPictureDisp>& Picture() const { return picture_; }
    int32_t PictureWidth() const { return width_; }
    int32_t PictureHeight() const { return height_; }
    int32_t PictureDepth() const { return depth_; }
    const std::wstring& PictureText() const { return text_; }
    int32_t EntryCount() const { return static_cast<int32_t>(entryNames_.size()); }
    std::wstring EntryNameAt(int32_t i) const;
    uint64_t EntrySizeAt(int32_t i) const;

    std::wstring FileName() const;
    // The first 2048 bytes of the file, zero-filled; null when it cannot be read.
    const uint8_t* HeaderAddress();
    bool IsBitmapFile();
    bool HasPicture() const { return picture_ != nullptr; }
    bool HasEntries() const { return !entryNames_.empty(); }
    bool SetPicture(Microsoft::WRL::ComPtr<IPictureDisp> picture, int32_t width, int32_t height, int32_t depth,
                    const std::wstring& text);
    bool LoadBitmap();
    bool AddEntry(const std::wstring& name, uint64_t size);
    std::wstring TempFolder();

private:
    void ReadHeader();

    std::shared_ptr<SPIFile> parent_;
    bool initialised_ = false;
    std::wstring filePath_, entryName_, tempFolder_, pluginKey_, text_;
    Microsoft::WRL::ComPtr<IPictureDisp> picture_;
    int32_t width_ = 0, height_ = 0, depth_ = 0;
    std::vector<std::wstring> entryNames_;
    std::vector<uint64_t> entrySizes_;
    std::array<uint8_t, 2048> header_{};
    bool headerRead_ = false;
};

}  // namespace quillmount
