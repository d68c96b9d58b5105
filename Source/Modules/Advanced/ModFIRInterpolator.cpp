// FIRInterpolator: a polyphase interpolating FIR over all channels at once, each input frame giving `factor` output
// frames. Its ring holds whole interleaved frames, so its length and index are held to whole frames.
#include "Modules/Advanced/FirFilters.h"

namespace {

using namespace kve::kit;
using namespace kve::fir;

using M = InterpolatorModule;

constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(M, interpolationFactor, Int),
    KVE_VARIABLE(M, numTaps, Int),
    KVE_VARIABLE(M, tapsPerPhase, Int),
    KVE_VARIABLE(M, stateIndex, Int),
    KVE_VARIABLE(M, stateLength, Int),
    KVE_ARRAY(M, coeffs, FloatArray, perArgument(1)),
    KVE_ARRAY_IN(M, state, FloatArray, fixedLength(0), KVE_HEAPS_LONG_STATE),
};

void interpolatorProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    const RateRun r = interpolatorRun(m, s->interpolationFactor, s->tapsPerPhase, s->stateLength, 0, 1);
    if (r.count < 1 || r.taps < 1)
        return;
    // One ring for every channel: whole frames within the whole state array.
    const int64_t frames = std::min<int64_t>(std::max(s->stateLength, 1), capacity(m, 1)) / r.channels;
    if (frames < 1)
        return;
    const auto ring = static_cast<int32_t>(frames * r.channels);
    int32_t index = ringPosition(s->stateIndex, ring) / r.channels * r.channels;
    kve_vecFIR_Interpolate(static_cast<const float *>(wire(m, 0)->buffer), r.channels,
                           static_cast<float *>(wire(m, 1)->buffer), s->coeffs, ring, s->state, &index, r.count,
                           r.factor, r.taps);
    s->stateIndex = index;
}

int32_t interpolatorSet(ClassModule *, uint32_t) { return 0; }

} // namespace

extern "C" constinit const ClassRecord<7> kve_modFIRInterpolatorClass =
    makeClass<7>(0xBEEF0CFAu,
                 {rateConstructor<&kve_modFIRInterpolatorClass, &kVariables, 4, 2>, interpolatorProcess,
                  interpolatorProcess, interpolatorSet},
                 kVariables);
