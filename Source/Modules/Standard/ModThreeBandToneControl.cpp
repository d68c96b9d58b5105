// ThreeBandToneControl: bass and treble shelves relative to the mid band, then the mid gain as a smoothed scale.
// The bass shelf turns over between `lowFreq` and `midFreq`, the treble shelf between `midFreq` and `highFreq` (at
// the geometric means); each shelf's running coefficients glide toward its design once per block, and the overall
// gain glides sample by sample.
#include "Modules/Standard/Tone.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::filters;
using namespace kve::kit;
using namespace kve::scalers;
using namespace kve::tone;

struct ThreeBandToneControlModule {
    ClassModule header;
    float smoothingTime;
    float lowFreq;
    float midFreq;
    float highFreq;
    float bassGain;
    float trebleGain;
    float midGain;
    int32_t updateActive;
    float smoothingCoeff;
    float targetGain;
    float currentGain;
    float gainSmoothingCoeff;
    float *lowTargetCoeffs;
    float *lowCurrentCoeffs;
    float *lowState;
    float *highTargetCoeffs;
    float *highCurrentCoeffs;
    float *highState;
};

// Array ordinals of the two state arrays (two words per channel each).
constexpr uint32_t kLowStateArray = 2;
constexpr uint32_t kHighStateArray = 5;

constexpr std::array<Variable, 18> kVariables = {
    KVE_VARIABLE(ThreeBandToneControlModule, smoothingTime, Float),
    KVE_VARIABLE(ThreeBandToneControlModule, lowFreq, Float),
    KVE_VARIABLE(ThreeBandToneControlModule, midFreq, Float),
    KVE_VARIABLE(ThreeBandToneControlModule, highFreq, Float),
    KVE_VARIABLE(ThreeBandToneControlModule, bassGain, Float),
    KVE_VARIABLE(ThreeBandToneControlModule, trebleGain, Float),
    KVE_VARIABLE(ThreeBandToneControlModule, midGain, Float),
    KVE_VARIABLE(ThreeBandToneControlModule, updateActive, Int),
    KVE_VARIABLE(ThreeBandToneControlModule, smoothingCoeff, Float),
    KVE_VARIABLE(ThreeBandToneControlModule, targetGain, Float),
    KVE_VARIABLE(ThreeBandToneControlModule, currentGain, Float),
    KVE_VARIABLE(ThreeBandToneControlModule, gainSmoothingCoeff, Float),
    KVE_ARRAY(ThreeBandToneControlModule, lowTargetCoeffs, FloatArray, fixedLength(kSectionWords)),
    KVE_ARRAY(ThreeBandToneControlModule, lowCurrentCoeffs, FloatArray, fixedLength(kSectionWords)),
    KVE_ARRAY(ThreeBandToneControlModule, lowState, FloatArray, perChannelOfWire(0, 2)),
    KVE_ARRAY(ThreeBandToneControlModule, highTargetCoeffs, FloatArray, fixedLength(kSectionWords)),
    KVE_ARRAY(ThreeBandToneControlModule, highCurrentCoeffs, FloatArray, fixedLength(kSectionWords)),
    KVE_ARRAY(ThreeBandToneControlModule, highState, FloatArray, perChannelOfWire(0, 2)),
};

ClassModule *threeBandToneControlConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                             const uint32_t *args)
{
    return construct(kve_modThreeBandToneControlClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void threeBandToneControlProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<ThreeBandToneControlModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    if (s->updateActive != 0) {
        glideCoefficients(s->lowCurrentCoeffs, s->lowTargetCoeffs, s->smoothingCoeff, kSectionWords);
        glideCoefficients(s->highCurrentCoeffs, s->highTargetCoeffs, s->smoothingCoeff, kSectionWords);
    }
    const auto ch = static_cast<int32_t>(channels(in));
    const int32_t n = frames(in, out);
    const uint32_t served =
        servedChannels(channels(in), std::min(capacity(m, kLowStateArray), capacity(m, kHighStateArray)) / 2);
    // One running gain for all channels: each channel's glide carries on from where the previous channel left it.
    for (uint32_t c = 0; c < served; ++c) {
        float *y = samples(out) + c;
        kve_vecBiquad(samples(in) + c, ch, y, ch, s->lowCurrentCoeffs, s->lowState + 2 * c, n);
        kve_vecBiquad(y, ch, y, ch, s->highCurrentCoeffs, s->highState + 2 * c, n);
        kve_vecScaleSmooth(y, ch, y, ch, &s->currentGain, s->targetGain, s->gainSmoothingCoeff, n);
    }
}

int32_t threeBandToneControlSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ThreeBandToneControlModule *>(m);
    const GenericWire *in = wire(m, 0);
    const float rate = in->sampleRate;
    // Process glides only while the flag stands, so it never sees half a design.
    s->updateActive = 0;
    design_second_order_filter(8, s->lowTargetCoeffs, rate, std::sqrt(s->midFreq * s->lowFreq),
                               s->bassGain - s->midGain, 0.0f);
    design_second_order_filter(10, s->highTargetCoeffs, rate, std::sqrt(s->midFreq * s->highFreq),
                               s->trebleGain - s->midGain, 0.0f);
    s->updateActive = 1;
    s->smoothingCoeff = blockSmoother(s->smoothingTime, in);
    s->gainSmoothingCoeff = design_smoother(1, s->smoothingTime, rate);
    s->targetGain = undB(s->midGain);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<18> kve_modThreeBandToneControlClass = makeClass<18>(
    0xBEEF0809u,
    {threeBandToneControlConstructor, threeBandToneControlProcess, IOMatchUpModule_Bypass, threeBandToneControlSet},
    kVariables);
