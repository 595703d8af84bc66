#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "bench/literal_scaler.h"
#include "engine/hq_scaler.h"

using namespace tamsel;

namespace {

using Pixels = std::vector<uint8_t>;

Pixels Scale(const Pixels& src, int32_t sw, int32_t sh, int32_t dw, int32_t dh, int32_t p) {
    Pixels dst(static_cast<size_t>(dw) * dh * 3, 0xEE);
    HqScaler(src.data(), sw, sh, dst.data(), dw, dh, p).Run();
    return dst;
}

Pixels Literal(const Pixels& src, int32_t sw, int32_t sh, int32_t dw, int32_t dh, int32_t p) {
    Pixels dst(static_cast<size_t>(dw) * dh * 3, 0xEE);
    LiteralSmoothResize(src.data(), sw, sh, dst.data(), dw, dh, p);
    return dst;
}

// Grey pixels of the given values, row by row.
Pixels Grey(std::initializer_list<uint8_t> values) {
    Pixels p;
    for (uint8_t v : values) p.insert(p.end(), {v, v, v});
    return p;
}

class BothKernels : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { HqScaler::AllowAvx2(GetParam()); }
    void TearDown() override { HqScaler::AllowAvx2(true); }
};

}  // namespace

TEST_P(BothKernels, EnlargingBlendsWithHalvesToEven) {
    // 0 and 255 at 200 %: 0, then the midpoint 127.5 rounded to 128, then 255.
    Pixels row = Scale(Grey({0, 255}), 2, 1, 4, 2, 200);
    EXPECT_EQ(row[0], 0);
    EXPECT_EQ(row[3], 128);
    EXPECT_EQ(row[6], 255);
    EXPECT_EQ(row[9], 255);  // beyond the last column: the edge pixel
    // Vertical blends at weight 0.5: 0 and 1 give 0, 1 and 2 give 2.
    EXPECT_EQ(Scale(Grey({0, 1}), 1, 2, 1, 4, 200)[3], 0);
    EXPECT_EQ(Scale(Grey({1, 2}), 1, 2, 1, 4, 200)[3], 2);
    // The vertical blend is rounded before the horizontal one: rows (0,1) over (1,2)
    // blend to 0 and 2 (not 0.5 and 1.5), whose midpoint is 1.
    Pixels square = Scale(Grey({0, 1, 1, 2}), 2, 2, 4, 4, 200);
    EXPECT_EQ(square[(1 * 4 + 0) * 3], 0);
    EXPECT_EQ(square[(1 * 4 + 2) * 3], 2);
    EXPECT_EQ(square[(1 * 4 + 1) * 3], 1);
}

TEST_P(BothKernels, ReducingAveragesWholeBlocksWithHalvesToEven) {
    EXPECT_EQ(Scale(Grey({0, 0, 1, 1}), 2, 2, 1, 1, 50)[0], 0);
    EXPECT_EQ(Scale(Grey({1, 1, 2, 2}), 2, 2, 1, 1, 50)[0], 2);
    // A block partly beyond the source adds nothing there but counts it: (8 + 8) / 2 / 2.
    EXPECT_EQ(Scale(Grey({8, 8}), 1, 2, 1, 1, 50)[0], 4);
}

TEST_P(BothKernels, MatchesTheLiteralDefinitionByteForByte) {
    std::mt19937 rng(20261207);
    std::uniform_int_distribution<int> byte(0, 255);
    const int percents[] = {1, 33, 50, 99, 101, 150, 200, 333, 1000, 7, 64, 125, 240, 999};
    int cases = 0;
    for (int p : percents) {
        for (int sw = 1; sw <= 7; ++sw) {
            for (int sh = 1; sh <= 7; ++sh) {
                Pixels src(static_cast<size_t>(sw) * sh * 3);
                for (auto& b : src) b = static_cast<uint8_t>(byte(rng));
                const int dw0 = std::max(1, sw * p / 100), dh0 = std::max(1, sh * p / 100);
                // One pixel more than p percent as well: the rounding of twips can give it.
                for (int extra : {0, 1}) {
                    const int dw = dw0 + extra, dh = dh0 + extra;
                    ASSERT_EQ(Scale(src, sw, sh, dw, dh, p), Literal(src, sw, sh, dw, dh, p))
                        << sw << "x" << sh << " -> " << dw << "x" << dh << " at " << p;
                    ++cases;
                }
            }
        }
    }
    std::uniform_int_distribution<int> size(8, 90), pct(1, 1000);
    for (int n = 0; n < 120; ++n) {
        const int sw = size(rng), sh = size(rng), p = n % 3 == 0 ? percents[n % 14] : pct(rng);
        Pixels src(static_cast<size_t>(sw) * sh * 3);
        // Smooth areas as well as noise: ties are common where neighbours differ by one.
        for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(n % 2 ? byte(rng) : (i / 3) % 7 + 100);
        const int dw = std::max(1, std::min(sw * p / 100, 1400)), dh = std::max(1, std::min(sh * p / 100, 300));
        ASSERT_EQ(Scale(src, sw, sh, dw, dh, p), Literal(src, sw, sh, dw, dh, p))
            << sw << "x" << sh << " -> " << dw << "x" << dh << " at " << p;
        ++cases;
    }
    EXPECT_GT(cases, 1400);
}

TEST_P(BothKernels, WideRowsMatchTheLiteralDefinitionToo) {
    // Rows wide enough to be worked in several pieces, with every kind of block.
    std::mt19937 rng(99);
    const int sw = 2611, sh = 9;
    Pixels src(static_cast<size_t>(sw) * sh * 3);
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i % 5 == 0 ? rng() : 120 + i % 3);
    for (int p : {99, 67, 50, 33, 25, 13, 7, 2, 1, 150}) {
        const int dw = std::max(1, sw * p / 100) + (p % 2), dh = std::max(1, sh * p / 100);
        ASSERT_EQ(Scale(src, sw, sh, dw, dh, p), Literal(src, sw, sh, dw, dh, p)) << p;
    }
}

TEST_P(BothKernels, EveryBlockSumIsDividedExactly) {
    // Blocks filled so that, over a row, each channel's sum takes every value
    // from 0 to 255 times the block's size: the halves and the sums just below
    // and above them all occur, for square and uneven blocks.
    for (int p : {50, 40, 34, 33, 30, 26, 25}) {
        const int block = (100 + p - 1) / p;
        const int most = 255 * block * block;
        const int dw = most + 1, sw = dw * 100 / p + 1, sh = block * 2;
        const int dh = sh * p / 100;
        Pixels src(static_cast<size_t>(sw) * sh * 3, 0);
        for (int by = 0; by < dh; ++by) {
            const int y0 = by * 100 / p, y1 = std::min((by + 1) * 100 / p, sh);
            for (int bx = 0; bx < dw; ++bx) {
                const int x0 = bx * 100 / p, x1 = std::min((bx + 1) * 100 / p, sw);
                for (int k = 0; k < 3; ++k) {
                    int left = (bx + k * 977 + by * 131) % (255 * (x1 - x0) * (y1 - y0) + 1);
                    for (int y = y0; y < y1; ++y)
                        for (int x = x0; x < x1; ++x) {
                            const int v = std::min(left, 255);
                            src[(static_cast<size_t>(y) * sw + x) * 3 + k] = static_cast<uint8_t>(v);
                            left -= v;
                        }
                }
            }
        }
        ASSERT_EQ(Scale(src, sw, sh, dw, dh, p), Literal(src, sw, sh, dw, dh, p)) << p;
    }
}

TEST_P(BothKernels, RowsMayBeComputedInAnyPiecesWithTheSameResult) {
    std::mt19937 rng(7);
    Pixels src(37 * 23 * 3);
    for (auto& b : src) b = static_cast<uint8_t>(rng());
    for (int p : {37, 163}) {
        const int dw = 37 * p / 100, dh = 23 * p / 100;
        Pixels whole = Scale(src, 37, 23, dw, dh, p);
        Pixels pieces(whole.size(), 0);
        HqScaler s(src.data(), 37, 23, pieces.data(), dw, dh, p);
        for (int y = dh; y > 0; y -= 5) s.Rows(std::max(0, y - 5), y);
        EXPECT_EQ(pieces, whole) << p;
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, BothKernels, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Best" : "Baseline"; });

TEST(HqScaler, SourcesBeyond32767PixelsAverageWithoutWrapping) {
    const int sw = 40000;
    Pixels src(static_cast<size_t>(sw) * 3);
    for (int x = 0; x < sw; ++x) src[x * 3] = src[x * 3 + 1] = src[x * 3 + 2] = static_cast<uint8_t>(x % 256);
    const int dw = sw / 2;
    Pixels dst = Scale(src, sw, 1, dw, 1, 50);
    // Output x averages columns 2x and 2x + 1 (block height 2, the second row beyond the source).
    for (int x : {0, 16383, 16384, 16390, 19999}) {
        const double v = ((2 * x) % 256 + (2 * x + 1) % 256) / 2.0 / 2.0;
        EXPECT_EQ(dst[x * 3], static_cast<uint8_t>(std::nearbyint(v))) << x;
    }
}

TEST(HqScaler, NothingToDoLeavesTheTargetAlone) {
    Pixels src = Grey({1, 2, 3, 4});
    Pixels dst(12, 0xEE);
    HqScaler(src.data(), 2, 2, dst.data(), 0, 4, 50).Run();
    HqScaler(src.data(), 2, 2, dst.data(), 2, 2, 0).Run();
    EXPECT_EQ(dst, Pixels(12, 0xEE));
    EXPECT_EQ(Scale(src, 2, 2, 2, 2, 100), src);
}

TEST(ResizeProgress, CaptionsEverySixteenColumnsRoundHalvesToEven) {
    std::vector<int> shown;
    for (int x = 0; x < 100; x += 16) shown.push_back(ResizeProgressPercent(x, 100));
    EXPECT_EQ(shown, (std::vector<int>{0, 16, 32, 48, 64, 80, 96}));
    EXPECT_EQ(ResizeProgressPercent(1, 8), 12);   // 12.5
    EXPECT_EQ(ResizeProgressPercent(3, 8), 38);   // 37.5
    EXPECT_EQ(ResizeProgressPercent(16, 1280), 1);  // 1.25
}
