// Picture information, archive listings and self-descriptions from plug-ins.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pluginhost/susie/plugin_formats.h"

using namespace quillmount;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> block(data, data + size);
    for (Abi abi : {Abi::Spi32, Abi::Sph64}) {
        for (const ArchiveEntryInfo& e : ReadArchiveList(block.data(), block.size(), abi))
            if (e.path.size() > 200 || e.fileName.size() > 200) __builtin_trap();
        if (size >= PictureInfoSize(abi)) {
            std::vector<uint8_t> record(data, data + PictureInfoSize(abi));
            (void)ReadPictureInfo(record.data(), abi);
        }
    }
    (void)BitmapFileIsWhole(block.data(), block.size(), size);
    // Information strings: the input split at NULs, each within its buffer.
    std::vector<std::string> info;
    size_t start = 0;
    for (size_t i = 0; i <= size && info.size() < 16; ++i)
        if (i == size || data[i] == 0) {
            info.push_back(TextWithin(data + start, i - start));
            start = i + 1;
        }
    if (auto d = Describe(info)) {
        if (d->filters.size() != d->descriptions.size()) __builtin_trap();
        (void)CombinedFilter(d->filters);
    }
    return 0;
}
