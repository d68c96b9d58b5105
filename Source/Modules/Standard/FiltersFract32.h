// Class records of the Fract32 biquad, FIR and Butterworth filter modules, the instance records that other modules
// reach into when they build one of these classes as an inner module, and the helpers the classes share.
#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>

#include "Dsp/BiquadFixed/BiquadFract32.h"
#include "Modules/Standard/Filters.h"
#include "Modules/Standard/ScalersFract32.h"

extern "C" {
extern const kve::kit::ClassRecord<5> kve_modBiquadCascadeFract32Class;
extern const kve::kit::ClassRecord<7> kve_modBiquadFract32Class;
extern const kve::kit::ClassRecord<9> kve_modBiquadSmoothedFract32Class;
extern const kve::kit::ClassRecord<11> kve_modBiquadV2Fract32Class;
extern const kve::kit::ClassRecord<4> kve_modButterworthFilterFract32Class;
extern const kve::kit::ClassRecord<6> kve_modFIRFract32Class;
extern const kve::kit::ClassRecord<5> kve_modGraphicEQBandFract32Class;
}

namespace kve::filters {

// BiquadSmoothedFract32: `coeffs` holds the float design (b0, b1, b2, a1, a2); Set converts it into the target words
// the current words glide toward.
struct BiquadSmoothedFract32Module {
    ClassModule header;
    int32_t updateActive;
    float smoothingTime;
    int32_t smoothingCoeffFract32;
    int32_t postShift;
    int32_t pendingPostShift;
    float *coeffs;
    int32_t *targetCoeffsFract32;
    int32_t *currentCoeffsFract32;
    int32_t *state;
};

// BiquadCascadeFract32: `coeffs` holds the float design, five per stage; Set converts each stage into its words of
// `coeffsFract32` and its `postShift`.
struct BiquadCascadeFract32Module {
    ClassModule header;
    int32_t numStages;
    float *coeffs;
    Fract32 *coeffsFract32;
    Fract32 *state;
    int32_t *postShift;
};

// Class id of the inner cascade the composites build.
constexpr uint32_t kBiquadCascadeFract32Id = 0xBEEF0884u;

// Stages a cascade's coefficient and shift arrays were allocated for.
inline uint32_t cascadeStageCapacity(ClassModule *m)
{
    return std::min({kit::capacity(m, 0) / 5, kit::capacity(m, 1) / 5, kit::capacity(m, 3)});
}

// Stages a cascade runs and converts: its `numStages`, held to the stages its arrays were allocated for, so a count
// a host writes never reaches past them.
inline uint32_t cascadeStages(ClassModule *m)
{
    return clampedCount(reinterpret_cast<const BiquadCascadeFract32Module *>(m)->numStages, cascadeStageCapacity(m));
}

// The shift a coefficient set is held with: the largest exponent e of its values (v = mantissa x 2^e, 0.5 <= |mantissa|
// < 1), never below 0, so every value scaled by 2^-e lies inside -1.0..1.0.
inline int32_t coefficientShift(const float *c, uint32_t n)
{
    int32_t shift = 0;
    for (uint32_t i = 0; i < n; ++i) {
        int32_t e = 0;
        scalers::mantissa(c[i], &e);
        shift = std::max(shift, e);
    }
    return shift;
}

// The coefficients scaled by 2^-shift, in Q1.31 by the rounded conversion (saturating outside -1.0..1.0).
inline void convertCoefficients(const float *c, Fract32 *words, uint32_t n, int32_t shift)
{
    for (uint32_t i = 0; i < n; ++i)
        words[i] = kve_rounded(std::ldexp(c[i], -shift));
}

// The updateActive handshake: Set lowers the flag before it rewrites the prepared values and raises it once they
// are complete; Process takes the prepared values over only while it is raised.
inline void beginUpdate(int32_t &updateActive) { std::atomic_ref<int32_t>(updateActive).store(0); }
inline void endUpdate(int32_t &updateActive)
{
    std::atomic_ref<int32_t>(updateActive).store(1, std::memory_order_release);
}
inline bool updateRaised(int32_t &updateActive)
{
    return std::atomic_ref<int32_t>(updateActive).load(std::memory_order_acquire) != 0;
}

// One pass of a direct-form-I section over each channel of `in` into `out`: the channels a state array of
// `stateWords` words holds (4 per channel), one-channel wires through the unstrided kernel.
inline void runSection(const GenericWire *in, const GenericWire *out, const Fract32 *coeffs, Fract32 *state,
                       uint32_t stateWords, int32_t postShift)
{
    const uint32_t ch = scalers::channels(in);
    const uint32_t served = scalers::servedChannels(ch, stateWords / 4);
    const int32_t n = scalers::frames(in, out);
    const Fract32 *x = scalers::words(in);
    Fract32 *y = scalers::words(out);
    if (ch == 1 && served == 1) {
        kve_vecBiquadFract32_single(x, y, coeffs, state, postShift, n);
        return;
    }
    const auto stride = static_cast<int32_t>(ch);
    for (uint32_t c = 0; c < served; ++c)
        kve_vecBiquadFract32(x + c, stride, y + c, stride, coeffs, state + 4 * c, postShift, n);
}

} // namespace kve::filters
