// tamsel2-bench hq                          the scaler against its literal definition
// tamsel2-bench scale IN.bmp PERCENT OUT.bmp  the high-quality result of a 24-bit BMP
// tamsel2-bench startup PICTURE.jpg           first painted window, the viewer beside tamsel2-bare
// tamsel2-bench trial                         the cost of asking 19 plug-ins that refuse a file
// tamsel2-bench host                          a plug-in decode in a host process (each bitness) beside one in process
// tamsel2-bench orientation PHOTO.jpg         opening the photo with Exif orientation 6 beside orientation 1
// tamsel2-bench step PHOTO.jpg                a step through a folder of the photo, without and with read-ahead
// tamsel2-bench paint-while-loading PHOTO.jpg how soon a paint is answered while the photo decodes
// tamsel2-bench archive PHOTO.jpg             listing a ZIP of 2 000 entries; a step through its photos beside a folder's
// tamsel2-bench described PICTURE             start-up with 20 plug-ins described by an earlier start, beside none
// tamsel2-bench peak PICTURE.jpg              peak working set, the viewer beside tamsel2-bare
// tamsel2-bench held                          peak working set of 20 held PageDowns at 1000 %, beside one rendering
// tamsel2-bench cancel                        from a new view to the old rendering's memory freed
#include <windows.h>
#include <ole2.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/mdlTamsel.h"
#include "bench/literal_scaler.h"
#include "bench/whole_program.h"
#include "engine/bmp_file.h"
#include "engine/frmBackground.h"
#include "engine/hq_scaler.h"
#include "engine/susie_plugin.h"
#include "forms/form.h"
#include "forms/screen.h"
#include "windows/frmNormal.h"

using namespace tamsel;

namespace {

double MedianMs(int runs, const std::function<void()>& work) {
    work();  // warm-up
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        work();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// A photograph-like test picture: smooth gradients with a little noise.
std::vector<uint8_t> MakePicture(int w, int h) {
    std::vector<uint8_t> p(static_cast<size_t>(w) * h * 3);
    std::mt19937 rng(12345);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* px = &p[(static_cast<size_t>(y) * w + x) * 3];
            const int noise = static_cast<int>(rng() % 9) - 4;
            px[0] = static_cast<uint8_t>(std::clamp(x * 255 / w + noise, 0, 255));
            px[1] = static_cast<uint8_t>(std::clamp(y * 255 / h + noise, 0, 255));
            px[2] = static_cast<uint8_t>(std::clamp(((x ^ y) & 63) * 4 + noise, 0, 255));
        }
    return p;
}

int Hq() {
    struct Case {
        int w, h, p;
    };
    const Case cases[] = {{1920, 1080, 200}, {6000, 4000, 25}, {4000, 3000, 150}, {4000, 3000, 33}};
    for (const Case& c : cases) {
        const std::vector<uint8_t> src = MakePicture(c.w, c.h);
        const int dw = c.w * c.p / 100, dh = c.h * c.p / 100;
        std::vector<uint8_t> fast(static_cast<size_t>(dw) * dh * 3), literal(fast.size());
        const double hq = MedianMs(21, [&] { HqScaler(src.data(), c.w, c.h, fast.data(), dw, dh, c.p).Run(); });
        const double lit = MedianMs(5, [&] { LiteralSmoothResize(src.data(), c.w, c.h, literal.data(), dw, dh, c.p); });
        if (fast != literal) {
            std::printf("case=%dx%d@%d MISMATCH\n", c.w, c.h, c.p);
            return 1;
        }
        std::printf("case=%dx%d@%d hq_ms=%.2f literal_ms=%.2f ratio=%.1f\n", c.w, c.h, c.p, hq, lit, lit / hq);
        std::fflush(stdout);
    }

    // The whole run in the engine: copies through the pixel buffer, the
    // screen-capped target, page faults of the fresh arrays.
    frmBackground.Load();
    const int w = 4000, h = 3000;
    std::vector<uint8_t> pixels = MakePicture(w, h);
    void* bits = nullptr;
    HBITMAP bmp = forms::CreateDib24(w, h, &bits);
    const int stride = (w * 3 + 3) & ~3;
    for (int y = 0; y < h; ++y) std::memcpy(static_cast<uint8_t*>(bits) + y * stride, &pixels[y * w * 3], w * 3);
    if (!frmBackground.picLoad.SetPicture(forms::Picture::FromBitmap(bmp))) return 1;
    CurrentViewSize = 150;
    // Without a screen the target is capped to nothing and the run measures no pixel work.
    const int screenW = forms::Screen::Width() / forms::Screen::TwipsPerPixelX();
    const int screenH = forms::Screen::Height() / forms::Screen::TwipsPerPixelY();
    const double total = MedianMs(5, [] {
        frmBackground.NewView();
        frmBackground.FirstResizePicture();
        frmBackground.StartRender(nullptr, nullptr);  // without a label: computed here
    });
    const int dw = frmBackground.picBlt.ScaleWidth(), dh = frmBackground.picBlt.ScaleHeight();
    if (screenW <= 0 || screenH <= 0 || dw != std::min(w * 3 / 2, screenW) || dh != std::min(h * 3 / 2, screenH)) {
        std::fprintf(stderr, "case=engine-4000x3000@150 not measured: the screen is %dx%d and the target %dx%d\n",
                     screenW, screenH, dw, dh);
        frmBackground.Unload();
        return 3;
    }
    std::vector<uint8_t> out(static_cast<size_t>(dw) * dh * 3);
    const double pixel = MedianMs(5, [&] { HqScaler(pixels.data(), w, h, out.data(), dw, dh, 150).Run(); });
    std::printf("case=engine-4000x3000@150 total_ms=%.2f pixel_ms=%.2f\n", total, pixel);
    frmBackground.Unload();
    return 0;
}

bool ReadBmp24(const std::wstring& path, int& w, int& h, std::vector<uint8_t>& pixels) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    GetFileSizeEx(f, &size);
    std::vector<uint8_t> b(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    ReadFile(f, b.data(), static_cast<DWORD>(b.size()), &read, nullptr);
    CloseHandle(f);
    if (read != b.size() || b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
    auto u32 = [&](size_t at) { uint32_t v; std::memcpy(&v, &b[at], 4); return v; };
    auto u16 = [&](size_t at) { uint16_t v; std::memcpy(&v, &b[at], 2); return v; };
    const uint32_t offset = u32(10);
    const int32_t width = static_cast<int32_t>(u32(18)), height = static_cast<int32_t>(u32(22));
    if (u16(28) != 24 || u32(30) != 0 || width <= 0 || height == 0) return false;
    w = width;
    h = height < 0 ? -height : height;
    const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
    if (offset + stride * h > b.size()) return false;
    pixels.resize(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        const int fileRow = height < 0 ? y : h - 1 - y;
        std::memcpy(&pixels[static_cast<size_t>(y) * w * 3], &b[offset + fileRow * stride], static_cast<size_t>(w) * 3);
    }
    return true;
}

int Scale(const std::wstring& in, int percent, const std::wstring& out) {
    int w = 0, h = 0;
    std::vector<uint8_t> src;
    if (!ReadBmp24(in, w, h, src)) {
        std::fprintf(stderr, "cannot read a 24-bit BMP\n");
        return 1;
    }
    const int dw = w * percent / 100, dh = h * percent / 100;
    if (percent < 1 || dw <= 0 || dh <= 0) {
        std::fprintf(stderr, "no target pixel\n");
        return 1;
    }
    std::vector<uint8_t> dst(static_cast<size_t>(dw) * dh * 3);
    HqScaler(src.data(), w, h, dst.data(), dw, dh, percent).Run();
    DibImage img;
    img.width = dw;
    img.height = dh;
    const size_t stride = DibStride(dw, 24);
    img.rows.assign(stride * dh, 0);
    for (int y = 0; y < dh; ++y)
        std::memcpy(&img.rows[(dh - 1 - y) * stride], &dst[static_cast<size_t>(y) * dw * 3], static_cast<size_t>(dw) * 3);
    std::vector<uint8_t> bytes = EncodeBmpFile(img);
    HANDLE f = CreateFileW(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD wrote = 0;
    bool ok = f != INVALID_HANDLE_VALUE && WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr) &&
              wrote == bytes.size();
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    return ok ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    OleInitialize(nullptr);
    int rc = 2;
    if (argc == 2 && std::wstring(argv[1]) == L"hq") {
        std::printf("kernels=%s\n", HqScaler::UsesAvx2() ? "avx2" : "baseline");
        rc = Hq();
    } else if (argc == 5 && std::wstring(argv[1]) == L"scale") {
        rc = Scale(argv[2], _wtoi(argv[3]), argv[4]);
    } else if (argc == 3 && std::wstring(argv[1]) == L"startup") {
        rc = bench::Startup(argv[2]);
    } else if (argc == 2 && std::wstring(argv[1]) == L"trial") {
        rc = bench::Trial();
    } else if (argc == 2 && std::wstring(argv[1]) == L"host") {
        rc = bench::HostCost();
    } else if (argc == 3 && std::wstring(argv[1]) == L"orientation") {
        rc = bench::OrientationCost(argv[2]);
    } else if (argc == 3 && std::wstring(argv[1]) == L"step") {
        rc = bench::StepCost(argv[2]);
    } else if (argc == 3 && std::wstring(argv[1]) == L"paint-while-loading") {
        rc = bench::PaintWhileLoading(argv[2]);
    } else if (argc == 3 && std::wstring(argv[1]) == L"archive") {
        rc = bench::ArchiveCost(argv[2]);
    } else if (argc == 3 && std::wstring(argv[1]) == L"described") {
        rc = bench::StartDescribed(argv[2]);
    } else if (argc == 3 && std::wstring(argv[1]) == L"peak") {
        rc = bench::Peak(argv[2]);
    } else if (argc == 3 && std::wstring(argv[1]) == L"peak-stepping") {
        rc = bench::Peak(argv[2], true);
    } else if (argc == 3 && std::wstring(argv[1]) == L"peak-stepping-viewer") {
        rc = bench::PeakSteppingViewer(argv[2]);
    } else if (argc == 3 && std::wstring(argv[1]) == L"peak-viewer") {
        rc = bench::PeakViewer(argv[2]);
    } else if (argc == 2 && std::wstring(argv[1]) == L"held") {
        rc = bench::HeldSteps();
    } else if (argc == 4 && std::wstring(argv[1]) == L"held-viewer") {
        rc = bench::HeldViewer(argv[2], std::wstring(argv[3]) == L"steps");
    } else if (argc == 2 && std::wstring(argv[1]) == L"cancel") {
        rc = bench::CancelMs();
    } else {
        std::fprintf(stderr,
                     "usage: tamsel2-bench hq | scale IN.bmp PERCENT OUT.bmp | startup PICTURE | described PICTURE | trial | host"
                     " | orientation PHOTO | archive PHOTO | paint-while-loading PHOTO | step PHOTO | peak PICTURE | peak-stepping PICTURE"
                     " | held | cancel\n");
    }
    OleUninitialize();
    return rc;
}
