#include "engine/wic_formats.h"

#include <algorithm>

#include "engine/folder_steps.h"

namespace tamsel {

HRESULT CreateImagingFactory(Com<IWICImagingFactory>& factory) {
    // Our own copy of the class: the platform's is in an import library we need for nothing else.
    constexpr CLSID kImagingFactory = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
    return CoCreateInstance(kImagingFactory, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWICImagingFactory),
                            reinterpret_cast<void**>(factory.put()));
}

std::vector<std::wstring> WicFileExtensions() {
    std::vector<std::wstring> out;
    Com<IWICImagingFactory> factory;
    if (FAILED(CreateImagingFactory(factory))) return out;
    Com<IEnumUnknown> components;
    if (FAILED(factory->CreateComponentEnumerator(WICDecoder, WICComponentEnumerateDefault, components.put())))
        return out;
    for (;;) {
        Com<IUnknown> component;
        ULONG fetched = 0;
        if (components->Next(1, component.put(), &fetched) != S_OK || !fetched) break;
        Com<IWICBitmapDecoderInfo> info;
        if (FAILED(component->QueryInterface(__uuidof(IWICBitmapDecoderInfo), reinterpret_cast<void**>(info.put()))))
            continue;
        UINT length = 0;
        if (FAILED(info->GetFileExtensions(0, nullptr, &length)) || length == 0 || length > 4096) continue;
        std::wstring text(length, L'\0');
        if (FAILED(info->GetFileExtensions(length, text.data(), &length))) continue;
        text.resize(wcsnlen(text.c_str(), text.size()));
        // Commas as documented; some systems' registrations use semicolons.
        std::replace(text.begin(), text.end(), L',', L';');
        for (std::wstring& e : SplitPatterns(text)) out.push_back(std::move(e));
    }
    return out;
}

}  // namespace tamsel
