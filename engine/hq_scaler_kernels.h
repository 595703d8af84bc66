#pragma once
// Inner loops of the high-quality scaler, shared by the baseline and the
// AVX2 translation units. Internal to the scaler. The helpers are static so
// that no vector-compiled copy of them can stand in for the baseline one.
#include <cstdint>

namespace tamsel::hq {

// A weight f in [0, 1) held exactly as f * 2^23 when that is a whole number
// (every position of 1 or more), which keeps a blend within 32 bits.
constexpr int kShift = 23;

// round-half-even((a * 2^23 + f23 * (b - a)) / 2^23): the exact blend
// (1 - f) * a + f * b of two bytes.
static inline uint8_t Blend23(int32_t a, int32_t b, int32_t f23) {
    const int32_t n = (a << kShift) + f23 * (b - a);
    const int32_t q = n >> kShift;
    return static_cast<uint8_t>((n + (1 << (kShift - 1)) - 1 + (q & 1)) >> kShift);
}

// The same for any weight of the run, held as f * 2^32.
static inline uint8_t Blend32(int64_t a, int64_t b, int64_t f32) {
    const int64_t n = (a << 32) + f32 * (b - a);
    const int64_t q = n >> 32;
    const int64_t r = n & 0xFFFFFFFFll;
    return static_cast<uint8_t>(q + ((r > 0x80000000ll || (r == 0x80000000ll && (q & 1))) ? 1 : 0));
}

// out[i] = Blend23(a[i], b[i], f23) for i < n.
void BlendRowsBaseline(const uint8_t* a, const uint8_t* b, int32_t f23, uint8_t* out, int32_t n);
void BlendRowsAvx2(const uint8_t* a, const uint8_t* b, int32_t f23, uint8_t* out, int32_t n);

// One output row of the horizontal blend: for every output byte j,
// out[j] = Blend23(v[offA[j]], v[offA[j] + 3], f23[j]) (offB = offA + 3 after clamping is
// given separately as offB).
void HorizontalBaseline(const uint8_t* v, const int32_t* offA, const int32_t* offB, const int32_t* f23,
                        uint8_t* out, int32_t n);
// The AVX2 form gathers through byte shuffles: for every chunk of 4 output
// pixels, 16 bytes of v from base[c] rearranged by masks[c] (A then B, 16 bytes each).
void HorizontalAvx2(const uint8_t* v, const int32_t* base, const uint8_t* masks, const int32_t* f23, uint8_t* out,
                    int32_t chunks);

// acc[i] = rows[0][i] + ... + rows[count - 1][i] for i < n; count <= 257 keeps it in 16 bits.
void SumRowsBaseline(const uint8_t* const* rows, int32_t count, uint16_t* acc, int32_t n);
void SumRowsAvx2(const uint8_t* const* rows, int32_t count, uint16_t* acc, int32_t n);

// out[j] = acc[j] + acc[j + 3] + ... + acc[j + 3 (m - 1)]: the sums of m
// neighbouring pixels, per channel, at every position that has them all.
void WindowSumsBaseline(const uint16_t* acc, int32_t m, uint16_t* out, int32_t n);
void WindowSumsAvx2(const uint16_t* acc, int32_t m, uint16_t* out, int32_t n);

// Block averages of output rows whose blocks are 1 to 4 pixels wide, in one
// pass over the source rows, four outputs at a time. A pair of outputs
// (2i, 2i + 1) has a shape: both widths, kFusedShapes of them. For each
// shape, masks lay one block's bytes out channel by channel (16 bytes per
// output), and rcp/div hold, per 32-bit lane, 1 / (nx * ny) and nx * ny.
constexpr int kFusedWidest = 4;
constexpr int kFusedShapes = kFusedWidest * kFusedWidest;
constexpr int kFusedTallest = 64;  // keeps a channel's half-block sum within signed 16 bits
struct FusedShapes {
    uint8_t masks[kFusedShapes][32];
    float rcp[kFusedShapes][8];
    int32_t div[kFusedShapes][8];
};
// offsets: the byte offset of every output's block in a row; shapes: one per
// pair; 16 bytes are read from every offset. Writes 12 * groups bytes.
void AverageFusedAvx2(const uint8_t* const* rows, int32_t count, const int32_t* offsets, const uint8_t* shapeOfPair,
                      const FusedShapes& shapes, uint8_t* out, int32_t groups);

bool CpuHasAvx2();

}  // namespace tamsel::hq
