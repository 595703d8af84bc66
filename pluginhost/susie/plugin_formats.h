#pragma once
// What the host reads from Susie plug-ins, checked against the memory the
// plug-in actually handed over: self-descriptions, picture information,
// archive listings and device-independent bitmaps. Windows-free.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillmount {

// The record layouts of the plug-in convention in use.
enum class Abi { Spi32, Sph64 };

// Text of a fixed buffer: up to its first NUL, or the whole buffer when it has none.
std::string TextWithin(const void* buffer, size_t size);

// The whole text is two characters of any kind followed by `kind` ("IN" or "AM"), with case.
bool MatchesVersion(const std::string& version, const char* kind);

struct PluginDescription {
    std::string apiVersion;
    std::string name;
    std::vector<std::string> filters;       // information strings 2, 4, ...
    std::vector<std::string> descriptions;  // information strings 3, 5, ...
    bool isPicture = false;
    bool isArchive = false;
};

// From the information strings 0, 1, 2, ...: nothing with fewer than four
// strings or a version of neither kind; an odd last string is dropped.
std::optional<PluginDescription> Describe(const std::vector<std::string>& info);

// The picture plug-ins' first filter strings joined: each "*" becomes ";*",
// each ";" is dropped, and the first character of the whole is removed.
std::string CombinedFilter(const std::vector<std::string>& firstFilters);

struct PictureInfo {
    int32_t width = 0;
    int32_t height = 0;
    int16_t colorDepth = 0;
    uint64_t textHandle = 0;
};

// The record as the plug-in filled it (zeroed before the call). The 64-bit
// convention's text handle is at 24, or packed at 22 when bytes 22-23 were written.
PictureInfo ReadPictureInfo(const uint8_t* record, Abi abi);
size_t PictureInfoSize(Abi abi);

struct ArchiveEntryInfo {
    std::string path;
    std::string fileName;
    uint64_t position = 0;
    uint64_t fileSize = 0;
};

size_t ArchiveEntrySize(Abi abi);
ArchiveEntryInfo ReadArchiveEntry(const uint8_t* record, Abi abi);
// Every whole record of a listing block.
std::vector<ArchiveEntryInfo> ReadArchiveList(const uint8_t* block, size_t blockSize, Abi abi);

// A bitmap header with its colour table, and the pixel block behind it.
struct DibLayout {
    uint32_t headerSize = 0;
    int32_t width = 0;
    int32_t height = 0;  // negative: rows top first
    uint16_t bitCount = 0;
    uint32_t rowLength = 0;
    uint32_t pixelBytes = 0;  // |height| x row length
    uint32_t colors = 0;      // entries of the colour table behind the header
};

enum class DibCheck {
    Ok,
    NoPicture,  // a header the host does not take, or blocks smaller than it promises
    Overflow,   // sizes beyond 32 bits: an error of the whole load
};

// Checks a header block of headerBlock bytes and a pixel block of pixelBlock
// bytes; never reads past the header block.
DibCheck CheckDib(const uint8_t* header, size_t headerBlock, size_t pixelBlock, DibLayout& layout);

// Whether a bitmap file (its first bytes and its whole size) holds everything
// its headers promise, so that the platform's loader reads nothing beyond it.
bool BitmapFileIsWhole(const uint8_t* head, size_t headSize, uint64_t fileSize);

}  // namespace quillmount
