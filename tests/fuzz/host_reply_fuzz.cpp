// Answers of a plug-in host process as the control reads them: any bytes.
// What is accepted keeps every promise the control relies on afterwards.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pluginhost/host/host_protocol.h"

using namespace quillmount::host;

namespace {

void Check(bool promise) {
    if (!promise) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> area(data, data + size);  // exactly the bytes given: a read beyond is caught
    for (size_t modules : {size_t{0}, size_t{1}, size_t{20}}) {
        Reader r(area.data(), area.size());
        LoadReply reply;
        if (ReadLoadReply(r, modules, reply)) {
            Check(reply.winner >= -1 && reply.winner < static_cast<int32_t>(modules));
            Check(!(reply.picture && !reply.entries.empty()));
            Check((!reply.picture && reply.entries.empty()) || reply.winner >= 0);
            Check(reply.entries.size() <= kMostEntries);
            size_t listed = 0;
            for (const Entry& e : reply.entries) {
                Check(!e.name.empty());
                listed += 14 + 2 * (e.name.size() - 1);
            }
            Check(listed + 2 * reply.text.size() <= size);  // nothing made that the bytes did not hold
            // What was read writes back to the same bytes.
            std::vector<uint8_t> again(size + 1);
            Writer w(again.data(), again.size());
            WriteLoadReply(w, reply);
            Check(w.Fits());
            for (size_t i = 0; i < w.Used(); ++i) Check(again[i] == area[i]);
            for (uint64_t bulk : {uint64_t{0}, uint64_t{size}, ~uint64_t{0}})
                if (PictureFits(reply, bulk)) {
                    Check(reply.picture && reply.headerBytes > 0 && reply.pixelBytes > 0);
                    Check(reply.pixelOffset >= reply.headerBytes && reply.pixelOffset % 16 == 0);
                    Check(uint64_t{reply.pixelOffset} + reply.pixelBytes <= bulk);
                }
        }
        Reader d(area.data(), area.size());
        std::vector<std::optional<Description>> described;
        if (ReadDescribeReply(d, modules, described)) {
            Check(described.size() == modules);
            for (const auto& x : described) Check(!x || x->isPicture != x->isArchive);
        }
    }
    Reader q(area.data(), area.size());
    std::u16string file;
    std::vector<std::u16string> paths;
    if (ReadLoadRequest(q, file, paths)) Check(2 * file.size() + 4 * paths.size() <= size);
    return 0;
}
