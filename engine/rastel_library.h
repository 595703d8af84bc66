#pragma once
// The pixel buffer library, loaded by name on the first call of an export.
// Without the library every call answers 0, as for an unknown handle.
#include <cstdint>

namespace tamsel::rastel {

intptr_t Create(intptr_t width, intptr_t height);
intptr_t Delete(intptr_t handle);
intptr_t ChangeSize(intptr_t handle, intptr_t width, intptr_t height);
intptr_t GetData(intptr_t handle, void* destination);
intptr_t SetData(intptr_t handle, const void* source);

}  // namespace tamsel::rastel
