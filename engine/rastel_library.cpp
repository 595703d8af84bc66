#include "engine/rastel_library.h"

#include <windows.h>

#include "pixelbuffer/rastel.h"

namespace tamsel::rastel {
namespace {

struct Exports {
    decltype(&RastelCreate) create = nullptr;
    decltype(&RastelDelete) destroy = nullptr;
    decltype(&RastelChangeSize) changeSize = nullptr;
    decltype(&RastelGetData) getData = nullptr;
    decltype(&RastelSetData) setData = nullptr;
};

template <typename F>
void Bind(HMODULE m, const char* name, F& f) {
    f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

const Exports& Library() {
    static const Exports exports = [] {
        Exports e;
        // Beside the program first: the system's search order puts its folder first.
        if (HMODULE m = LoadLibraryW(L"Rastel.dll")) {
            Bind(m, "RastelCreate", e.create);
            Bind(m, "RastelDelete", e.destroy);
            Bind(m, "RastelChangeSize", e.changeSize);
            Bind(m, "RastelGetData", e.getData);
            Bind(m, "RastelSetData", e.setData);
        }
        return e;
    }();
    return exports;
}

}  // namespace

intptr_t Create(intptr_t w, intptr_t h) { return Library().create ? Library().create(w, h) : 0; }
intptr_t Delete(intptr_t handle) { return Library().destroy ? Library().destroy(handle) : 0; }
intptr_t ChangeSize(intptr_t handle, intptr_t w, intptr_t h) {
    return Library().changeSize ? Library().changeSize(handle, w, h) : 0;
}
intptr_t GetData(intptr_t handle, void* d) { return Library().getData ? Library().getData(handle, d) : 0; }
intptr_t SetData(intptr_t handle, const void* s) { return Library().setData ? Library().setData(handle, s) : 0; }

}  // namespace tamsel::rastel
