// A plug-in host that lies, for the control's tests: started as the real one
// is (the block and events as inherited handles), it answers every request
// in the one way TAMSEL_LIE names, and notes each start in TAMSEL_LIE_LOG.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "pluginhost/host/host_protocol.h"

using namespace quillmount;

namespace {

std::string Env(const char* name) {
    char value[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA(name, value, MAX_PATH);
    return n && n < MAX_PATH ? value : "";
}

void Note(const std::string& line) {
    const std::string path = Env("TAMSEL_LIE_LOG");
    if (path.empty()) return;
    if (FILE* f = std::fopen(path.c_str(), "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

HANDLE Arg(const wchar_t* text) {
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoull(text, nullptr, 16)));
}

// A 1 x 1 24-bit bitmap: its header and one padded row.
struct OnePixel {
    BITMAPINFOHEADER h{sizeof(BITMAPINFOHEADER), 1, 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    uint8_t row[4] = {0x10, 0x20, 0x30, 0};
};

host::LoadReply PictureReply() {
    host::LoadReply r;
    r.winner = 0;
    r.picture = true;
    r.width = r.height = 1;
    r.depth = 24;
    r.headerBytes = sizeof(BITMAPINFOHEADER);
    r.pixelOffset = host::PixelOffsetFor(r.headerBytes);
    r.pixelBytes = 4;
    return r;
}

// A section holding the picture: in memory, or in a file of its own.
HANDLE PictureSection(bool inAFile) {
    const OnePixel p;
    const uint32_t offset = host::PixelOffsetFor(sizeof p.h);
    HANDLE file = INVALID_HANDLE_VALUE;
    if (inAFile) {
        wchar_t path[MAX_PATH], name[MAX_PATH];
        GetTempPathW(MAX_PATH, path);
        GetTempFileNameW(path, L"liar", 0, name);
        file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE,
                           nullptr);
    }
    HANDLE section = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, offset + 4, nullptr);
    auto* view = static_cast<uint8_t*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, offset + 4));
    std::memcpy(view, &p.h, sizeof p.h);
    std::memcpy(view + offset, p.row, 4);
    UnmapViewOfFile(view);
    return section;
}

void Set(uint32_t& field, uint32_t v) { InterlockedExchange(reinterpret_cast<volatile LONG*>(&field), static_cast<LONG>(v)); }

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::string lie = Env("TAMSEL_LIE");
    Note("start " + lie);
    if (__argc != 6) return 2;
    HANDLE request = Arg(__wargv[2]), reply = Arg(__wargv[3]), progress = Arg(__wargv[4]);
    auto* block = static_cast<host::Block*>(MapViewOfFile(Arg(__wargv[1]), FILE_MAP_WRITE, 0, 0, sizeof(host::Block)));
    if (!block) return 3;
    Set(block->hostBits, lie == "bits" ? (sizeof(void*) == 8 ? 32 : 64) : sizeof(void*) * 8);
    Set(block->hostVersion, lie == "version" ? host::kVersion + 1 : host::kVersion);
    if (lie == "die" || lie == "version" || lie == "bits") return 3;
    Set(block->hostReady, 1);

    HANDLE kept[4] = {};  // sections the control is to open, alive until the next request
    for (;;) {
        if (WaitForSingleObject(request, INFINITE) != WAIT_OBJECT_0) return 0;
        if (block->op == static_cast<uint32_t>(host::Op::Quit)) return 0;
        for (HANDLE& h : kept)
            if (h) CloseHandle(h), h = nullptr;
        host::Writer w(block->reply, host::kAreaSize);
        host::LoadReply answer = PictureReply();
        block->longReplyBytes = 0;
        Set(block->bulkKind, static_cast<uint32_t>(host::Bulk::Picture));
        kept[0] = PictureSection(lie == "file");
        Set(block->bulkHandle, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(kept[0])));
        block->bulkBytes = host::PixelOffsetFor(sizeof(BITMAPINFOHEADER)) + 4;
        uint32_t serial = block->requestSerial;
        if (lie == "count") {
            w.I32(0), w.I32(0), w.U32(0), w.U32(0x7FFFFFF0);  // a listing of more entries than anything holds
        } else if (lie == "text") {
            host::WriteLoadReply(w, answer);
            std::memset(block->reply + 24, 0xFF, 4);  // the text's length, far beyond the area
        } else if (lie == "beyond") {
            answer.pixelBytes = 1u << 30;  // pixels far past the section's end
            block->bulkBytes = uint64_t{1} << 31;
            host::WriteLoadReply(w, answer);
        } else if (lie == "long") {
            // A whole reply said to lie in a section larger than any reply may be.
            kept[1] = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_RESERVE, 0,
                                         static_cast<DWORD>(host::kLargestReply * 2), nullptr);
            block->longReplyBytes = host::kLargestReply * 2;
            Set(block->longReplyHandle, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(kept[1])));
        } else if (lie == "serial") {
            host::WriteLoadReply(w, answer);
            serial += 5;  // an answer to another request
        } else if (lie == "aftercancel") {
            // Reports on through a cancel, then answers with a picture all the same.
            for (uint32_t n = 1; n <= 200; ++n) {
                block->reports[n % host::kReports] = {static_cast<int32_t>(n), 200};
                Set(block->progressSerial, n);
                SetEvent(progress);
                Sleep(2);
            }
            host::WriteLoadReply(w, answer);
        } else {
            host::WriteLoadReply(w, answer);  // "none": the truth
        }
        Set(block->replyBytes, static_cast<uint32_t>(w.Used()));
        Set(block->replySerial, serial);
        SetEvent(reply);
    }
}
