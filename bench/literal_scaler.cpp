#include "bench/literal_scaler.h"

#include <algorithm>
#include <cmath>

#include "app/numeric.h"

namespace tamsel {
namespace {
uint8_t R(double v) { return static_cast<uint8_t>(std::min(255.0, RoundHalfEven(v))); }
}  // namespace

void LiteralSmoothResize(const uint8_t* src, int32_t srcW, int32_t srcH, uint8_t* dst, int32_t dstW, int32_t dstH,
                         int32_t p) {
    auto px = [&](int32_t x, int32_t y) { return src + (static_cast<size_t>(y) * srcW + x) * 3; };
    for (int32_t x = 0; x < dstW; ++x) {
        float fx = 0, fracx = 0;
        int32_t sx0 = 0, sxs = 0, sxe = 0;
        if (p > 100) {
            fx = static_cast<float>(static_cast<double>(x * 100) / p);
            sx0 = static_cast<int32_t>(std::floor(fx));
            fracx = fx - static_cast<float>(sx0);
        } else if (p < 100) {
            sxs = static_cast<int32_t>(std::floor(static_cast<double>(x * 100) / p));
            sxe = static_cast<int32_t>(std::floor(static_cast<double>((x + 1) * 100) / p)) - 1;
        }
        for (int32_t y = 0; y < dstH; ++y) {
            uint8_t* out = dst + (static_cast<size_t>(y) * dstW + x) * 3;
            if (p == 100) {
                const uint8_t* s = px(std::min(x, srcW - 1), std::min(y, srcH - 1));
                for (int k = 0; k < 3; ++k) out[k] = s[k];
            } else if (p > 100) {
                const float fy = static_cast<float>(static_cast<double>(y * 100) / p);
                const int32_t sy0 = static_cast<int32_t>(std::floor(fy));
                const float fracy = fy - static_cast<float>(sy0);
                // Neighbours beyond the last column or row: the edge pixel.
                const int32_t xa = std::min(sx0, srcW - 1), xb = std::min(sx0 + 1, srcW - 1);
                const int32_t ya = std::min(sy0, srcH - 1), yc = std::min(sy0 + 1, srcH - 1);
                uint8_t A[3], B[3], C[3], D[3];
                for (int k = 0; k < 3; ++k) {
                    A[k] = px(xa, ya)[k];
                    B[k] = px(xb, ya)[k];
                    C[k] = px(xa, yc)[k];
                    D[k] = px(xb, yc)[k];
                }
                for (int k = 0; k < 3; ++k) {
                    A[k] = R((1.0 - static_cast<double>(fracy)) * A[k] + static_cast<double>(fracy) * C[k]);
                    B[k] = R((1.0 - static_cast<double>(fracy)) * B[k] + static_cast<double>(fracy) * D[k]);
                }
                for (int k = 0; k < 3; ++k)
                    out[k] = R((1.0 - static_cast<double>(fracx)) * A[k] + static_cast<double>(fracx) * B[k]);
            } else {
                const int32_t sys = static_cast<int32_t>(std::floor(static_cast<double>(y * 100) / p));
                const int32_t sye = static_cast<int32_t>(std::floor(static_cast<double>((y + 1) * 100) / p)) - 1;
                int32_t S[3] = {0, 0, 0};
                for (int32_t i = sxs; i <= sxe; ++i)
                    for (int32_t j = sys; j <= sye; ++j) {
                        if (i >= srcW || j >= srcH) continue;  // outside: adds nothing
                        for (int k = 0; k < 3; ++k) S[k] += px(i, j)[k];
                    }
                for (int k = 0; k < 3; ++k)
                    out[k] = R(static_cast<double>(S[k]) / (sxe - sxs + 1) / (sye - sys + 1));
            }
        }
    }
}

}  // namespace tamsel
