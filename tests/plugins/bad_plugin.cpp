// Picture plug-ins that misbehave. One claims every file there is and makes a
// 2 x 2 magenta picture of it, with progress. The others misbehave on files
// beginning with "CRSH" (one already when it describes itself), each in one
// of the ways a plug-in can take its host process down or hold it: a write
// through null in IsSupported, in GetPicture or right after a progress
// report, a stack overflow, an exit of the whole process, an endless loop
// that reports nothing, a write past a heap block before saying the file is
// broken. Others keep their host busy while describing themselves: with a
// message box the user has to close, or for ever. Every other file they
// leave alone.
#include "plugin_common.h"

#ifndef CLAIMED_SIZE
#define CLAIMED_SIZE 1
#endif

namespace {

const char* const kInfo[] = {"00IN", "Misbehaving test plug-in", "*.crsh", "Crash pictures"};

bool Ours(const void* header) {
#ifdef CLAIMS_ALL
    return header != nullptr;
#else
    const auto* h = static_cast<const uint8_t*>(header);
    return h && h[0] == 'C' && h[1] == 'R' && h[2] == 'S' && h[3] == 'H';
#endif
}

void WriteThroughNull() { *static_cast<volatile int*>(nullptr) = 1; }

__attribute__((noinline)) int Deeper(int n) {
    volatile char frame[4096];
    frame[0] = static_cast<char>(n);
    return Deeper(n + 1) + frame[0];
}

}  // namespace

SPI_EXPORT int WINAPI GetPluginInfo(int index, char* buffer, int length) {
#ifdef BAD_INFO
    if (index == 1) WriteThroughNull();
#endif
#ifdef BAD_INFO_BOX
    static bool told = false;
    if (!told) {
        told = true;
        MessageBoxW(nullptr, L"定義ファイルが見つからないか、設定がありません", L"Misbehaving test plug-in", MB_OK);
    }
#endif
#ifdef BAD_INFO_HANG
    for (;;) Sleep(50);
#endif
    return InfoString(kInfo, 4, index, buffer, length);
}

SPI_EXPORT int WINAPI IsSupported(const char*, void* header) {
    if (!Ours(header)) return 0;
#ifdef BAD_SUPPORTED
    WriteThroughNull();
#endif
    return 1;
}

SPI_EXPORT int WINAPI GetPictureInfo(const char*, SusieLong, unsigned, PictureInfoRecord* info) {
    std::memset(info, 0, sizeof *info);
    info->width = info->height = CLAIMED_SIZE;
    info->colorDepth = 24;
    return kOk;
}

SPI_EXPORT int WINAPI GetPicture(const char*, SusieLong, unsigned, HLOCAL* header, HLOCAL* pixels, ProgressFn progress,
                                 SusieLong data) {
#if defined(BAD_DECODE)
    WriteThroughNull();
#elif defined(BAD_AFTER_PROGRESS)
    if (progress) progress(0, 1, data);
    WriteThroughNull();
#elif defined(BAD_STACK)
    return Deeper(0);
#elif defined(BAD_EXIT)
    ExitProcess(7);
#elif defined(BAD_ENDLESS)
    for (;;) Sleep(5);
#elif defined(BAD_HEAP)
    // Over the end of a block and into what the heap keeps beside it: the
    // plug-in's own heap, as a plug-in's own runtime would keep one, which
    // nothing else in the process touches again.
    static HANDLE own = HeapCreate(0, 0, 0);
    auto* block = static_cast<uint8_t*>(HeapAlloc(own, 0, 24));
    auto* next = static_cast<uint8_t*>(HeapAlloc(own, 0, 24));
    if (block && next) std::memset(block, 0xA5, static_cast<size_t>(next - block) + 16);
    return kBrokenData;
#elif defined(CLAIMS_ALL)
    BITMAPINFOHEADER h{sizeof h, CLAIMED_SIZE, -CLAIMED_SIZE, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const uint8_t magenta[16] = {0xFF, 0, 0xFF, 0xFF, 0, 0xFF, 0, 0, 0xFF, 0, 0xFF, 0xFF, 0, 0xFF, 0, 0};
    for (int row = 0; row <= CLAIMED_SIZE; ++row)
        if (progress && progress(row, CLAIMED_SIZE, data)) return kAborted;
    *header = BlockOf(&h, sizeof h);
    *pixels = BlockOf(magenta, sizeof magenta);
    return kOk;
#endif
    (void)header, (void)pixels, (void)progress, (void)data;
    return kUnknownFormat;
}
