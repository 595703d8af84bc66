#pragma once
// ZIP archives made by the tests themselves, so that every field a reader
// must not trust can be set to what a hostile archive would hold.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ziptest {

using Bytes = std::vector<uint8_t>;

struct Item {
    std::string name;  // the stored bytes of the name
    Bytes data;
    bool deflate = true;
    bool utf8 = false;
    bool encrypted = false;
    // Lies the archive tells, when set: the size the directory declares, the CRC.
    int64_t claimedSize = -1;
    int64_t claimedCrc = -1;
    bool corrupt = false;  // packed bytes damaged after the CRC was taken
};

inline void Put16(Bytes& b, uint32_t v) { b.push_back(v & 0xFF), b.push_back((v >> 8) & 0xFF); }
inline void Put32(Bytes& b, uint32_t v) { Put16(b, v & 0xFFFF), Put16(b, v >> 16); }
inline void Put64(Bytes& b, uint64_t v) { Put32(b, static_cast<uint32_t>(v)), Put32(b, static_cast<uint32_t>(v >> 32)); }

inline Bytes Deflate(const Bytes& in) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, static_cast<uLong>(in.size())) + 16);
    z.next_in = const_cast<Bytes::value_type*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// The archive; `zip64` writes the ZIP64 end records (and all-ones in the plain one).
inline Bytes Make(const std::vector<Item>& items, bool zip64 = false) {
    Bytes file, dir;
    for (const Item& it : items) {
        const uint32_t offset = static_cast<uint32_t>(file.size());
        Bytes packed = it.deflate ? Deflate(it.data) : it.data;
        if (it.corrupt && !packed.empty()) packed[packed.size() / 2] ^= 0x5A;
        const uint32_t crc = it.claimedCrc >= 0 ? static_cast<uint32_t>(it.claimedCrc)
                                                : static_cast<uint32_t>(crc32(0, it.data.data(), static_cast<uInt>(it.data.size())));
        const uint32_t size = it.claimedSize >= 0 ? static_cast<uint32_t>(it.claimedSize) : static_cast<uint32_t>(it.data.size());
        const uint16_t flags = static_cast<uint16_t>((it.utf8 ? 0x0800 : 0) | (it.encrypted ? 1 : 0));
        const uint16_t method = it.deflate ? 8 : 0;
        Put32(file, 0x04034b50), Put16(file, 20), Put16(file, flags), Put16(file, method), Put32(file, 0);
        Put32(file, crc), Put32(file, static_cast<uint32_t>(packed.size())), Put32(file, size);
        Put16(file, static_cast<uint32_t>(it.name.size())), Put16(file, 0);
        file.insert(file.end(), it.name.begin(), it.name.end());
        file.insert(file.end(), packed.begin(), packed.end());
        Put32(dir, 0x02014b50), Put16(dir, 20), Put16(dir, 20), Put16(dir, flags), Put16(dir, method), Put32(dir, 0);
        Put32(dir, crc), Put32(dir, static_cast<uint32_t>(packed.size())), Put32(dir, size);
        Put16(dir, static_cast<uint32_t>(it.name.size())), Put16(dir, 0), Put16(dir, 0), Put16(dir, 0), Put16(dir, 0);
        Put32(dir, 0), Put32(dir, offset);
        dir.insert(dir.end(), it.name.begin(), it.name.end());
    }
    const uint64_t dirAt = file.size();
    file.insert(file.end(), dir.begin(), dir.end());
    if (zip64) {
        const uint64_t end64At = file.size();
        Put32(file, 0x06064b50), Put64(file, 44), Put16(file, 45), Put16(file, 45), Put32(file, 0), Put32(file, 0);
        Put64(file, items.size()), Put64(file, items.size()), Put64(file, dir.size()), Put64(file, dirAt);
        Put32(file, 0x07064b50), Put32(file, 0), Put64(file, end64At), Put32(file, 1);
    }
    Put32(file, 0x06054b50), Put16(file, 0), Put16(file, 0);
    Put16(file, zip64 ? 0xFFFF : static_cast<uint32_t>(items.size()));
    Put16(file, zip64 ? 0xFFFF : static_cast<uint32_t>(items.size()));
    Put32(file, zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(dir.size()));
    Put32(file, zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(dirAt));
    Put16(file, 0);
    return file;
}

// Where the end record's directory offset lies, to point it elsewhere.
inline size_t DirectoryOffsetField(const Bytes& zip) { return zip.size() - 22 + 16; }

}  // namespace ziptest
