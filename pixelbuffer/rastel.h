#pragma once
// The pixel buffer library's exports: up to 32 off-screen 24-bit buffers, each
// a DIB section selected into its own memory DC, the DC being the handle.
// Arguments and results are pointer-sized (32-bit in the 32-bit build).
#include <cstdint>

#ifdef _WIN32
#define RASTEL_CALL __stdcall
#else
#define RASTEL_CALL
#endif

extern "C" {
intptr_t RASTEL_CALL RastelCreate(intptr_t width, intptr_t height);
intptr_t RASTEL_CALL RastelDelete(intptr_t handle);
intptr_t RASTEL_CALL RastelChangeSize(intptr_t handle, intptr_t width, intptr_t height);
// Rows top first, width x 3 bytes each (blue, green, red), no gaps between rows.
intptr_t RASTEL_CALL RastelGetData(intptr_t handle, void* destination);
intptr_t RASTEL_CALL RastelSetData(intptr_t handle, const void* source);
}
