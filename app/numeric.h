#pragma once
// Number conversions shared by every subsystem: floating values become
// integers by rounding to nearest with halves to even.
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace tamsel {

// Halves to even regardless of the floating-point environment's mode.
inline double RoundHalfEven(double v) {
    double r = std::round(v);                    // halves away from zero
    if (std::fabs(v - std::trunc(v)) == 0.5)     // exact tie: pick the even neighbour
        r = 2.0 * std::round(v / 2.0);
    return r;
}

// Rounds into a 32-bit integer; nullopt when the value does not fit (an overflow).
inline std::optional<int32_t> RoundToInt32(double v) {
    if (!std::isfinite(v)) return std::nullopt;
    double r = RoundHalfEven(v);
    if (r < -2147483648.0 || r > 2147483647.0) return std::nullopt;
    return static_cast<int32_t>(r);
}

// 32-bit multiplication that reports overflow instead of wrapping.
inline std::optional<int32_t> CheckedMul32(int32_t a, int32_t b) {
    int64_t p = static_cast<int64_t>(a) * b;
    if (p < std::numeric_limits<int32_t>::min() || p > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int32_t>(p);
}

}  // namespace tamsel
