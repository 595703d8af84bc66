#pragma once
// The high-quality scaler's pixel work: bilinear enlargement, block-average
// reduction and the plain copy at 100 %, on packed 24-bit rows (3 bytes a
// pixel, rows top first, no gaps). The result is exactly the defined one:
// 32-bit float positions and weights, the vertical blend rounded to a byte
// before the horizontal blend, halves to even, the block average as two
// successive double divisions with the divisor counting the whole block.
// Positions beyond the source are clamped to its edge; nothing outside the
// source is ever read. Windows-free.
#include <cstdint>
#include <memory>
#include <vector>

namespace tamsel {

class HqScaler {
public:
    // src holds srcW x srcH pixels, dst dstW x dstH; percent >= 1.
    HqScaler(const uint8_t* src, int32_t srcW, int32_t srcH, uint8_t* dst, int32_t dstW, int32_t dstH,
             int32_t percent);
    ~HqScaler();
    HqScaler(const HqScaler&) = delete;
    HqScaler& operator=(const HqScaler&) = delete;

    // Computes the output rows [y0, y1), any order of calls.
    void Rows(int32_t y0, int32_t y1);
    void Run() { Rows(0, dstH_); }

    // Whether the processor's wider vector kernels are in use.
    static bool UsesAvx2();
    // For tests and benchmarks: force the baseline kernels (false) or the
    // detected best (true).
    static void AllowAvx2(bool allow);

    struct Plan;

private:
    void AverageRow(Plan& plan, int32_t y, uint8_t* out);

    const uint8_t* src_;
    int32_t srcW_, srcH_;
    uint8_t* dst_;
    int32_t dstW_, dstH_;
    int32_t percent_;
    std::unique_ptr<Plan> plan_;
};

// round(x * 100 / dstW) for the "Resize ... N%" caption.
int32_t ResizeProgressPercent(int32_t x, int32_t dstW);

}  // namespace tamsel
