// FIRDecimator: a polyphase decimating FIR per channel, output m lined up with input m x factor. Every channel
// runs its own ring from the stored index; a factor and tap count of 1 is a plain gain by the one tap.
#include "Modules/Advanced/FirFilters.h"

namespace {

using namespace kve::kit;
using namespace kve::fir;

using M = DecimatorModule;

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(M, decimationFactor, Int),
    KVE_VARIABLE(M, numTaps, Int),
    KVE_VARIABLE(M, stateIndex, Int),
    KVE_VARIABLE(M, stateLength, Int),
    KVE_ARRAY(M, coeffs, FloatArray, perArgument(1)),
    KVE_ARRAY_IN(M, state, FloatArray, fixedLength(0), KVE_HEAPS_LONG_STATE),
};

void decimatorProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    const RateRun r = decimatorRun(m, s->decimationFactor, s->numTaps, s->stateLength, 0, 1);
    if (r.count < 1 || r.taps < 1)
        return;
    const auto *x = static_cast<const float *>(wire(m, 0)->buffer);
    auto *y = static_cast<float *>(wire(m, 1)->buffer);
    if (r.factor == 1 && r.taps == 1) {
        for (int32_t c = 0; c < r.channels; ++c)
            kve_vecScale(x + c, r.channels, y + c, r.channels, s->coeffs[0], r.count);
        return;
    }
    s->stateIndex = eachChannelFrom(ringPosition(s->stateIndex, r.ring), r.channels, [&](int32_t c, int32_t *index) {
        kve_vecFIR_Decimate(x + c, r.channels, y + c, r.channels, s->coeffs, s->state + c * r.perChannel, index,
                            r.count, r.taps, r.ring, r.factor);
    });
}

// The host's taps are read as they stand every block: nothing to prepare.
int32_t decimatorSet(ClassModule *, uint32_t) { return 0; }

} // namespace

extern "C" constinit const ClassRecord<6> kve_modFIRDecimatorClass = makeClass<6>(
    0xBEEF0CF8u,
    {rateConstructor<&kve_modFIRDecimatorClass, &kVariables, 3, 2>, decimatorProcess, decimatorProcess, decimatorSet},
    kVariables);
