#pragma once
// What the control and its plug-in host process say to each other through
// one shared block: a fixed header (the same layout in both bitnesses), a
// request area the control fills and a reply area the host fills. Progress
// and cancel live in the header, so a report is never a round trip. Bulk
// data (pixels, long listings) travels in a section of its own.
// The control trusts nothing the host wrote: every read is bounded by the
// area it lies in. Windows-free, tested and fuzzed natively.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillmount::host {

constexpr uint32_t kMagic = 0x31484D51;  // "QMH1"
constexpr uint32_t kVersion = 2;
constexpr size_t kAreaSize = 512 * 1024;
// The most the control takes of a reply too long for the area, and of the
// entries of one listing: whatever a host claims, nothing larger is reserved.
constexpr uint64_t kLargestReply = 64ull * 1024 * 1024;
constexpr uint32_t kMostEntries = 1u << 20;

enum class Op : uint32_t { None = 0, Describe = 1, Load = 2, Extract = 3, Quit = 4 };

// What the bulk section of a reply holds.
enum class Bulk : uint32_t { None = 0, Picture = 1 };

// One progress report; the host keeps the latest kReports of them in a ring,
// so that the control hears every report without answering any.
struct Report {
    int32_t value;
    int32_t max;
};
constexpr uint32_t kReports = 4096;

struct Block {
    uint32_t magic;
    uint32_t version;         // control: the protocol it speaks
    uint32_t hostReady;       // host: 1 once it serves requests
    uint32_t hostPid;         // host
    uint32_t op;              // control: the request
    uint32_t requestBytes;    // control
    uint32_t requestSerial;   // control: one more for each request
    uint32_t cancel;          // control: the load is to stop at the plug-in's next report
    uint32_t hostVersion;     // host, first of all: the protocol it speaks
    uint32_t hostBits;        // host, first of all: 32 or 64
    uint32_t progressSerial;  // host: reports made so far; report n is reports[n % kReports]
    uint32_t working;         // host: index (in the request) of the plug-in at work, for blaming a crash
    uint32_t replySerial;     // host: the request it answers
    uint32_t replyBytes;      // host
    uint32_t bulkKind;        // host: Bulk
    uint32_t bulkHandle;      // host: the section's handle in the host process
    uint64_t bulkBytes;       // host
    uint64_t longReplyBytes;  // host: a reply too long for the area lies whole in a section of its own; 0: none
    uint32_t longReplyHandle; // host: that section's handle in the host process
    uint32_t described;       // host: self-descriptions of the current request written to the reply area so far
    uint32_t spoiled;         // host: a plug-in damaged a heap; the host is replaced before its next request
    uint8_t reserved[164];
    Report reports[kReports];  // host
    uint8_t request[kAreaSize];
    uint8_t reply[kAreaSize];
};
static_assert(offsetof(Block, bulkBytes) == 64 && offsetof(Block, longReplyBytes) == 72 &&
              offsetof(Block, reports) == 256);
static_assert(sizeof(Block) == 256 + 8 * kReports + 2 * kAreaSize);

// The reports from `heard` (exclusive) to `made` (inclusive) that the ring
// still holds: the first serial to read.
uint32_t FirstUnheard(uint32_t heard, uint32_t made);

// Sequential writing into an area; once it does not fit, nothing more is written.
class Writer {
public:
    Writer(uint8_t* area, size_t size) : p_(area), size_(size) {}
    void U32(uint32_t v);
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void U64(uint64_t v);
    void Text(const std::u16string& s);
    bool Fits() const { return ok_; }
    size_t Used() const { return used_; }

private:
    void Put(const void* data, size_t n);
    uint8_t* p_;
    size_t size_, used_ = 0;
    bool ok_ = true;
};

// Sequential reading of an area written by the other side; a read past its
// end, or a length that cannot be, fails and every later read fails too.
class Reader {
public:
    Reader(const uint8_t* area, size_t size) : p_(area), size_(size) {}
    bool U32(uint32_t& v);
    bool I32(int32_t& v);
    bool U64(uint64_t& v);
    // Text of any length the rest of the area holds.
    bool Text(std::u16string& s);
    // A count of items of at least `minItemBytes` each that the rest can hold.
    bool Count(uint32_t& n, size_t minItemBytes);
    bool Ok() const { return ok_; }

private:
    bool Get(void* out, size_t n);
    const uint8_t* p_;
    size_t size_, used_ = 0;
    bool ok_ = true;
};

struct Description {
    std::u16string apiVersion, name;
    std::vector<std::u16string> filters, descriptions;
    bool isPicture = false, isArchive = false;
};

// Describe: the plug-in files to read the self-descriptions of.
void WriteDescribeRequest(Writer& w, const std::vector<std::u16string>& paths);
bool ReadDescribeRequest(Reader& r, std::vector<std::u16string>& paths);
// One answer per path, in order, appended as each is made (the block counts
// them, so that answers made before a host was lost are kept): a description,
// or nothing for a file that takes no part.
void WriteDescription(Writer& w, const std::optional<Description>& described);
void WriteDescribeReply(Writer& w, const std::vector<std::optional<Description>>& described);
// Exactly `count` answers.
bool ReadDescribeReply(Reader& r, size_t count, std::vector<std::optional<Description>>& described);

// Load: a file and the plug-ins to try on it, in trial order.
void WriteLoadRequest(Writer& w, const std::u16string& file, const std::vector<std::u16string>& modules);
bool ReadLoadRequest(Reader& r, std::u16string& file, std::vector<std::u16string>& modules);

struct Entry {
    std::u16string name;
    uint64_t size = 0;
};

struct LoadReply {
    int32_t result = 0;    // S_OK ran to its end, S_FALSE cancelled, an error ends the load
    int32_t winner = -1;   // index of the plug-in that decoded or listed the file
    // A picture: its properties, and the bitmap in the bulk section: header
    // and colour table at 0, pixels at pixelOffset.
    bool picture = false;
    int32_t width = 0, height = 0, depth = 0;
    std::u16string text;
    uint32_t headerBytes = 0, pixelOffset = 0, pixelBytes = 0;
    std::vector<Entry> entries;  // an archive's listing
};
void WriteLoadReply(Writer& w, const LoadReply& reply);
bool ReadLoadReply(Reader& r, size_t modules, LoadReply& reply);

// Extract: one archive entry into a folder the control made.
struct ExtractRequest {
    std::u16string module, archive, entry, folder;
};
void WriteExtractRequest(Writer& w, const ExtractRequest& request);
bool ReadExtractRequest(Reader& r, ExtractRequest& request);

// Where the pixels of a picture go in its bulk section, and the section's size.
uint32_t PixelOffsetFor(uint32_t headerBytes);
// Whether a picture reply's layout lies within a bulk section of `bulkBytes`.
bool PictureFits(const LoadReply& reply, uint64_t bulkBytes);

}  // namespace quillmount::host
