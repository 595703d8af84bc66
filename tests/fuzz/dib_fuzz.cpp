// Bitmap headers from plug-ins: the check must never read past the header
// block, and what it accepts must describe blocks that hold it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pluginhost/susie/plugin_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    uint32_t pixelBlock;
    std::memcpy(&pixelBlock, data, 4);
    // An exact-size copy, so that any read past the block is caught.
    std::vector<uint8_t> header(data + 4, data + size);
    quillmount::DibLayout l;
    if (quillmount::CheckDib(header.data(), header.size(), pixelBlock, l) == quillmount::DibCheck::Ok) {
        if (l.pixelBytes > pixelBlock) std::abort();
        if (static_cast<uint64_t>(l.headerSize) + 4ull * l.colors > header.size()) std::abort();
        if (l.rowLength % 4 != 0 || l.width <= 0) std::abort();
    }
    return 0;
}
