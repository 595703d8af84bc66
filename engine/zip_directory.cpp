#include "engine/zip_directory.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <new>

namespace tamsel {

namespace {

constexpr uint32_t kLocalSig = 0x04034b50, kCentralSig = 0x02014b50, kEndSig = 0x06054b50;
constexpr uint32_t kEnd64Sig = 0x06064b50, kLocator64Sig = 0x07064b50;
constexpr size_t kEndSize = 22, kCentralSize = 46, kLocalSize = 30, kLocatorSize = 20, kEnd64Size = 56;
// A directory larger than this is read only this far: 100 000 entries with
// long names fit many times over.
constexpr uint64_t kMostDirectoryBytes = 64ull << 20;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) { return U16(p) | uint32_t{U16(p + 2)} << 16; }
uint64_t U64(const uint8_t* p) { return U32(p) | uint64_t{U32(p + 4)} << 32; }

bool Fits(uint64_t offset, uint64_t n, uint64_t size) { return offset <= size && n <= size - offset; }

// The ZIP64 extra field replaces exactly the fields that are all ones, in this order.
bool ApplyZip64Extra(const uint8_t* extra, size_t n, ZipEntry& e, bool wantSize, bool wantPacked, bool wantOffset) {
    for (size_t at = 0; at + 4 <= n;) {
        const uint16_t id = U16(extra + at), len = U16(extra + at + 2);
        if (len > n - at - 4) return false;
        if (id == 1) {
            const uint8_t* p = extra + at + 4;
            size_t left = len;
            auto take = [&](uint64_t& v) {
                if (left < 8) return false;
                v = U64(p), p += 8, left -= 8;
                return true;
            };
            if (wantSize && !take(e.size)) return false;
            if (wantPacked && !take(e.packedSize)) return false;
            if (wantOffset && !take(e.localOffset)) return false;
            return true;
        }
        at += 4 + size_t{len};
    }
    return !wantSize && !wantPacked && !wantOffset;
}

}  // namespace

bool LooksLikeZip(const uint8_t* head, size_t size) {
    return size >= 4 && (U32(head) == kLocalSig || U32(head) == kEndSig);
}

bool ReadZipDirectory(const ReadAt& read, uint64_t fileSize, std::vector<ZipEntry>& entries) {
    entries.clear();
    if (fileSize < kEndSize) return false;
    // The end record lies within the last 22 bytes plus the longest comment.
    const uint64_t tailSize = std::min<uint64_t>(fileSize, kEndSize + 0xFFFF);
    const uint64_t tailAt = fileSize - tailSize;
    std::vector<uint8_t> tail(static_cast<size_t>(tailSize));
    if (!read(tailAt, tail.data(), tail.size())) return false;
    size_t end = std::string::npos;
    for (size_t i = tail.size() - kEndSize + 1; i-- > 0;) {
        if (U32(&tail[i]) == kEndSig && i + kEndSize + U16(&tail[i + 20]) <= tail.size()) {
            end = i;
            break;
        }
    }
    if (end == std::string::npos) return false;
    const uint8_t* rec = &tail[end];
    const uint64_t endAt = tailAt + end;
    uint64_t count = U16(rec + 10), dirSize = U32(rec + 12), dirAt = U32(rec + 16);
    if (U16(rec + 4) != 0 || U16(rec + 6) != 0) return false;  // spanned archives are not read
    if (count == 0xFFFF || dirSize == 0xFFFFFFFF || dirAt == 0xFFFFFFFF) {
        std::array<uint8_t, kLocatorSize> loc{};
        if (endAt < kLocatorSize || !read(endAt - kLocatorSize, loc.data(), loc.size()) || U32(loc.data()) != kLocator64Sig)
            return false;
        const uint64_t end64At = U64(loc.data() + 8);
        std::array<uint8_t, kEnd64Size> e64{};
        if (!Fits(end64At, kEnd64Size, endAt) || !read(end64At, e64.data(), e64.size()) || U32(e64.data()) != kEnd64Sig)
            return false;
        count = U64(e64.data() + 32), dirSize = U64(e64.data() + 40), dirAt = U64(e64.data() + 48);
    }
    if (!Fits(dirAt, dirSize, endAt)) return false;
    const size_t bytes = static_cast<size_t>(std::min(dirSize, kMostDirectoryBytes));
    std::vector<uint8_t> dir;
    try {
        dir.resize(bytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (bytes && !read(dirAt, dir.data(), bytes)) return false;
    const uint64_t wanted = std::min<uint64_t>(count, kZipMostEntries);
    try {
        entries.reserve(static_cast<size_t>(std::min<uint64_t>(wanted, bytes / kCentralSize)));
    } catch (const std::bad_alloc&) {
        return false;
    }
    // A record that does not read ends the listing: what came before stands.
    for (size_t at = 0; entries.size() < wanted && at + kCentralSize <= dir.size();) {
        const uint8_t* c = &dir[at];
        if (U32(c) != kCentralSig) break;
        const size_t nameLen = U16(c + 28), extraLen = U16(c + 30), commentLen = U16(c + 32);
        if (kCentralSize + nameLen + extraLen + commentLen > dir.size() - at) break;
        ZipEntry e;
        const uint16_t flags = U16(c + 8);
        e.utf8 = (flags & 0x0800) != 0;
        e.encrypted = (flags & 0x0001) != 0;
        e.method = U16(c + 10);
        e.crc = U32(c + 16);
        e.packedSize = U32(c + 20), e.size = U32(c + 24), e.localOffset = U32(c + 42);
        e.name.assign(reinterpret_cast<const char*>(c + kCentralSize), nameLen);
        if (!ApplyZip64Extra(c + kCentralSize + nameLen, extraLen, e, e.size == 0xFFFFFFFF, e.packedSize == 0xFFFFFFFF,
                             e.localOffset == 0xFFFFFFFF))
            break;
        e.folder = !e.name.empty() && (e.name.back() == '/' || e.name.back() == '\\');
        entries.push_back(std::move(e));
        at += kCentralSize + nameLen + extraLen + commentLen;
    }
    return count == 0 || !entries.empty();
}

ZipRead ReadZipEntry(const ReadAt& read, uint64_t fileSize, const ZipEntry& e, std::vector<uint8_t>& out) {
    out.clear();
    if (e.encrypted) return ZipRead::Encrypted;
    if (e.method != 0 && e.method != 8) return ZipRead::Unsupported;
    if (e.size > kZipLargestEntry) return ZipRead::TooLarge;
    if (e.method == 8 && e.size > kZipMostRatio * std::max<uint64_t>(e.packedSize, 1)) return ZipRead::TooLarge;
    if (e.method == 0 && e.size != e.packedSize) return ZipRead::Corrupt;
    std::array<uint8_t, kLocalSize> local{};
    if (!Fits(e.localOffset, kLocalSize, fileSize) || !read(e.localOffset, local.data(), local.size()) ||
        U32(local.data()) != kLocalSig)
        return ZipRead::Corrupt;
    if (U16(local.data() + 6) & 1) return ZipRead::Encrypted;
    const uint64_t dataAt = e.localOffset + kLocalSize + U16(local.data() + 26) + U16(local.data() + 28);
    if (!Fits(dataAt, e.packedSize, fileSize)) return ZipRead::Corrupt;
    try {
        out.resize(static_cast<size_t>(e.size));
    } catch (const std::bad_alloc&) {
        return ZipRead::NoMemory;
    }
    auto fail = [&out](ZipRead why) {
        std::vector<uint8_t>().swap(out);
        return why;
    };
    if (e.method == 0) {
        if (e.size && !read(dataAt, out.data(), out.size())) return fail(ZipRead::Corrupt);
    } else {
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return fail(ZipRead::NoMemory);
        std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(e.packedSize, 256 * 1024)) + 1);
        uint8_t spare = 0;  // room for one byte too many: a stream longer than declared is found out
        uint64_t produced = 0, readAt = dataAt, left = e.packedSize;
        bool intoSpare = false, overrun = false;
        int rc = Z_OK;
        for (;;) {
            if (z.avail_in == 0 && left > 0) {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
                if (!read(readAt, chunk.data(), n)) break;
                readAt += n, left -= n;
                z.next_in = chunk.data();
                z.avail_in = static_cast<uInt>(n);
            }
            if (z.avail_out == 0) {
                intoSpare = produced >= e.size;
                z.next_out = intoSpare ? &spare : out.data() + produced;
                z.avail_out = intoSpare ? 1 : static_cast<uInt>(std::min<uint64_t>(e.size - produced, 1u << 30));
            }
            const uInt outBefore = z.avail_out, inBefore = z.avail_in;
            rc = inflate(&z, Z_NO_FLUSH);
            const uInt made = outBefore - z.avail_out;
            if (intoSpare && made > 0) {
                overrun = true;
                break;
            }
            produced += made;
            if (rc != Z_OK && rc != Z_BUF_ERROR) break;  // the end, or broken data
            if (made == 0 && inBefore == z.avail_in && left == 0) break;  // the data ends before the stream
        }
        inflateEnd(&z);
        if (overrun || rc != Z_STREAM_END || produced != e.size) return fail(ZipRead::Corrupt);
    }
    uLong crc = crc32(0L, Z_NULL, 0);
    for (uint64_t at = 0; at < out.size();) {
        const uInt n = static_cast<uInt>(std::min<uint64_t>(out.size() - at, 1u << 30));
        crc = crc32(crc, out.data() + at, n);
        at += n;
    }
    if (static_cast<uint32_t>(crc) != e.crc) return fail(ZipRead::Corrupt);
    return ZipRead::Ok;
}

bool SafeArchivePath(const std::wstring& name) {
    if (name.empty() || name.size() > 4096 || name[0] == L'/' || name[0] == L'\\') return false;
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of(L"/\\", start);
        if (end == std::wstring::npos) end = name.size();
        const std::wstring part = name.substr(start, end - start);
        if (part.empty()) {
            if (end != name.size()) return false;  // "a//b"
            break;  // a folder's trailing separator
        }
        if (part == L"." || part == L"..") return false;
        if (part.back() == L'.' || part.back() == L' ') return false;
        for (wchar_t c : part)
            if (c < 0x20 || c == L':' || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*')
                return false;
        // Device names, with any extension: "nul.jpg" opens the device.
        std::wstring stem = part.substr(0, part.find(L'.'));
        while (!stem.empty() && stem.back() == L' ') stem.pop_back();
        for (wchar_t& c : stem)
            if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
        for (const wchar_t* d : kDevices)
            if (stem == d) return false;
        if (stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
            ((stem[3] >= L'0' && stem[3] <= L'9') || stem[3] == 0xB9 || stem[3] == 0xB2 || stem[3] == 0xB3))
            return false;
        start = end + 1;
    }
    return true;
}

}  // namespace tamsel
