// BiquadSmoothedFract32: one direct-form-I section on Fract32 samples whose current words glide, one step per
// block, toward the target words Set converts from the float design in `coeffs`.
#include "Modules/Standard/FiltersFract32.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;
using namespace kve::filters;

constexpr std::array<Variable, 9> kVariables = {
    KVE_VARIABLE(BiquadSmoothedFract32Module, updateActive, Int),
    KVE_VARIABLE(BiquadSmoothedFract32Module, smoothingTime, Float),
    KVE_VARIABLE(BiquadSmoothedFract32Module, smoothingCoeffFract32, Int),
    KVE_VARIABLE(BiquadSmoothedFract32Module, postShift, Int),
    KVE_VARIABLE(BiquadSmoothedFract32Module, pendingPostShift, Int),
    KVE_ARRAY(BiquadSmoothedFract32Module, coeffs, FloatArray, fixedLength(5)),
    KVE_ARRAY(BiquadSmoothedFract32Module, targetCoeffsFract32, Fract32Array, fixedLength(5)),
    KVE_ARRAY(BiquadSmoothedFract32Module, currentCoeffsFract32, Fract32Array, fixedLength(5)),
    KVE_ARRAY(BiquadSmoothedFract32Module, state, Fract32Array, perChannelOfWire(0, 4)),
};

// One step of the glide: current (1 - k) + target k, each product 64 bits shifted right by 31, the sum saturated.
Fract32 glide(Fract32 current, Fract32 target, Fract32 k)
{
    const int64_t keep = (int64_t{current} * (int64_t{INT32_MAX} - k)) >> 31;
    const int64_t pull = (int64_t{target} * k) >> 31;
    return kve_saturate64(keep + pull);
}

ClassModule *biquadSmoothedFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                              const uint32_t *args)
{
    return construct(kve_modBiquadSmoothedFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void biquadSmoothedFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<BiquadSmoothedFract32Module *>(m);
    if (updateRaised(s->updateActive)) {
        // The current words are held under `postShift`; when the targets come with another shift, the current
        // words are brought to it first, so the running filter keeps its response while it glides.
        if (s->pendingPostShift != s->postShift) {
            const int64_t rescale = int64_t{s->postShift} - s->pendingPostShift;
            for (int k = 0; k < 5; ++k)
                s->currentCoeffsFract32[k] = static_cast<Fract32>(
                    kve_shiftSaturate(s->currentCoeffsFract32[k], rescale, INT32_MIN, INT32_MAX));
            s->postShift = s->pendingPostShift;
        }
        for (int k = 0; k < 5; ++k)
            s->currentCoeffsFract32[k] =
                glide(s->currentCoeffsFract32[k], s->targetCoeffsFract32[k], s->smoothingCoeffFract32);
    }
    runSection(wire(m, 0), wire(m, 1), s->currentCoeffsFract32, s->state, capacity(m, 3), s->postShift);
}

int32_t biquadSmoothedFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<BiquadSmoothedFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    s->smoothingCoeffFract32 = kve_rounded(blockSmoother(s->smoothingTime, in));
    beginUpdate(s->updateActive);
    s->pendingPostShift = coefficientShift(s->coeffs, 5);
    convertCoefficients(s->coeffs, s->targetCoeffsFract32, 5, s->pendingPostShift);
    endUpdate(s->updateActive);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<9> kve_modBiquadSmoothedFract32Class =
    makeClass<9>(0xBEEF0886u,
                 {biquadSmoothedFract32Constructor, biquadSmoothedFract32Process, IOMatchUpModule_Bypass,
                  biquadSmoothedFract32Set},
                 kVariables);
