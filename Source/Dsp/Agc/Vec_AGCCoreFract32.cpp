#include <algorithm>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// Fixed-point AGC gain computer, one target per block. While the energy is below the activation energy the target
// is the hold gain, 4 x holdLevel x holdScale (the high scale above a hold level of 0x1000000, the low one
// otherwise); else it is 10^(gdB / 20) with gdB = -(levelDb - targetLevelDb) x ratio held between
// -maxAttenuationDb and maxGainDb (Q8.24 dB, the linear value Q8.24; where the limits cross, maxGainDb wins). The
// gain glides toward it: g = sat(ct + g x (0x7FFFFFFF - coeff)) with ct = sat(16 x target x coeff), so it settles at
// the target in Q4.28.
namespace {

constexpr Fract32 kHoldKnee = 0x1000000;

} // namespace

extern "C" void kve_vecAGCCoreFract32(Fract32 *dst, Fract32 energy, Fract32 levelDb, Fract32 activationEnergy,
                                      Fract32 targetLevelDb, Fract32 ratio, Fract32 maxGainDb,
                                      Fract32 maxAttenuationDb, Fract32 holdLevel, Fract32 holdScaleHigh,
                                      Fract32 holdScaleLow, Fract32 *gainState, Fract32 coeff, int32_t n)
{
    if (n < 1) {
        return;
    }
    Fract32 targetByCoeff = 0;
    if (energy < activationEnergy) {
        const Fract32 holdScale = holdLevel > kHoldKnee ? holdScaleHigh : holdScaleLow;
        const Fract32 hold = kve_shiftProductFract32(kve_mulFract32(holdScale, holdLevel), 2);
        targetByCoeff = kve_mulFract32(hold, coeff);
    } else {
        const Fract32 gainDb = kve_subFract32(0, kve_mulFract32(kve_subFract32(levelDb, targetLevelDb), ratio));
        const Fract32 limitedDb = std::min(std::max(gainDb, kve_subFract32(0, maxAttenuationDb)), maxGainDb);
        Fract32 linear = 0;
        kve_vecDBToLinearFract32(&limitedDb, &linear, 1);
        targetByCoeff = kve_mulFract32(linear, coeff);
    }
    const Fract32 pull = kve_shiftProductFract32(targetByCoeff, 4);
    const Fract32 keep = kve_subFract32(INT32_MAX, coeff);
    Fract32 g = *gainState;
    for (int32_t i = 0; i < n; ++i) {
        g = kve_addFract32(pull, kve_mulFract32(g, keep));
        dst[i] = g;
    }
    *gainState = g;
}
