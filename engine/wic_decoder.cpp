#include "engine/wic_decoder.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "engine/pixel_compose.h"
#include "engine/wic_formats.h"

namespace tamsel {

namespace {

// Our own copy: the platform's is in an import library we need for nothing else.
constexpr GUID kBgra32 = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x0f}};

// The same bound as the clipboard's and the file format's bitmaps.
constexpr uint64_t kMaxBitmapBytes = 0x7FFFFFFF;

// The orientation the frame's metadata records, asked by the names the
// platform's decoders answer to: the photo property, the HEIF decoder's own,
// a TIFF directory's and a JPEG Exif's tag. Only a small whole number 1-8 counts.
int ReportedOrientation(IWICBitmapFrameDecode* frame) {
    Com<IWICMetadataQueryReader> reader;
    if (FAILED(frame->GetMetadataQueryReader(reader.put())) || !reader.p) return 1;
    for (const wchar_t* name : {L"System.Photo.Orientation", L"/heifProps/{ushort=1}", L"/ifd/{ushort=274}",
                                L"/app1/ifd/{ushort=274}"}) {
        PROPVARIANT value;
        PropVariantInit(&value);
        if (FAILED(reader->GetMetadataByName(name, &value))) continue;
        int found = 0;
        switch (value.vt) {
            case VT_UI2: found = value.uiVal; break;
            case VT_I2: found = value.iVal; break;
            case VT_UI4: found = value.ulVal <= 8 ? static_cast<int>(value.ulVal) : 0; break;
            case VT_I4: found = value.lVal; break;
            default: break;
        }
        PropVariantClear(&value);
        if (found >= 1 && found <= 8) return found;
    }
    return 1;
}

// The first frame of what the decoder reads.
HRESULT Decode(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, COLORREF background, forms::Picture& out,
               int* orientation, const std::atomic<bool>* cancel) {
    HRESULT hr = S_OK;
    Com<IWICBitmapFrameDecode> frame;
    if (FAILED(hr = decoder->GetFrame(0, frame.put()))) return hr;
    UINT w = 0, h = 0;
    if (FAILED(hr = frame->GetSize(&w, &h))) return hr;
    const uint64_t stride24 = (uint64_t{w} * 3 + 3) & ~uint64_t{3};
    if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF || stride24 * h > kMaxBitmapBytes)
        return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
    Com<IWICFormatConverter> converter;
    if (FAILED(hr = factory->CreateFormatConverter(converter.put()))) return hr;
    if (FAILED(hr = converter->Initialize(frame.p, kBgra32, WICBitmapDitherTypeNone, nullptr, 0.0,
                                          WICBitmapPaletteTypeCustom)))
        return hr;

    void* bits = nullptr;
    HBITMAP bitmap = forms::CreateDib24(static_cast<int>(w), static_cast<int>(h), &bits);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return E_OUTOFMEMORY;
    }
    // Decoded a band at a time, so a large picture is never held twice.
    const uint64_t stride32 = uint64_t{w} * 4;
    const UINT bandRows = static_cast<UINT>(std::clamp<uint64_t>((uint64_t{4} << 20) / stride32, 1, h));
    const uint32_t back = (uint32_t{GetRValue(background)} << 16) | (uint32_t{GetGValue(background)} << 8) |
                          GetBValue(background);
    try {
        std::vector<uint8_t> band(static_cast<size_t>(stride32 * bandRows));
        for (UINT top = 0; top < h && SUCCEEDED(hr); top += bandRows) {
            if (cancel && cancel->load(std::memory_order_relaxed)) {
                hr = E_ABORT;
                break;
            }
            const UINT rows = std::min(bandRows, h - top);
            const WICRect rect{0, static_cast<INT>(top), static_cast<INT>(w), static_cast<INT>(rows)};
            hr = converter->CopyPixels(&rect, static_cast<UINT>(stride32), static_cast<UINT>(stride32 * rows),
                                       band.data());
            for (UINT r = 0; SUCCEEDED(hr) && r < rows; ++r)
                ComposeRowOnColour(band.data() + stride32 * r, static_cast<uint8_t*>(bits) + stride24 * (top + r),
                                   static_cast<int>(w), back);
        }
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr)) {
        DeleteObject(bitmap);
        return hr;
    }
    forms::Picture picture = forms::Picture::FromBitmap(bitmap);
    if (picture.Empty()) return E_OUTOFMEMORY;
    if (orientation) *orientation = ReportedOrientation(frame.p);
    out = picture;
    return S_OK;
}

}  // namespace

HRESULT LoadWicPicture(const std::wstring& path, COLORREF background, forms::Picture& out, int* orientation,
                       const std::atomic<bool>* cancel) {
    Com<IWICImagingFactory> factory;
    HRESULT hr = CreateImagingFactory(factory);
    if (FAILED(hr)) return hr;
    Com<IWICBitmapDecoder> decoder;
    if (FAILED(hr = factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                       WICDecodeMetadataCacheOnDemand, decoder.put())))
        return hr;
    return Decode(factory.p, decoder.p, background, out, orientation, cancel);
}

HRESULT LoadWicPictureFromMemory(const uint8_t* data, size_t size, COLORREF background, forms::Picture& out,
                                 int* orientation, const std::atomic<bool>* cancel) {
    if (!data || size == 0 || size > 0xFFFFFFFF) return WINCODEC_ERR_BADIMAGE;
    Com<IWICImagingFactory> factory;
    HRESULT hr = CreateImagingFactory(factory);
    if (FAILED(hr)) return hr;
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    if (FAILED(hr = factory->CreateStream(stream.put())) ||
        FAILED(hr = stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size))) ||
        FAILED(hr = factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand, decoder.put())))
        return hr;
    return Decode(factory.p, decoder.p, background, out, orientation, cancel);
}

}  // namespace tamsel
