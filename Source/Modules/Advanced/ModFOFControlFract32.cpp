// FOFControlFract32: the control-steered first-order section in Q1.31. The pole of the control frequency comes from
// a cubic in the frequency's fraction of the Nyquist rate, so the audio path needs no trigonometry.
#include <algorithm>

#include "Modules/Advanced/ControlledFilters.h"
#include "Modules/Standard/FiltersFract32.h"
#include "Modules/Standard/Tone.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::controlled;
using namespace kve::filters;
using namespace kve::kit;

struct FOFControlFract32Module {
    ClassModule header;
    float smoothingTime;
    int32_t highPass;
    int32_t postShift;
    Fract32 smoothingCoeff;
    Fract32 currentPole;
    int32_t fofReserved;
    Fract32 *coeffs;
    Fract32 *state;
};

constexpr std::array<Variable, 8> kVariables = {
    KVE_VARIABLE(FOFControlFract32Module, smoothingTime, Float),
    KVE_VARIABLE(FOFControlFract32Module, highPass, Int),
    KVE_VARIABLE(FOFControlFract32Module, postShift, Int),
    KVE_VARIABLE(FOFControlFract32Module, smoothingCoeff, Fract32),
    KVE_VARIABLE(FOFControlFract32Module, currentPole, Fract32),
    KVE_VARIABLE(FOFControlFract32Module, fofReserved, Int),
    KVE_ARRAY(FOFControlFract32Module, coeffs, Fract32Array, fixedLength(kSectionWords)),
    KVE_ARRAY(FOFControlFract32Module, state, Fract32Array, perChannelOfWire(kAudioWire, 4)),
};

constexpr int64_t kHalf = 0x3FFFFFFF;

ClassModule *fofControlFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                          const uint32_t *args)
{
    return construct(kve_modFOFControlFract32Class, kVariables, 2, 1, status, wireWord, wires, argc, args);
}

int64_t q31(int64_t a, int64_t b) { return (a * b) >> 31; }

// The pole of frequency fraction x (of the Nyquist rate, Q1.31) by Horner's rule on the cubic's Q1.31 constants.
Fract32 cubicPole(Fract32 x)
{
    const int64_t t1 = std::min<int64_t>(1646185664 + q31(x, -1108184861), INT32_MAX);
    const int64_t t2 = q31(x, t1) - 1619954706;
    const int64_t t3 = q31(x, t2);
    return kve_saturate64((t3 + 536812743) * 4);
}

// A coefficient held scaled by 2^-postShift: shifted right for a positive shift, left with saturation otherwise.
Fract32 scaledDown(int64_t v, int32_t postShift)
{
    if (postShift >= 0)
        return kve_saturate64(v >> std::min(postShift, 63));
    if (postShift < -31)
        return v == 0 ? 0 : (v > 0 ? INT32_MAX : INT32_MIN);
    return kve_saturate64(v * (int64_t{1} << -postShift));
}

void fofControlFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<FOFControlFract32Module *>(m);
    const GenericWire *in = wire(m, kAudioWire);
    const float nyquist = in->sampleRate / 2.0f;
    const Fract32 pole = cubicPole(kve_floatToFract32(controlFrequency(wire(m, kFrequencyWire), 10.0f,
                                                                       in->sampleRate) / nyquist));
    kve::tone::glideFract32(&s->currentPole, &pole, s->smoothingCoeff, 1);
    const int64_t p = s->currentPole;
    const int64_t b0 = s->highPass != 0 ? (p >> 1) + kHalf : kHalf - (p >> 1);
    s->coeffs[0] = scaledDown(b0, s->postShift);
    s->coeffs[1] = scaledDown(s->highPass != 0 ? -b0 : b0, s->postShift);
    s->coeffs[2] = 0;
    s->coeffs[3] = scaledDown(-p, s->postShift);
    s->coeffs[4] = 0;
    runSection(in, output(m), s->coeffs, s->state, capacity(m, 1), s->postShift);
}

int32_t fofControlFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<FOFControlFract32Module *>(m);
    s->smoothingCoeff = kve_rounded(kve::scalers::blockSmoother(s->smoothingTime, wire(m, kAudioWire)));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<8> kve_modFOFControlFract32Class = makeClass<8>(
    0xBEEF0D01u, {fofControlFract32Constructor, fofControlFract32Process, bypassSecondInput, fofControlFract32Set},
    kVariables);
