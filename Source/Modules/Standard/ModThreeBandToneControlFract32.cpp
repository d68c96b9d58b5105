// ThreeBandToneControlFract32: the three-band tone control in Q1.31. The block is shifted down by `headroomShift`
// bits before the shelves, so that shelf boosts have room, and back up (saturating) after the smoothed mid gain;
// coefficients and gain are held scaled by `coeffScale` and restored by `postShift`.
#include "Modules/Standard/Tone.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::filters;
using namespace kve::kit;
using namespace kve::scalers;
using namespace kve::tone;

struct ThreeBandToneControlFract32Module {
    ClassModule header;
    float smoothingTime;
    float lowFreq;
    float midFreq;
    float highFreq;
    float bassGain;
    float trebleGain;
    float midGain;
    int32_t headroomShift;
    int32_t postShift;
    float coeffScale;
    int32_t updateActive;
    Fract32 smoothingCoeffFract32;
    Fract32 targetGainFract32;
    Fract32 currentGainFract32;
    Fract32 gainSmoothingCoeffFract32;
    Fract32 *lowTargetCoeffs;
    Fract32 *lowCurrentCoeffs;
    Fract32 *lowState;
    Fract32 *highTargetCoeffs;
    Fract32 *highCurrentCoeffs;
    Fract32 *highState;
};

// Array ordinals of the two state arrays (four words per channel each).
constexpr uint32_t kLowStateArray = 2;
constexpr uint32_t kHighStateArray = 5;

constexpr std::array<Variable, 21> kVariables = {
    KVE_VARIABLE(ThreeBandToneControlFract32Module, smoothingTime, Float),
    KVE_VARIABLE(ThreeBandToneControlFract32Module, lowFreq, Float),
    KVE_VARIABLE(ThreeBandToneControlFract32Module, midFreq, Float),
    KVE_VARIABLE(ThreeBandToneControlFract32Module, highFreq, Float),
    KVE_VARIABLE(ThreeBandToneControlFract32Module, bassGain, Float),
    KVE_VARIABLE(ThreeBandToneControlFract32Module, trebleGain, Float),
    KVE_VARIABLE(ThreeBandToneControlFract32Module, midGain, Float),
    KVE_VARIABLE(ThreeBandToneControlFract32Module, headroomShift, Int),
    KVE_VARIABLE(ThreeBandToneControlFract32Module, postShift, Int),
    KVE_VARIABLE(ThreeBandToneControlFract32Module, coeffScale, Float),
    KVE_VARIABLE(ThreeBandToneControlFract32Module, updateActive, Int),
    KVE_VARIABLE(ThreeBandToneControlFract32Module, smoothingCoeffFract32, Fract32),
    KVE_VARIABLE(ThreeBandToneControlFract32Module, targetGainFract32, Fract32),
    KVE_VARIABLE(ThreeBandToneControlFract32Module, currentGainFract32, Fract32),
    KVE_VARIABLE(ThreeBandToneControlFract32Module, gainSmoothingCoeffFract32, Fract32),
    KVE_ARRAY(ThreeBandToneControlFract32Module, lowTargetCoeffs, Fract32Array, fixedLength(kSectionWords)),
    KVE_ARRAY(ThreeBandToneControlFract32Module, lowCurrentCoeffs, Fract32Array, fixedLength(kSectionWords)),
    KVE_ARRAY(ThreeBandToneControlFract32Module, lowState, Fract32Array, perChannelOfWire(0, 4)),
    KVE_ARRAY(ThreeBandToneControlFract32Module, highTargetCoeffs, Fract32Array, fixedLength(kSectionWords)),
    KVE_ARRAY(ThreeBandToneControlFract32Module, highCurrentCoeffs, Fract32Array, fixedLength(kSectionWords)),
    KVE_ARRAY(ThreeBandToneControlFract32Module, highState, Fract32Array, perChannelOfWire(0, 4)),
};

ClassModule *threeBandToneControlFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                                    uint32_t argc, const uint32_t *args)
{
    return construct(kve_modThreeBandToneControlFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void threeBandToneControlFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<ThreeBandToneControlFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    if (s->updateActive != 0) {
        glideFract32(s->lowCurrentCoeffs, s->lowTargetCoeffs, s->smoothingCoeffFract32, kSectionWords);
        glideFract32(s->highCurrentCoeffs, s->highTargetCoeffs, s->smoothingCoeffFract32, kSectionWords);
    }
    const auto ch = static_cast<int32_t>(channels(in));
    const int32_t n = frames(in, out);
    const int32_t count = n * ch;
    // The negation wraps rather than overflows; the shift kernel takes its count modulo 32 anyway.
    const auto down = static_cast<int32_t>(0u - static_cast<uint32_t>(s->headroomShift));
    kve_vecShift(words(in), 1, words(out), 1, down, count);
    const uint32_t served =
        servedChannels(channels(in), std::min(capacity(m, kLowStateArray), capacity(m, kHighStateArray)) / 4);
    // One running gain for all channels: each channel's glide carries on from where the previous channel left it.
    for (uint32_t c = 0; c < served; ++c) {
        Fract32 *y = words(out) + c;
        kve_vecBiquadFract32(y, ch, y, ch, s->lowCurrentCoeffs, s->lowState + 4 * c, s->postShift, n);
        kve_vecBiquadFract32(y, ch, y, ch, s->highCurrentCoeffs, s->highState + 4 * c, s->postShift, n);
        kve_vecScaleSmoothFract32(y, ch, y, ch, &s->currentGainFract32, s->targetGainFract32, s->postShift,
                                  s->gainSmoothingCoeffFract32, n);
    }
    kve_vecShift(words(out), 1, words(out), 1, s->headroomShift, count);
}

int32_t threeBandToneControlFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ThreeBandToneControlFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    const float rate = in->sampleRate;
    float shelf[kSectionWords];
    // Process glides only while the flag stands, so it never sees half a set of target words.
    s->updateActive = 0;
    design_second_order_filter(8, shelf, rate, std::sqrt(s->midFreq * s->lowFreq), s->bassGain - s->midGain, 0.0f);
    toTargets(shelf, s->coeffScale, s->lowTargetCoeffs, kSectionWords);
    design_second_order_filter(10, shelf, rate, std::sqrt(s->midFreq * s->highFreq), s->trebleGain - s->midGain, 0.0f);
    toTargets(shelf, s->coeffScale, s->highTargetCoeffs, kSectionWords);
    s->updateActive = 1;
    s->smoothingCoeffFract32 =
        kve_rounded(blockSmoother(s->smoothingTime, in));
    s->gainSmoothingCoeffFract32 = kve_rounded(design_smoother(1, s->smoothingTime, rate));
    s->targetGainFract32 = kve_rounded(undB(s->midGain) * s->coeffScale);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<21> kve_modThreeBandToneControlFract32Class =
    makeClass<21>(0xBEEF08D2u,
                  {threeBandToneControlFract32Constructor, threeBandToneControlFract32Process, IOMatchUpModule_Bypass,
                   threeBandToneControlFract32Set},
                  kVariables);
