// An archive plug-in for uncompressed TAR files: lists the regular files and
// extracts one into a folder.
#include <string>

#include "plugin_common.h"

namespace {

const char* const kInfo[] = {"00AM", "TAR test plug-in", "*.tar", "TAR archives"};

struct Member {
    std::string path, name;  // path with "\" separators and a closing "\", or empty
    uint64_t header = 0, size = 0;
};

uint64_t Octal(const uint8_t* p, size_t n) {
    uint64_t v = 0;
    for (size_t i = 0; i < n && p[i] >= '0' && p[i] <= '7'; ++i) v = v * 8 + (p[i] - '0');
    return v;
}

std::vector<Member> List(const std::vector<uint8_t>& f) {
    std::vector<Member> list;
    for (uint64_t at = 0; at + 512 <= f.size();) {
        const uint8_t* h = &f[at];
        if (h[0] == 0) break;
        const uint64_t size = Octal(h + 124, 12);
        std::string full(reinterpret_cast<const char*>(h), strnlen(reinterpret_cast<const char*>(h), 100));
        if (h[156] == '0' || h[156] == 0) {
            Member m;
            for (char& c : full)
                if (c == '/') c = '\\';
            const size_t sep = full.find_last_of('\\');
            m.path = sep == std::string::npos ? "" : full.substr(0, sep + 1);
            m.name = sep == std::string::npos ? full : full.substr(sep + 1);
            m.header = at;
            m.size = size;
            list.push_back(m);
        }
        at += 512 + (size + 511) / 512 * 512;
    }
    return list;
}

void Fill(EntryRecord& r, const Member& m) {
    std::memset(&r, 0, sizeof r);
    std::memcpy(r.method, "TAR", 3);
    r.position = static_cast<decltype(r.position)>(m.header);
    r.compressedSize = static_cast<decltype(r.compressedSize)>(m.size);
    r.fileSize = static_cast<decltype(r.fileSize)>(m.size);
    std::strncpy(r.path, m.path.c_str(), sizeof r.path - 1);
    std::strncpy(r.fileName, m.name.c_str(), sizeof r.fileName - 1);
}

}  // namespace

SPI_EXPORT int WINAPI GetPluginInfo(int index, char* buffer, int length) {
    return InfoString(kInfo, 4, index, buffer, length);
}

SPI_EXPORT int WINAPI IsSupported(const char*, void* header) {
    return header && std::memcmp(static_cast<const uint8_t*>(header) + 257, "ustar", 5) == 0;
}

SPI_EXPORT int WINAPI GetArchiveInfo(const char* source, SusieLong, unsigned flag, HLOCAL* listHandle) {
    std::vector<uint8_t> f;
    if ((flag & 7) != 0 || !ReadWholeFile(source, f)) return kReadError;
    LogLine(std::string("list ") + source);
    const std::vector<Member> list = List(f);
    std::vector<EntryRecord> records(list.size() + 1);  // the closing record has empty names
    for (size_t i = 0; i < list.size(); ++i) Fill(records[i], list[i]);
    std::memset(&records.back(), 0, sizeof(EntryRecord));
    *listHandle = BlockOf(records.data(), records.size() * sizeof(EntryRecord));
    return *listHandle ? kOk : kNoMemory;
}

SPI_EXPORT int WINAPI GetFileInfo(const char* source, SusieLong, const char* entry, unsigned, EntryRecord* info) {
    std::vector<uint8_t> f;
    if (!ReadWholeFile(source, f)) return kReadError;
    for (const Member& m : List(f)) {
        if (m.path + m.name == entry) {
            Fill(*info, m);
            return kOk;
        }
    }
    return kUnknownFormat;
}

SPI_EXPORT int WINAPI GetFile(const char* source, SusieLong position, char* destination, unsigned flag,
                              ProgressFn progress, SusieLong data) {
    std::vector<uint8_t> f;
    if ((flag & 0x700) != 0 || !ReadWholeFile(source, f)) return kReadError;
    for (const Member& m : List(f)) {
        if (m.header != static_cast<uint64_t>(position)) continue;
        if (progress && progress(0, 1, data)) return kAborted;
        LogLine("extract " + m.name);
        std::string out = destination;
        if (!out.empty() && out.back() != '\\') out += '\\';
        out += m.name;
        HANDLE h = CreateFileA(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return kReadError;
        DWORD wrote = 0;
        WriteFile(h, &f[m.header + 512], static_cast<DWORD>(m.size), &wrote, nullptr);
        CloseHandle(h);
        if (progress) progress(1, 1, data);
        return wrote == m.size ? kOk : kReadError;
    }
    return kUnknownFormat;
}
