// A picture plug-in for binary PPM (P6, 24-bit, rows top first) and PGM (P5,
// 8-bit grey palette, rows bottom first). A "# " comment becomes the picture's
// text. Variants for the host's edge cases are chosen at compile time.
#include "plugin_common.h"

#ifndef PLUGIN_VERSION
#define PLUGIN_VERSION "00IN"
#endif
#if defined(PLUGIN_FILTER_BLANK)
#define PLUGIN_FILTER "*.jpg; *.jpeg"
#elif !defined(PLUGIN_FILTER)
#define PLUGIN_FILTER "*.ppm;*.pgm"
#endif

namespace {

#ifdef PLUGIN_LONG_NAME
// Longer than the host's buffer: the copy fills it without a NUL.
const std::string kLongName(3000, 'N');
#define PLUGIN_NAME kLongName.c_str()
#else
#define PLUGIN_NAME "PNM test plug-in"
#endif

const char* const kInfo[] = {PLUGIN_VERSION, PLUGIN_NAME, PLUGIN_FILTER, "PNM pictures", "*.pnm",
                             "Other PNM pictures"};
#if defined(PLUGIN_THREE_STRINGS)
constexpr int kInfoCount = 3;
#elif defined(PLUGIN_FIVE_STRINGS)
constexpr int kInfoCount = 5;  // the fifth has no partner
#else
constexpr int kInfoCount = 6;
#endif

struct Pnm {
    bool grey = false;
    int width = 0, height = 0;
    size_t data = 0;  // offset of the pixels
    std::string comment;
};

bool Token(const std::vector<uint8_t>& f, size_t& i, int& value, std::string* comment) {
    for (;;) {
        while (i < f.size() && isspace(f[i])) ++i;
        if (i < f.size() && f[i] == '#') {
            size_t start = i + 1;
            while (i < f.size() && f[i] != '\n') ++i;
            if (comment && comment->empty()) {
                *comment = std::string(f.begin() + static_cast<long>(start), f.begin() + static_cast<long>(i));
                if (!comment->empty() && (*comment)[0] == ' ') comment->erase(0, 1);
            }
            continue;
        }
        break;
    }
    if (i >= f.size() || !isdigit(f[i])) return false;
    long v = 0;
    while (i < f.size() && isdigit(f[i]) && v < 100000000) v = v * 10 + (f[i++] - '0');
    value = static_cast<int>(v);
    return true;
}

bool Parse(const std::vector<uint8_t>& f, Pnm& p) {
    if (f.size() < 3 || f[0] != 'P' || (f[1] != '5' && f[1] != '6')) return false;
    p.grey = f[1] == '5';
    size_t i = 2;
    int maxval = 0;
    if (!Token(f, i, p.width, &p.comment) || !Token(f, i, p.height, &p.comment) || !Token(f, i, maxval, &p.comment))
        return false;
    if (p.width <= 0 || p.height <= 0 || maxval != 255 || i >= f.size()) return false;
    p.data = i + 1;
    const uint64_t need = static_cast<uint64_t>(p.width) * p.height * (p.grey ? 1 : 3);
    return p.data + need <= f.size();
}

}  // namespace

SPI_EXPORT int WINAPI GetPluginInfo(int index, char* buffer, int length) {
    return InfoString(kInfo, kInfoCount, index, buffer, length);
}

SPI_EXPORT int WINAPI IsSupported(const char* name, void* header) {
    LogLine(std::string("supported ") + (name ? name : ""));
    const auto* h = static_cast<const uint8_t*>(header);
    return h && h[0] == 'P' && (h[1] == '5' || h[1] == '6') && isspace(h[2]);
}

#ifndef PLUGIN_NO_PICTURE_INFO
SPI_EXPORT int WINAPI GetPictureInfo(const char* source, SusieLong, unsigned flag, PictureInfoRecord* info) {
    std::vector<uint8_t> f;
    Pnm p;
    if ((flag & 7) != 0 || !ReadWholeFile(source, f) || !Parse(f, p)) return kUnknownFormat;
    std::memset(info, 0, sizeof *info);
    info->width = p.width;
    info->height = p.height;
    info->colorDepth = p.grey ? 8 : 24;
    info->textHandle = 0;
    if (!p.comment.empty()) {
        HLOCAL text = BlockOf(p.comment.c_str(), p.comment.size());  // no NUL: the host bounds it
#ifdef PLUGIN_PACKED_INFO
        // The handle packed right after the colour depth, as some 64-bit plug-ins write it.
        const uint64_t handle = reinterpret_cast<uintptr_t>(text);
        std::memcpy(reinterpret_cast<uint8_t*>(info) + 22, &handle, sizeof(void*));
#else
        info->textHandle = reinterpret_cast<uintptr_t>(text);
#endif
    }
    return kOk;
}
#endif

SPI_EXPORT int WINAPI GetPicture(const char* source, SusieLong, unsigned flag, HLOCAL* header, HLOCAL* pixels,
                                 ProgressFn progress, SusieLong data) {
    std::vector<uint8_t> f;
    Pnm p;
    if ((flag & 7) != 0 || !ReadWholeFile(source, f) || !Parse(f, p)) return kUnknownFormat;
#ifdef PLUGIN_FAIL_DECODE
    return kBrokenData;
#endif
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD grey[256];
    } bi{};
    bi.h.biSize = sizeof bi.h;
    bi.h.biWidth = p.width;
    bi.h.biHeight = p.grey ? p.height : -p.height;  // grey rows bottom first, colour rows top first
    bi.h.biPlanes = 1;
    bi.h.biBitCount = p.grey ? 8 : 24;
    for (int i = 0; i < 256; ++i) bi.grey[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
    const size_t stride = ((static_cast<size_t>(p.width) * bi.h.biBitCount + 31) / 32) * 4;
    std::vector<uint8_t> bits(stride * p.height, 0);
    for (int y = 0; y < p.height; ++y) {
        if (progress && y % 2 == 0 && progress(y, p.height, data)) {
            LogLine("aborted " + std::to_string(y));
            return kAborted;
        }
#ifdef PLUGIN_SLOW
        if (y % 2 == 0) Sleep(PLUGIN_SLOW);  // a decoder slow enough to watch
#endif
        const int row = p.grey ? p.height - 1 - y : y;
        uint8_t* out = &bits[stride * row];
        const uint8_t* in = &f[p.data + static_cast<size_t>(y) * p.width * (p.grey ? 1 : 3)];
        for (int x = 0; x < p.width; ++x) {
            if (p.grey) {
                out[x] = in[x];
            } else {
                out[3 * x] = in[3 * x + 2], out[3 * x + 1] = in[3 * x + 1], out[3 * x + 2] = in[3 * x];
            }
        }
    }
    if (progress && progress(p.height, p.height, data)) return kAborted;
    LogLine("decoded");
    *header = BlockOf(&bi, sizeof bi.h + (p.grey ? sizeof bi.grey : 0));
    *pixels = BlockOf(bits.data(), bits.size());
    return *header && *pixels ? kOk : kNoMemory;
}
