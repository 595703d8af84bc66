#pragma once
// ZIP archives read without trusting them: the central directory (ZIP64
// included) and one entry's bytes, stored or deflated. Every offset, size and
// count is checked against the file before use; an entry never inflates past
// the size its directory record declares. Windows-free, tested and fuzzed.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tamsel {

// Reads exactly `n` bytes at `offset`; false when it cannot.
using ReadAt = std::function<bool(uint64_t offset, void* out, size_t n)>;

struct ZipEntry {
    std::string name;   // as stored: UTF-8 when `utf8`, otherwise the archiver's code page
    bool utf8 = false;  // general-purpose flag bit 11
    bool encrypted = false;
    bool folder = false;  // a name ending in '/' or '\'
    uint16_t method = 0;
    uint32_t crc = 0;
    uint64_t packedSize = 0, size = 0, localOffset = 0;
};

// The most entries listed; those after are left out.
constexpr size_t kZipMostEntries = 100000;
// What one entry may unpack to, and how many times its packed size.
constexpr uint64_t kZipLargestEntry = 1ull << 30;
constexpr uint64_t kZipMostRatio = 1000;

// Whether the first bytes look like a ZIP archive (a local header or an empty
// archive's end record).
bool LooksLikeZip(const uint8_t* head, size_t size);

// The entries of the archive, in directory order; false when it has no
// readable directory (none, truncated, or pointing outside the file).
bool ReadZipDirectory(const ReadAt& read, uint64_t fileSize, std::vector<ZipEntry>& entries);

enum class ZipRead { Ok, Encrypted, Unsupported, TooLarge, Corrupt, NoMemory };

// One entry's bytes, checked against its CRC. `out` is left empty on failure.
ZipRead ReadZipEntry(const ReadAt& read, uint64_t fileSize, const ZipEntry& entry, std::vector<uint8_t>& out);

// Whether an entry name is one a path may be built from: relative, without
// ".." or "." parts, drive letters, device names or characters the file
// system refuses. Checked on the wide name.
bool SafeArchivePath(const std::wstring& name);

}  // namespace tamsel
