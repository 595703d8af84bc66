#include "pluginhost/susie/SPIFile.h"

#include "pluginhost/susie/SPIFunction.h"
#include "pluginhost/susie/plugin_formats.h"

namespace quillmount {

SPIFile::~SPIFile() {
    if (!entryName_.empty()) DeleteFileW(filePath_.c_str());
    if (!tempFolder_.empty()) RemoveDirectoryW(tempFolder_.c_str());  // only when empty
}

bool SPIFile::Init(const std::wstring& path, const std::wstring& entryName, std::shared_ptr<SPIFile> parent) {
    if (initialised_ || path.empty() || entryName.empty() != (parent == nullptr)) return false;
    filePath_ = path;
    entryName_ = entryName;
    parent_ = std::move(parent);
    initialised_ = true;
    return true;
}

std::wstring SPIFile::EntryNameAt(int32_t i) const {
    return i >= 0 && i < EntryCount() ? entryNames_[i] : std::wstring();
}

uint64_t SPIFile::EntrySizeAt(int32_t i) const { return i >= 0 && i < EntryCount() ? entrySizes_[i] : 0; }

std::wstring SPIFile::FileName() const {
    const std::wstring& s = entryName_.empty() ? filePath_ : entryName_;
    const size_t sep = s.find_last_of(L'\\');
    return sep == std::wstring::npos ? s : s.substr(sep + 1);
}

void SPIFile::ReadHeader() {
    header_.fill(0);
    HANDLE f = CreateFileW(filePath_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD read = 0;
    headerRead_ = ReadFile(f, header_.data(), static_cast<DWORD>(header_.size()), &read, nullptr) != FALSE;
    CloseHandle(f);
}

const uint8_t* SPIFile::HeaderAddress() {
    if (!headerRead_) ReadHeader();
    return headerRead_ ? header_.data() : nullptr;
}

bool SPIFile::IsBitmapFile() {
    if (!headerRead_) ReadHeader();
    if (!headerRead_) return false;
    return header_[0] == 0x42 && header_[1] == 0x4D && header_[6] == 0 && header_[7] == 0 && header_[8] == 0 &&
           header_[9] == 0;
}

bool SPIFile::SetPicture(Microsoft::WRL::ComPtr<IPictureDisp> picture, int32_t width, int32_t height, int32_t depth,
                         const std::wstring& text) {
    picture_ = std::move(picture);
    if (!picture_) return false;
    width_ = width;
    height_ = height;
    depth_ = depth;
    text_ = text;
    Microsoft::WRL::ComPtr<IPicture> p;
    OLE_HANDLE handle = 0;
    return SUCCEEDED(picture_.As(&p)) && SUCCEEDED(p->get_Handle(&handle)) && handle != 0;
}

bool SPIFile::LoadBitmap() {
    // The platform's loader reads what the headers say: only a whole file goes to it.
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (!HeaderAddress() || !GetFileAttributesExW(filePath_.c_str(), GetFileExInfoStandard, &attributes)) return false;
    const uint64_t size = (uint64_t{attributes.nFileSizeHigh} << 32) | attributes.nFileSizeLow;
    if (!BitmapFileIsWhole(header_.data(), header_.size(), size)) return false;
    int32_t w = 0, h = 0, bits = 0;
    auto picture = LoadBitmapFile(filePath_, w, h, bits);
    return picture && SetPicture(picture, w, h, bits, L"");
}

bool SPIFile::AddEntry(const std::wstring& name, uint64_t size) {
    if (name.empty()) return false;
    entryNames_.push_back(name);
    entrySizes_.push_back(size);
    return true;
}

std::wstring SPIFile::TempFolder() {
    if (entryNames_.empty()) return L"";
    if (tempFolder_.empty()) tempFolder_ = MakeTempFolder();
    return tempFolder_;
}

}  // namespace quillmount
