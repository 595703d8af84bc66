#include "pluginhost/susie/description_cache.h"

#include <vector>

namespace quillmount {
namespace {

constexpr wchar_t kKey[] = L"Software\\Quillmount\\Described";
constexpr DWORD kLargest = 64 * 1024;  // far above any real description

}  // namespace

std::optional<FileStamp> StampOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    FileStamp s;
    s.size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    s.written = (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
    return s;
}

std::optional<host::Description> CachedDescription(const std::wstring& path, const FileStamp& stamp) {
    std::vector<uint8_t> bytes(kLargest);
    DWORD size = kLargest, type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, path.c_str(), RRF_RT_REG_BINARY, &type, bytes.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    host::Reader r(bytes.data(), size);
    FileStamp kept;
    std::vector<std::optional<host::Description>> described;
    if (!r.U64(kept.size) || !r.U64(kept.written) || !(kept == stamp) || !host::ReadDescribeReply(r, 1, described) ||
        !described[0])
        return std::nullopt;
    return described[0];
}

void KeepDescription(const std::wstring& path, const FileStamp& stamp, const host::Description& description) {
    std::vector<uint8_t> bytes(kLargest);
    host::Writer w(bytes.data(), bytes.size());
    w.U64(stamp.size);
    w.U64(stamp.written);
    host::WriteDescription(w, description);
    if (!w.Fits()) return;
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, path.c_str(), REG_BINARY, bytes.data(), static_cast<DWORD>(w.Used()));
}

}  // namespace quillmount
