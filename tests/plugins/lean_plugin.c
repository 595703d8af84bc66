/* A picture plug-in as small as they come: no C runtime, only the system.
   It recognises files that start with "LEAN" and decodes none of them, so a
   folder of its copies costs the host nothing but the asking. */
#include <windows.h>

#define SPI_EXPORT __declspec(dllexport)

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance, (void)reason, (void)reserved;
    return TRUE;
}

static const char* const kInfo[] = {"00IN", "Lean test plug-in", "*.lean", "Lean pictures"};

SPI_EXPORT int WINAPI GetPluginInfo(int index, char* buffer, int length) {
    const char* s;
    int n = 0;
    if (index < 0 || index >= 4 || !buffer || length <= 0) return 0;
    for (s = kInfo[index]; *s && n < length; ++s) buffer[n++] = *s;
    if (n < length) buffer[n] = 0;
    return n;
}

SPI_EXPORT int WINAPI IsSupported(const char* name, void* header) {
    const unsigned char* h = (const unsigned char*)header;
    (void)name;
    return h && h[0] == 'L' && h[1] == 'E' && h[2] == 'A' && h[3] == 'N';
}

SPI_EXPORT int WINAPI GetPictureInfo(const char* source, INT_PTR length, unsigned flag, void* info) {
    (void)source, (void)length, (void)flag, (void)info;
    return 2; /* unknown format */
}

SPI_EXPORT int WINAPI GetPicture(const char* source, INT_PTR length, unsigned flag, HLOCAL* header, HLOCAL* pixels,
                                 void* progress, INT_PTR data) {
    (void)source, (void)length, (void)flag, (void)header, (void)pixels, (void)progress, (void)data;
    return 2;
}
