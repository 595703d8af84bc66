#pragma once
// The platform's imaging component: its factory, and the file extensions of
// its installed decoders. Used by the viewer and by the control's installer
// registration.
#include <windows.h>
#include <wincodec.h>

#include <string>
#include <vector>

namespace tamsel {

// A component reference, released at the end of its scope.
template <class T>
struct Com {
    T* p = nullptr;
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    ~Com() {
        if (p) p->Release();
    }
    T** put() { return &p; }
    T* operator->() const { return p; }
};

HRESULT CreateImagingFactory(Com<IWICImagingFactory>& factory);

// The file extensions of the installed decoders (".png", ".tif", ...), in
// the order the decoders list them; empty when the component is not there.
std::vector<std::wstring> WicFileExtensions();

}  // namespace tamsel
