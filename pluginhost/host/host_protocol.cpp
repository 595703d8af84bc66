#include "pluginhost/host/host_protocol.h"

#include <cstring>

namespace quillmount::host {

void Writer::Put(const void* data, size_t n) {
    if (!ok_ || n > size_ - used_) {
        ok_ = false;
        return;
    }
    if (n) std::memcpy(p_ + used_, data, n);
    used_ += n;
}

void Writer::U32(uint32_t v) { Put(&v, sizeof v); }
void Writer::U64(uint64_t v) { Put(&v, sizeof v); }

void Writer::Text(const std::u16string& s) {
    U32(static_cast<uint32_t>(s.size()));
    Put(s.data(), s.size() * sizeof(char16_t));
}

bool Reader::Get(void* out, size_t n) {
    if (!ok_ || n > size_ - used_) return ok_ = false;
    if (n) std::memcpy(out, p_ + used_, n);
    used_ += n;
    return true;
}

bool Reader::U32(uint32_t& v) { return Get(&v, sizeof v); }

bool Reader::I32(int32_t& v) {
    uint32_t u = 0;
    if (!U32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
}

bool Reader::U64(uint64_t& v) { return Get(&v, sizeof v); }

bool Reader::Text(std::u16string& s) {
    uint32_t n = 0;
    if (!U32(n)) return false;
    if (n > (size_ - used_) / sizeof(char16_t)) return ok_ = false;
    s.resize(n);
    return Get(s.data(), n * sizeof(char16_t));
}

bool Reader::Count(uint32_t& n, size_t minItemBytes) {
    if (!U32(n)) return false;
    if (minItemBytes && n > (size_ - used_) / minItemBytes) return ok_ = false;
    return true;
}

namespace {
void TextList(Writer& w, const std::vector<std::u16string>& list) {
    w.U32(static_cast<uint32_t>(list.size()));
    for (const auto& s : list) w.Text(s);
}
bool TextList(Reader& r, std::vector<std::u16string>& list) {
    uint32_t n = 0;
    if (!r.Count(n, sizeof(uint32_t))) return false;
    list.clear();
    for (uint32_t i = 0; i < n; ++i) {
        std::u16string s;
        if (!r.Text(s)) return false;
        list.push_back(std::move(s));
    }
    return true;
}
}  // namespace

void WriteDescribeRequest(Writer& w, const std::vector<std::u16string>& paths) { TextList(w, paths); }
bool ReadDescribeRequest(Reader& r, std::vector<std::u16string>& paths) { return TextList(r, paths); }

void WriteDescription(Writer& w, const std::optional<Description>& d) {
    w.U32(d ? 1 : 0);
    if (!d) return;
    w.Text(d->apiVersion);
    w.Text(d->name);
    TextList(w, d->filters);
    TextList(w, d->descriptions);
    w.U32((d->isPicture ? 1u : 0u) | (d->isArchive ? 2u : 0u));
}

void WriteDescribeReply(Writer& w, const std::vector<std::optional<Description>>& described) {
    for (const auto& d : described) WriteDescription(w, d);
}

bool ReadDescribeReply(Reader& r, size_t count, std::vector<std::optional<Description>>& described) {
    described.clear();
    for (size_t i = 0; i < count; ++i) {
        uint32_t present = 0;
        if (!r.U32(present) || present > 1) return false;
        if (!present) {
            described.emplace_back();
            continue;
        }
        Description x;
        uint32_t kind = 0;
        if (!r.Text(x.apiVersion) || !r.Text(x.name) || !TextList(r, x.filters) || !TextList(r, x.descriptions) ||
            !r.U32(kind))
            return false;
        // Exactly one kind: a host that says otherwise is not believed.
        if (kind != 1 && kind != 2) return false;
        x.isPicture = kind == 1;
        x.isArchive = kind == 2;
        described.push_back(std::move(x));
    }
    return r.Ok();
}

void WriteLoadRequest(Writer& w, const std::u16string& file, const std::vector<std::u16string>& modules) {
    w.Text(file);
    TextList(w, modules);
}

bool ReadLoadRequest(Reader& r, std::u16string& file, std::vector<std::u16string>& modules) {
    return r.Text(file) && TextList(r, modules);
}

void WriteLoadReply(Writer& w, const LoadReply& reply) {
    w.I32(reply.result);
    w.I32(reply.winner);
    w.U32(reply.picture ? 1 : 0);
    if (reply.picture) {
        w.I32(reply.width);
        w.I32(reply.height);
        w.I32(reply.depth);
        w.Text(reply.text);
        w.U32(reply.headerBytes);
        w.U32(reply.pixelOffset);
        w.U32(reply.pixelBytes);
    }
    w.U32(static_cast<uint32_t>(reply.entries.size()));
    for (const auto& e : reply.entries) {
        w.Text(e.name);
        w.U64(e.size);
    }
}

bool ReadLoadReply(Reader& r, size_t modules, LoadReply& reply) {
    reply = LoadReply();
    uint32_t picture = 0, entries = 0;
    if (!r.I32(reply.result) || !r.I32(reply.winner) || !r.U32(picture) || picture > 1) return false;
    if (reply.winner < -1 || (reply.winner >= 0 && static_cast<size_t>(reply.winner) >= modules)) return false;
    reply.picture = picture == 1;
    if (reply.picture &&
        (!r.I32(reply.width) || !r.I32(reply.height) || !r.I32(reply.depth) || !r.Text(reply.text) ||
         !r.U32(reply.headerBytes) || !r.U32(reply.pixelOffset) || !r.U32(reply.pixelBytes)))
        return false;
    // Each entry has a name of one character at least; what is kept grows
    // with what was really read, never with what the host claims.
    if (!r.Count(entries, sizeof(uint32_t) + sizeof(char16_t) + sizeof(uint64_t)) || entries > kMostEntries)
        return false;
    for (uint32_t i = 0; i < entries; ++i) {
        Entry e;
        if (!r.Text(e.name) || e.name.empty() || !r.U64(e.size)) return false;
        reply.entries.push_back(std::move(e));
    }
    // A picture and a listing come from a winner, and never both.
    if ((reply.picture || !reply.entries.empty()) && reply.winner < 0) return false;
    if (reply.picture && !reply.entries.empty()) return false;
    return r.Ok();
}

void WriteExtractRequest(Writer& w, const ExtractRequest& request) {
    w.Text(request.module);
    w.Text(request.archive);
    w.Text(request.entry);
    w.Text(request.folder);
}

bool ReadExtractRequest(Reader& r, ExtractRequest& request) {
    return r.Text(request.module) && r.Text(request.archive) && r.Text(request.entry) && r.Text(request.folder);
}

uint32_t FirstUnheard(uint32_t heard, uint32_t made) {
    const uint32_t behind = made - heard;  // serials wrap: the distance is what counts
    return behind > kReports ? made - kReports + 1 : heard + 1;
}

uint32_t PixelOffsetFor(uint32_t headerBytes) { return (headerBytes + 15u) & ~15u; }

bool PictureFits(const LoadReply& reply, uint64_t bulkBytes) {
    if (!reply.picture || reply.headerBytes == 0 || reply.pixelBytes == 0) return false;
    if (reply.pixelOffset != PixelOffsetFor(reply.headerBytes) || reply.pixelOffset < reply.headerBytes) return false;
    return uint64_t{reply.pixelOffset} + reply.pixelBytes <= bulkBytes;
}

}  // namespace quillmount::host
