// The Q1.31 rotating phasor of the fixed-point sine generators.
#include "Dsp/Fract32.h"
#include "Modules/Standard/Oscillators.h"
#include "kve/kve_vec_math.h"

namespace kve::oscillators {

// Per step the output, then a' = a cos - b sin and b' = a sin + b cos, each product shifted right by 31 and held
// at 0x7FFFFFFF (-1 x -1), the sum saturated. Truncation shrinks the phasor a little every step, so after the block
// it is scaled by 1/|(a, b)|: the square root of a^2 + b^2, then its reciprocal, which comes out halved (1/(2r))
// and so is applied doubled, with saturation.
void turnPhasorFract32(GenericWire *out, Fract32 *a, Fract32 *b, Fract32 cosW, Fract32 sinW)
{
    auto *y = static_cast<Fract32 *>(out->buffer);
    const int32_t steps = phasorSteps(out);
    const bool mono = shapes::channels(out) == 1;
    Fract32 x = *a;
    Fract32 z = *b;
    for (int32_t i = 0; i < steps; ++i) {
        if (mono) {
            y[i] = z;
        } else {
            y[2 * i] = x;
            y[2 * i + 1] = z;
        }
        const Fract32 turned = kve_subFract32(kve_mulFract32(x, cosW), kve_mulFract32(z, sinW));
        z = kve_addFract32(kve_mulFract32(x, sinW), kve_mulFract32(z, cosW));
        x = turned;
    }
    const Fract32 squared = kve_addFract32(kve_mulFract32(x, x), kve_mulFract32(z, z));
    Fract32 length = 0;
    kve_vecSqrtFract32(&squared, 1, &length, 1, 1);
    Fract32 halfInverse = 0;
    kve_vecRecipFract32(length, &halfInverse);
    *a = kve_saturate64(2 * ((int64_t{halfInverse} * x) >> 31));
    *b = kve_saturate64(2 * ((int64_t{halfInverse} * z) >> 31));
}

} // namespace kve::oscillators
