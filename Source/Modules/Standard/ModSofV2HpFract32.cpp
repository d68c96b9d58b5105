// SofV2HpFract32: one parametric section on every channel through the 24x24-bit datapath with a 56-bit accumulator.
// Set scales the numerator and the denominator by their own powers of two (`numShift`, `denShift`) so that each fits
// Q1.31; the running words glide toward the targets once per block, and restart from zero when a shift changes,
// since words held under the old shifts mean a different filter under the new ones.
#include "Modules/Standard/Tone.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::filters;
using namespace kve::kit;
using namespace kve::scalers;
using namespace kve::tone;

struct SofV2HpFract32Module {
    ClassModule header;
    int32_t filterType;
    float freq;
    float gain;
    float Q;
    float smoothingTime;
    int32_t updateActive;
    Fract32 smoothingCoeffFract32;
    int32_t numShift;
    int32_t denShift;
    Fract32 *targetCoeffsFract32;
    Fract32 *currentCoeffsFract32;
    int32_t *state;
};

// Array ordinal of state (six words per channel).
constexpr uint32_t kStateArray = 2;
constexpr uint32_t kStateWords = 6;

constexpr std::array<Variable, 12> kVariables = {
    KVE_VARIABLE(SofV2HpFract32Module, filterType, Int),
    KVE_VARIABLE(SofV2HpFract32Module, freq, Float),
    KVE_VARIABLE(SofV2HpFract32Module, gain, Float),
    KVE_VARIABLE(SofV2HpFract32Module, Q, Float),
    KVE_VARIABLE(SofV2HpFract32Module, smoothingTime, Float),
    KVE_VARIABLE(SofV2HpFract32Module, updateActive, Int),
    KVE_VARIABLE(SofV2HpFract32Module, smoothingCoeffFract32, Fract32),
    KVE_VARIABLE(SofV2HpFract32Module, numShift, Int),
    KVE_VARIABLE(SofV2HpFract32Module, denShift, Int),
    KVE_ARRAY(SofV2HpFract32Module, targetCoeffsFract32, Fract32Array, fixedLength(kSectionWords)),
    KVE_ARRAY(SofV2HpFract32Module, currentCoeffsFract32, Fract32Array, fixedLength(kSectionWords)),
    KVE_ARRAY(SofV2HpFract32Module, state, IntArray, perChannelOfWire(0, kStateWords)),
};

// The power of two for one side of the section: the base-2 logarithm of `m`, the larger magnitude of the
// coefficients that set it, truncated toward zero (0, with the factor 1.0, when m is 0); where that would leave
// `largest`, the largest magnitude of the side, above 1.0 after scaling, the smallest power that brings it below
// instead (the truncated logarithm alone leaves every magnitude from 1.0 up, and a large b0, to saturate).
int32_t shiftFor(float m, float largest, float *factor)
{
    int32_t e = m == 0.0f ? 0 : kve_truncateToInt32(std::log(m + 4.656613e-10f) * 1.442695f);
    *factor = std::pow(2.0f, static_cast<float>(-e));
    if (largest * *factor > 1.0f) {
        int exponent = 0;
        std::frexp(largest, &exponent);
        e = exponent;
        *factor = std::pow(2.0f, static_cast<float>(-e));
    }
    return e;
}

ClassModule *sofV2HpFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                       const uint32_t *args)
{
    return construct(kve_modSofV2HpFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void sofV2HpFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<SofV2HpFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    if (s->updateActive != 0)
        glideFract32(s->currentCoeffsFract32, s->targetCoeffsFract32, s->smoothingCoeffFract32, kSectionWords);
    const auto ch = static_cast<int32_t>(channels(in));
    const uint32_t served = servedChannels(channels(in), capacity(m, kStateArray) / kStateWords);
    for (uint32_t c = 0; c < served; ++c)
        kve_vecBiquadFract24x24A56(words(in) + c, ch, words(out) + c, ch, s->currentCoeffsFract32,
                                   s->state + kStateWords * c, s->numShift, s->denShift, frames(in, out));
}

int32_t sofV2HpFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SofV2HpFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    s->smoothingCoeffFract32 = kve_rounded(
        blockSmoother(s->smoothingTime, in));
    float design[kSectionWords];
    design_second_order_filter(s->filterType, design, in->sampleRate, s->freq, s->gain, s->Q);
    // Process glides only while the flag stands, so it never sees half a set of target words.
    s->updateActive = 0;
    // b0 does not set the numerator's shift; it only keeps it from saturating b0.
    const float b12 = std::max(std::fabs(design[1]), std::fabs(design[2]));
    const float a12 = std::max(std::fabs(design[3]), std::fabs(design[4]));
    float numFactor = 1.0f;
    float denFactor = 1.0f;
    const int32_t numShift = shiftFor(b12, std::max(b12, std::fabs(design[0])), &numFactor);
    const int32_t denShift = shiftFor(a12, a12, &denFactor);
    if (numShift != s->numShift || denShift != s->denShift)
        std::fill_n(s->currentCoeffsFract32, kSectionWords, 0);
    const float scaled[kSectionWords] = {design[0] * numFactor, design[1] * numFactor, design[2] * numFactor,
                                    design[3] * denFactor, design[4] * denFactor};
    toTargets(scaled, 1.0f, s->targetCoeffsFract32, kSectionWords);
    s->numShift = numShift;
    s->denShift = denShift;
    s->updateActive = 1;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<12> kve_modSofV2HpFract32Class = makeClass<12>(
    0xBEEF08CEu, {sofV2HpFract32Constructor, sofV2HpFract32Process, IOMatchUpModule_Bypass, sofV2HpFract32Set},
    kVariables);
