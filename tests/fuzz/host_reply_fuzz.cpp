// Answers of a plug-in host process as the control reads them: any bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pluginhost/host/host_protocol.h"

using namespace quillmount::host;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> area(data, data + size);  // exactly the bytes given: a read beyond is caught
    for (size_t modules : {size_t{0}, size_t{1}, size_t{20}}) {
        Reader r(area.data(), area.size());
        LoadReply reply;
        if (ReadLoadReply(r, modules, reply)) {
            if (reply.winner >= static_cast<int32_t>(modules)) __builtin_trap();
            if (reply.picture && !reply.entries.empty()) __builtin_trap();
            (void)PictureFits(reply, size);
        }
        Reader d(area.data(), area.size());
        std::vector<std::optional<Description>> described;
        if (ReadDescribeReply(d, modules, described) && described.size() != modules) __builtin_trap();
    }
    Reader q(area.data(), area.size());
    std::u16string file;
    std::vector<std::u16string> paths;
    (void)ReadLoadRequest(q, file, paths);
    return 0;
}
