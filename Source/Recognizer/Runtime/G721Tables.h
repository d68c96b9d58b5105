// The 32 kbit/s ADPCM coder's tables, in the fixed-point units of its arithmetic, indexed by the 4-bit code (bit 3
// the sign, so codes 8..15 mirror 7..0).
#pragma once

#include <cstdint>

namespace kve::g721 {

// Upper edges of the quantiser's intervals of log2|d| - y, 7 fractional bits; the magnitude is the first edge above.
constexpr int32_t kQuantiserEdges[7] = {-124, 80, 178, 246, 300, 349, 400};

// Inverse quantiser: log2 of the reconstructed magnitude relative to the scale factor, 7 fractional bits.
constexpr int32_t kLogMagnitude[16] = {-2048, 4, 135, 213, 273, 323, 373, 425, 425, 373, 323, 273, 213, 135, 4, -2048};

// Scale factor multipliers W(I), 4 fractional bits.
constexpr int32_t kScaleMultiplier[16] = {-12, 18, 41, 64, 112, 198, 355, 1122, 1122, 355, 198, 112, 64, 41, 18, -12};

// Rate-of-change weights F(I) for the adaptation speed, 9 fractional bits.
constexpr int32_t kChangeWeight[16] = {0, 0, 0, 0x200, 0x200, 0x200, 0x600, 0xE00,
                                       0xE00, 0x600, 0x200, 0x200, 0x200, 0, 0, 0};

} // namespace kve::g721
