#include "engine/hq_scaler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <utility>

#include "app/numeric.h"
#include "engine/hq_scaler_kernels.h"

namespace tamsel {

using namespace hq;

namespace {

bool gAllowAvx2 = true;

bool Avx2() {
    static const bool has = CpuHasAvx2();
    return has && gAllowAvx2;
}

// A source position of the bilinear path: x * 100 / p as a 32-bit float.
struct Position {
    int32_t index;  // floor of the position
    float frac;     // position - index, exact in float
};

Position PositionOf(int32_t i, int32_t percent) {
    const float f = static_cast<float>(static_cast<double>(i * 100) / percent);
    const float whole = std::floor(f);
    return {static_cast<int32_t>(whole), f - whole};
}

// The weight as f * 2^23 when that is whole, else -1.
int32_t Weight23(float frac) {
    const double scaled = static_cast<double>(frac) * (1 << kShift);
    return scaled == std::floor(scaled) ? static_cast<int32_t>(scaled) : -1;
}

int64_t Weight32(float frac) { return static_cast<int64_t>(static_cast<double>(frac) * 4294967296.0); }

// The block [start, end] of output i in the averaging path.
std::pair<int32_t, int32_t> BlockOf(int32_t i, int32_t percent) {
    const auto start = static_cast<int32_t>(std::floor(static_cast<double>(i * 100) / percent));
    const auto end = static_cast<int32_t>(std::floor(static_cast<double>((i + 1) * 100) / percent)) - 1;
    return {start, end};
}

uint8_t DivideBlock(uint32_t sum, int32_t nx, int32_t ny) {
    // Two successive divisions, as the average is defined.
    const double v = static_cast<double>(sum) / nx / ny;
    return static_cast<uint8_t>(std::min(255.0, RoundHalfEven(v)));
}

}  // namespace

struct HqScaler::Plan {
    enum class Mode { Nothing, Copy, Bilinear, Average } mode = Mode::Nothing;
    bool avx2 = false;
    int32_t span = 0;  // source columns a row needs

    // Bilinear: per column, byte offsets of A and B (clamped) and the weight per output byte.
    std::vector<int32_t> offA, offB, f23;
    std::vector<std::pair<int32_t, int64_t>> generalColumns;  // columns whose weight needs 2^32
    std::vector<int32_t> chunkBase;
    std::vector<uint8_t> masks;
    // Per row: source rows (clamped) and the weight.
    std::vector<int32_t> row0, row1, rowF23;
    std::vector<int64_t> rowF32;
    std::vector<uint8_t> vrow;

    // Average: per column and row, the clamped block and its whole size.
    std::vector<int32_t> colStart, colEnd, colCount, rowStart, rowEnd, rowCount;
    std::map<std::pair<int32_t, int32_t>, std::vector<uint8_t>> tables;
    // One 16-bit work row: the column sums of a row of blocks (at 0), the sums
    // of m neighbouring pixels for each usual block width m (windowBase), then
    // the sums of the few other blocks, one by one (oddBase). Each output reads
    // its three sums at colOffset. Used while every sum fits in 16 bits.
    bool packed = false;
    std::vector<uint16_t> sums;
    std::vector<int32_t> windowWidths, windowBase;
    std::vector<int32_t> oddColumns;
    int32_t oddBase = 0;
    std::vector<int32_t> colOffset;
    std::vector<int32_t> nxValues;  // the whole block widths of the run
    // The quotient table of every output, per block height (rows of dstW).
    std::vector<int32_t> nyValues;
    std::vector<const uint8_t*> colTable;

    // Blocks at most kFusedWidest wide, summed and divided in one vector pass
    // (outputs [0, 4 * fusedGroups)); the outputs near the right edge, whose
    // reads would leave the row, are summed one by one.
    bool fused = false;
    int32_t fusedGroups = 0;
    std::vector<int32_t> fusedOffsets;
    std::vector<uint8_t> pairShape;
    std::vector<int32_t> fusedNy;
    std::vector<FusedShapes> fusedShapes;  // per block height in fusedNy
};

namespace {

// Sets up the one-pass vector reduction when every block away from the right
// edge is narrow enough for it.
bool PlanFused(HqScaler::Plan& P, int32_t srcW, const std::set<int32_t>& heights) {
    const int32_t dstW = static_cast<int32_t>(P.colStart.size());
    auto inside = [&](int32_t x) { return P.colStart[x] * 3 + 16 <= srcW * 3; };
    int32_t x = 0;
    for (; x < dstW && inside(x); ++x)
        if (P.colCount[x] > kFusedWidest) return false;
    const int32_t groups = x / 4;
    if (groups == 0) return false;
    P.fused = true;
    P.fusedGroups = groups;
    P.fusedOffsets.resize(static_cast<size_t>(groups) * 4);
    P.pairShape.resize(static_cast<size_t>(groups) * 2);
    for (int32_t i = 0; i < groups * 4; ++i) P.fusedOffsets[i] = P.colStart[i] * 3;
    for (int32_t i = 0; i < groups * 2; ++i)
        P.pairShape[i] = static_cast<uint8_t>((P.colCount[2 * i] - 1) + (P.colCount[2 * i + 1] - 1) * kFusedWidest);
    P.fusedNy.assign(heights.begin(), heights.end());
    P.fusedShapes.resize(P.fusedNy.size());
    for (size_t h = 0; h < P.fusedNy.size(); ++h) {
        FusedShapes& f = P.fusedShapes[h];
        for (int shape = 0; shape < kFusedShapes; ++shape) {
            for (int half = 0; half < 2; ++half) {
                const int32_t nx = (half == 0 ? shape % kFusedWidest : shape / kFusedWidest) + 1;
                // Channel k of pixel i at slot 4k + i, so that neighbouring slots add up.
                uint8_t* mask = f.masks[shape] + 16 * half;
                std::fill(mask, mask + 16, uint8_t{0x80});
                for (int k = 0; k < 3; ++k)
                    for (int i = 0; i < nx; ++i) mask[4 * k + i] = static_cast<uint8_t>(3 * i + k);
                const int32_t d = nx * P.fusedNy[h];
                for (int lane = 0; lane < 4; ++lane) {
                    f.rcp[shape][4 * half + lane] = 1.0f / static_cast<float>(d);
                    f.div[shape][4 * half + lane] = d;
                }
            }
        }
    }
    return true;
}

}  // namespace

HqScaler::HqScaler(const uint8_t* src, int32_t srcW, int32_t srcH, uint8_t* dst, int32_t dstW, int32_t dstH,
                   int32_t percent)
    : src_(src), srcW_(srcW), srcH_(srcH), dst_(dst), dstW_(dstW), dstH_(dstH), percent_(percent),
      plan_(std::make_unique<Plan>()) {
    Plan& P = *plan_;
    if (srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0 || percent < 1) return;
    P.avx2 = Avx2();
    if (percent == 100) {
        P.mode = Plan::Mode::Copy;
        return;
    }
    if (percent > 100) {
        P.mode = Plan::Mode::Bilinear;
        P.offA.resize(dstW);
        P.offB.resize(dstW);
        P.f23.assign(static_cast<size_t>(dstW) * 3 + 24, 0);
        for (int32_t x = 0; x < dstW; ++x) {
            Position pos = PositionOf(x, percent);
            const int32_t a = std::min(pos.index, srcW - 1), b = std::min(pos.index + 1, srcW - 1);
            P.offA[x] = a * 3;
            P.offB[x] = b * 3;
            P.span = std::max(P.span, b + 1);
            const int32_t w = Weight23(pos.frac);
            if (w < 0) P.generalColumns.emplace_back(x, Weight32(pos.frac));
            for (int k = 0; k < 3; ++k) P.f23[x * 3 + k] = std::max(w, 0);
        }
        P.row0.resize(dstH);
        P.row1.resize(dstH);
        P.rowF23.resize(dstH);
        P.rowF32.resize(dstH);
        for (int32_t y = 0; y < dstH; ++y) {
            Position pos = PositionOf(y, percent);
            P.row0[y] = std::min(pos.index, srcH - 1);
            P.row1[y] = std::min(pos.index + 1, srcH - 1);
            P.rowF23[y] = Weight23(pos.frac);
            P.rowF32[y] = Weight32(pos.frac);
        }
        // 16 bytes are read from any chunk's base.
        P.vrow.assign(static_cast<size_t>(P.span) * 3 + 16, 0);
        if (P.avx2) {
            const int32_t chunks = dstW / 4;
            P.chunkBase.resize(chunks);
            P.masks.assign(static_cast<size_t>(chunks) * 32, 0x80);
            for (int32_t c = 0; c < chunks; ++c) {
                const int32_t base = P.offA[4 * c];
                P.chunkBase[c] = base;
                for (int j = 0; j < 12; ++j) {
                    const int32_t x = 4 * c + j / 3, k = j % 3;
                    P.masks[32 * c + j] = static_cast<uint8_t>(P.offA[x] + k - base);
                    P.masks[32 * c + 16 + j] = static_cast<uint8_t>(P.offB[x] + k - base);
                }
            }
        }
        return;
    }
    P.mode = Plan::Mode::Average;
    // Blocks along one axis: start, end clamped to the source (beyond it:
    // skipped, still counted) and the whole count.
    auto blocks = [percent](int32_t outputs, int32_t sourceSize, std::vector<int32_t>& start,
                            std::vector<int32_t>& end, std::vector<int32_t>& count) {
        start.resize(outputs);
        end.resize(outputs);
        count.resize(outputs);
        for (int32_t i = 0; i < outputs; ++i) {
            auto [s, e] = BlockOf(i, percent);
            start[i] = s;
            count[i] = e - s + 1;
            end[i] = std::min(e, sourceSize - 1);
        }
    };
    blocks(dstW, srcW, P.colStart, P.colEnd, P.colCount);
    blocks(dstH, srcH, P.rowStart, P.rowEnd, P.rowCount);
    for (int32_t x = 0; x < dstW; ++x) P.span = std::max(P.span, P.colEnd[x] + 1);
    const int32_t n = P.span * 3;
    const int32_t tallest = *std::max_element(P.rowCount.begin(), P.rowCount.end());
    const std::set<int32_t> heights(P.rowCount.begin(), P.rowCount.end());
    if (P.avx2 && tallest <= kFusedTallest && PlanFused(P, srcW, heights)) return;
    int32_t widest = 1;
    std::map<int32_t, int32_t> columnsOfWidth;
    for (int32_t x = 0; x < dstW; ++x) {
        const int32_t m = P.colEnd[x] - P.colStart[x] + 1;
        widest = std::max(widest, m);
        if (m >= 1) ++columnsOfWidth[m];
        if (std::find(P.nxValues.begin(), P.nxValues.end(), P.colCount[x]) == P.nxValues.end())
            P.nxValues.push_back(P.colCount[x]);
    }
    // Each block shape's quotients once, when that is cheaper than dividing every output.
    const uint64_t outputs = static_cast<uint64_t>(dstW) * dstH * 3;
    bool allTables = P.nxValues.size() < 256;
    for (int32_t nx : P.nxValues) {
        for (int32_t ny : heights) {
            const uint64_t size = 255ull * nx * ny + 1;
            if (size > std::max<uint64_t>(4096, outputs)) {
                allTables = false;
                continue;
            }
            std::vector<uint8_t> t(size);
            for (uint32_t sum = 0; sum < size; ++sum) t[sum] = DivideBlock(sum, nx, ny);
            P.tables.emplace(std::make_pair(nx, ny), std::move(t));
        }
    }
    P.packed = allTables && static_cast<int64_t>(widest) * tallest * 255 <= 65535;
    const int32_t row = n + 32;  // room for the vector loops' reach
    int32_t size = row;
    if (P.packed) {
        for (auto [m, count] : columnsOfWidth) {
            if (m == 1 || count < std::max(8, dstW / 16) || P.windowWidths.size() == 3) continue;
            P.windowWidths.push_back(m);
            P.windowBase.push_back(size);
            size += row;
        }
        P.oddBase = size;
        P.colOffset.resize(dstW);
        for (int32_t x = 0; x < dstW; ++x) {
            const int32_t m = P.colEnd[x] - P.colStart[x] + 1;
            auto it = std::find(P.windowWidths.begin(), P.windowWidths.end(), m);
            if (m == 1) {
                P.colOffset[x] = P.colStart[x] * 3;
            } else if (it != P.windowWidths.end()) {
                P.colOffset[x] = P.windowBase[it - P.windowWidths.begin()] + P.colStart[x] * 3;
            } else {
                P.colOffset[x] = P.oddBase + static_cast<int32_t>(P.oddColumns.size()) * 3;
                P.oddColumns.push_back(x);
            }
        }
        size = P.oddBase + static_cast<int32_t>(P.oddColumns.size()) * 3;
    }
    P.sums.assign(static_cast<size_t>(size), 0);
    if (P.packed) {
        P.nyValues.assign(heights.begin(), heights.end());
        P.colTable.resize(P.nyValues.size() * dstW);
        for (size_t h = 0; h < P.nyValues.size(); ++h)
            for (int32_t x = 0; x < dstW; ++x)
                P.colTable[h * dstW + x] = P.tables.at({P.colCount[x], P.nyValues[h]}).data();
    }
}

HqScaler::~HqScaler() = default;

void HqScaler::Rows(int32_t y0, int32_t y1) {
    Plan& P = *plan_;
    y0 = std::max(y0, int32_t{0});
    y1 = std::min(y1, dstH_);
    const size_t srcStride = static_cast<size_t>(srcW_) * 3, dstStride = static_cast<size_t>(dstW_) * 3;
    switch (P.mode) {
    case Plan::Mode::Nothing:
        return;
    case Plan::Mode::Copy:
        for (int32_t y = y0; y < y1; ++y) {
            const uint8_t* s = src_ + std::min(y, srcH_ - 1) * srcStride;
            uint8_t* d = dst_ + y * dstStride;
            const int32_t n = std::min(dstW_, srcW_);
            std::copy(s, s + n * 3, d);
            for (int32_t x = n; x < dstW_; ++x) std::copy(s + (srcW_ - 1) * 3, s + srcW_ * 3, d + x * 3);
        }
        return;
    case Plan::Mode::Bilinear: {
        const int32_t n = P.span * 3;
        for (int32_t y = y0; y < y1; ++y) {
            const uint8_t* r0 = src_ + P.row0[y] * srcStride;
            const uint8_t* r1 = src_ + P.row1[y] * srcStride;
            uint8_t* v = P.vrow.data();
            if (P.rowF23[y] >= 0) {
                (P.avx2 ? BlendRowsAvx2 : BlendRowsBaseline)(r0, r1, P.rowF23[y], v, n);
            } else {
                for (int32_t i = 0; i < n; ++i) v[i] = Blend32(r0[i], r1[i], P.rowF32[y]);
            }
            uint8_t* out = dst_ + y * dstStride;
            int32_t done = 0;
            if (P.avx2) {
                const int32_t chunks = dstW_ / 4;
                HorizontalAvx2(v, P.chunkBase.data(), P.masks.data(), P.f23.data(), out, chunks);
                done = chunks * 4;
            }
            HorizontalBaseline(v, P.offA.data() + done, P.offB.data() + done, P.f23.data() + done * 3,
                               out + done * 3, dstW_ - done);
            for (auto [x, f32] : P.generalColumns)
                for (int k = 0; k < 3; ++k) out[x * 3 + k] = Blend32(v[P.offA[x] + k], v[P.offB[x] + k], f32);
        }
        return;
    }
    case Plan::Mode::Average:
        for (int32_t y = y0; y < y1; ++y) AverageRow(P, y, dst_ + y * dstStride);
        return;
    }
}

void HqScaler::AverageRow(Plan& P, int32_t y, uint8_t* __restrict out) {
    uint16_t* __restrict sums = P.sums.data();
    const int32_t* __restrict colStart = P.colStart.data();
    const int32_t* __restrict colEnd = P.colEnd.data();
    const int32_t ny = P.rowCount[y];
    const size_t srcStride = static_cast<size_t>(srcW_) * 3;
    const uint8_t* rows[258];
    int32_t count = 0;
    for (int32_t j = P.rowStart[y]; j <= P.rowEnd[y] && count < 258; ++j) rows[count++] = src_ + j * srcStride;
    const auto sumRows = P.avx2 ? SumRowsAvx2 : SumRowsBaseline;

    if (P.fused) {
        const size_t h = std::find(P.fusedNy.begin(), P.fusedNy.end(), ny) - P.fusedNy.begin();
        AverageFusedAvx2(rows, count, P.fusedOffsets.data(), P.pairShape.data(), P.fusedShapes[h], out,
                         P.fusedGroups);
        for (int32_t x = P.fusedGroups * 4; x < dstW_; ++x) {
            uint32_t s[3] = {0, 0, 0};
            for (int32_t r = 0; r < count; ++r)
                for (int32_t i = colStart[x]; i <= colEnd[x]; ++i)
                    for (int k = 0; k < 3; ++k) s[k] += rows[r][i * 3 + k];
            for (int k = 0; k < 3; ++k) out[x * 3 + k] = DivideBlock(s[k], P.colCount[x], ny);
        }
        return;
    }

    if (!P.packed) {
        // Wide blocks: 32-bit sums, divided or looked up per output.
        sumRows(rows, count, sums, P.span * 3);
        for (int32_t x = 0; x < dstW_; ++x) {
            uint32_t s[3] = {0, 0, 0};
            for (int32_t i = colStart[x]; i <= colEnd[x]; ++i)
                for (int k = 0; k < 3; ++k) s[k] += sums[i * 3 + k];
            const int32_t nx = P.colCount[x];
            auto it = P.tables.find({nx, ny});
            for (int k = 0; k < 3; ++k)
                out[x * 3 + k] = it != P.tables.end() ? it->second[s[k]] : DivideBlock(s[k], nx, ny);
        }
        return;
    }

    const size_t h = std::find(P.nyValues.begin(), P.nyValues.end(), ny) - P.nyValues.begin();
    const uint8_t* const* __restrict colTable = P.colTable.data() + h * dstW_;
    const int32_t* __restrict offset = P.colOffset.data();
    const auto windowSums = P.avx2 ? WindowSumsAvx2 : WindowSumsBaseline;
    size_t odd = 0;
    // A few hundred outputs at a time, so that the work rows stay in the first-level cache.
    constexpr int32_t kChunk = 256;
    for (int32_t x0 = 0; x0 < dstW_; x0 += kChunk) {
        const int32_t x1 = std::min(x0 + kChunk, dstW_);
        const int32_t a = std::min(colStart[x0], P.span) * 3;
        const int32_t b = std::max(std::min(colEnd[x1 - 1] + 1, P.span) * 3, a);
        const uint8_t* part[258];
        for (int32_t r = 0; r < count; ++r) part[r] = rows[r] + a;
        sumRows(part, count, sums + a, b - a);
        for (size_t w = 0; w < P.windowWidths.size(); ++w)
            windowSums(sums + a, P.windowWidths[w], sums + P.windowBase[w] + a, b - a);
        for (; odd < P.oddColumns.size() && P.oddColumns[odd] < x1; ++odd) {
            const int32_t x = P.oddColumns[odd];
            uint32_t s[3] = {0, 0, 0};
            for (int32_t i = colStart[x]; i <= colEnd[x]; ++i)
                for (int k = 0; k < 3; ++k) s[k] += sums[i * 3 + k];
            for (int k = 0; k < 3; ++k) sums[P.oddBase + odd * 3 + k] = static_cast<uint16_t>(s[k]);
        }
        // One 4-byte store a pixel; its fourth byte is the next pixel's first,
        // written again right after, so the row's last pixel is stored bytewise.
        const int32_t wide = std::min(x1, dstW_ - 1);
        for (int32_t x = x0; x < wide; ++x) {
            const uint16_t* s = sums + offset[x];
            const uint8_t* t = colTable[x];
            const uint32_t v = t[s[0]] | (uint32_t{t[s[1]]} << 8) | (uint32_t{t[s[2]]} << 16);
            std::memcpy(out + x * 3, &v, 4);
        }
        if (wide < x1) {
            const uint16_t* s = sums + offset[wide];
            const uint8_t* t = colTable[wide];
            out[wide * 3] = t[s[0]], out[wide * 3 + 1] = t[s[1]], out[wide * 3 + 2] = t[s[2]];
        }
    }
}

bool HqScaler::UsesAvx2() { return Avx2(); }
void HqScaler::AllowAvx2(bool allow) { gAllowAvx2 = allow; }

int32_t ResizeProgressPercent(int32_t x, int32_t dstW) {
    return static_cast<int32_t>(RoundHalfEven(static_cast<double>(x * 100) / dstW));
}

namespace hq {

void BlendRowsBaseline(const uint8_t* a, const uint8_t* b, int32_t f23, uint8_t* out, int32_t n) {
    for (int32_t i = 0; i < n; ++i) out[i] = Blend23(a[i], b[i], f23);
}

void HorizontalBaseline(const uint8_t* v, const int32_t* offA, const int32_t* offB, const int32_t* f23,
                        uint8_t* out, int32_t n) {
    for (int32_t x = 0; x < n; ++x)
        for (int k = 0; k < 3; ++k) out[x * 3 + k] = Blend23(v[offA[x] + k], v[offB[x] + k], f23[x * 3 + k]);
}

void WindowSumsBaseline(const uint16_t* acc, int32_t m, uint16_t* out, int32_t n) {
    for (int32_t j = 0; j + 3 * (m - 1) < n; ++j) {
        uint32_t sum = 0;
        for (int32_t i = 0; i < m; ++i) sum += acc[j + 3 * i];
        out[j] = static_cast<uint16_t>(sum);
    }
}

void SumRowsBaseline(const uint8_t* const* rows, int32_t count, uint16_t* acc, int32_t n) {
    std::fill(acc, acc + n, uint16_t{0});
    for (int32_t r = 0; r < count; ++r)
        for (int32_t i = 0; i < n; ++i) acc[i] = static_cast<uint16_t>(acc[i] + rows[r][i]);
}

}  // namespace hq
}  // namespace tamsel
