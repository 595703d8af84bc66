#pragma once
// The records that Susie plug-ins write into memory the host owns or hands
// back as local memory blocks. The 32-bit plug-ins (*.spi) use the packed
// layouts; the 64-bit convention (*.sph) widens handles, offsets and sizes.
// Windows-free, so the parsers can be tested and fuzzed natively.
#include <cstddef>
#include <cstdint>

namespace quillmount {

#pragma pack(push, 1)

// Picture information, 32-bit plug-ins: 28 bytes, text handle at 22.
struct PictureInfo32 {
    int32_t left, top;
    int32_t width, height;
    uint16_t xDensity, yDensity;
    int16_t colorDepth;
    uint32_t textHandle;
    uint8_t reserved[2];  // the record the host zeroes and hands over is 28 bytes
};

// Picture information, 64-bit convention: 32 bytes, the text handle aligned at 24.
struct PictureInfo64 {
    int64_t left;  // left and top as 32-bit each in some plug-ins; unused either way
    int32_t width, height;
    uint16_t xDensity, yDensity;
    int16_t colorDepth;
    uint8_t align[2];
    uint64_t textHandle;
};

// Archive entry, 32-bit plug-ins: 428 bytes.
struct ArchiveEntry32 {
    uint8_t method[8];
    uint32_t position;
    uint32_t compressedSize;
    uint32_t fileSize;
    int32_t timestamp;
    char path[200];
    char fileName[200];
    uint32_t crc;
};

// Archive entry, 64-bit convention: 448 bytes.
struct ArchiveEntry64 {
    uint8_t method[8];
    uint64_t position;
    uint64_t compressedSize;
    uint64_t fileSize;
    int64_t timestamp;
    char path[200];
    char fileName[200];
    uint32_t crc;
    uint8_t padding[4];
};

#pragma pack(pop)

static_assert(sizeof(PictureInfo32) == 28);
static_assert(offsetof(PictureInfo32, width) == 8 && offsetof(PictureInfo32, height) == 12);
static_assert(offsetof(PictureInfo32, colorDepth) == 20 && offsetof(PictureInfo32, textHandle) == 22);
static_assert(sizeof(PictureInfo64) == 32);
static_assert(offsetof(PictureInfo64, width) == 8 && offsetof(PictureInfo64, height) == 12);
static_assert(offsetof(PictureInfo64, colorDepth) == 20 && offsetof(PictureInfo64, textHandle) == 24);
static_assert(sizeof(ArchiveEntry32) == 428);
static_assert(offsetof(ArchiveEntry32, position) == 8 && offsetof(ArchiveEntry32, fileSize) == 16);
static_assert(offsetof(ArchiveEntry32, path) == 24 && offsetof(ArchiveEntry32, fileName) == 224);
static_assert(offsetof(ArchiveEntry32, crc) == 424);
static_assert(sizeof(ArchiveEntry64) == 448);
static_assert(offsetof(ArchiveEntry64, position) == 8 && offsetof(ArchiveEntry64, fileSize) == 24);
static_assert(offsetof(ArchiveEntry64, path) == 40 && offsetof(ArchiveEntry64, fileName) == 240);
static_assert(offsetof(ArchiveEntry64, crc) == 440);

}  // namespace quillmount
