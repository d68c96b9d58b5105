#include <cstddef>
#include <cstdint>
#include <utility>

#include "Dsp/Fft/Complex.h"
#include "kve/kve_vec.h"

// In-place bit-reversal permutation of N = len/2 complex Fract32 elements, N = 4, 8, ..., 1024: position p ends up
// holding the element that was at the log2(N)-bit reversal of p. Any other len leaves the data untouched.
//
// The table holds the reversal of q for the first quarter of the positions (entry q x 1024/N - 1); a position p =
// q + t N/4 reverses to rev(q) plus the two top bits t reversed into the two lowest.
extern "C" void kve_vecBitReversal(Fract32 *data, int32_t len)
{
    const int32_t points = len / 2;
    if (points < 4 || points > 1024 || !kve_isPowerOfTwo(points)) {
        return;
    }
    const int32_t stride = 1024 / points;
    const int32_t quarter = points / 4;
    const int32_t topBitsReversed[4] = {0, 2, 1, 3};
    for (int32_t p = 1; p < points; ++p) {
        const int32_t q = p % quarter;
        const int32_t reversedLow = q == 0 ? 0 : BitRev_Table[q * stride - 1];
        const int32_t r = reversedLow + topBitsReversed[p / quarter];
        if (r > p) {
            std::swap(data[2 * p], data[2 * r]);
            std::swap(data[2 * p + 1], data[2 * r + 1]);
        }
    }
}
