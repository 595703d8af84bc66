#include "engine/wic_formats.h"

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
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find_first_of(L",;", start);
            if (end == std::wstring::npos) end = text.size();
            std::wstring e = text.substr(start, end - start);
            e.erase(0, e.find_first_not_of(L' '));
            e.erase(e.find_last_not_of(L' ') + 1);
            if (!e.empty()) out.push_back(e);
            start = end + 1;
        }
    }
    return out;
}

}  // namespace tamsel
