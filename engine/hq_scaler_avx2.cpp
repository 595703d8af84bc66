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

template <int Count>
TAMSEL_AVX2 inline int32_t SumRowsFixed(const uint8_t* const* rows, uint16_t* acc, int32_t n) {
    const uint8_t* r[Count];
    for (int k = 0; k < Count; ++k) r[k] = rows[k];
    int32_t i = 0;
    for (; i + 32 <= n; i += 32) {
        __m256i lo = _mm256_setzero_si256(), hi = _mm256_setzero_si256();
        for (int k = 0; k < Count; ++k) {
            _mm_prefetch(reinterpret_cast<const char*>(r[k] + i + 768), _MM_HINT_T0);
            const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r[k] + i));
            const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r[k] + i + 16));
            lo = _mm256_add_epi16(lo, _mm256_cvtepu8_epi16(b0));
            hi = _mm256_add_epi16(hi, _mm256_cvtepu8_epi16(b1));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc + i), lo);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc + i + 16), hi);
    }
    return i;
}

TAMSEL_AVX2 void SumRowsAvx2(const uint8_t* const* rows, int32_t count, uint16_t* acc, int32_t n) {
    int32_t i = 0;
    // Blocks of the usual view sizes are one to four rows tall.
    switch (count) {
    case 1: i = SumRowsFixed<1>(rows, acc, n); break;
    case 2: i = SumRowsFixed<2>(rows, acc, n); break;
    case 3: i = SumRowsFixed<3>(rows, acc, n); break;
    case 4: i = SumRowsFixed<4>(rows, acc, n); break;
    default:
        for (; i + 32 <= n; i += 32) {
            __m256i lo = _mm256_setzero_si256(), hi = _mm256_setzero_si256();
            for (int32_t k = 0; k < count; ++k) {
                const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[k] + i));
                lo = _mm256_add_epi16(lo, _mm256_cvtepu8_epi16(_mm256_castsi256_si128(b)));
                hi = _mm256_add_epi16(hi, _mm256_cvtepu8_epi16(_mm256_extracti128_si256(b, 1)));
            }
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc + i), lo);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc + i + 16), hi);
        }
    }
    for (; i < n; ++i) {
        uint32_t sum = 0;
        for (int32_t k = 0; k < count; ++k) sum += rows[k][i];
        acc[i] = static_cast<uint16_t>(sum);
    }
}

TAMSEL_AVX2 void WindowSumsAvx2(const uint16_t* acc, int32_t m, uint16_t* out, int32_t n) {
    const int32_t last = n - 3 * (m - 1);  // positions with every neighbour inside
    int32_t j = 0;
    for (; j + 16 <= last; j += 16) {
        __m256i sum = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(acc + j));
        for (int32_t i = 1; i < m; ++i)
            sum = _mm256_add_epi16(sum, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(acc + j + 3 * i)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + j), sum);
    }
    for (; j < last; ++j) {
        uint32_t sum = 0;
        for (int32_t i = 0; i < m; ++i) sum += acc[j + 3 * i];
        out[j] = static_cast<uint16_t>(sum);
    }
}

// round-half-even(s / d) of eight sums below 2^24 with d <= 256 and s / d <= 255:
// the float estimate s * (1 / d) is within 4e-5 of s / d, and a quotient that
// is not whole lies at least 1 / 256 below the next whole number, so adding
// 2^-9 and truncating gives floor(s / d) exactly; the remainder settles the rest.
TAMSEL_AVX2 inline __m256i DivideRounded(__m256i s, __m256 rcp, __m256i d) {
    const __m256 estimate = _mm256_add_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(s), rcp), _mm256_set1_ps(1.0f / 512));
    const __m256i q = _mm256_cvttps_epi32(estimate);
    const __m256i rem = _mm256_sub_epi32(s, _mm256_mullo_epi32(q, d));
    const __m256i twice = _mm256_add_epi32(_mm256_add_epi32(rem, rem), _mm256_and_si256(q, _mm256_set1_epi32(1)));
    return _mm256_sub_epi32(q, _mm256_cmpgt_epi32(twice, d));
}

// The three channel sums (and a zero) of two outputs' blocks, one output per 128-bit half.
TAMSEL_AVX2 inline __m256i PairSums(const uint8_t* const* rows, int32_t count, int32_t off0, int32_t off1,
                                    __m256i mask) {
    const __m256i ones = _mm256_set1_epi8(1);
    __m256i acc = _mm256_setzero_si256();
    for (int32_t r = 0; r < count; ++r) {
        const __m256i bytes = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[r] + off0))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[r] + off1)), 1);
        acc = _mm256_add_epi16(acc, _mm256_maddubs_epi16(_mm256_shuffle_epi8(bytes, mask), ones));
    }
    return _mm256_madd_epi16(acc, _mm256_set1_epi16(1));
}

TAMSEL_AVX2 inline __m256i PairAverages(const uint8_t* const* rows, int32_t count, int32_t off0, int32_t off1,
                                        const FusedShapes& shapes, int shape) {
    const __m256i sums =
        PairSums(rows, count, off0, off1, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(shapes.masks[shape])));
    return DivideRounded(sums, _mm256_loadu_ps(shapes.rcp[shape]),
                         _mm256_loadu_si256(reinterpret_cast<const __m256i*>(shapes.div[shape])));
}

// Fixed > 0: that many rows, known to the compiler; 0: count rows.
template <int Fixed>
TAMSEL_AVX2 inline void AverageFusedLoop(const uint8_t* const* rowList, int32_t count, const int32_t* offsets,
                                         const uint8_t* shapeOfPair, const FusedShapes& shapes, uint8_t* out,
                                         int32_t groups) {
    const int32_t n = Fixed > 0 ? Fixed : count;
    const uint8_t* rows[Fixed > 0 ? Fixed : kFusedTallest];
    for (int32_t k = 0; k < n; ++k) rows[k] = rowList[k];
    // Bytes of outputs 0, 2, 1, 3 (RGB and a zero each) to RGB RGB RGB RGB.
    const __m128i order = _mm_setr_epi8(0, 1, 2, 8, 9, 10, 4, 5, 6, 12, 13, 14, -1, -1, -1, -1);
    // The rows are walked side by side; without asking for them ahead the
    // loads wait on memory (measured: a third of the time at 25 %).
    constexpr int32_t kAhead = 1024;
    for (int32_t g = 0; g < groups; ++g) {
        const int32_t* o = offsets + 4 * g;
        for (int32_t k = 0; k < n; ++k) _mm_prefetch(reinterpret_cast<const char*>(rows[k] + o[0] + kAhead), _MM_HINT_T0);
        const __m256i words =  // outputs 0, 2 | 1, 3
            _mm256_packus_epi32(PairAverages(rows, n, o[0], o[1], shapes, shapeOfPair[2 * g]),
                                PairAverages(rows, n, o[2], o[3], shapes, shapeOfPair[2 * g + 1]));
        const __m128i bytes = _mm_shuffle_epi8(
            _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1)), order);
        uint8_t* d = out + 12 * g;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d), bytes);
        const int32_t last = _mm_extract_epi32(bytes, 2);
        __builtin_memcpy(d + 8, &last, 4);
    }
}

TAMSEL_AVX2 void AverageFusedAvx2(const uint8_t* const* rows, int32_t count, const int32_t* offsets,
                                  const uint8_t* shapeOfPair, const FusedShapes& shapes, uint8_t* out,
                                  int32_t groups) {
    // Rows and columns share their block sizes, so blocks this narrow are one to four rows tall.
    switch (count) {
    case 1: return AverageFusedLoop<1>(rows, count, offsets, shapeOfPair, shapes, out, groups);
    case 2: return AverageFusedLoop<2>(rows, count, offsets, shapeOfPair, shapes, out, groups);
    case 3: return AverageFusedLoop<3>(rows, count, offsets, shapeOfPair, shapes, out, groups);
    case 4: return AverageFusedLoop<4>(rows, count, offsets, shapeOfPair, shapes, out, groups);
    default: return AverageFusedLoop<0>(rows, count, offsets, shapeOfPair, shapes, out, groups);
    }
}

bool CpuHasAvx2() { return __builtin_cpu_supports("avx2"); }

}  // namespace tamsel::hq

#else

namespace tamsel::hq {
void BlendRowsAvx2(const uint8_t* a, const uint8_t* b, int32_t f23, uint8_t* out, int32_t n) {
    BlendRowsBaseline(a, b, f23, out, n);
}
void HorizontalAvx2(const uint8_t*, const int32_t*, const uint8_t*, const int32_t*, uint8_t*, int32_t) {}
void SumRowsAvx2(const uint8_t* const* rows, int32_t count, uint16_t* acc, int32_t n) {
    SumRowsBaseline(rows, count, acc, n);
}
void WindowSumsAvx2(const uint16_t* acc, int32_t m, uint16_t* out, int32_t n) { WindowSumsBaseline(acc, m, out, n); }
void AverageFusedAvx2(const uint8_t* const*, int32_t, const int32_t*, const uint8_t*, const FusedShapes&, uint8_t*,
                      int32_t) {}
bool CpuHasAvx2() { return false; }
}  // namespace tamsel::hq

#endif
