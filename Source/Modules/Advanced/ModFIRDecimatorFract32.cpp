// FIRDecimatorFract32: the fixed-point decimator. Set prepares the Fract32 taps from the host's float taps; every
// channel runs its own ring from the stored index, and the kernel scales each sum by 2^postShift.
#include "Modules/Advanced/FirFilters.h"

namespace {

using namespace kve::kit;
using namespace kve::fir;

using M = DecimatorFract32Module;

constexpr std::array<Variable, 8> kVariables = {
    KVE_VARIABLE(M, decimationFactor, Int),
    KVE_VARIABLE(M, numTaps, Int),
    KVE_VARIABLE(M, stateIndex, Int),
    KVE_VARIABLE(M, stateLength, Int),
    KVE_VARIABLE(M, postShift, Int),
    KVE_ARRAY(M, coeffs, FloatArray, perArgument(1)),
    KVE_ARRAY(M, coeffsFract32, Fract32Array, perArgument(1)),
    KVE_ARRAY_IN(M, state, Fract32Array, fixedLength(0), KVE_HEAPS_LONG_STATE),
};

void decimatorProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    const RateRun r = decimatorRun(m, s->decimationFactor, s->numTaps, s->stateLength, 1, 2);
    if (r.count < 1 || r.taps < 1)
        return;
    const auto *x = static_cast<const Fract32 *>(wire(m, 0)->buffer);
    auto *y = static_cast<Fract32 *>(wire(m, 1)->buffer);
    s->stateIndex = eachChannelFrom(ringPosition(s->stateIndex, r.ring), r.channels, [&](int32_t c, int32_t *index) {
        kve_vecFIR_DecimateFract32(x + c, r.channels, y + c, r.channels, s->coeffsFract32, s->state + c * r.perChannel,
                                   index, r.count, r.taps, r.ring, r.factor, s->postShift);
    });
}

} // namespace

extern "C" constinit const ClassRecord<8> kve_modFIRDecimatorFract32Class =
    makeClass<8>(0xBEEF0CF7u,
                 {rateConstructor<&kve_modFIRDecimatorFract32Class, &kVariables, 3, -1>, decimatorProcess,
                  decimatorProcess, fract32TapsSet<M>},
                 kVariables);
