// FIRInterpolatorFract32: the fixed-point polyphase interpolator, one ring per channel, every channel from the
// stored index. Set prepares the Fract32 taps from the host's float taps.
#include "Modules/Advanced/FirFilters.h"

namespace {

using namespace kve::kit;
using namespace kve::fir;

using M = InterpolatorFract32Module;

constexpr std::array<Variable, 9> kVariables = {
    KVE_VARIABLE(M, interpolationFactor, Int),
    KVE_VARIABLE(M, numTaps, Int),
    KVE_VARIABLE(M, postShift, Int),
    KVE_VARIABLE(M, tapsPerPhase, Int),
    KVE_VARIABLE(M, stateIndex, Int),
    KVE_VARIABLE(M, stateLength, Int),
    KVE_ARRAY(M, coeffs, FloatArray, perArgument(1)),
    KVE_ARRAY(M, coeffsFract32, Fract32Array, perArgument(1)),
    KVE_ARRAY_IN(M, state, Fract32Array, fixedLength(0), KVE_HEAPS_LONG_STATE),
};

void interpolatorProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    const RateRun r = interpolatorRun(m, s->interpolationFactor, s->tapsPerPhase, s->stateLength, 1, 2);
    if (r.count < 1 || r.taps < 1)
        return;
    const auto *x = static_cast<const Fract32 *>(wire(m, 0)->buffer);
    auto *y = static_cast<Fract32 *>(wire(m, 1)->buffer);
    s->stateIndex = eachChannelFrom(ringPosition(s->stateIndex, r.ring), r.channels, [&](int32_t c, int32_t *index) {
        kve_vecFIR_InterpolateFract32(x + c, r.channels, y + c, r.channels, s->coeffsFract32,
                                      s->state + c * r.perChannel, index, r.ring, r.count, r.factor, r.taps,
                                      s->postShift);
    });
}

} // namespace

extern "C" constinit const ClassRecord<9> kve_modFIRInterpolatorFract32Class =
    makeClass<9>(0xBEEF0CF9u,
                 {rateConstructor<&kve_modFIRInterpolatorFract32Class, &kVariables, 5, -1>, interpolatorProcess,
                  interpolatorProcess, fract32TapsSet<M>},
                 kVariables);
