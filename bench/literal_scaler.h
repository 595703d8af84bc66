#pragma once
// The high-quality scaler written out pixel by pixel, as its definition
// reads: the column loop outside, every neighbour read for every output,
// every quotient divided. The baseline that benchmarks and tests hold the
// fast scaler to; not part of the program.
#include <cstdint>

namespace tamsel {

void LiteralSmoothResize(const uint8_t* src, int32_t srcW, int32_t srcH, uint8_t* dst, int32_t dstW, int32_t dstH,
                         int32_t percent);

}  // namespace tamsel
