// BiquadV2Fract32: one biquad section run through the fixed-point datapath model chosen by `precision`, its
// feed-forward and feedback words each held with their own shift.
#include "Modules/Standard/FiltersFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;
using namespace kve::filters;

struct BiquadV2Fract32Module {
    ClassModule header;
    int32_t precision;
    int32_t updateActive;
    int32_t extraShift;
    int32_t numShift;
    int32_t pendingNumShift;
    int32_t denShift;
    int32_t pendingDenShift;
    float *coeffs;
    Fract32 *coeffsFract32;
    int32_t *state;
    Fract32 *pendingCoeffsFract32;
};

constexpr std::array<Variable, 11> kVariables = {
    KVE_VARIABLE(BiquadV2Fract32Module, precision, Int),
    KVE_VARIABLE(BiquadV2Fract32Module, updateActive, Int),
    KVE_VARIABLE(BiquadV2Fract32Module, extraShift, Int),
    KVE_VARIABLE(BiquadV2Fract32Module, numShift, Int),
    KVE_VARIABLE(BiquadV2Fract32Module, pendingNumShift, Int),
    KVE_VARIABLE(BiquadV2Fract32Module, denShift, Int),
    KVE_VARIABLE(BiquadV2Fract32Module, pendingDenShift, Int),
    KVE_ARRAY(BiquadV2Fract32Module, coeffs, FloatArray, fixedLength(5)),
    KVE_ARRAY(BiquadV2Fract32Module, coeffsFract32, Fract32Array, fixedLength(5)),
    KVE_ARRAY(BiquadV2Fract32Module, state, IntArray, perChannelOfWire(0, 6)),
    KVE_ARRAY(BiquadV2Fract32Module, pendingCoeffsFract32, Fract32Array, fixedLength(5)),
};

using DatapathKernel = void (*)(const Fract32 *, int32_t, Fract32 *, int32_t, const Fract32 *, int32_t *, int32_t,
                                int32_t, int32_t);

// The datapath of each precision and the state words a channel of it holds.
struct Datapath {
    DatapathKernel kernel;
    uint32_t stateWords;
};

Datapath datapathOf(int32_t precision)
{
    switch (precision) {
    case 0:
        return {kve_vecBiquadFract24x24A56, 6};
    case 1:
        return {kve_vecBiquadFract32x32A32, 4};
    case 2:
        return {kve_vecBiquadFract32x32A64, 4};
    case 3:
        return {kve_vecBiquadFract24x24A24, 4};
    default:
        return {nullptr, 0};
    }
}

// The exponent of a pair of coefficients: log2 of the larger magnitude, taken toward zero (0 for a zero pair). It
// leaves no headroom of its own: with an `extraShift` of 1 or more the pair scales inside -1.0..1.0.
int32_t pairExponent(float c1, float c2)
{
    const float m = std::max(std::fabs(c1), std::fabs(c2));
    return m == 0.0f ? 0 : kve_truncateToInt32(std::log(m + 4.656613e-10f) * 1.442695f);
}

ClassModule *biquadV2Fract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    return construct(kve_modBiquadV2Fract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void biquadV2Fract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<BiquadV2Fract32Module *>(m);
    if (updateRaised(s->updateActive)) {
        s->numShift = s->pendingNumShift;
        s->denShift = s->pendingDenShift;
        std::copy_n(s->pendingCoeffsFract32, 5, s->coeffsFract32);
    }
    const Datapath path = datapathOf(s->precision);
    if (path.kernel == nullptr)
        return;
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const uint32_t ch = channels(in);
    const uint32_t served = servedChannels(ch, capacity(m, 2) / path.stateWords);
    const int32_t n = frames(in, out);
    const auto stride = static_cast<int32_t>(ch);
    for (uint32_t c = 0; c < served; ++c)
        path.kernel(words(in) + c, stride, words(out) + c, stride, s->coeffsFract32, s->state + path.stateWords * c,
                    s->numShift, s->denShift, n);
}

int32_t biquadV2Fract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<BiquadV2Fract32Module *>(m);
    const float *c = s->coeffs;
    beginUpdate(s->updateActive);
    s->pendingNumShift = kve_saturate64(int64_t{s->extraShift} + pairExponent(c[1], c[2]));
    s->pendingDenShift = kve_saturate64(int64_t{s->extraShift} + pairExponent(c[3], c[4]));
    const float numScale = std::pow(2.0f, -static_cast<float>(s->pendingNumShift));
    const float denScale = std::pow(2.0f, -static_cast<float>(s->pendingDenShift));
    for (int k = 0; k < 5; ++k)
        s->pendingCoeffsFract32[k] = kve_rounded(c[k] * (k < 3 ? numScale : denScale));
    endUpdate(s->updateActive);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<11> kve_modBiquadV2Fract32Class = makeClass<11>(
    0xBEEF0889u, {biquadV2Fract32Constructor, biquadV2Fract32Process, IOMatchUpModule_Bypass, biquadV2Fract32Set},
    kVariables);
