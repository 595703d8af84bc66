// The ZIP reader over any bytes a file can hold: the directory, then every
// entry it lists, read within bounds and never past its declared size.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/zip_directory.h"

using namespace tamsel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> file(data, data + size);  // exactly these: a read beyond is caught
    const ReadAt read = [&file](uint64_t offset, void* out, size_t n) {
        if (offset > file.size() || n > file.size() - offset) return false;
        if (n) std::memcpy(out, file.data() + offset, n);
        return true;
    };
    std::vector<ZipEntry> entries;
    if (!ReadZipDirectory(read, file.size(), entries)) return 0;
    if (entries.size() > kZipMostEntries) __builtin_trap();
    for (const ZipEntry& e : entries) {
        if (e.size > (1u << 20)) continue;  // within the fuzzer's memory
        std::vector<uint8_t> out;
        const ZipRead r = ReadZipEntry(read, file.size(), e, out);
        if (r == ZipRead::Ok ? out.size() != e.size : !out.empty()) __builtin_trap();
    }
    return 0;
}
