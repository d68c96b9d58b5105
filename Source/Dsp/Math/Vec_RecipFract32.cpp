#include <algorithm>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// Seeds of 1/(2x) in Q31 for x in [0.5, 1), one per 1/128-wide bucket starting at 0.5.
extern "C" const int32_t initial_approx_value[64] = {
    0x7F03F03F, 0x7D137420, 0x7B31E739, 0x795E9F94, 0x7798FD29, 0x75E06928, 0x7434554D, 0x72943B4B,
    0x70FF9C40, 0x6F760031, 0x6DF6F593, 0x6C8210E3, 0x6B16EC3A, 0x69B526F6, 0x685C655F, 0x670C505D,
    0x65C4952D, 0x6484E519, 0x634CF53E, 0x621C7E4F, 0x60F33C61, 0x5FD0EEB3, 0x5EB55785, 0x5DA03BEB,
    0x5C9163A1, 0x5B8898E6, 0x5A85A85A, 0x598860DF, 0x58909373, 0x579E1318, 0x56B0B4B8, 0x55C84F0B,
    0x54E4BA80, 0x5405D124, 0x532B6E8F, 0x52556FD0, 0x5183B35A, 0x50B618F3, 0x4FEC81A2, 0x4F26CFA2,
    0x4E64E64E, 0x4DA6AA1D, 0x4CEC008B, 0x4C34D010, 0x4B810016, 0x4AD078EF, 0x4A2323C4, 0x4978EA96,
    0x48D1B827, 0x482D77FE, 0x478C1657, 0x46ED801D, 0x4651A2E5, 0x45B86CE2, 0x4521CCE1, 0x448DB244,
    0x43FC0CFA, 0x436CCD78, 0x42DFE4B4, 0x42554426, 0x41CCDDB6, 0x4146A3C6, 0x40C28923, 0x40408102,
};

namespace {

// y' = 2 y (1 - x y), products rounded toward minus infinity; a step whose x y reaches full scale gives 0.
int64_t newtonStep(int64_t y, int64_t x)
{
    const int64_t t = (y * x) >> 31;
    if (t >= INT32_MAX) {
        return 0;
    }
    const int64_t p = std::clamp<int64_t>((y * (INT32_MAX - t)) >> 31, INT32_MIN, INT32_MAX);
    return std::clamp<int64_t>(2 * p, INT32_MIN, INT32_MAX);
}

} // namespace

// *result = 1/(2x) in Q31 for a normalised x in [0.5, 1) (other inputs have no defined result): the seed of x's
// bucket (bits 24 to 29) refined by two Newton steps. Returns 0.
extern "C" int32_t kve_vecRecipFract32(Fract32 x, Fract32 *result)
{
    const int64_t y0 = initial_approx_value[(x >> 24) & 63];
    *result = static_cast<Fract32>(newtonStep(newtonStep(y0, x), x));
    return 0;
}
