#include "pluginhost/susie/plugin_formats.h"

#include <cstring>
#include <limits>

#include "pluginhost/susie/susie_records.h"

namespace quillmount {

std::string TextWithin(const void* buffer, size_t size) {
    const char* p = static_cast<const char*>(buffer);
    const void* nul = size ? std::memchr(p, 0, size) : nullptr;
    return std::string(p, nul ? static_cast<const char*>(nul) - p : size);
}

bool MatchesVersion(const std::string& version, const char* kind) {
    return version.size() == 4 && version[2] == kind[0] && version[3] == kind[1];
}

std::optional<PluginDescription> Describe(const std::vector<std::string>& info) {
    if (info.size() < 4) return std::nullopt;
    PluginDescription d;
    d.apiVersion = info[0];
    d.name = info[1];
    const size_t pairs = info.size() / 2 - 1;
    for (size_t j = 1; j <= pairs; ++j) {
        d.filters.push_back(info[2 * j]);
        d.descriptions.push_back(info[2 * j + 1]);
    }
    d.isPicture = MatchesVersion(d.apiVersion, "IN");
    d.isArchive = MatchesVersion(d.apiVersion, "AM");
    if (!d.isPicture && !d.isArchive) return std::nullopt;
    return d;
}

std::string CombinedFilter(const std::vector<std::string>& firstFilters) {
    std::string a;
    for (const std::string& f : firstFilters) {
        for (char c : f) {
            if (c == '*') {
                a += ";*";
            } else if (c != ';') {
                a += c;
            }
        }
    }
    return a.empty() ? a : a.substr(1);
}

namespace {

template <typename T>
T Load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

size_t PictureInfoSize(Abi abi) { return abi == Abi::Spi32 ? sizeof(PictureInfo32) : sizeof(PictureInfo64); }

PictureInfo ReadPictureInfo(const uint8_t* record, Abi abi) {
    PictureInfo info;
    info.width = Load<int32_t>(record + 8);
    info.height = Load<int32_t>(record + 12);
    info.colorDepth = Load<int16_t>(record + 20);
    if (abi == Abi::Spi32) {
        info.textHandle = Load<uint32_t>(record + 22);
    } else {
        const bool packed = record[22] != 0 || record[23] != 0;
        info.textHandle = Load<uint64_t>(record + (packed ? 22 : 24));
    }
    return info;
}

size_t ArchiveEntrySize(Abi abi) { return abi == Abi::Spi32 ? sizeof(ArchiveEntry32) : sizeof(ArchiveEntry64); }

ArchiveEntryInfo ReadArchiveEntry(const uint8_t* record, Abi abi) {
    ArchiveEntryInfo e;
    if (abi == Abi::Spi32) {
        const auto r = Load<ArchiveEntry32>(record);
        e.position = r.position;
        e.fileSize = r.fileSize;
        e.path = TextWithin(r.path, sizeof r.path);
        e.fileName = TextWithin(r.fileName, sizeof r.fileName);
    } else {
        const auto r = Load<ArchiveEntry64>(record);
        e.position = r.position;
        e.fileSize = r.fileSize;
        e.path = TextWithin(r.path, sizeof r.path);
        e.fileName = TextWithin(r.fileName, sizeof r.fileName);
    }
    return e;
}

std::vector<ArchiveEntryInfo> ReadArchiveList(const uint8_t* block, size_t blockSize, Abi abi) {
    std::vector<ArchiveEntryInfo> list;
    const size_t size = ArchiveEntrySize(abi);
    for (size_t k = 0; block && k < blockSize / size; ++k) list.push_back(ReadArchiveEntry(block + k * size, abi));
    return list;
}

DibCheck CheckDib(const uint8_t* header, size_t headerBlock, size_t pixelBlock, DibLayout& out) {
    if (!header || headerBlock < 4) return DibCheck::NoPicture;
    const uint32_t s = Load<uint32_t>(header);
    if ((s != 40 && s != 108 && s != 124) || s > headerBlock) return DibCheck::NoPicture;
    const int64_t w = Load<int32_t>(header + 4);
    const int64_t h = Load<int32_t>(header + 8);
    const uint16_t b = Load<uint16_t>(header + 14);
    const uint32_t compression = Load<uint32_t>(header + 16);
    const uint32_t used = Load<uint32_t>(header + 32);
    if (w <= 0 || h == 0) return DibCheck::NoPicture;
    int64_t words;
    switch (b) {
    case 1: words = (w + 31) / 32; break;
    case 4: words = (w + 7) / 8; break;
    case 8: words = (w + 3) / 4; break;
    case 16: words = (w + 1) / 2; break;
    case 24: words = (3 * w + 3) / 4; break;
    case 32: words = w; break;
    default: return DibCheck::NoPicture;
    }
    // Sizes are 32-bit quantities of the convention: anything larger is an overflow.
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    const int64_t rowLength = 4 * words;
    if (rowLength > kMax) return DibCheck::Overflow;
    const int64_t rows = h < 0 ? -h : h;
    if (rows > kMax / rowLength) return DibCheck::Overflow;
    const int64_t z = rows * rowLength;
    if (compression != 0) return DibCheck::NoPicture;
    int64_t c = used;
    if (c == 0) c = b == 1 ? 2 : b == 4 ? 16 : b == 8 ? 256 : 0;
    if (b <= 8 && c > (int64_t{1} << b)) return DibCheck::NoPicture;
    if (b > 8 && c > 256) return DibCheck::NoPicture;
    if (static_cast<uint64_t>(s) + 4 * static_cast<uint64_t>(c) > headerBlock) return DibCheck::NoPicture;
    if (static_cast<uint64_t>(z) > pixelBlock) return DibCheck::NoPicture;
    out.headerSize = s;
    out.width = static_cast<int32_t>(w);
    out.height = static_cast<int32_t>(h);
    out.bitCount = b;
    out.rowLength = static_cast<uint32_t>(rowLength);
    out.pixelBytes = static_cast<uint32_t>(z);
    out.colors = static_cast<uint32_t>(c);
    return DibCheck::Ok;
}

bool BitmapFileIsWhole(const uint8_t* head, size_t headSize, uint64_t fileSize) {
    if (!head || headSize < 26 || head[0] != 'B' || head[1] != 'M') return false;
    const uint64_t offBits = Load<uint32_t>(head + 10);
    const uint32_t infoSize = Load<uint32_t>(head + 14);
    int64_t w, h;
    uint16_t planes, bits;
    uint32_t compression = 0, sizeImage = 0, used = 0;
    if (infoSize == 12) {
        w = Load<uint16_t>(head + 18);
        h = Load<int16_t>(head + 20);
        planes = Load<uint16_t>(head + 22);
        bits = Load<uint16_t>(head + 24);
    } else if (infoSize >= 40 && infoSize <= 124 && headSize >= 54) {
        w = Load<int32_t>(head + 18);
        h = Load<int32_t>(head + 22);
        planes = Load<uint16_t>(head + 26);
        bits = Load<uint16_t>(head + 28);
        compression = Load<uint32_t>(head + 30);
        sizeImage = Load<uint32_t>(head + 34);
        used = Load<uint32_t>(head + 46);
    } else {
        return false;
    }
    if (planes != 1 || w <= 0 || h == 0 || w > 65535 || h > 65535 || h < -65535) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (bits <= 8 && used > (1u << bits)) return false;
    const uint64_t palette = bits <= 8 ? 4ull * (used ? used : (1u << bits)) : 0;
    if (offBits < 14 + static_cast<uint64_t>(infoSize) || offBits > fileSize) return false;
    if (14 + static_cast<uint64_t>(infoSize) + (infoSize == 12 ? 0 : palette) > fileSize) return false;
    const uint64_t rows = static_cast<uint64_t>(h < 0 ? -h : h);
    uint64_t pixels;
    switch (compression) {
    case 0:  // rows of whole pixels
    case 3:  // the same with bit-field masks
        if (compression == 3 && bits != 16 && bits != 32) return false;
        pixels = ((static_cast<uint64_t>(w) * bits + 31) / 32) * 4 * rows;
        break;
    case 1:  // run-length coded: the stored size is all there is
    case 2:
        if ((compression == 1 && bits != 8) || (compression == 2 && bits != 4) || sizeImage == 0) return false;
        pixels = sizeImage;
        break;
    default:
        return false;
    }
    return offBits + pixels <= fileSize;
}

}  // namespace quillmount
