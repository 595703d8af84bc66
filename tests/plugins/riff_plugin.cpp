// RIFF pictures of the tests' own (a WebP container): the pixels come from a
// private "TPIX" chunk (width, height, then RGB rows top first), so that a
// container's other chunks (EXIF) travel through a plug-in untouched.
#include "plugin_common.h"

namespace {

const char* const kInfo[] = {"00IN", "RIFF test pictures", "*.webp", "RIFF test pictures"};

// The TPIX chunk's pixels, bounded by the file.
bool Pixels(const std::vector<uint8_t>& f, uint32_t& w, uint32_t& h, size_t& at) {
    if (f.size() < 12 || std::memcmp(f.data(), "RIFF", 4) || std::memcmp(f.data() + 8, "WEBP", 4)) return false;
    for (size_t c = 12; c + 8 <= f.size();) {
        uint32_t n;
        std::memcpy(&n, &f[c + 4], 4);
        if (n > f.size() - c - 8) return false;
        if (std::memcmp(&f[c], "TPIX", 4) == 0 && n >= 8) {
            std::memcpy(&w, &f[c + 8], 4);
            std::memcpy(&h, &f[c + 12], 4);
            at = c + 16;
            return w && h && w <= 4096 && h <= 4096 && uint64_t{w} * h * 3 <= n - 8;
        }
        c += 8 + n + (n & 1);
    }
    return false;
}

}  // namespace

SPI_EXPORT int WINAPI GetPluginInfo(int index, char* buffer, int length) {
    return InfoString(kInfo, 4, index, buffer, length);
}

SPI_EXPORT int WINAPI IsSupported(const char*, void* header) {
    const auto* h = static_cast<const uint8_t*>(header);
    return h && std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WEBP", 4) == 0;
}

SPI_EXPORT int WINAPI GetPictureInfo(const char* source, SusieLong, unsigned, PictureInfoRecord* info) {
    std::vector<uint8_t> f;
    uint32_t w = 0, h = 0;
    size_t at = 0;
    if (!ReadWholeFile(source, f) || !Pixels(f, w, h, at)) return kUnknownFormat;
    std::memset(info, 0, sizeof *info);
    info->width = static_cast<int>(w);
    info->height = static_cast<int>(h);
    info->colorDepth = 24;
    return kOk;
}

SPI_EXPORT int WINAPI GetPicture(const char* source, SusieLong, unsigned, HLOCAL* header, HLOCAL* pixels, ProgressFn,
                                 SusieLong) {
    std::vector<uint8_t> f;
    uint32_t w = 0, h = 0;
    size_t at = 0;
    if (!ReadWholeFile(source, f) || !Pixels(f, w, h, at)) return kUnknownFormat;
    BITMAPINFOHEADER bi{sizeof bi, static_cast<LONG>(w), -static_cast<LONG>(h), 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const size_t stride = (w * 3 + 3) & ~size_t{3};
    std::vector<uint8_t> bits(stride * h, 0);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) bits[y * stride + x * 3 + c] = f[at + (y * w + x) * 3 + 2 - c];
    *header = BlockOf(&bi, sizeof bi);
    *pixels = BlockOf(bits.data(), bits.size());
    return *header && *pixels ? kOk : kNoMemory;
}
