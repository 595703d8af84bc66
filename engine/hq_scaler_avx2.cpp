// The scaler's inner loops with 256-bit vectors. Compiled for AVX2 and only
// called when the processor has it.
#include "engine/hq_scaler_kernels.h"

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
#include <immintrin.h>

namespace tamsel::hq {
namespace {

#define TAMSEL_AVX2 __attribute__((target("avx2")))

// Exact rounded blend of eight lanes (a, b bytes widened to 32 bits).
TAMSEL_AVX2 inline __m256i Blend8(__m256i a, __m256i b, __m256i f) {
    const __m256i n = _mm256_add_epi32(_mm256_slli_epi32(a, kShift), _mm256_mullo_epi32(f, _mm256_sub_epi32(b, a)));
    const __m256i odd = _mm256_and_si256(_mm256_srli_epi32(n, kShift), _mm256_set1_epi32(1));
    const __m256i bias = _mm256_add_epi32(_mm256_set1_epi32((1 << (kShift - 1)) - 1), odd);
    return _mm256_srli_epi32(_mm256_add_epi32(n, bias), kShift);
}

// Sixteen 32-bit lanes (each 0..255) to sixteen bytes in order.
TAMSEL_AVX2 inline __m128i Pack16(__m256i lo, __m256i hi) {
    const __m256i words = _mm256_permute4x64_epi64(_mm256_packus_epi32(lo, hi), 0xD8);
    const __m128i w0 = _mm256_castsi256_si128(words), w1 = _mm256_extracti128_si256(words, 1);
    return _mm_packus_epi16(w0, w1);
}

TAMSEL_AVX2 inline __m256i Widen8(const uint8_t* p) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

}  // namespace

TAMSEL_AVX2 void BlendRowsAvx2(const uint8_t* a, const uint8_t* b, int32_t f23, uint8_t* out,
                                                   int32_t n) {
    const __m256i f = _mm256_set1_epi32(f23);
    int32_t i = 0;
    for (; i + 16 <= n; i += 16) {
        __m256i lo = Blend8(Widen8(a + i), Widen8(b + i), f);
        __m256i hi = Blend8(Widen8(a + i + 8), Widen8(b + i + 8), f);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), Pack16(lo, hi));
    }
    for (; i < n; ++i) out[i] = Blend23(a[i], b[i], f23);
}

TAMSEL_AVX2 void HorizontalAvx2(const uint8_t* v, const int32_t* base, const uint8_t* masks,
                                                    const int32_t* f23, uint8_t* out, int32_t chunks) {
    // Two chunks (8 output pixels, 24 bytes) per step.
    int32_t c = 0;
    for (; c + 2 <= chunks; c += 2) {
        const uint8_t* m = masks + 32 * c;
        const __m128i w0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + base[c]));
        const __m128i w1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + base[c + 1]));
        const __m128i a0 = _mm_shuffle_epi8(w0, _mm_loadu_si128(reinterpret_cast<const __m128i*>(m)));
        const __m128i b0 = _mm_shuffle_epi8(w0, _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + 16)));
        const __m128i a1 = _mm_shuffle_epi8(w1, _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + 32)));
        const __m128i b1 = _mm_shuffle_epi8(w1, _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + 48)));
        // 24 bytes in order: the first 16, then the last 8.
        const __m128i aLo = _mm_or_si128(a0, _mm_slli_si128(a1, 12)), aHi = _mm_srli_si128(a1, 4);
        const __m128i bLo = _mm_or_si128(b0, _mm_slli_si128(b1, 12)), bHi = _mm_srli_si128(b1, 4);
        const int32_t* f = f23 + 12 * c;
        const __m256i r0 = Blend8(_mm256_cvtepu8_epi32(aLo), _mm256_cvtepu8_epi32(bLo),
                                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f)));
        const __m256i r1 = Blend8(_mm256_cvtepu8_epi32(_mm_srli_si128(aLo, 8)),
                                  _mm256_cvtepu8_epi32(_mm_srli_si128(bLo, 8)),
                                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f + 8)));
        const __m256i r2 = Blend8(_mm256_cvtepu8_epi32(aHi), _mm256_cvtepu8_epi32(bHi),
                                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f + 16)));
        uint8_t* o = out + 12 * c;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), Pack16(r0, r1));
        const __m128i last = Pack16(r2, r2);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 16), last);
    }
    for (; c < chunks; ++c) {
        const uint8_t* m = masks + 32 * c;
        const uint8_t* w = v + base[c];
        for (int j = 0; j < 12; ++j) out[12 * c + j] = Blend23(w[m[j]], w[m[16 + j]], f23[12 * c + j]);
    }
}

TAMSEL_AVX2 void AccumulateAvx2(const uint8_t* row, uint16_t* acc, int32_t n) {
    int32_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256i add = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i)));
        __m256i* p = reinterpret_cast<__m256i*>(acc + i);
        _mm256_storeu_si256(p, _mm256_add_epi16(_mm256_loadu_si256(p), add));
    }
    for (; i < n; ++i) acc[i] = static_cast<uint16_t>(acc[i] + row[i]);
}

bool CpuHasAvx2() { return __builtin_cpu_supports("avx2"); }

}  // namespace tamsel::hq

#else

namespace tamsel::hq {
void BlendRowsAvx2(const uint8_t* a, const uint8_t* b, int32_t f23, uint8_t* out, int32_t n) {
    BlendRowsBaseline(a, b, f23, out, n);
}
void HorizontalAvx2(const uint8_t*, const int32_t*, const uint8_t*, const int32_t*, uint8_t*, int32_t) {}
void AccumulateAvx2(const uint8_t* row, uint16_t* acc, int32_t n) { AccumulateBaseline(row, acc, n); }
bool CpuHasAvx2() { return false; }
}  // namespace tamsel::hq

#endif
